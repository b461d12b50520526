; A test program for the RAM disk dump: writes one 512-byte sector where the
; RAM disk keeps it.  Sectors 0 to 32R-1 are in mapper segments 5 onwards,
; seen through page 2; the rest are in video memory, 16 KB pages from page
; TOPV downwards, reached through R#14.  Assembled with pasmo --bin for
; 0xC000 (page 3, mapper segment 0).
;
; In: DE = logical sector, HL = the sector's data in page 3, (RPAGES) = R,
; (TOPV) = the top video memory page.  Changes AF, BC, DE, HL; EI.

        include "ports.inc"

RPAGES  equ     0xCFF0
TOPV    equ     0xCFF1

        org     0xC000
write_sector:
        di
        push    hl
        ld      a,e
        and     0x1F
        add     a,a
        ld      c,a             ; C = high byte of (sector mod 32) * 512
        ld      b,5
divide: srl     d
        rr      e
        djnz    divide          ; E = sector / 32, the 16 KB page of the disk
        ld      a,(RPAGES)
        ld      d,a
        ld      a,e
        cp      d
        jr      nc,to_vram
        add     a,5
        out     (MAPPER2),a             ; page 2 = segment 5 + page
        ld      a,c
        add     a,0x80
        ld      d,a
        ld      e,0
        pop     hl
        ld      bc,512
        ldir
        ld      a,1
        out     (MAPPER2),a             ; page 2 back on segment 1
        ei
        ret
to_vram:
        sub     d
        ld      d,a
        ld      a,(TOPV)
        sub     d
        out     (VDPCTL),a
        ld      a,0x8E
        out     (VDPCTL),a              ; R#14 = TOPV - (page - R)
        xor     a
        out     (VDPCTL),a
        ld      a,c
        or      0x40
        out     (VDPCTL),a              ; write address (sector mod 32) * 512
        pop     hl
        ld      c,VDPDAT
        ld      b,0
first:  outi
        jp      nz,first
second: outi
        jp      nz,second
        xor     a
        out     (VDPCTL),a
        ld      a,0x8E
        out     (VDPCTL),a              ; R#14 = 0
        ei
        ret
