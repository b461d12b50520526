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
