; hello.bas: a tokenized BASIC program, as CSAVE and CLOAD know it:
;   10 PRINT "Hello from Cassonic!"
;   20 END
; Lines are chained by absolute addresses from the start of BASIC text.
TXTTAB  equ     0x8001
PRINT   equ     0x91            ; tokens
END_    equ     0x81

        org     TXTTAB - 1
        db      0xFF
line10: dw      line20, 10
        db      PRINT, ' "Hello from Cassonic!"', 0
line20: dw      program_end, 20
        db      END_, 0
program_end:
        dw      0
