; ---------------------------------------------------------------------------
; The disk's size and its formatting

; disk_kbytes: the size of the disk the boot parameters give, 16K a page.
;   In: bp_ram_pages, bp_vram_pages.  Out: HL = kilobytes.  Changed: AF, HL.
disk_kbytes:
        ld      a,(bp_ram_pages)
        ld      hl,bp_vram_pages
        add     a,(hl)
        ld      l,a
        ld      h,0
        add     hl,hl
        add     hl,hl
        add     hl,hl
        add     hl,hl
        ret

; fs_format: lays out an empty FAT12 disk over the pages the boot parameters
; give and sets the file system's variables.
;   In:  bp_ram_pages, bp_vram_pages (R + V >= 1), bp_top_vram set;
;        page 2 = segment 1.
;   Out: nothing.  Changed: all but IX, IY.
fs_format:
        call    disk_kbytes
        add     hl,hl                   ; HL = N
        ld      (n_sectors),hl
        push    hl
        push    hl
        ld      hl,dpb_template
        ld      de,dpb
        ld      bc,21
        ldir
        pop     hl
        ld      de,-(cluster_base)
        add     hl,de
        ld      (dpb_clusters),hl
        dec     hl
        ld      (max_cluster),hl
        ld      hl,2
        ld      (free_hint),hl
        ld      hl,0xFFFF
        ld      (buf_sector),hl
        ld      hl,DEFDMA
        ld      (dma),hl
        ld      a,dir_entries
        ld      (srch_next),a
        ld      hl,sector_buf           ; an empty directory sector and an empty FAT
        ld      bc,512 + 1024
        call    pad_zero
        ld      hl,0xFFF8               ; the FAT's media byte and 0xFFF
        ld      (fat_cache),hl
        ld      a,h
        ld      (fat_cache + 2),a
        call    fat_flush
        ld      de,first_dir + 3
format_dir:
        push    de
        ld      hl,sector_buf
        scf
        call    disk_io
        pop     de
        dec     e
        ld      a,e
        cp      first_dir
        jr      nc,format_dir
        ld      hl,boot_sector          ; boot sector: the parameters, then zeros
        ld      de,sector_buf
        ld      bc,boot_sector_end - boot_sector
        ldir
        pop     hl
        ld      (sector_buf + 0x13),hl
        ld      de,0
        ld      hl,sector_buf
        scf
        jp      disk_io

; The boot sector's first 30 bytes; the total of sectors at +0x13 is filled
; in, the rest of the sector is zeros.
boot_sector:
        db      0xEB, 0xFE, 0x90        ; a jump, as a boot sector starts
        db      "CASSONIC"
        dw      512                     ; bytes per sector
        db      1                       ; sectors per cluster
        dw      1                       ; reserved sectors
        db      1                       ; FATs
        dw      dir_entries             ; root entries
        dw      0                       ; total sectors, filled in
        db      0xF8                    ; media
        dw      2                       ; sectors per FAT
        dw      32                      ; sectors per track
        dw      1                       ; heads
        dw      0                       ; hidden sectors
boot_sector_end:
