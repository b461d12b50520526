; BIN depacker.  BLOAD puts it at 0xE000 (the turbo tape at 0xDD00, below its
; loader: turbo_depacker.asm) behind the packed program and starts
; it there; it restores the program and starts it as a COM program, a ROM
; image or a BASIC program.  The encoder fills in the parameter block and the
; CRC of the depacker itself in its last two bytes.
;
; Nothing damaged is started: the depacker first checks its own bytes, then
; the packed data (its header and the stream's CRC) or the stored data (its
; CRC in the parameter block), and after decoding the restored bytes.  On a
; mismatch it shows " <Err>", puts back the slots it changed and returns to
; its caller (BASIC, or the fast loader) with carry set; a BASIC program
; restored wrong is replaced by an empty one.
;
; The turbo tape's copies decode tpk data (tpk_decode.asm) instead of
; method 2, and leave the CRCs to their loader, which has checked the whole
; image, depacker and data, before it starts it: they check the restored
; length alone, against the length in the tpk header.  There is one for
; each kind of program (turbo_depacker_*.asm), without the code for the
; other kinds: every byte of it is on the tape in front of the program.

        include "bios.inc"
        include "sysvars.inc"
PAGE0_HELPER equ 0x4000         ; page 1 RAM borrowed for code that switches page 3
        if      defined TURBO_DEPACKER  ; the turbo tape's copy is placed by
        else                            ; turbo_depacker.asm
RNC2_CHECK_STREAM equ 1         ; the packed stream checked by its own CRC
DEPACK_COM equ 1                ; the kinds of program it restores (the
DEPACK_ROM equ 1                ; turbo tape's copies: one kind each)
DEPACK_BASIC equ 1
BIN_DEPACKER_ORG equ 0xE000
BIN_DEPACKER_LIMIT equ 0xE300   ; the fast loader's rank table: the depacker,
                                ; its variables included, must end below it
        endif

MODE_COM   equ  0x00

        org     BIN_DEPACKER_ORG

; bin_depack: restores the program and starts it.
;   In:  nothing (started by BLOAD ",R" or the fast loader with the BIOS and
;        BASIC in pages 0 and 1).
;   Out: does not return, except to its caller when no RAM is found for
;        page 1 (carry as it comes) or when the check finds damage (carry).
;   Changed: everything.
bin_depack:
        jr      bin_start
mode:   db      MODE_COM        ; 0x00 COM, 0x41 ROM, 0xFF BASIC
source: dw      0               ; packed (or stored) data
dest:   dw      0x0100          ; where the program belongs
stored: dw      0               ; its length when stored unpacked, else 0
stored_crc: dw  0               ; the CRC of the stored data

bin_start:
        if      defined TURBO_DEPACKER
        else
        ld      hl,bin_depack           ; the depacker's own bytes first: the
        ld      bc,self_crc - bin_depack ; check must not run on damaged ones
        ld      de,(self_crc)
        call    crc16_check
        jp      c,show_error
        endif
        ld      (entry_sp),sp
        if      DEPACK_BASIC * (DEPACK_COM + DEPACK_ROM)
        ld      a,(mode)
        inc     a
        jr      z,start_basic
        endif
        if      DEPACK_COM + DEPACK_ROM
        call    find_ram                ; A = its slot ID
        jr      nz,main_rom_back        ; no RAM: back to BASIC
        push    af
        call    check_source
        jr      c,page1_failed
        pop     af
        if      DEPACK_COM * DEPACK_ROM
        ld      hl,mode
        bit     6,(hl)
        jr      nz,start_rom
        endif
        endif
        if      DEPACK_COM
        call    page0_to_ram
        ld      a,0xC9
        ld      (0x0005),a              ; BDOS calls return at once
        call    restore
        jp      nc,0x0100
com_failed:
        ld      sp,(entry_sp)           ; page 0 back on the main ROM
        ld      a,(EXPTBL)
        call    page0_to_ram
        jr      page1_failed
        endif

        if      DEPACK_ROM
start_rom:                              ; jump to the INIT address of the ROM header
        call    restore
        jr      c,page1_failed
        ld      hl,(dest)
        inc     hl
        inc     hl
        ld      a,(hl)
        inc     hl
        ld      h,(hl)
        ld      l,a
        jp      (hl)
        endif

; BASIC programs go to TXTTAB - 1 (their first byte is the 0x00 before the
; text) and run under the interpreter, so pages 0 and 1 must hold the main
; ROM: page 0 is never switched in this mode, and page 1 is put back on the
; main ROM's slot, secondary included, in case anything moved it.
        if      DEPACK_BASIC
start_basic:
        call    check_source
        jr      c,page1_failed
        ld      hl,(TXTTAB)
        dec     hl
        ld      (dest),hl
        call    restore
        jr      c,basic_failed
        ld      (VARTAB),de
        ld      hl,RUNBAS
        push    hl                      ; ENASLT returns into the interpreter
        endif
main_rom_back:                          ; page 1 to the main ROM, then return
        ld      a,(EXPTBL)
        ld      h,0x40
        jp      ENASLT

; The error paths: the slots as BASIC needs them, then " <Err>" and back to
; the caller with carry.  A BASIC program restored wrong leaves an empty
; program (the text's leading 0x00 and an end link), as NEW does.
        if      DEPACK_BASIC
basic_failed:
        ld      sp,(entry_sp)
        ld      hl,(TXTTAB)
        xor     a
        dec     hl
        ld      (hl),a
        inc     hl
        ld      (hl),a
        inc     hl
        ld      (hl),a
        inc     hl
        ld      (VARTAB),hl
        endif
page1_failed:
        ld      sp,(entry_sp)
        call    main_rom_back
show_error:                             ; the stack as on entry
        ei
        ld      hl,err_text
show_char:
        ld      a,(hl)
        inc     hl
        call    CHPUT
        cp      '>'
        jr      nz,show_char
        scf
        ret

; check_source: checks the data to restore: stored data must fill the room
; up to the depacker and match its CRC; packed data is checked by
; rnc2_check_packed, whose unpacked length and CRC are kept for restore (the
; turbo tape's copy checks only the stored data's length and keeps the
; unpacked length of the tpk header: its loader has checked the CRC-16 of
; the whole image, packed data and depacker, before starting it).
;   In: the parameter block.  Out: NC when whole, C when damaged.
;   Changed: AF, BC, DE, HL.
check_source:
        ld      hl,bin_depack
        ld      de,(source)
        or      a
        sbc     hl,de
        ld      b,h
        ld      c,l                     ; BC = bytes up to the depacker
        ex      de,hl                   ; HL = source
        ld      de,(stored)
        ld      a,d
        or      e
        jr      z,check_packed
        ex      de,hl
        sbc     hl,bc                   ; no carry: OR cleared it
        scf
        ret     nz
        if      defined TURBO_DEPACKER
        ccf
        ret
        else
        ex      de,hl
        ld      de,(stored_crc)
        jp      crc16_check
        endif
check_packed:
        if      defined TURBO_DEPACKER
        ld      c,(hl)                  ; the tpk header's unpacked length,
        inc     hl                      ; read before decoding in place may
        ld      b,(hl)                  ; write over the header
        ld      (expected_length),bc
        ret                             ; NC from OR
        else
        call    rnc2_check_packed
        ret     c
        ld      (expected_length),bc
        ld      (rnc2_expected_crc),de
        ret
        endif

; restore: copies or decodes the program to its destination; decoded bytes
; are checked against the length and CRC that check_source kept (the turbo
; tape's copy: the length alone; copied ones were checked where they were).
;   In: the parameter block, check_source done.  Out: NC and DE = one past
;   the last byte restored, or C when the restored bytes are wrong.
;   Changed: AF, BC, DE, HL, AF'.
restore:
        ld      hl,(source)
        ld      de,(dest)
        ld      bc,(stored)
        ld      a,b
        or      c
        jr      z,restore_packed
        ldir
        ret                             ; NC from OR
restore_packed:
        if      defined TURBO_DEPACKER
        call    tpk_decode
        push    de
        ex      de,hl                   ; HL = one past the last byte restored
        ld      de,(dest)
        or      a
        sbc     hl,de                   ; the length restored
        ld      de,(expected_length)
        or      a
        sbc     hl,de
        pop     de
        ret     z                       ; NC: no borrow when they agree
        scf
        ret
        else
        call    rnc2_decode
        push    de
        ld      hl,(dest)
        ld      bc,(expected_length)
        call    rnc2_check_restored
        pop     de
        ret
        endif

        if      DEPACK_COM + DEPACK_ROM
; find_ram: selects the first slot whose page 1 holds RAM, trying every
; primary slot and every secondary slot of the expanded ones.  The byte
; tested is 0x4000 + the slot ID, put back afterwards.
;   Out: Z, page 1 on that slot and A = its ID, or NZ when none.
;   Changed: AF, BC, DE, HL; interrupts disabled.
find_ram:
        ld      hl,0x4000               ; H = page 1, L = primary slot
find_primary:
        ld      a,l
        add     a,low EXPTBL
        ld      e,a
        ld      d,high EXPTBL
        ld      a,(de)
        and     0x80
        or      l
        ld      l,a                     ; L = first slot ID of this primary slot
find_try:
        ld      a,l
        call    ENASLT                  ; keeps HL
        ld      a,(hl)
        cpl
        ld      (hl),a
        cp      (hl)                    ; Z when the complement stuck: RAM
        cpl
        ld      (hl),a
        ld      a,l
        ret     z
        or      a
        jp      p,find_next             ; not expanded: next primary slot
        add     a,4                     ; next secondary slot
        ld      l,a
        bit     4,a
        jr      z,find_try
find_next:
        ld      a,l
        inc     a
        and     3
        ld      l,a
        jr      nz,find_primary
        inc     a                       ; NZ: none found
        ret
        endif

        if      DEPACK_COM
; page0_to_ram: puts page 0 on a slot by writing the slot registers, as the
; BIOS slot selection cannot switch the page it runs in: the RAM found for
; page 1, or the main ROM again after a failed check.
;   In: A = slot ID; page 1 on RAM (the RAM found).
;   Out: interrupts disabled.  Changed: AF, BC, DE, HL, the helper's bytes
;   at PAGE0_HELPER.
page0_to_ram:
        ld      hl,page0_helper
        ld      de,PAGE0_HELPER
        ld      bc,page0_helper_end - page0_helper
        ldir                            ; keeps A
        di
        ld      c,a
        and     3
        ld      b,a                     ; B = primary slot
        in      a,(0xA8)
        and     0xFC
        or      b
        ld      e,a                     ; E = A8h with page 0 on the primary slot
        bit     7,c
        jr      z,page0_primary
        ; Expanded: its secondary register answers only in page 3, where this
        ; code runs, so the copy of the helper in page 1 RAM does the write.
        and     0x3F
        ld      d,a
        ld      a,b
        rrca
        rrca
        or      d
        ld      d,a                     ; D = E with page 3 on the primary slot too
        ld      hl,SLTTBL
        ld      a,l
        add     a,b
        ld      l,a
        ld      a,c
        rrca
        rrca
        and     3
        ld      c,a                     ; C = secondary slot
        jp      PAGE0_HELPER
page0_primary:
        out     (0xA8),a
        ret

; Copied to page 1 RAM and run there.  No stack use while page 3 is switched.
;   In: C = secondary slot for page 0, D = A8h value reaching the register,
;   E = final A8h value, HL = SLTTBL entry of the primary slot.  Changed: AF, B.
page0_helper:
        ld      a,d
        out     (0xA8),a
        ld      a,(0xFFFF)
        cpl
        and     0xFC
        or      c
        ld      (0xFFFF),a
        ld      b,a
        ld      a,e
        out     (0xA8),a
        ld      (hl),b                  ; the BIOS's copy of the register
        ret
page0_helper_end:
        endif

        if      defined TURBO_DEPACKER
        include "tpk_decode.asm"
        else
        include "rnc2_decode.asm"
        include "rnc2_check.asm"
        endif

err_text:       db      " <Err>"

; The depacker's CRC of its bytes up to here, filled in by the encoder.
self_crc:       dw      0
bin_depacker_end:

; Variables, written only after the self-check, past the image.
entry_sp        equ     bin_depacker_end        ; SP as the depacker was started
expected_length equ     entry_sp + 2            ; of the restored program, and
        if      defined TURBO_DEPACKER
bin_variables_end equ   expected_length + 2
        else
rnc2_expected_crc equ   expected_length + 2     ; its CRC, from the header
bin_variables_end equ   rnc2_expected_crc + 2
        endif

        if      bin_variables_end > BIN_DEPACKER_LIMIT
        .error  The BIN depacker reaches the code above it
        endif
