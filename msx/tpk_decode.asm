; Decoder of tpk packed data (the layout is described with its packer,
; encoder/codec/tpk_pack.h), for inclusion in a program that runs in RAM.
;
; The current flag byte lives in A with a marker bit below its unused bits,
; as in the method-2 decoder: ADD A,A moves the next flag bit into carry,
; and a zero result means the marker itself left, so the next stream byte
; becomes the flag byte.  Data bytes are read with HL, independently of A.
; The last offset is kept, negated, in the operand of an instruction, so the
; code must run from RAM.  It trusts its input: no checks of the header, the
; CRCs or the offsets.

; TPK_BIT reload: next flag bit into carry.  Each use has a reload stub of
; its own (TPK_RELOAD), which returns to the label that follows the use, so
; the usual case costs an untaken JR rather than an untaken CALL.
;   Changed: AF (A = flag byte), HL.
TPK_BIT macro reload
        add     a,a
        jr      z,reload
        endm

; TPK_RELOAD back: the next stream byte becomes the flag byte, its first bit
; in carry and the marker (the carry that just left) below its last bit.
TPK_RELOAD macro back
        ld      a,(hl)
        inc     hl
        rla
        jr      back
        endm

;----
; tpk_decode: restores the packed data at HL to DE.
;   In:  HL = packed data (its 6-byte header, then the stream), DE = destination.
;   Out: DE = one past the last byte written, HL = one past the last stream byte.
;   Changed: AF, BC, DE, HL, AF'.  Uses 1 word of stack beyond its return address.
tpk_decode:
        ld      bc,6
        add     hl,bc                   ; skip the header
        ld      a,0x80                  ; no flag bits: the first bit loads a flag byte
        jr      tpk_after_match

; BC = length: copies from the last offset back.
tpk_copy:
        push    hl                      ; stream
tpk_last equ $+1
        ld      hl,0                    ; - offset
        add     hl,de                   ; HL = DE - offset
        ldir
        pop     hl                      ; stream

; After a match, and at the start: 0 literals, 1 a match with a new offset.
tpk_after_match:
        TPK_BIT tpk_reload_1
tpk_bit_1:
        jr      c,tpk_new_offset
        TPK_BIT tpk_reload_2            ; G(n) literals, a lone 1 for n = 1
tpk_bit_2:
        jr      nc,tpk_literals
        ldi
; After literals: 0 a match with a new offset, 1 one with the last offset.
tpk_after_literals:
        TPK_BIT tpk_reload_3
tpk_bit_3:
        jr      nc,tpk_new_offset
        ld      bc,1                    ; G(length)
        TPK_BIT tpk_reload_4
tpk_bit_4:
        call    nc,tpk_gamma_more
        jr      tpk_copy

tpk_reload_1:
        TPK_RELOAD tpk_bit_1
tpk_reload_2:
        TPK_RELOAD tpk_bit_2
tpk_reload_3:
        TPK_RELOAD tpk_bit_3
tpk_reload_4:
        TPK_RELOAD tpk_bit_4
tpk_reload_5:
        TPK_RELOAD tpk_bit_5
tpk_reload_6:
        TPK_RELOAD tpk_bit_6
tpk_reload_7:
        TPK_RELOAD tpk_bit_7
tpk_reload_8:
        TPK_RELOAD tpk_bit_8

; More than one literal.
tpk_literals:
        ld      bc,1
        call    tpk_gamma_more
        ldir                            ; copy them from the stream
        jr      tpk_after_literals

; A data byte 2L + n, then G(H) only when n = 0: offset - 1 = H*128 + L.
; A data byte 0 and G(H) = 511 end the stream.
tpk_new_offset:
        ex      af,af'                  ; flag byte aside
        ld      a,(hl)
        inc     hl
        rra                             ; n into carry, L below bit 7
        jr      nc,tpk_far
        cpl
        or      0x80
        ld      c,a
        ld      b,0xFF                  ; BC = ~L = - offset
tpk_offset_set:
        ld      (tpk_last),bc
        ex      af,af'                  ; flag byte back
        TPK_BIT tpk_reload_5            ; G(length - 1), a lone 1 for length 2
tpk_bit_5:
        jr      nc,tpk_long
        push    hl                      ; stream
        ld      h,b
        ld      l,c
        add     hl,de                   ; HL = DE - offset
        ldi
        ldi
        pop     hl                      ; stream
        jr      tpk_after_match
tpk_long:
        ld      bc,1
        call    tpk_gamma_more
        inc     bc
        jr      tpk_copy

tpk_far:
        ex      af,af'                  ; flag byte back, L aside
        call    tpk_gamma               ; BC = H
        ex      af,af'                  ; flag byte aside
        add     a,a                     ; 2L
        rr      b
        rr      c                       ; C = H / 2, carry = its low bit
        rra                             ; A = low byte of offset - 1
        cpl
        ld      b,a
        ld      a,c
        xor     0xFF                    ; high byte 0 for H = 511: the end
        jr      z,tpk_end
        ld      c,b
        ld      b,a                     ; BC = - offset
        jr      tpk_offset_set
tpk_end:
        ex      af,af'
        ret

;----
; tpk_gamma: reads G(v).
;   In:  A = flag byte, HL = stream.
;   Out: BC = v (its low 16 bits), carry set.
;   Changed: AF, BC, HL.
tpk_gamma:
        ld      bc,1
        TPK_BIT tpk_reload_6
tpk_bit_6:
        ret     c                       ; a lone 1: v = 1

; tpk_gamma_more: the rest of G(v) once its first bit, a 0, has been read.
;   In:  BC = 1, A = flag byte, HL = stream.
;   Out and changed as tpk_gamma.
tpk_gamma_more:
        TPK_BIT tpk_reload_7            ; the next bit of v
tpk_bit_7:
        rl      c
        rl      b
        TPK_BIT tpk_reload_8            ; 0: another bit follows, 1: the last
tpk_bit_8:
        jr      nc,tpk_gamma_more
        ret
