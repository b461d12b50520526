; A small MSX-DOS program for the shell tests.  It prints "HELLO", then
; writes OUT.TXT: two lines of text and an end-of-text mark (1Ah), then what it
; was started with: its SP, the word on top of its stack, and 005Ch-00FFh
; (FCB 1, FCB 2 and the command tail) as they were.  When FCB 1 names a
; file that can be created, it also writes that file, one byte longer than
; the programs' memory (0100h up to (0006h)).  Ends with RET.
        include "dos.inc"
        include "fcb.inc"

        org     TPA
start:
        ld      (entry_sp),sp
        pop     hl
        ld      (entry_top),hl
        push    hl
        ld      hl,FCB1
        ld      de,entry_page0
        ld      bc,TPA - FCB1
        ldir
        ld      de,hello
        ld      c,F_PRINT
        call    BDOS
        ld      de,fcb
        ld      c,F_CREATE
        call    BDOS
        or      a
        ret     nz
        ld      hl,1
        ld      (fcb + FCB_RECSIZE),hl  ; record size 1
        ld      de,text
        ld      c,F_DMA
        call    BDOS
        ld      de,fcb
        ld      hl,text_end - text
        ld      c,F_WRBLK
        call    BDOS
        ld      de,fcb
        ld      c,F_CLOSE
        call    BDOS
        ld      de,FCB1
        ld      c,F_CREATE
        call    BDOS
        or      a
        ret     nz
        ld      hl,1
        ld      (FCB1 + FCB_RECSIZE),hl ; record size 1
        dec     hl
        ld      (FCB1 + FCB_RANDOM),hl ; random record 0: its last byte is 0080h
        ld      (FCB1 + FCB_RANDOM + 2),hl
        ld      de,TPA
        ld      c,F_DMA
        call    BDOS
        ld      hl,(BDOS + 1)
        dec     h                       ; (0006h) - 0100h + 1 bytes
        inc     hl
        ld      de,FCB1
        ld      c,F_WRBLK
        call    BDOS
        ld      de,FCB1
        ld      c,F_CLOSE
        call    BDOS
        ret

hello:  db      "HELLO", 13, 10, "$"
fcb:    db      0, "OUT     TXT"
        ds      25
text:   db      "Written by HELLO.COM", 13, 10  ; then a line that takes the text past 128 bytes
        db      "0123456789012345678901234567890123456789"
        db      "0123456789012345678901234567890123456789"
        db      "0123456789012345678901234567890123456789", 13, 10, 0x1A
entry_sp:
        dw      0
entry_top:
        dw      0
entry_page0:
        ds      TPA - FCB1
text_end:
