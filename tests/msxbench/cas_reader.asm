; A program that reads its data from the tape with the BIOS, as programs on
; cassettes do: a block without a descriptor, BLOCK_LENGTH bytes, stored from
; 0D000h on.  For the tests of CAS images in the fast modes: the fast loader
; loads and starts it, and the block after it is in the standard format.
; Loaded at 0C000h and started there; it ends in a loop at `finished`, or at
; `failed` when the BIOS reports an error.
        include "bios.inc"

BUFFER  equ     0xD000
BLOCK_LENGTH equ 300

        org     0xC000
        jp      start
finished:                               ; 0C003h
        jr      finished
failed:                                 ; 0C005h
        jr      failed

; start: In: nothing.  Out: the block at BUFFER, motor off.  Changed: all.
start:
        call    TAPION
        jr      c,read_error
        ld      hl,BUFFER
        ld      bc,BLOCK_LENGTH
next_byte:
        push    hl
        push    bc
        call    TAPIN
        pop     bc
        pop     hl
        jr      c,read_error
        ld      (hl),a
        inc     hl
        dec     bc
        ld      a,b
        or      c
        jr      nz,next_byte
        call    TAPIOF
        jr      finished
read_error:
        call    TAPIOF
        jr      failed
