; Method-2 decoder, shared by the depackers and the RAM-disk DOS.
;
; The current flag byte lives in A with a marker bit below its unused bits:
; ADD A,A moves the next flag bit into carry, and a zero result means the
; marker itself left, so the next stream byte becomes the flag byte.  Data
; bytes are read straight from the stream with HL, independently of A.
; It decodes any valid stream, long matches up to 263 bytes included, and
; trusts its input: it checks neither the header nor the checksums.

; RNC2_BIT: next flag bit into carry.  Changed: AF (A = flag byte), HL.
RNC2_BIT macro
        add     a,a
        call    z,rnc2_reload
        endm

; rnc2_decode: restores the packed data at HL to DE.
;   In:  HL = packed data (its 18-byte header, then the stream), DE = destination.
;   Out: DE = one past the last byte written, HL = one past the last stream byte.
;   Changed: AF, BC, DE, HL, AF'.  Uses 2 words of stack beyond its return address.
rnc2_decode:
        ld      bc,18
        add     hl,bc
        scf
        ld      a,(hl)
        inc     hl
        adc     a,a             ; lock bit out, marker in
        add     a,a             ; key bit out
        jr      rnc2_token

rnc2_literal:
        ldi
rnc2_token:
        add     a,a
        jr      z,rnc2_token_reload
        jr      nc,rnc2_literal         ; 0: literal
rnc2_one:
        RNC2_BIT
        jr      nc,rnc2_code10
        RNC2_BIT
        jr      nc,rnc2_len2            ; 110
        RNC2_BIT
        jr      c,rnc2_code1111
        ld      bc,3                    ; 1110: length 3

; BC = match length; the offset code follows.
rnc2_offset:
        RNC2_BIT
        jr      c,rnc2_far
; Offsets 1 to 256: the next data byte holds offset - 1.
rnc2_near:
        ex      af,af'
        ld      a,e
        scf
        sbc     a,(hl)
        inc     hl
        push    hl
        ld      l,a
        ld      a,d
        sbc     a,0
        ld      h,a                     ; HL = DE - offset
        ldir
        pop     hl
        ex      af,af'
        jp      rnc2_token

rnc2_token_reload:
        ld      a,(hl)
        inc     hl
        adc     a,a
        jr      nc,rnc2_literal
        jr      rnc2_one

rnc2_len2:
        ld      bc,2
        jr      rnc2_near

; 1111: a count byte n follows; 0 ends a chunk, else the length is n + 8.
rnc2_code1111:
        ld      c,(hl)
        inc     hl
        inc     c
        dec     c
        jr      z,rnc2_chunk_end
        ex      af,af'
        ld      a,c
        add     a,8
        ld      c,a
        ld      a,0
        adc     a,a
        ld      b,a
        ex      af,af'
        jr      rnc2_offset

; After the end code, a 1 bit means another chunk follows.
rnc2_chunk_end:
        RNC2_BIT
        jr      c,rnc2_token
        ret

; 10: lengths 4 to 8 in two or three more bits, or a literal run.
rnc2_code10:
        ld      bc,1
        RNC2_BIT                        ; p
        rl      c
        RNC2_BIT                        ; q
        jr      c,rnc2_q1
        inc     c
        inc     c                       ; 10p0: 4 + p
        jr      rnc2_offset
rnc2_q1:
        RNC2_BIT                        ; r
        rl      c                       ; 4 + 2p + r
        inc     c
        bit     3,c
        jr      nz,rnc2_run             ; 10111
        inc     c                       ; 10p1r: 6 + 2p + r
        jr      rnc2_offset
; A run of 12 + 4k bytes, k in 4 bits.  The bit of C = 8 moves up to bit 7
; as they come in, leaving C = 128 + k, and 4 * (128 + k + 3) = 12 + 4k
; modulo 256.
rnc2_run:
        ld      b,4
rnc2_run_bits:
        RNC2_BIT
        rl      c
        djnz    rnc2_run_bits
        ex      af,af'
        ld      a,c
        add     a,3
        add     a,a
        add     a,a
        ld      c,a
        ex      af,af'
        ldir
        jp      rnc2_token

; Offsets 257 to 4096: the high part H of offset - 1 in 2 to 5 more bits,
; then its low byte.
rnc2_far:
        push    bc
        ld      b,0
        RNC2_BIT                        ; a
        rl      b
        RNC2_BIT                        ; b
        jr      c,rnc2_far_b1
        inc     b
        dec     b
        jr      nz,rnc2_far_copy        ; 110: H = 1
        inc     b
        RNC2_BIT
        rl      b                       ; 100c: H = 2 + c
        jr      rnc2_far_copy
rnc2_far_b1:
        RNC2_BIT
        rl      b
        set     2,b                     ; h = 4 + 2a + c
        RNC2_BIT
        jr      c,rnc2_far_copy         ; d = 1: H = h
        RNC2_BIT
        rl      b                       ; d = 0: H = 2h + e
rnc2_far_copy:
        ld      c,(hl)
        inc     hl
        ex      (sp),hl                 ; HL = length, stream pointer saved
        push    hl
        ld      h,d
        ld      l,e
        scf
        sbc     hl,bc                   ; HL = DE - offset
        pop     bc
        ldir
        pop     hl
        jp      rnc2_token

; rnc2_reload: the next stream byte becomes the flag byte, its first bit in carry.
;   In: HL = stream, carry = 1 (the marker that just left).  Changed: AF, HL.
rnc2_reload:
        ld      a,(hl)
        inc     hl
        adc     a,a
        ret
