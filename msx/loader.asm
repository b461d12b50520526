; Interim fast-loader image: a stand-in of the right form (BIN at 0xE400) until the real loader lands.
; BLOAD header: type, start, end (address of the last byte), exec.
        org     0xE400 - 7
        db      0xFE
        dw      start, last, start

; start: returns to BASIC at once.  In: nothing.  Out: nothing.  Changed: nothing.
start:  ret
last    equ     $ - 1
