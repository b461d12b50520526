; hello.bin: a BLOAD program that prints a greeting through the BIOS and
; returns to BASIC.  Load it with BLOAD"CAS:",R.
CHPUT   equ     0x00A2          ; BIOS: print the character in A

        org     0xC000 - 7
        db      0xFE
        dw      start, last, start

; start: prints the message.  In: nothing.  Out: nothing.  Changed: AF, HL.
start:  ld      hl, message
next:   ld      a, (hl)
        or      a
        ret     z
        call    CHPUT
        inc     hl
        jr      next

message:
        db      "Hello from Cassonic!", 13, 10, 0
last    equ     $ - 1
