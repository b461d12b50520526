; The file system over the RAM disk (placeholder).

; fs_format: lays out an empty FAT12 disk over the pages the boot parameters give.
;   In:  bp_ram_pages, bp_vram_pages, bp_top_vram set; page 2 = segment 1.
;   Out: nothing.  Changed: all.
fs_format:
        ret
