; Self-extracting depacker.  A self-extracting COM program moves itself so
; that this code starts at 0xBC00 with the packed data right below it, then
; enters here; the RAM-disk DOS calls it for its files too.

        org     0xBC00

; sfx_depack: restores a program, then runs it when it belongs at 0x0100.
;   In:  HL = packed data, DE = destination, BC = stored length (0: HL holds
;        packed data to decode; else the data is stored and is copied).
;   Out: jumps to 0x0100 when D was 0x01; otherwise returns with
;        HL = the number of bytes restored, DE = one past the last of them.
;   Changed: AF, BC, DE, HL, AF'.
sfx_depack:
        push    de
        ld      a,b
        or      c
        jr      z,sfx_decode
        ldir
        jr      sfx_done
sfx_decode:
        call    rnc2_decode
sfx_done:
        pop     bc
        ld      a,b
        dec     a
        jp      z,0x0100
        ld      h,d
        ld      l,e
        or      a
        sbc     hl,bc
        ret

        include "rnc2_decode.asm"
