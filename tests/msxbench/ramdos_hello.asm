; A small MSX-DOS program for the shell tests.  It prints "HELLO", then
; writes OUT.TXT: two lines of text and an end-of-text mark (1Ah), then what it
; was started with: its SP, the word on top of its stack, and 005Ch-00FFh
; (FCB 1, FCB 2 and the command tail) as they were.  When FCB 1 names a
; file that can be created, it also writes that file, one byte longer than
; the programs' memory (0100h up to (0006h)).  Ends with RET.
bdos    equ     0x0005

        org     0x0100
start:
        ld      (entry_sp),sp
        pop     hl
        ld      (entry_top),hl
        push    hl
        ld      hl,0x005C
        ld      de,entry_page0
        ld      bc,0x0100 - 0x005C
        ldir
        ld      de,hello
        ld      c,0x09
        call    bdos
        ld      de,fcb
        ld      c,0x16
        call    bdos
        or      a
        ret     nz
        ld      hl,1
        ld      (fcb + 14),hl           ; record size 1
        ld      de,text
        ld      c,0x1A
        call    bdos
        ld      de,fcb
        ld      hl,text_end - text
        ld      c,0x26
        call    bdos
        ld      de,fcb
        ld      c,0x10
        call    bdos
        ld      de,0x005C
        ld      c,0x16
        call    bdos
        or      a
        ret     nz
        ld      hl,1
        ld      (0x005C + 14),hl        ; record size 1
        dec     hl
        ld      (0x005C + 33),hl        ; random record 0: its last byte is 0080h
        ld      (0x005C + 35),hl
        ld      de,0x0100
        ld      c,0x1A
        call    bdos
        ld      hl,(bdos + 1)
        dec     h                       ; (0006h) - 0100h + 1 bytes
        inc     hl
        ld      de,0x005C
        ld      c,0x26
        call    bdos
        ld      de,0x005C
        ld      c,0x10
        call    bdos
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
        ds      0x0100 - 0x005C
text_end:
