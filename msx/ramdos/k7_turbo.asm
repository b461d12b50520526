; K7's turbo part: reads a DOS-mode file sent in the turbo signal.  K7.COM
; carries it after its own code and copies it up to K7T_BASE (k7_turbo.inc)
; when it starts, out of the way of the image and the data it restores.
;
; A turbo DOS block is two blocks of the turbo signal in the uniform code:
; the header (the flags, the file's 11-character directory name and the
; length of the self-extracting image, 14 bytes), then the image followed
; by the CRC-16 of the header and the image together.  The header's lead-in
; is longer than the other blocks', as K7 has used part of it to tell the
; signal from the fast one; the image's block follows it at once.
;
; Memory, from K7T_BASE: the uniform code's decode table (turbo_table,
; three pages), this code, then turbo_class (three pages, 800h above the
; table; the CRC's table uses two of them once a block is in).  The header
; is read into the last 14 bytes below IMAGE (K7's rank table, which the
; turbo signal does not use), so that one CRC run covers it and the image.

        include "k7_turbo.inc"
        include "dos.inc"
        include "fcb.inc"
        include "ports.inc"
        INCLUDE "turbo.inc"
TURBO_LOOPS     EQU 0           ; the byte loops inline
TURBO_CRC_TABLE_ONLY EQU 1      ; turbo_crc.inc: no table-less CRC

turbo_class     EQU K7T_BASE + 800h

        org     K7T_BASE
turbo_table:
        include "turbo_code.inc"

; k7t_block: reads one turbo DOS block: the header, whose name goes into the
; FCB and straight into video memory (as the fast path shows it), then the
; image, and checks the CRC over both.  Nothing is written to the disk.
;   In: the tape on a header's lead-in.  Out: NC, A = the flags, the image
;   at IMAGE; or C: cut off, damaged, or an image longer than K7 takes.
;   Interrupts off and the motor on either way.
;   Changed: everything.
k7t_block:
        if      k7t_block != K7T_ENTRY
        .error  k7t_block is not where K7 calls it
        endif
        ld      hl,HEADER
        ld      bc,HEADER_SIZE
        call    turbo_read
        ret     c
        ld      hl,HEADER + 1
        ld      de,FCB1 + FCB_NAME
        ld      b,11
k7t_name:
        ld      a,(hl)
        ld      (de),a
        out     (VDPDAT),a
        inc     hl
        inc     de
        djnz    k7t_name
        ld      bc,(HEADER + 12)        ; the image's length: 1 to the room
        ld      a,b
        or      c
        scf
        ret     z
        ld      hl,IMAGE_ROOM
        sbc     hl,bc                   ; no carry: OR cleared it
        ret     c
        inc     bc                      ; and its CRC
        inc     bc
        ld      hl,IMAGE
        call    turbo_read
        ret     c
        ld      a,turbo_class / 256     ; free until the next block
        call    turbo_crc_table
        ld      bc,(HEADER + 12)
        push    hl
        ld      hl,HEADER_SIZE
        add     hl,bc
        ld      b,h
        ld      c,l
        pop     hl
        ld      de,HEADER
        call    turbo_crc_fast          ; BC = the CRC, DE on the one sent
        ld      a,(de)
        xor     c
        ld      c,a
        inc     de
        ld      a,(de)
        xor     b
        or      c
        scf
        ret     nz
        ld      a,(HEADER)              ; the flags
        or      a                       ; no carry
        ret

        INCLUDE "turbo_read.inc"
        INCLUDE "turbo_crc.inc"
        INCLUDE "turbo_crc_table.inc"

k7t_end:
        if      k7t_end > turbo_class
        .error  K7's turbo part has grown into its class pages
        endif
