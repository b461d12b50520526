; ---------------------------------------------------------------------------
; The disk driver

; disk_io: moves one 512-byte sector between memory and the RAM disk.  The
; interrupt state is kept (interrupts are off during the copy); page 2 is
; segment 1 again afterwards and R#14 is 0.
;   In:  DE = logical sector (< N), HL = memory, not in page 2 when the sector
;        is in mapper RAM (disk_mem handles that), carry set = write.
;   Out: nothing.  Changed: AF, BC, DE, HL.
disk_io:
        sbc     a,a
        ld      c,a                     ; C = 0xFF writing, 0 reading
        ld      a,e
        and     0x1F
        add     a,a
        ld      b,a                     ; B = high byte of the sector's offset in its page
        ld      a,e
        and     0xE0
        or      d
        rlca
        rlca
        rlca                            ; A = the disk's 16 KB page, sector / 32
        ld      e,a
        ld      a,(bp_ram_pages)
        ld      d,a
        ld      a,e
        sub     d
        jr      nc,disk_vram            ; A = page - R: in video RAM
        add     a,d
        add     a,5
        ld      e,a                     ; E = mapper segment
        ld      a,i                     ; P/V = interrupts were enabled
        di
        push    af
        ld      a,e
        out     (MAPPER2),a
        ld      a,b
        or      0x80
        ld      d,a
        ld      e,0                     ; DE = the sector in the page-2 window
        inc     c
        jr      z,disk_ram_copy         ; writing: memory (HL) to the window (DE)
        ex      de,hl                   ; reading: window (HL) to memory (DE)
disk_ram_copy:
        ld      bc,512
        ldir
        ld      a,1
        out     (MAPPER2),a             ; page 2 back to segment 1
disk_done:
        pop     af
        ret     po
        ei
        ret

disk_vram:                              ; A = page - R, B, C and HL as above
        ld      e,a
        ld      a,(bp_top_vram)
        sub     e
        ld      e,a                     ; E = video page
        ld      a,i
        di
        push    af
        ld      a,e
        out     (VDPCTL),a
        ld      a,0x8E
        out     (VDPCTL),a              ; R#14 = the video page
        xor     a
        out     (VDPCTL),a
        ld      a,c
        and     0x40
        or      b
        out     (VDPCTL),a              ; the sector's address, 0x40 for writing
        ld      a,c
        ld      bc,VDPDAT               ; B = 0: 256 bytes a loop; C = the data port
        or      a
        jr      z,disk_vram_read
disk_vram_write:                        ; OUTI / JP NZ: 29 T between accesses
        outi
        jp      nz,disk_vram_write
disk_vram_write2:
        outi
        jp      nz,disk_vram_write2
        jr      disk_vram_end
disk_vram_read:
        ini
        jp      nz,disk_vram_read
disk_vram_read2:
        ini
        jp      nz,disk_vram_read2
disk_vram_end:
        xor     a
        out     (VDPCTL),a
        ld      a,0x8E
        out     (VDPCTL),a              ; R#14 back to 0
        jr      disk_done

; disk_mem: disk_io for memory anywhere.  A mapper-RAM sector whose memory
; lies in (or runs into) page 2 goes through sector_buf, which then holds
; the sector; a sector written straight from memory leaves no stale copy in
; the buffer.
;   In:  DE = sector, HL = memory, carry set = write.
;   Out: nothing.  Changed: AF, BC, DE, HL.
disk_mem:
        push    af
        ld      a,h
        sub     0x7E
        cp      0xC0 - 0x7E
        jr      nc,disk_mem_direct      ; memory below 0x7E00 or in page 3
        ld      a,e
        and     0xE0
        or      d
        rlca
        rlca
        rlca                            ; the sector's disk page
        ld      bc,(bp_ram_pages - 1)   ; B = R
        cp      b
        jr      nc,disk_mem_direct      ; video RAM: page 2 is not touched
        pop     af
        ld      (buf_sector),de
        jr      c,disk_mem_write
        push    hl
        ld      hl,sector_buf
        call    disk_io                 ; carry clear: read
        pop     de
        ld      hl,sector_buf
        ld      bc,512
        ldir
        ret
disk_mem_write:
        push    de
        ld      de,sector_buf
        ld      bc,512
        ldir
        pop     de
        ld      hl,sector_buf
        scf
        jp      disk_io
disk_mem_direct:
        pop     af
        jp      nc,disk_io
        ld      bc,0xFFFF
        ld      (buf_sector),bc
        jp      disk_io                 ; carry still set

; buf_get: puts sector DE in sector_buf, reading it unless it is there.
;   In:  DE = sector.  Out: HL = sector_buf.  Changed: AF, BC, DE, HL.
buf_get:
        ld      hl,(buf_sector)
        or      a
        sbc     hl,de
        ld      hl,sector_buf
        ret     z
        ld      (buf_sector),de
        or      a
        call    disk_io
        ld      hl,sector_buf
        ret

; buf_put: writes sector_buf back to its sector.
;   Changed: AF, BC, DE, HL.
buf_put:
        ld      de,(buf_sector)
        ld      hl,sector_buf
        scf
        jp      disk_io
