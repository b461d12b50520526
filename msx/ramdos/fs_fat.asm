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
