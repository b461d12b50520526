; Start and restart of DOS: the slot set-up the console and the interrupt
; handler work from, the cold start from the disk system and the warm boot
; that every program's end leads to.

cold_flag       equ     con_vars_end + 0        ; nonzero on the way from cold to the shell
boot_vars_end   equ     con_vars_end + 1

; sys_setup: works out from the boot parameters and EXPTBL which slots the
; BIOS call helper and the interrupt handler switch for page 0, and how the
; warm boot selects DOS's RAM.
;   In:  bp_slot_pa set; EXPTBL as the BIOS left it.  Out: nothing.
;   Changed: AF, BC, DE, HL.
sys_setup:
        ld      a,(EXPTBL)              ; the BIOS's slot ID
        ld      c,a
        and     3
        ld      (bios_prim),a
        ld      b,a
        ld      a,c
        rrca
        rrca
        and     3
        ld      (bios_sec),a
        ld      a,(bp_slot_pa)
        rlca
        rlca
        and     3                       ; page 3's primary slot
        ld      e,a
        ld      d,0
        ld      hl,SLTTBL
        add     hl,de
        ld      (slttbl_p3),hl
        ld      hl,EXPTBL
        add     hl,de
        ld      a,(hl)
        and     0x80
        ld      (p3_expanded),a
        ld      c,0
        jr      z,sys_setup_done        ; page 3 not expanded: its register is never touched
        ld      a,e
        cp      b
        jr      nz,sys_setup_done
        dec     c                       ; the BIOS shares page 3's primary slot
sys_setup_done:
        ld      a,c
        ld      (bios_sec_on),a
        ret

; cold: the first start of DOS, from the disk system's 5A11h: as wboot, and
; a one-line banner before the first prompt.
;   In: nothing.  Does not return.
cold:
        di
        ld      a,1
        ld      (cold_flag),a

; wboot: (re)starts DOS: RAM in every page with mapper segments 3, 2, 1, 0,
; page 0 rebuilt (0000h JP wboot, 0005h JP bdos with (0006h) = K0, the top
; of the programs' memory, the slot vectors, 0038h JP inth), the transfer
; address at 0080h, interrupts on, then the shell.  KEYBUF is left as it is,
; so keys typed ahead (or put there by the start-up) reach the first prompt.
;   In: nothing (from 0000h, function 00h, CTRL+C or cold).  Does not return.
wboot:
        di
        ld      sp,sstack_top
        ld      a,(bp_slot_pa)
        out     (SLOTS),a
        ld      a,(p3_expanded)
        or      a
        jr      z,wboot_mapper
        ld      a,(bp_slot_ps)
        ld      (SSLOTREG),a
        ld      hl,(slttbl_p3)
        ld      (hl),a
wboot_mapper:
        ld      a,3
        out     (MAPPER0),a
        dec     a
        out     (MAPPER1),a
        dec     a
        out     (MAPPER2),a
        ld      hl,0
        ld      de,1
        ld      bc,0xFF
        ld      (hl),l
        ldir
        ld      hl,boot_vectors
boot_vector:
        ld      e,(hl)
        inc     e
        jr      z,boot_vectors_done
        dec     e
        ld      d,0
        inc     hl
        ld      a,0xC3                  ; JP
        ld      (de),a
        inc     de
        ldi
        ldi
        jr      boot_vector
boot_vectors_done:
        ld      de,DEFDMA
        ld      c,F_DMA
        call    bdos
        ei
        ld      hl,cold_flag
        ld      a,(hl)
        ld      (hl),0
        or      a
        jp      z,shell
        ld      de,boot_banner
        call    con_string
        call    disk_kbytes
        ld      b,1
        call    sh_print_hl
        ld      de,boot_banner_end
        call    con_string
        jp      shell

        if      bdos != K0
        .error  The function entry must be the first byte above the programs
        endif

; Page 0's jumps: address, target; FFh ends.
boot_vectors:
        db      WBOOT
        dw      wboot
        db      BDOS
        dw      bdos
        db      0x0C
        dw      slot_rdslt
        db      0x1C
        dw      slot_calslt
        db      0x30
        dw      slot_callf
        db      KEYINT
        dw      inth
        db      0xFF

boot_banner:
        db      13, 10, "Cassonic RAM-disk DOS, $"
boot_banner_end:
        db      "K RAM disk$"
