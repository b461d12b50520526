; Checks around the method-2 decoder for the depackers: packed data is
; looked at before it is decoded (a damaged stream could make the decoder
; write anywhere) and the restored bytes after, so that nothing damaged is
; ever started.  RNC2_CHECK_STREAM, set by the includer, takes in the
; check of the stream by its own CRC (a depacker that checks the packed
; data with its own CRC does without).  The method-2 header (big-endian fields): "RNC", 2, the
; unpacked length (4 bytes), the stream's length (4), the unpacked bytes'
; CRC (2), the stream's CRC (2), leeway, chunks; then the stream.

        include "include/crc16.inc"

        if      RNC2_CHECK_STREAM
; rnc2_check_packed: checks packed data that ends where its area ends: its
; stream must fill the area (the header's stream length, whose high bytes
; are 0) and match the stream CRC.  The signature and the other fields are
; not looked at: the decoder does not read them, and the unpacked length
; and CRC are checked on the restored bytes.
;   In:  HL = packed data (header first), BC = bytes from HL to the end of
;        its area.
;   Out: NC when it is whole: BC = unpacked length, DE = unpacked CRC.
;        C when it is damaged.
;   Changed: AF, BC, DE, HL.
rnc2_check_packed:
        ld      de,-18
        ex      de,hl
        add     hl,bc
        ex      de,hl                   ; DE = the stream's length, HL = header
        ccf
        ret     c                       ; no room for a header
        push    hl
        ld      bc,8
        add     hl,bc
        ld      a,(hl)                  ; the stream's length, big-endian
        inc     hl
        or      (hl)
        inc     hl
        jr      nz,rnc2_check_bad
        ld      a,(hl)
        inc     hl
        cp      d
        jr      nz,rnc2_check_bad
        ld      a,(hl)
        cp      e
        jr      nz,rnc2_check_bad
        ld      b,d
        ld      c,e
        ld      de,14 - 11
        add     hl,de
        ld      d,(hl)                  ; the stream's CRC
        inc     hl
        ld      e,(hl)
        inc     hl
        inc     hl
        inc     hl                      ; HL = the stream
        call    crc16_check
        pop     hl
        ret     c
        ; fall through
        endif

; rnc2_expected: the unpacked length and CRC from a header, read before
; decoding (decoding in place may write over the header).
;   In:  HL = packed data (header first).
;   Out: BC = unpacked length, DE = its CRC, NC.  Changed: AF, BC, DE.
rnc2_expected:
        push    hl
        ld      bc,6
        add     hl,bc
        ld      b,(hl)
        inc     hl
        ld      c,(hl)
        ld      de,5
        add     hl,de
        ld      d,(hl)
        inc     hl
        ld      e,(hl)
        pop     hl
        ret

        if      RNC2_CHECK_STREAM
rnc2_check_bad:
        pop     hl
        scf
        ret
        endif

; rnc2_check_restored: checks restored bytes against the length and CRC
; that rnc2_expected read.
;   In:  HL = first byte restored, DE = one past the last, BC = length
;        expected, rnc2_expected_crc (a word the includer places).
;   Out: NC when both agree, else C.
;   Changed: AF, BC, DE, HL.
rnc2_check_restored:
        push    hl
        ex      de,hl
        or      a
        sbc     hl,de                   ; the length restored
        sbc     hl,bc                   ; no carry from the one before
        pop     hl
        scf
        ret     nz
        ld      de,(rnc2_expected_crc)
        jp      crc16_check
