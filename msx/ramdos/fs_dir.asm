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
