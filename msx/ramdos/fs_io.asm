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
