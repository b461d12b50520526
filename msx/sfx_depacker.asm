; Self-extracting depacker.  A self-extracting COM program moves itself so
; that this code starts at 0xBC00 with the packed data right below it, then
; enters here; the DOS tape reader calls it for its files too.
;
; Nothing damaged is run or handed back as whole: before anything else the
; depacker checks the data below it (packed or stored) together with its
; own bytes against a CRC that the encoder puts in its last word; packed
; data is checked again after decoding, by the length and CRC of the
; unpacked bytes in its header.  On a mismatch a program
; that belongs at 0x0100 shows " <Err>" and returns to DOS; any other
; caller gets carry back.

        include "dos.inc"
SFX_LIMIT equ   0xBE00          ; the lowest top of the DOS program area
                                ; (less a stack) the depacker must stay under

        org     0xBC00

; sfx_depack: restores a program, then runs it when it belongs at 0x0100.
;   In:  HL = packed data, DE = destination, BC = stored length (0: HL holds
;        packed data to decode; else the data is stored and is copied).
;        The data ends where the depacker begins.
;   Out: jumps to 0x0100 when D was 0x01; otherwise returns with NC,
;        HL = the number of bytes restored, DE = one past the last of them,
;        or with C when the data or the depacker is damaged.  A damaged
;        program for 0x0100 returns to DOS (the return on the stack).
;   Changed: AF, BC, DE, HL, AF'.
sfx_depack:
        ld      (sfx_entry_sp),sp
        ld      (sfx_dest),de
        push    hl
        push    bc
        ex      de,hl                   ; the CRC from the data up to itself
        ld      hl,sfx_self_crc
        or      a
        sbc     hl,de
        ld      b,h
        ld      c,l
        ex      de,hl
        ld      de,(sfx_self_crc)
        call    crc16_check
        pop     bc
        pop     de                      ; DE = source
        jr      c,sfx_failed
        ld      hl,sfx_depack
        sbc     hl,de                   ; HL = bytes up to the depacker
        ld      a,b
        or      c
        jr      z,sfx_decode
        sbc     hl,bc                   ; stored data fills them
        scf
        jr      nz,sfx_failed
        ex      de,hl                   ; HL = source
        ld      de,(sfx_dest)
        ldir
        jr      sfx_done
sfx_decode:
        ex      de,hl                   ; HL = source
        call    rnc2_expected
        push    bc
        ld      (rnc2_expected_crc),de
        ld      de,(sfx_dest)
        call    rnc2_decode
        pop     bc
        push    de
        ld      hl,(sfx_dest)
        call    rnc2_check_restored
        pop     de
        jr      c,sfx_failed
sfx_done:
        ld      bc,(sfx_dest)
        ld      a,b
        dec     a
        jp      z,0x0100
        ld      h,d
        ld      l,e
        or      a
        sbc     hl,bc
        ret

sfx_failed:
        ld      sp,(sfx_entry_sp)
        ld      a,(sfx_dest + 1)
        dec     a
        scf
        ret     nz
        ld      de,sfx_err_text
        ld      c,F_PRINT
        jp      BDOS                    ; and from there back to DOS

        include "rnc2_decode.asm"
RNC2_CHECK_STREAM equ 0
        include "rnc2_check.asm"

sfx_err_text:   db      " <Err>$"

; The CRC of the data and the depacker up to here, filled in by the encoder.
sfx_self_crc:   dw      0
sfx_depacker_end:

; Variables, past the image.
sfx_entry_sp    equ     sfx_depacker_end        ; SP as the depacker was entered
sfx_dest        equ     sfx_entry_sp + 2        ; the destination
rnc2_expected_crc equ   sfx_dest + 2            ; of the restored bytes
sfx_variables_end equ   rnc2_expected_crc + 2

        if      sfx_variables_end > SFX_LIMIT
        .error  The SFX depacker reaches past the DOS program area it may use
        endif
