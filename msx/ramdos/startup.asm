; The RAMDOS image: a BIN file that the fast loader loads at 0x8300 and
; starts at 0x8304.  It brings up the RAM-disk DOS: the disk system is
; unpacked into mapper segment 4 and installs the resident kernel, then the
; DOS files are unpacked one after the other and written onto the new RAM
; disk through the kernel's own functions, "K7" is typed into the keyboard
; buffer, and DOS is started.  It needs an MSX2 with at least 128K of
; mapper RAM; on anything less it says so and goes back to BASIC.
        include "layout.inc"
        include "loader_area.inc"

entry_sp        equ     K0 - 2  ; the caller's stack pointer, under our stack
loader_first    equ     LOADER_RANKS >> 8       ; the pages the fast loader
loader_last     equ     (LOADER_LIMIT - 1) >> 8 ; stays in

        org     0x8300 - 7
        db      0xFE
        dw      params, image_end, boot

; Parameters patched by the encoder from the RAMDOS keyword's suffix.
params:
vram_pages:     db 7            ; video RAM pages for the RAM disk, 0 to 7
ram_pages:      db 3            ; RAM pages for the RAM disk, 1 to 8
copy_files:     db 1            ; 1: copy the DOS files onto the disk, 0: don't
slot_probe:     db 0            ; the slot ID of the RAM found for page 1

; boot: brings the RAM-disk DOS up.
;   In:  page 0 = BIOS, page 1 = BASIC, pages 2 and 3 = RAM (mapper
;        segments 1 and 0); called by the fast loader or by BLOAD ",R".
;   Out: does not return, except to BASIC on a machine that cannot run it.
;   Changed: everything.
boot:
        di
        ld      (entry_sp),sp
        ld      sp,entry_sp             ; below the kernel, which INIT puts at K0
        ld      a,(MSXVER)
        or      a
        jp      z,refuse                ; an MSX1
        call    find_ram
        jp      nz,refuse
        call    mapper_check
        jp      nz,refuse

        ld      a,4                     ; the disk system's segment in page 1
        out     (MAPPER1),a
        ld      hl,disksys_packed
        ld      de,0x4000
        call    rnc2_decode

        ld      a,(vram_pages)
        ld      (ds_vram_pages),a
        ld      a,(ram_pages)
        ld      (ds_ram_pages),a
        add     a,a
        add     a,a
        add     a,a
        add     a,a
        sub     3
        ld      l,a
        ld      h,0
        ld      (ds_sectors),hl

        ; Pages 0 and 1 will show the slots of pages 2 and 3 under DOS.
        in      a,(SLOTS)
        call    upper_twice
        ld      (ds_slot_pa),a
        ld      (ds_slot_pa_copy),a
        ld      a,(SSLOTREG)
        cpl
        call    upper_twice
        ld      (ds_slot_ps),a

        ld      hl,command_entry + 11
        call    unpack_file
        push    de                      ; the end of COMMAND.COM
        call    ds_init
        pop     hl

        ld      a,(copy_files)
        or      a
        jr      z,start_dos
        ld      de,command_entry
        call    write_file
        ld      hl,msxdos_entry + 11
        call    unpack_file
        ex      de,hl
        ld      de,msxdos_entry
        call    write_file
        ld      hl,k7_entry + 11
        call    unpack_file
        ex      de,hl
        ld      de,k7_entry
        call    write_file

        ld      hl,k7_keys              ; DOS finds "K7" typed at its prompt
        ld      de,KEYBUF
        ld      bc,k7_keys_end - k7_keys
        ldir
        ld      (PUTPNT),de
        ld      hl,KEYBUF
        ld      (GETPNT),hl

start_dos:
        ld      a,1
        ld      (DRIVES),a
        jp      ds_boot

; refuse: tells that the machine cannot run the DOS and goes back to BASIC
; as it was: page 1 on the main ROM, and, when the fast loader started the
; image, its BLOAD hook taken away, since the rest of the tape is not for
; it.  The fast loader calls a program from its load loop, whose own return
; (into BASIC, or into the BLOAD hook) lies right beneath; returning into
; the loop would read the DOS files on the tape as programs.
;   In: entry_sp.  Out: back to BASIC.  Changed: everything.
refuse:
        ld      a,(EXPTBL)
        ld      h,0x40
        call    ENASLT
        ld      hl,refusal
print:
        ld      a,(hl)
        or      a
        jr      z,printed
        call    CHPUT
        inc     hl
        jr      print
printed:
        ld      sp,(entry_sp)
        pop     hl                      ; where the image was called from
        ld      a,h
        cp      loader_first
        jr      c,back
        cp      loader_last + 1
        jr      nc,back
        ld      a,0xC9
        ld      (H_GONE),a
        ei
        ret
back:
        ei
        jp      (hl)

; find_ram: selects for page 1 the slot of page 3, whose RAM DOS will have
; in every page, and checks that page 1 has RAM there (a byte there takes
; its complement, which is then put back).  RAM in any other slot, such as
; a cartridge's, is left alone.
;   In: nothing.  Out: Z when page 1 has RAM; slot_probe = its slot ID.
;   Changed: AF, BC, DE, HL; interrupts off.
find_ram:
        in      a,(SLOTS)
        rlca
        rlca
        and     3
        ld      c,a                     ; page 3's primary slot
        ld      b,0
        ld      hl,EXPTBL
        add     hl,bc
        bit     7,(hl)
        jr      z,page3_id
        ld      hl,SLTTBL
        add     hl,bc
        ld      a,(hl)
        and     0xC0                    ; page 3's secondary slot
        rrca
        rrca
        rrca
        rrca
        or      0x80
        or      c
page3_id:
        ld      (slot_probe),a
        ld      h,0x40
        call    ENASLT
        ld      hl,0x5500
        ld      a,(hl)
        cpl
        ld      (hl),a
        cp      (hl)
        cpl
        ld      (hl),a
        ret

; mapper_check: whether the RAM in page 1 is a memory mapper of at least
; 128K: then segment 4 is a segment of its own and not segment 0 again (as
; with 64K, or with RAM that is no mapper).  A byte of segment 4 is
; complemented and put back; segment 0, perhaps page 3, is only read.
;   In: RAM in page 1, interrupts off.  Out: Z when it is; page 1 = segment 2.
;   Changed: AF, BC, HL.
mapper_check:
        ld      hl,0x4000
        xor     a
        out     (MAPPER1),a
        ld      c,(hl)                  ; segment 0's byte
        ld      a,4
        out     (MAPPER1),a
        ld      a,(hl)
        cpl
        ld      (hl),a
        ld      b,a
        xor     a
        out     (MAPPER1),a
        ld      a,(hl)
        cp      c                       ; Z: segment 0 kept its byte
        ld      a,4
        out     (MAPPER1),a
        ld      a,b
        cpl
        ld      (hl),a
        ld      a,2                     ; page 1's segment as the BIOS sets it
        out     (MAPPER1),a
        ret

; upper_twice: In: A = a slot register value.  Out: A with the fields of
; pages 2 and 3 copied into those of pages 0 and 1.  Changed: AF, B.
upper_twice:
        and     0xF0
        ld      b,a
        rrca
        rrca
        rrca
        rrca
        or      b
        ret

; unpack_file: In: HL = a file's packed data.  Out: the file at
; unpack_buffer, DE = one past its end.  Changed: AF, BC, DE, HL, AF'.
unpack_file:
        ld      de,unpack_buffer
        jp      rnc2_decode

; write_file: writes the data from unpack_buffer up to HL as a new file on
; the default drive.  The DOS calls' results are not looked at: a freshly
; formatted disk has room for the three files.
;   In: DE = the file's 11-character name, HL = one past the data's end.
;   Out: nothing.  Changed: AF, BC, DE, HL, the file control block.
write_file:
        push    hl
        ld      hl,su_fcb
        ld      (hl),0                  ; the default drive
        inc     hl
        ex      de,hl
        ld      bc,11
        ldir
        ex      de,hl
        ld      b,FCB_LENGTH - FCB_BLOCK
clear_fcb:
        ld      (hl),0
        inc     hl
        djnz    clear_fcb
        ld      de,su_fcb
        ld      c,F_CREATE
        call    BDOSF
        ld      hl,1
        ld      (su_fcb + FCB_RECSIZE),hl ; records of one byte
        ld      de,unpack_buffer
        ld      c,F_DMA
        call    BDOSF
        pop     hl
        ld      de,unpack_buffer
        or      a
        sbc     hl,de
        ld      de,su_fcb
        ld      c,F_WRBLK
        call    BDOSF
        ld      de,su_fcb
        ld      c,F_CLOSE
        jp      BDOSF

refusal:        db      13, 10, "RAM-disk DOS needs an MSX2", 13, 10, "with 128K of mapper RAM", 13, 10, 0
k7_keys:        db      "K7", 13
k7_keys_end:

        include "rnc2_decode.asm"

; The packed items: each file's 11-character name, then its packed data.
msxdos_entry:
        db      "MSXDOS  SYS"
        incbin  "msxdos_sys.rnc"
command_entry:
        db      "COMMAND COM"
        incbin  "command.rnc"
k7_entry:
        db      "K7      COM"
        incbin  "k7.rnc"
; The disk system comes last: once it is unpacked, the files are unpacked
; one at a time into the place its packed data took.
disksys_packed:
        incbin  "disksys.rnc"
image_end:
unpack_buffer   equ     disksys_packed

        if      image_end > K0 - 0x100
        .error  The image runs into the start-up program's stack or the kernel
        endif
        if      su_fcb + FCB_LENGTH > params
        .error  The file writer's file control block runs into the image
        endif
