; Console: the BIOS call helper, the console functions 01h, 02h, 06h, 08h,
; 09h, 0Ah and 0Bh, the interrupt handler behind 0038h, and the page-0 slot
; vectors for programs that call the BIOS.
;
; Under DOS every page is RAM.  The main ROM comes into page 0 for one
; routine at a time, switched by code in page 3 with interrupts off and the
; stack outside page 0.  Normally only page 0's field of the primary slot
; register changes: the BIOS's own primary slot keeps selecting the BIOS
; through its secondary register.  When the BIOS shares its (expanded)
; primary slot with page 3's RAM, page 0's field of that slot's secondary
; register changes too, and SLTTBL with it.

; Console and interrupt variables (after the boot parameters).
bios_prim       equ     sys_vars_free + 0       ; the BIOS's primary slot, page 0 field
bios_sec        equ     sys_vars_free + 1       ; the BIOS's secondary slot, page 0 field
bios_sec_on     equ     sys_vars_free + 2       ; nonzero: page 0 needs page 3's secondary register switched too
p3_expanded     equ     sys_vars_free + 3       ; nonzero: page 3's primary slot is expanded
slttbl_p3       equ     sys_vars_free + 4       ; word: SLTTBL entry of page 3's primary slot
biosc_arg       equ     sys_vars_free + 6       ; A for the ROM routine
biosc_entry     equ     sys_vars_free + 7       ; word: the ROM routine
inth_sp         equ     sys_vars_free + 9       ; word: the interrupted program's SP
slot_sp         equ     sys_vars_free + 11      ; word: SP of the program calling a slot vector
slot_entry      equ     sys_vars_free + 13      ; word: the ROM's routine for it
slot_found      equ     sys_vars_free + 15      ; word: slot registers as found (D, E of bios_page0)
slot_iff        equ     sys_vars_free + 17      ; word: L bit 2 = interrupts were on
con_vars_end    equ     sys_vars_free + 19

; bios_page0: switches page 0 to the main ROM.
;   In:  interrupts off, SP outside page 0.
;   Out: D = primary slot register as found, E = page 3's secondary register
;        as found (meaningful when bios_sec_on).
;   Changed: AF, DE, HL.
bios_page0:
        ld      a,(SSLOTREG)
        cpl
        ld      e,a
        ld      a,(bios_sec_on)
        or      a
        jr      z,bios_page0_primary
        ld      a,e
        and     0xFC
        ld      hl,bios_sec
        or      (hl)
        ld      (SSLOTREG),a
        ld      hl,(slttbl_p3)
        ld      (hl),a
bios_page0_primary:
        in      a,(SLOTS)
        ld      d,a
        and     0xFC
        ld      hl,bios_prim
        or      (hl)
        out     (SLOTS),a
        ret

; bios_page0_back: puts page 0 back as bios_page0 found it.
;   In:  D, E from bios_page0; interrupts off.  Out: nothing.
;   Changed: AF, HL.
bios_page0_back:
        ld      a,(bios_sec_on)
        or      a
        jr      z,bios_page0_back_primary
        ld      a,e
        ld      (SSLOTREG),a
        ld      hl,(slttbl_p3)
        ld      (hl),a
bios_page0_back_primary:
        ld      a,d
        out     (SLOTS),a
        ret

; biosc: calls a main ROM routine with page 0 switched to the BIOS, from
; DOS (page 0 = RAM) or from the start-up (page 0 = BIOS already: nothing
; changes).  The caller's interrupt state is restored on return, whatever
; the routine did with it.
;   In:  HL = ROM entry, A = the routine's A; SP outside page 0.
;   Out: AF as the routine returns it.
;   Changed: AF, HL.
biosc:
        push    de
        ld      (biosc_arg),a
        ld      (biosc_entry),hl
        ld      a,i                     ; P/V = interrupts were on
        di
        push    af
        call    bios_page0
        push    de
        ld      hl,(biosc_entry)
        ld      a,(biosc_arg)
        call    con_jp_hl
        di
        pop     de
        push    af
        call    bios_page0_back
        pop     de                      ; the routine's AF
        pop     af
        jp      po,biosc_off
        ei
biosc_off:
        push    de
        pop     af
        pop     de
        ret

; con_jp_hl: jumps to HL, for a CALL to an address in a register.
;   In: HL.  Out, Changed: as the routine there.
con_jp_hl:
        jp      (hl)

; con_putc: prints a character.  In: A.  Out: nothing.  Changed: AF.
con_putc:
        push    hl
        ld      hl,CHPUT
        jr      con_bios

; con_getc: waits for a key (KEYBUF first).  In: nothing.  Out: A = the
; character.  Changed: AF.
con_getc:
        push    hl
        ld      hl,CHGET
        jr      con_bios

; con_keysns: whether a key is waiting.  In: nothing.  Out: Z = none.
;   Changed: AF.
con_keysns:
        push    hl
        ld      hl,CHSNS
con_bios:
        call    biosc
        pop     hl
        ret

; con_out (02h): prints E.
;   In: E.  Out: nothing.  Changed: AF.
con_out:
        ld      a,e
        jr      con_putc

; con_in (01h): waits for a key and echoes it; CTRL+C warm boots.
;   In: nothing.  Out: A = L = the character.  Changed: AF, L.
con_in:
        call    con_getc
        cp      0x03
        jr      z,con_break
        ld      l,a
        jr      con_putc

; con_raw_in (08h): waits for a key, no echo.
;   In: nothing.  Out: A = L = the character.  Changed: AF, L.
con_raw_in:
        call    con_getc
        ld      l,a
        ret

; con_direct (06h): E = FFh: the waiting key or 0, without waiting or echo;
; any other E is printed.
;   In: E.  Out: A = L = the key or 0 (input).  Changed: AF, L.
con_direct:
        ld      a,e
        inc     a
        jr      nz,con_out
        call    con_keysns
        ld      a,0
        ld      l,a
        ret     z
        jr      con_raw_in

; con_status (0Bh): A = L = FFh when a key is waiting, else 0.
;   In: nothing.  Out: A, L.  Changed: AF, L.
con_status:
        call    con_keysns
        ld      a,0
        jr      z,con_status_done
        dec     a
con_status_done:
        ld      l,a
        ret

; con_string (09h): prints the text at DE up to "$".
;   In: DE.  Out: nothing.  Changed: AF, DE.
con_string:
        ld      a,(de)
        cp      '$'
        ret     z
        call    con_putc
        inc     de
        jr      con_string

; con_break: CTRL+C typed: prints "^C" and warm boots.
;   In: nothing.  Does not return.
con_break:
        ld      de,con_break_text
        call    con_string
        jp      wboot

; con_line (0Ah): reads a line into the buffer at DE: (DE) = the most
; characters it takes; DE+1 gets their count, DE+2 on the text (the CR is
; not stored).  Keys come through CHGET, KEYBUF first.  BS and DEL erase the
; last character; other control codes and keys past the end are ignored; CR
; ends the line and is echoed as CR LF; CTRL+C warm boots.
;   In: DE.  Out: A = the count.  Changed: AF, BC, DE, HL.
con_line:
        ex      de,hl
        ld      c,(hl)
        inc     hl
        push    hl                      ; where the count goes
        ld      b,0
con_line_key:
        call    con_getc
        cp      0x0D
        jr      z,con_line_end
        cp      0x03
        jr      z,con_break
        cp      0x08
        jr      z,con_line_erase
        cp      0x7F
        jr      z,con_line_erase
        cp      0x20
        jr      c,con_line_key
        ld      e,a
        ld      a,b
        cp      c
        jr      nc,con_line_key
        inc     hl
        ld      (hl),e
        inc     b
        ld      a,e
        call    con_putc
        jr      con_line_key
con_line_erase:
        inc     b
        dec     b
        jr      z,con_line_key
        dec     b
        dec     hl
        ld      de,con_erase_text
        call    con_string
        jr      con_line_key
con_line_end:
        pop     hl
        ld      (hl),b
        ld      de,con_crlf_text
        call    con_string
        ld      a,b
        ret

con_break_text:
        db      "^C$"
con_erase_text:
        db      8, " ", 8, "$"
con_crlf_text:
        db      13, 10, "$"

; inth: the interrupt handler behind 0038h in page 0: runs the BIOS's own
; interrupt routine (keyboard scan into KEYBUF, JIFFY, the VDP status) with
; page 0 switched to it, on a stack of its own, because the interrupted
; program's stack may be in page 0.
;   In: nothing (interrupts off).  Out: nothing.  Changed: nothing.
inth:
        ld      (inth_sp),sp
        ld      sp,istack_top
        push    af
        push    de
        push    hl
        call    bios_page0
        push    de
        call    KEYINT                  ; ends with EI
        di
        pop     de
        call    bios_page0_back
        pop     hl
        pop     de
        pop     af
        ld      sp,(inth_sp)
        ei
        ret

; --- Page-0 slot vectors: RDSLT (000Ch) and CALSLT (001Ch) run the ROM's
; routine of the same address with the BIOS in page 0, registers passed
; through both ways; CALLF (0030h, RST 30h) takes its three inline bytes
; (slot ID, address) from the caller's code first, then goes the CALSLT
; way.  They run on the shell's stack, which is free while a program runs,
; since the program's own may be in page 0.  As under any DOS, a routine
; reached this way cannot see the caller's buffers in page 0.  The
; caller's interrupt state is restored on return.

; slot_rdslt: RDSLT.  In, Out, Changed: as the ROM's (A = slot ID, HL =
; address; A = the byte; AF, BC, DE).
slot_rdslt:
        ld      (slot_sp),sp
        ld      sp,sstack_top
        push    hl
        ld      hl,0x000C
        jr      slot_switch

; slot_callf: CALLF.  In: the inline bytes after the RST 30h; AF, BC, DE,
; HL for the routine.  Out, Changed: as the routine, IX and IY set as the
; ROM's CALLF sets them.
slot_callf:
        ex      (sp),hl
        push    af
        push    de
        ld      a,(hl)
        push    af
        pop     iy                      ; IYH = slot ID
        inc     hl
        ld      e,(hl)
        inc     hl
        ld      d,(hl)
        inc     hl
        push    de
        pop     ix
        pop     de
        pop     af
        ex      (sp),hl                 ; return past the inline bytes

; slot_calslt: CALSLT.  In, Out, Changed: as the ROM's (IYH = slot ID, IX =
; address; AF, BC, DE, HL to and from the routine).
slot_calslt:
        ld      (slot_sp),sp
        ld      sp,sstack_top
        push    hl
        ld      hl,0x001C
slot_switch:
        ld      (slot_entry),hl
        pop     hl
        push    af
        push    de
        push    hl
        ld      a,i
        di
        push    af
        pop     hl
        ld      (slot_iff),hl
        call    bios_page0
        ld      (slot_found),de
        pop     hl
        pop     de
        pop     af
        call    slot_jump
        di
        push    af
        push    de
        push    hl
        ld      de,(slot_found)
        call    bios_page0_back
        ld      hl,(slot_iff)
        bit     2,l
        pop     hl
        pop     de
        jr      z,slot_off
        pop     af
        ld      sp,(slot_sp)
        ei
        ret
slot_off:
        pop     af
        ld      sp,(slot_sp)
        ret

; slot_jump: jumps to the ROM routine of the vector with every register as it is.
;   In: slot_entry.  Out, Changed: as the routine.
slot_jump:
        push    hl
        ld      hl,(slot_entry)
        ex      (sp),hl
        ret
