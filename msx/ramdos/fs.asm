; The file system over the RAM disk.
;
; The disk is N = 32 (R + V) logical sectors of 512 bytes: sectors 0 to
; 32R-1 in mapper segments 5 to 4+R (seen through page 2), the rest in video
; RAM pages from bp_top_vram downwards.  On it a FAT12 volume: boot sector 0,
; one FAT in sectors 1-2 (kept whole in fat_cache, written back at the end of
; every call that changed it), 64 root entries in sectors 3-6, and cluster c
; in sector c + 5 for c = 2 .. N-6.
;
; An open file is its FCB: +16 size, +24 device 0x40, +25 directory entry,
; +26 first cluster, +28/+30 the last cluster reached and its number in the
; file (where the next transfer starts walking the chain).  The functions
; keep the FCB in IX.

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

; ---------------------------------------------------------------------------
; The FAT

; fat_addr: In: HL = cluster.  Out: HL -> its 12 bits in fat_cache, carry
; set for an odd cluster (the upper 12 bits of the word).  Changed: AF, DE, HL.
fat_addr:
        ld      d,h
        ld      e,l
        srl     d
        rr      e
        ld      a,l
        add     hl,de                   ; 1.5 bytes a cluster
        ld      de,fat_cache
        add     hl,de
        rra
        ret

; fat_get: In: HL = cluster.  Out: HL = its FAT entry.  Changed: AF, DE, HL.
fat_get:
        call    fat_addr
        ld      a,(hl)
        inc     hl
        ld      h,(hl)
        ld      l,a
        jr      c,fat_get_odd
        ld      a,h
        and     0x0F
        ld      h,a
        ret
fat_get_odd:
        srl     h
        rr      l
        srl     h
        rr      l
        srl     h
        rr      l
        srl     h
        rr      l
        ret

; fat_set: In: HL = cluster, DE = value (< 0x1000).  Out: nothing.
;   Changed: AF, BC, DE, HL.
fat_set:
        ld      b,d
        ld      c,e
        call    fat_addr
        ld      a,1
        ld      (fat_dirty),a
        jr      c,fat_set_odd
        ld      (hl),c
        inc     hl
        ld      a,(hl)
        and     0xF0
        or      b
        ld      (hl),a
        ret
fat_set_odd:
        ld      a,c
        add     a,a
        add     a,a
        add     a,a
        add     a,a
        ld      e,a                     ; the value's low nibble, on top
        ld      a,(hl)
        and     0x0F
        or      e
        ld      (hl),a
        inc     hl
        ld      a,c
        and     0xF0
        or      b
        rrca
        rrca
        rrca
        rrca                            ; value bits 11-4
        ld      (hl),a
        ret

; cluster_bad: In: HL = a FAT entry.  Out: carry set unless HL is a cluster
; of the disk (2 to max_cluster).  Changed: AF, DE.
cluster_bad:
        ld      a,h
        or      a
        jr      nz,cluster_bad_top
        ld      a,l
        cp      2
        ret     c
cluster_bad_top:
        ex      de,hl
        ld      hl,(max_cluster)
        or      a
        sbc     hl,de
        ex      de,hl
        ret

; fat_alloc: takes a free cluster and marks it as the end of a chain.  The
; search starts after the cluster taken last, so appending costs one look.
;   Out: HL = cluster, carry = disk full.  Changed: AF, BC, DE, HL.
fat_alloc:
        ld      hl,(max_cluster)
        dec     hl
        ld      b,h
        ld      c,l                     ; BC = clusters to look at: all of them
        ld      hl,(free_hint)
fat_alloc_loop:
        ex      de,hl
        ld      hl,(max_cluster)
        or      a
        sbc     hl,de
        ex      de,hl
        jr      nc,fat_alloc_try
        ld      hl,2                    ; past the last cluster: from the first
fat_alloc_try:
        push    hl
        push    bc
        call    fat_get
        ld      a,h
        or      l
        pop     bc
        pop     hl
        jr      z,fat_alloc_found
        inc     hl
        dec     bc
        ld      a,b
        or      c
        jr      nz,fat_alloc_loop
        scf
        ret
fat_alloc_found:
        push    hl
        inc     hl
        ld      (free_hint),hl
        dec     hl
        ld      de,0x0FFF
        call    fat_set
        pop     hl
        or      a
        ret

; chain_free: frees a chain of clusters.
;   In:  HL = first cluster (0 or anything outside the disk: nothing).
;   Changed: AF, BC, DE, HL.
chain_free:
        call    cluster_bad
        ret     c
        push    hl
        call    fat_get
        ex      (sp),hl                 ; (SP) = next cluster
        ld      de,0
        call    fat_set
        pop     hl
        jr      chain_free

; fat_flush: writes fat_cache to sectors 1 and 2.  fat_io: moves the FAT
; between fat_cache and the disk, carry set = write.
;   Changed: AF, BC, DE, HL.
fat_flush:
        xor     a
        ld      (fat_dirty),a
        scf
fat_io:
        push    af
        ld      hl,fat_cache
        ld      de,1
        call    disk_io
        pop     af
        ld      hl,fat_cache + 512
        ld      de,2
        jp      disk_io

; ---------------------------------------------------------------------------
; Chains of open files

; chain_seek: finds the cluster that holds cluster number k of an open file;
; when allowed, extends the chain (or starts it) up to there.  Keeps the
; cluster found in the FCB (+28, +30) for the next call.
;   In:  IX -> FCB, HL = k, A nonzero = may allocate.
;   Out: HL = cluster; carry = none (past the chain's end, or disk full).
;   Changed: AF, BC, DE, HL.
chain_seek:
        ld      (seek_alloc),a
        push    hl                      ; (SP) = k
        ld      c,(ix+FCB_CLUSTER)
        ld      b,(ix+FCB_CLUSTER+1)    ; BC = first cluster
        ld      a,b
        or      c
        jr      nz,chain_seek_have
        ld      a,(seek_alloc)          ; an empty file
        or      a
        jp      z,chain_seek_fail
        call    fat_alloc
        jr      c,chain_seek_fail
        ld      (ix+FCB_CLUSTER),l
        ld      (ix+FCB_CLUSTER+1),h
        ld      (ix+FCB_LASTCL),l
        ld      (ix+FCB_LASTCL+1),h
        xor     a
        ld      (ix+FCB_RELCL),a
        ld      (ix+FCB_RELCL+1),a
        ld      b,h
        ld      c,l
chain_seek_have:                        ; BC = first cluster
        ld      h,b
        ld      l,c
        call    cluster_bad
        jr      c,chain_seek_fail       ; an FCB that points off the disk
        pop     hl
        push    hl
        ld      e,(ix+FCB_RELCL)
        ld      d,(ix+FCB_RELCL+1)
        or      a
        sbc     hl,de                   ; HL = steps from the cluster reached last
        jr      c,chain_seek_first
        push    hl
        ld      l,(ix+FCB_LASTCL)
        ld      h,(ix+FCB_LASTCL+1)
        call    cluster_bad
        ld      b,h
        ld      c,l                     ; BC = the cluster reached last
        pop     hl
        jr      nc,chain_seek_walk
        ld      c,(ix+FCB_CLUSTER)      ; none usable: from the first
        ld      b,(ix+FCB_CLUSTER+1)
chain_seek_first:
        pop     hl
        push    hl                      ; HL = steps from the first cluster
chain_seek_walk:                        ; BC = cluster, HL = steps to go
        ld      a,h
        or      l
        jr      z,chain_seek_done
        push    hl
        push    bc
        ld      h,b
        ld      l,c
        call    fat_get
        call    cluster_bad
        jr      nc,chain_seek_step
        ld      a,(seek_alloc)          ; the chain ends here
        or      a
        jr      z,chain_seek_fail3
        call    fat_alloc
        jr      c,chain_seek_fail3
        ex      de,hl                   ; DE = new cluster
        pop     hl                      ; HL = last cluster of the chain
        push    de
        call    fat_set                 ; linked
        pop     hl
        push    hl
chain_seek_step:                        ; HL = next cluster
        pop     bc
        ld      b,h
        ld      c,l
        pop     hl
        dec     hl
        jr      chain_seek_walk
chain_seek_done:
        pop     hl
        ld      (ix+FCB_RELCL),l
        ld      (ix+FCB_RELCL+1),h
        ld      (ix+FCB_LASTCL),c
        ld      (ix+FCB_LASTCL+1),b
        ld      h,b
        ld      l,c
        or      a
        ret
chain_seek_fail3:
        pop     bc
        pop     hl
chain_seek_fail:
        pop     hl
        scf
        ret

; chain_trim: cuts an open file's chain to the clusters its size needs, and
; points the FCB's last-cluster fields back at the start.
;   In:  IX -> FCB.  Changed: AF, BC, DE, HL.
chain_trim:
        ld      l,(ix+FCB_SIZE)
        ld      h,(ix+FCB_SIZE+1)
        ld      de,511
        add     hl,de
        ld      a,(ix+FCB_SIZE+2)
        adc     a,0
        ld      l,h
        ld      h,a
        srl     h
        rr      l                       ; HL = clusters needed
        ld      c,(ix+FCB_CLUSTER)
        ld      b,(ix+FCB_CLUSTER+1)
        ld      (ix+FCB_LASTCL),c
        ld      (ix+FCB_LASTCL+1),b
        xor     a
        ld      (ix+FCB_RELCL),a
        ld      (ix+FCB_RELCL+1),a
        ld      a,h
        or      l
        jr      nz,chain_trim_keep
        ld      (ix+FCB_CLUSTER),a      ; nothing kept: the file has no cluster
        ld      (ix+FCB_CLUSTER+1),a
        ld      (ix+FCB_LASTCL),a
        ld      (ix+FCB_LASTCL+1),a
        ld      h,b
        ld      l,c
        jp      chain_free
chain_trim_keep:
        dec     hl                      ; the last cluster kept
        xor     a
        call    chain_seek
        ret     c                       ; the chain is shorter: nothing to cut
        push    hl
        call    fat_get
        ex      (sp),hl                 ; (SP) = the rest of the chain
        ld      de,0x0FFF
        call    fat_set
        pop     hl
        jp      chain_free

; ---------------------------------------------------------------------------
; Names and the directory

; fcb_name: the function's FCB in IX and its name in name_pat.
;   In:  DE -> FCB.  Out: carry = bad drive; else Z = no "?" in the name.
;   Changed: AF, BC, DE, HL, IX.
fcb_name:
        push    de
        pop     ix
        ld      de,name_pat
; get_name: checks an FCB's drive byte (0 or 1) and copies its name,
; upper-cased, to a pattern.
;   In:  IX -> FCB, DE -> 11 bytes.  get_name_at: HL -> the name instead.
;   Out: carry = bad drive; else Z = no "?" in the name.
;   Changed: AF, BC, DE, HL.
get_name:
        ld      a,(ix+FCB_DRIVE)
        cp      2
        ccf
        ret     c
        push    ix
        pop     hl
        inc     hl
get_name_at:
        ld      bc,11 * 256             ; B = 11 characters, C = "?" seen
get_name_loop:
        ld      a,(hl)
        cp      'a'
        jr      c,get_name_store
        cp      'z' + 1
        jr      nc,get_name_store
        sub     0x20
get_name_store:
        ld      (de),a
        cp      '?'
        jr      nz,get_name_next
        inc     c
get_name_next:
        inc     hl
        inc     de
        djnz    get_name_loop
        ld      a,c
        or      a
        ret

; dir_entry: In: A = entry index (0-63).  Out: HL -> the entry in sector_buf.
;   Changed: AF, BC, DE, HL.
dir_entry:
        push    af
        rrca
        rrca
        rrca
        rrca
        and     0x0F
        add     a,first_dir
        ld      e,a
        ld      d,0
        call    buf_get
        pop     af
        and     0x0F
        ld      l,a
        ld      h,0
        add     hl,hl
        add     hl,hl
        add     hl,hl
        add     hl,hl
        add     hl,hl
        ld      de,sector_buf
        add     hl,de
        ret

; name_match: In: HL -> directory entry, DE -> 11-byte pattern ("?" matches
; any character).  Out: Z = the name matches.  Changed: AF, B.
name_match:
        push    hl
        push    de
        ld      b,11
name_match_loop:
        ld      a,(de)
        cp      '?'
        jr      z,name_match_next
        cp      (hl)
        jr      nz,name_match_end
name_match_next:
        inc     hl
        inc     de
        djnz    name_match_loop
name_match_end:
        pop     de
        pop     hl
        ret

; dir_find: looks for a file whose name matches a pattern.
;   In:  A = first entry to look at, DE -> pattern.
;   Out: carry = none; else A = its index, HL -> its entry.
;   Changed: AF, BC, HL.
dir_find:
        cp      dir_entries
        ccf
        ret     c
        push    af
        push    de
        call    dir_entry
        pop     de
        ld      a,(hl)
        or      a
        jr      z,dir_find_end          ; never used: the directory ends here
        cp      0xE5
        jr      z,dir_find_next         ; deleted
        call    name_match
        jr      nz,dir_find_next
        pop     af
        or      a
        ret
dir_find_next:
        pop     af
        inc     a
        jr      dir_find
dir_find_end:
        pop     af
        scf
        ret

; dir_free: finds an entry for a new file.
;   Out: carry = directory full; else A = index, HL -> entry.
;   Changed: AF, BC, DE, HL.
dir_free:
        xor     a
dir_free_loop:
        push    af
        call    dir_entry
        ld      a,(hl)
        or      a
        jr      z,dir_free_found
        cp      0xE5
        jr      z,dir_free_found
        pop     af
        inc     a
        cp      dir_entries
        jr      c,dir_free_loop
        scf
        ret
dir_free_found:
        pop     af
        or      a
        ret

; fcb_open: fills an FCB from its directory entry: the name as stored, size,
; date, time, device 0x40, entry index, first cluster.
;   In:  IX -> FCB, A = entry index, HL -> entry.
;   Out: A = 0.  Changed: AF, BC, DE, HL.
fcb_open:
        ld      (ix+FCB_DIRENT),a
        ld      (ix+FCB_DEVICE),0x40
        push    ix
        pop     de
        inc     de
        ld      bc,11
        ldir                            ; the name
        ld      c,11
        add     hl,bc                   ; HL -> entry+22, the time
        ld      a,(hl)
        ld      (ix+FCB_TIME),a
        inc     hl
        ld      a,(hl)
        ld      (ix+FCB_TIME+1),a
        inc     hl
        ld      a,(hl)
        ld      (ix+FCB_DATE),a
        inc     hl
        ld      a,(hl)
        ld      (ix+FCB_DATE+1),a
        inc     hl
        ld      a,(hl)
        ld      (ix+FCB_CLUSTER),a
        ld      (ix+FCB_LASTCL),a
        inc     hl
        ld      a,(hl)
        ld      (ix+FCB_CLUSTER+1),a
        ld      (ix+FCB_LASTCL+1),a
        inc     hl                      ; HL -> entry+28, the size
        xor     a
        ld      (ix+FCB_RELCL),a
        ld      (ix+FCB_RELCL+1),a
        ex      de,hl
        push    ix
        pop     hl
        ld      c,16
        add     hl,bc
        ex      de,hl
        ld      c,4
        ldir
        xor     a
        ret

; ---------------------------------------------------------------------------
; File functions.  Each: In: DE -> FCB, as a DOS program passes it.  Changed: all
; but what the dispatcher keeps.

; fn_open (0x0F): opens the first file matching the FCB's name.
;   Out: A = 0, or 0xFF when no file matches or the drive is bad.
fn_open:
        call    fcb_name
        jr      c,fn_fail
        ld      de,name_pat
        xor     a
        call    dir_find
        jr      nc,fcb_open
fn_fail:
        ld      a,0xFF
        ret

; fn_create (0x16): creates a file and opens it.  A file of that name is
; emptied (its clusters freed, its entry reused) when FCB+12 is 0, and just
; opened otherwise.
;   Out: A = 0, or 0xFF: bad drive, "?" in the name, directory full.
fn_create:
        call    fcb_name
        jr      c,fn_fail
        jr      nz,fn_fail
        ld      de,name_pat
        xor     a
        call    dir_find
        jr      c,create_new
        ld      c,(ix+FCB_BLOCK)
        inc     c
        dec     c
        jr      nz,fcb_open
        push    af
        push    hl
        ld      de,26
        add     hl,de
        ld      e,(hl)                  ; DE = its first cluster
        ld      (hl),d
        inc     hl
        ld      d,(hl)
        ld      b,5
create_empty:                           ; no cluster, size 0
        ld      (hl),0
        inc     hl
        djnz    create_empty
        push    de
        call    buf_put
        pop     hl
        call    chain_free
        jr      create_open
create_new:
        call    dir_free
        jr      c,fn_fail
        push    af
        push    hl
        ex      de,hl
        ld      hl,name_pat
        ld      bc,11
        ldir
        ex      de,hl
        ld      b,21
create_clear:
        ld      (hl),0
        inc     hl
        djnz    create_clear
        ld      de,-8
        add     hl,de
        ld      (hl),0x21               ; date 1980-01-01
        call    buf_put
create_open:
        pop     hl
        pop     af
        push    af
        push    hl
        call    dir_entry               ; the sector may have left the buffer
        pop     de
        pop     af
        jp      fcb_open

; fn_close (0x10): writes an open file's size and first cluster to its entry.
;   Out: A = 0, or 0xFF when the FCB is not that of an open file on the disk.
fn_close:
        call    fcb_name
        jr      c,fn_fail
        ld      a,(ix+FCB_DEVICE)
        cp      0x40
        jr      nz,fn_fail
        ld      a,(ix+FCB_DIRENT)
        cp      dir_entries
        jr      nc,fn_fail
        call    dir_entry
        ld      a,(hl)
        cp      0xE5
        jr      z,fn_fail
        ld      de,name_pat
        call    name_match
        jp      nz,fn_fail
        ld      de,26
        add     hl,de
        ld      a,(ix+FCB_CLUSTER)
        ld      (hl),a
        inc     hl
        ld      a,(ix+FCB_CLUSTER+1)
        ld      (hl),a
        inc     hl
        ex      de,hl
        push    ix
        pop     hl
        ld      bc,16
        add     hl,bc
        ld      c,4
        ldir                            ; the size
        call    buf_put
        xor     a
        ret

; fn_first (0x11), fn_next (0x12): search for files matching a name with
; "?" wildcards.
;   Out: A = 0 and at the DMA the FCB's drive byte and the 32-byte entry;
;        A = 0xFF when no (further) file matches.
fn_first:
        push    de
        pop     ix
        ld      de,srch_pat
        call    get_name
        jp      c,fn_fail
        ld      a,(ix+FCB_DRIVE)
        ld      (srch_drive),a
        xor     a
        jr      search_from
fn_next:
        ld      a,(srch_next)
search_from:
        ld      de,srch_pat
        call    dir_find
        jr      c,search_none
        inc     a
        ld      (srch_next),a
        ld      de,(dma)
        ld      a,(srch_drive)
        ld      (de),a
        inc     de
        ld      bc,32
        ldir
        xor     a
        ret
search_none:
        ld      a,dir_entries
        ld      (srch_next),a
        jp      fn_fail

; fn_delete (0x13): deletes every file matching the name ("?" allowed) and
; frees its clusters.
;   Out: A = 0 when a file was deleted, else 0xFF.
fn_delete:
        call    fcb_name
        jp      c,fn_fail
        ld      a,0xFF
        ld      (fs_any),a
        xor     a
delete_loop:
        ld      de,name_pat
        call    dir_find
        jr      c,delete_done
        push    af
        ld      (hl),0xE5
        ld      de,26
        add     hl,de
        ld      e,(hl)
        inc     hl
        ld      d,(hl)
        push    de
        call    buf_put
        pop     hl
        call    chain_free
        xor     a
        ld      (fs_any),a
        pop     af
        inc     a
        jr      delete_loop
delete_done:
        ld      a,(fs_any)
        ret

; fn_rename (0x17): renames every file matching the name at FCB+1 to the
; name at FCB+17, where "?" keeps the file's own character.  Refused when a
; new name is that of another file.
;   Out: A = 0 when a file was renamed; 0xFF when none matched or a new name
;        was taken (files renamed before that stay renamed).
fn_rename:
        call    fcb_name
        jp      c,fn_fail
        push    ix
        pop     hl
        ld      de,17
        add     hl,de
        ld      de,new_pat
        call    get_name_at
        ld      a,0xFF
        ld      (fs_any),a
        xor     a
rename_loop:
        ld      de,name_pat
        call    dir_find
        jr      c,delete_done           ; A = (fs_any)
        push    af
        ld      de,tgt_pat
        ld      bc,11
        ldir
        ld      hl,new_pat
        ld      de,tgt_pat
        ld      b,11
rename_merge:
        ld      a,(hl)
        cp      '?'
        jr      z,rename_keep
        ld      (de),a
rename_keep:
        inc     hl
        inc     de
        djnz    rename_merge
        xor     a
rename_check:                           ; another file with the new name?
        ld      de,tgt_pat
        call    dir_find
        jr      c,rename_free
        pop     bc
        push    bc
        cp      b
        jr      nz,rename_taken
        inc     a
        jr      rename_check
rename_taken:
        pop     af
        jp      fn_fail
rename_free:
        pop     af
        push    af
        call    dir_entry
        ex      de,hl
        ld      hl,tgt_pat
        ld      bc,11
        ldir
        call    buf_put
        xor     a
        ld      (fs_any),a
        pop     af
        inc     a
        jr      rename_loop

; fn_filesize (0x23): sets the random record to the file's size in 128-byte
; records, rounded up.
;   Out: A = 0, or 0xFF when no file matches.
fn_filesize:
        call    fcb_name
        jp      c,fn_fail
        ld      de,name_pat
        xor     a
        call    dir_find
        jp      c,fn_fail
        ld      de,28
        add     hl,de
        ld      e,(hl)
        inc     hl
        ld      d,(hl)
        inc     hl
        ld      c,(hl)
        inc     hl
        ld      b,(hl)                  ; BCDE = size
        ex      de,hl
        ld      de,127
        add     hl,de
        ex      de,hl
        jr      nc,filesize_round
        inc     bc
filesize_round:
        sla     e
        rl      d
        rl      c
        rl      b                       ; BCD = (size + 127) / 128
        ld      (ix+FCB_RANDOM),d
        ld      (ix+FCB_RANDOM+1),c
        ld      (ix+FCB_RANDOM+2),b
        ld      (ix+FCB_RANDOM+3),0
        xor     a
        ret

; fn_setrandom (0x24): random record = current block * 128 + current record.
;   Out: A = 0.
fn_setrandom:
        push    de
        pop     ix
        call    fcb_seqrec
        ld      (ix+FCB_RANDOM),e
        ld      (ix+FCB_RANDOM+1),d
        ld      (ix+FCB_RANDOM+2),c
        ld      (ix+FCB_RANDOM+3),0
        xor     a
        ret

; fcb_seqrec: In: IX -> FCB.  Out: C:DE = current block (+12) * 128 +
; current record (+32).  Changed: AF, C, DE, HL.
fcb_seqrec:
        ld      l,(ix+FCB_BLOCK)
        ld      h,(ix+FCB_BLOCK+1)
        ld      a,(ix+FCB_RECORD)
        and     0x7F
        ld      e,a
        xor     a
        srl     h
        rr      l
        rra
        or      e
        ld      e,a
        ld      d,l
        ld      c,h
        ret

; ---------------------------------------------------------------------------
; Reading and writing

; mul24: In: C:DE = x, IY = y.  Out: B:HL = x * y; carry = more than 24 bits.
;   Changed: AF, B, HL, IY.
mul24:
        ld      hl,0
        ld      b,h
        ld      a,16
mul24_loop:
        add     hl,hl
        rl      b
        ret     c
        add     iy,iy
        jr      nc,mul24_next
        add     hl,de
        push    af
        ld      a,b
        adc     a,c
        ld      b,a
        jr      c,mul24_over
        pop     af
mul24_next:
        dec     a
        jr      nz,mul24_loop
        or      a
        ret
mul24_over:
        pop     af
        scf
        ret

; div24: In: IY -> 24-bit dividend, DE = divisor (not 0).  Out: the quotient
; in its place, HL = remainder.  Changed: AF, B, HL.
div24:
        ld      hl,0
        ld      b,24
div24_loop:
        sla     (iy+0)
        rl      (iy+1)
        rl      (iy+2)
        adc     hl,hl
        jr      c,div24_sub
        sbc     hl,de
        jr      nc,div24_one
        add     hl,de
        jr      div24_next
div24_sub:
        or      a
        sbc     hl,de
div24_one:
        inc     (iy+0)
div24_next:
        djnz    div24_loop
        ret

; block_io: moves bytes between memory and an open file, sector by sector:
; whole sectors straight between memory and the disk, the rest through the
; sector buffer.  Reading stops at the end of the file, writing at a full
; disk; writing grows the file's size.
;   In:  IX -> FCB, io_pos, io_left, io_ptr, io_write set.
;   Out: io_pos and io_ptr past the last byte moved, io_short = 1 when the
;        end of the file or a full disk cut the transfer, else 0.
;   Changed: AF, BC, DE, HL.
block_io:
        xor     a
        ld      (io_short),a
        ld      a,(io_write)
        or      a
        jr      nz,block_loop
        ld      hl,io_pos               ; reading: no further than the size
        ld      a,(ix+FCB_SIZE)
        sub     (hl)
        ld      c,a
        inc     hl
        ld      a,(ix+FCB_SIZE+1)
        sbc     a,(hl)
        ld      b,a
        inc     hl
        ld      a,(ix+FCB_SIZE+2)
        sbc     a,(hl)
        ld      e,a                     ; E:B:C = size - position
        jr      nc,block_avail
        ld      bc,0
        ld      e,b
block_avail:
        ld      hl,io_left
        ld      a,c
        sub     (hl)
        inc     hl
        ld      a,b
        sbc     a,(hl)
        inc     hl
        ld      a,e
        sbc     a,(hl)
        jr      nc,block_loop
        ld      (hl),e
        ld      (io_left),bc
        ld      a,1
        ld      (io_short),a
block_loop:
        ld      hl,(io_left)
        ld      a,(io_left + 2)
        or      h
        or      l
        jp      z,block_end
        ld      hl,(io_pos + 1)
        srl     h
        rr      l                       ; HL = the cluster's number in the file
        ld      a,(io_write)
        call    chain_seek
        jp      c,block_cut
        ld      de,cluster_base
        add     hl,de
        ex      de,hl                   ; DE = sector
        ld      hl,(io_pos)
        ld      a,h
        and     1
        ld      h,a                     ; HL = offset in the sector
        xor     a
        sub     l
        ld      c,a
        ld      a,2
        sbc     a,h
        ld      b,a                     ; BC = bytes to the sector's end
        ld      a,(io_left + 2)
        or      a
        jr      nz,block_chunk
        push    hl
        ld      hl,(io_left)
        sbc     hl,bc
        pop     hl
        jr      nc,block_chunk
        ld      bc,(io_left)            ; BC = bytes in this sector
block_chunk:
        ld      a,b
        cp      2
        jr      nz,block_part
        ld      hl,(io_ptr)             ; a whole sector: no copy through the buffer
        ld      a,(io_write)
        add     a,0xFF                  ; carry = writing
        push    bc
        call    disk_mem
        pop     bc
        jr      block_next
block_part:
        push    bc
        push    hl
        call    buf_get
        pop     de
        add     hl,de                   ; HL -> the bytes in the buffer
        pop     bc
        push    bc
        ld      de,(io_ptr)
        ld      a,(io_write)
        or      a
        jr      z,block_copy            ; reading: buffer to memory
        ex      de,hl                   ; writing: memory to buffer
block_copy:
        ldir
        or      a
        call    nz,buf_put
        pop     bc
block_next:
        ld      hl,(io_ptr)
        add     hl,bc
        ld      (io_ptr),hl
        ld      hl,(io_pos)
        add     hl,bc
        ld      (io_pos),hl
        ld      a,(io_pos + 2)
        adc     a,0
        ld      (io_pos + 2),a
        ld      hl,(io_left)
        or      a
        sbc     hl,bc
        ld      (io_left),hl
        ld      a,(io_left + 2)
        sbc     a,0
        ld      (io_left + 2),a
        jp      block_loop
block_cut:
        ld      a,1
        ld      (io_short),a
block_end:
        ld      a,(io_write)
        or      a
        ret     z
        ld      hl,io_pos               ; the size grows to the position
        ld      a,(ix+FCB_SIZE)
        sub     (hl)
        inc     hl
        ld      a,(ix+FCB_SIZE+1)
        sbc     a,(hl)
        inc     hl
        ld      a,(ix+FCB_SIZE+2)
        sbc     a,(hl)
        ld      a,(ix+FCB_SIZE+3)
        sbc     a,0
        ret     nc
        ld      a,(io_pos)
        ld      (ix+FCB_SIZE),a
        ld      a,(io_pos + 1)
        ld      (ix+FCB_SIZE+1),a
        ld      a,(io_pos + 2)
        ld      (ix+FCB_SIZE+2),a
        ld      (ix+FCB_SIZE+3),0
        ret

; pad_zero: In: HL -> memory, BC = bytes (not 0).  Out: them zeroed.
;   Changed: AF, BC, HL.
pad_zero:
        ld      (hl),0
        inc     hl
        dec     bc
        ld      a,b
        or      c
        jr      nz,pad_zero
        ret

; set_pos: In: C:DE = record number, rec_size set.  Out: io_pos = io_start
; = the record's byte position; carry = beyond 16 MB.
;   Changed: AF, B, HL, IY.
set_pos:
        ld      iy,(rec_size)
        call    mul24
        ret     c
        ld      (io_pos),hl
        ld      (io_start),hl
        ld      a,b
        ld      (io_pos + 2),a
        ld      (io_start + 2),a
        ret

; blk_move: moves records between the DMA and an open file from io_pos on.
; A read cut by the end of the file pads its partial last record with
; zeros; a write cut by a full disk keeps what it wrote, with the chain
; fitting the file's size.
;   In:  IX -> FCB, HL = records (not 0), io_pos, io_start, rec_size and
;        io_write set.
;   Out: div_n = whole records done, HL = bytes of a partial last record
;        (reading), io_short.
;   Changed: AF, BC, DE, HL, IY.
blk_move:
        ex      de,hl
        ld      c,0
        ld      iy,(rec_size)
        call    mul24
        jr      nc,blk_count
        ld      hl,0xFFFF               ; more than the disk holds anyway
        ld      b,l
blk_count:
        ld      (io_left),hl
        ld      a,b
        ld      (io_left + 2),a
        ld      hl,(dma)
        ld      (io_ptr),hl
        call    block_io
        ld      hl,(io_pos)             ; bytes done = position - start
        ld      de,(io_start)
        or      a
        sbc     hl,de
        ld      (div_n),hl
        ld      a,(io_start + 2)
        ld      e,a
        ld      a,(io_pos + 2)
        sbc     a,e
        ld      (div_n + 2),a
        ld      iy,div_n
        ld      de,(rec_size)
        call    div24                   ; whole records, HL = bytes of a partial one
        ld      a,(io_write)
        or      a
        jr      nz,blk_written
        ld      a,h
        or      l
        ret     z
        push    hl
        ex      de,hl
        ld      hl,(rec_size)
        sbc     hl,de
        ld      b,h
        ld      c,l
        ld      hl,(io_ptr)
        call    pad_zero
        pop     hl
        ret
blk_written:
        ld      a,(io_short)
        or      a
        ret     z
        jp      chain_trim

; fn_blockwrite (0x26), fn_blockread (0x27): random block write and read
; of HL records of the FCB's record size (+14; 0 means 128, and is stored)
; from the FCB's random record on (+33, 4 bytes when the size is below 64,
; else 3), at the DMA.  The random record advances by the whole records
; done.  0x26 with HL = 0 sets the file's size to the position instead.
;   In:  DE -> open FCB, HL = records.
;   Out: A = 0, or 1 (end of file, disk full, position beyond 16 MB);
;        HL = whole records done.
fn_blockwrite:
        ld      a,1
        jr      block_call
fn_blockread:
        xor     a
block_call:
        ld      (io_write),a
        ld      (io_count),hl
        push    de
        pop     ix
        ld      l,(ix+FCB_RECSIZE)
        ld      h,(ix+FCB_RECSIZE+1)
        ld      a,h
        or      l
        jr      nz,block_size
        ld      l,128
        ld      (ix+FCB_RECSIZE),l
block_size:
        ld      (rec_size),hl
        ld      e,(ix+FCB_RANDOM)
        ld      d,(ix+FCB_RANDOM+1)
        ld      c,(ix+FCB_RANDOM+2)
        ld      a,h
        or      a
        jr      nz,block_position
        ld      a,l
        cp      64
        jr      nc,block_position
        ld      a,(ix+FCB_RANDOM+3)
        or      a
        jr      nz,block_error
block_position:
        call    set_pos
        jr      c,block_error
        ld      hl,(io_count)
        ld      a,h
        or      l
        jr      z,block_none
        call    blk_move
        ld      hl,(div_n)              ; the random record advances
        ld      a,(ix+FCB_RANDOM)
        add     a,l
        ld      (ix+FCB_RANDOM),a
        ld      a,(ix+FCB_RANDOM+1)
        adc     a,h
        ld      (ix+FCB_RANDOM+1),a
        ld      a,(ix+FCB_RANDOM+2)
        adc     a,0
        ld      (ix+FCB_RANDOM+2),a
        jr      nc,block_result
        ld      de,(rec_size)
        ld      a,d
        or      a
        jr      nz,block_result
        ld      a,e
        cp      64
        jr      nc,block_result
        inc     (ix+FCB_RANDOM+3)
block_result:
        ld      a,(io_short)
        ret
block_error:
        ld      a,1
        ld      hl,0
        ret
block_none:                             ; no records
        ld      a,(io_write)
        or      a
        jr      z,block_nothing
        ld      hl,(io_pos)             ; writing: the size becomes the position
        ld      a,(io_pos + 2)
        ld      c,a
        or      h
        or      l
        jr      z,block_resize          ; size 0: no cluster needed
        ld      a,c
        ld      de,1
        or      a
        sbc     hl,de
        sbc     a,0
        ld      l,h
        ld      h,a
        srl     h
        rr      l                       ; HL = the last cluster's number
        ld      a,1
        call    chain_seek
        jr      nc,block_resize
        call    chain_trim              ; disk full: the size stays
        jr      block_error
block_resize:
        ld      hl,(io_pos)
        ld      (ix+FCB_SIZE),l
        ld      (ix+FCB_SIZE+1),h
        ld      a,(io_pos + 2)
        ld      (ix+FCB_SIZE+2),a
        ld      (ix+FCB_SIZE+3),0
        call    chain_trim
block_nothing:
        xor     a
        ld      h,a
        ld      l,a
        ret

; record_io: one 128-byte record between the DMA and an open file.  A read
; of a partial last record pads it with zeros and succeeds.
;   In:  IX -> FCB, C:DE = record number, A nonzero = write.
;   Out: A = 0, or 1 (end of file, disk full).  Changed: all but IX.
record_io:
        ld      (io_write),a
        ld      hl,128
        ld      (rec_size),hl
        call    set_pos
        jr      c,record_fail
        ld      hl,1
        call    blk_move
        ld      a,(io_write)
        or      a
        ld      a,(io_short)
        ret     nz
        ld      a,(div_n)
        or      l
        jr      z,record_fail
record_ok:
        xor     a
        ret
record_fail:
        ld      a,1
        ret

; fn_seqread (0x14), fn_seqwrite (0x15): the record at the current block
; and record (+12, +32), which advance after it.
;   Out: A = 0, or 1 (end of file, disk full).
fn_seqread:
        xor     a
        jr      seq_call
fn_seqwrite:
        ld      a,1
seq_call:
        push    de
        pop     ix
        push    af
        call    fcb_seqrec
        pop     af
        call    record_io
        or      a
        ret     nz
        inc     (ix+FCB_RECORD)
        ld      a,(ix+FCB_RECORD)
        cp      128
        jr      c,record_ok
        ld      (ix+FCB_RECORD),0
        inc     (ix+FCB_BLOCK)
        jr      nz,record_ok
        inc     (ix+FCB_BLOCK+1)
        jr      record_ok

; fn_randread (0x21), fn_randwrite (0x22, 0x28): the record at the random
; record (+33, 3 bytes), which stays.
;   Out: A = 0, or 1 (end of file, disk full).
fn_randread:
        xor     a
        jr      rand_call
fn_randwrite:
        ld      a,1
rand_call:
        push    de
        pop     ix
        ld      e,(ix+FCB_RANDOM)
        ld      d,(ix+FCB_RANDOM+1)
        ld      c,(ix+FCB_RANDOM+2)
        jr      record_io

; fn_absread (0x2F), fn_abswrite (0x30): H sectors from sector DE of drive
; L (0 = A:) to or from the DMA.  After a write the FAT is read again.
;   Out: A = 0, or 1 when the sectors are not all on the disk.
fn_absread:
        xor     a
        jr      abs_call
fn_abswrite:
        ld      a,1
abs_call:
        ld      (io_write),a
        ld      a,l
        or      a
        jr      nz,abs_fail
        ld      b,h
        push    de
        ld      l,h
        ld      h,a
        add     hl,de
        ex      de,hl                   ; DE = sector after the last
        ld      hl,(n_sectors)
        jr      c,abs_range             ; past sector 0xFFFF
        sbc     hl,de
abs_range:
        pop     de
        jr      c,abs_fail
        ld      a,b
        or      a
        jr      z,abs_done
        ld      hl,(dma)
abs_loop:
        push    bc
        push    de
        push    hl
        ld      a,(io_write)
        add     a,0xFF
        call    disk_mem
        pop     hl
        ld      de,512
        add     hl,de
        pop     de
        inc     de
        pop     bc
        djnz    abs_loop
abs_done:
        ld      a,(io_write)
        or      a
        ret     z
        ld      hl,0xFFFF               ; the disk changed under the kernel
        ld      (buf_sector),hl
        or      a
        call    fat_io                  ; read the FAT again
        xor     a
        ret
abs_fail:
        ld      a,1
        ret

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

; ---------------------------------------------------------------------------

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
