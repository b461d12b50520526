; The file system over the RAM disk.
;
; The disk is N = 32 (R + V) logical sectors of 512 bytes: sectors 0 to
; 32R-1 in mapper segments 5 to 4+R (seen through page 2), the rest in video
; RAM pages from bp_top_vram downwards.  On it a FAT12 volume: boot sector 0,
; one FAT in sectors 1-2 (kept whole in fat_cache, written back at the end of
; every call that changed it), 64 root entries in sectors 3-6, and cluster c
; in sector c + 5 for c = 2 .. N-6.
;
; An open file is its FCB (fields in fcb.inc): FCB_SIZE, FCB_DEVICE 0x40,
; FCB_DIRENT, FCB_CLUSTER, and FCB_LASTCL and FCB_RELCL, the last cluster
; reached and its number in the file (where the next transfer starts walking
; the chain).  The functions keep the FCB in IX.

; ---------------------------------------------------------------------------
; Variables (fs_vars, 256 bytes)

bdos_sp         equ     fs_vars + 0     ; 2: the caller's SP during a call
dma             equ     fs_vars + 2     ; 2: transfer address
fat_dirty       equ     fs_vars + 4     ; 1: nonzero when fat_cache is newer than the disk
free_hint       equ     fs_vars + 5     ; 2: where the search for a free cluster starts
buf_sector      equ     fs_vars + 7     ; 2: sector held in sector_buf, 0xFFFF none
max_cluster     equ     fs_vars + 9     ; 2: highest cluster, N - 6
n_sectors       equ     fs_vars + 11    ; 2: N
io_pos          equ     fs_vars + 13    ; 3: byte position of a transfer
io_left         equ     fs_vars + 16    ; 3: bytes still to move
io_ptr          equ     fs_vars + 19    ; 2: memory address of the next byte
io_start        equ     fs_vars + 21    ; 3: position where the transfer began
io_write        equ     fs_vars + 24    ; 1: nonzero writing
io_short        equ     fs_vars + 25    ; 1: 1 when the end of the file or a full disk cut it
io_count        equ     fs_vars + 26    ; 2: records asked for
rec_size        equ     fs_vars + 28    ; 2: record size of the call
div_n           equ     fs_vars + 30    ; 3: dividend, then quotient, of div24
seek_alloc      equ     fs_vars + 33    ; 1: nonzero: chain_seek may extend the chain
fs_any          equ     fs_vars + 34    ; 1: result of delete and rename, 0 once a file was done
srch_next       equ     fs_vars + 35    ; 1: next entry search-next looks at (64: none)
srch_drive      equ     fs_vars + 36    ; 1: drive byte of the search FCB
name_pat        equ     fs_vars + 37    ; 11: the FCB's name, upper-cased
new_pat         equ     fs_vars + 48    ; 11: rename's new name
tgt_pat         equ     fs_vars + 59    ; 11: one file's name after a rename
srch_pat        equ     fs_vars + 70    ; 11: the pattern search-next goes on with
dpb             equ     fs_vars + 81    ; 21: the drive parameter block 0x1B points to

        if      dpb + 21 > fs_vars + 256
        .error  The file system's variables overflow fs_vars
        endif
        if      fat_cache != sector_buf + 512
        .error  fs_format clears the sector buffer and the FAT cache as one block
        endif

first_dir       equ     3               ; first directory sector
dir_entries     equ     64
cluster_base    equ     5               ; sector of cluster c = c + cluster_base

; The file system's code, one part a file, in this order in the kernel.
        include "fs_disk.asm"           ; the disk driver
        include "fs_fat.asm"            ; the FAT, cached whole
        include "fs_chain.asm"          ; cluster chains of open files
        include "fs_dir.asm"            ; names, patterns and the directory
        include "fs_files.asm"          ; open, close, search, delete, rename
        include "fs_io.asm"             ; reading and writing
        include "fs_disk_fns.asm"       ; disk information, drive, DMA
        include "fs_format.asm"         ; the disk's size and formatting
