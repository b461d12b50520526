; ---------------------------------------------------------------------------
; Disk and system functions.  Each changes at most AF, BC, DE, HL, besides
; its results.

; fn_diskinfo (0x1B): In: E = drive (0 current, 1 A:).  Out: A = 1 sector
; per cluster, BC = 512, DE = clusters, HL = free clusters, IX -> the DPB,
; IY -> the FAT; A = 0xFF for another drive.  Returns to the caller itself,
; past the dispatcher's IX/IY restore.
fn_diskinfo:
        cp      2
        jp      nc,fn_fail
        ld      hl,2
        ld      bc,0
diskinfo_loop:
        push    hl
        push    bc
        call    fat_get
        ld      a,h
        or      l
        pop     bc
        pop     hl
        jr      nz,diskinfo_used
        inc     bc
diskinfo_used:
        inc     hl
        ex      de,hl
        ld      hl,(max_cluster)
        or      a
        sbc     hl,de
        ex      de,hl
        jr      nc,diskinfo_loop
        ld      h,b
        ld      l,c
        ld      de,(max_cluster)
        dec     de
        ld      bc,512
        pop     ix                      ; the return to bdos_exit
        pop     ix                      ; the caller's IY and IX, replaced
        pop     ix
        ld      ix,dpb
        ld      iy,fat_cache
        ld      a,1
        jp      bdos_leave

; The drive parameter block, copied to dpb by fs_format, which fills in +14.
dpb_template:
        db      0               ; drive
        db      0xF8            ; media
        dw      512             ; sector size
        db      15              ; directory entries per sector - 1
        db      4               ; its shift
        db      0               ; sectors per cluster - 1
        db      1               ; cluster shift
        dw      1               ; first FAT sector
        db      1               ; FATs
        db      dir_entries     ; directory entries
        dw      first_dir + 4   ; first data sector
        dw      0               ; highest cluster + 1
        db      2               ; sectors per FAT
        dw      first_dir       ; first directory sector
        dw      fat_cache       ; the FAT in memory
dpb_clusters    equ     dpb + 14

; fn_version (0x0C): Out: HL = 0x0022 (A = 0x22).
fn_version:
        ld      hl,0x0022
        ld      a,l
        ret

; fn_reset (0x0D): DMA back to 0x0080, buffer dropped.  Out: A = 0.
fn_reset:
        ld      hl,DEFDMA
        ld      (dma),hl
        ld      hl,0xFFFF
        ld      (buf_sector),hl
        xor     a
        ret

; fn_select (0x0E): one drive only.  Out: A = 1, the number of drives.
fn_select:
        ld      a,1
        ret

; fn_curdrive (0x19): Out: A = 0, drive A:.
fn_curdrive:
        xor     a
        ret

; fn_setdma (0x1A): In: DE = transfer address.
fn_setdma:
        ld      (dma),de
        ret

; fn_getdate (0x2A): no clock: Out: HL = 1980, D = 1, E = 1, A = 2 (Tuesday).
fn_getdate:
        ld      hl,1980
        ld      de,0x0101
        ld      a,2
        ret

; fn_gettime (0x2C): Out: H, L, D, E = 0 (midnight), A = 0.
fn_gettime:
        ld      hl,0
        ld      d,h
        ld      e,l
; fn_setdate (0x2B), fn_settime (0x2D): ignored.  Out: A = 0.
fn_setdate:
fn_settime:
        xor     a
        ret
