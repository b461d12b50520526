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
