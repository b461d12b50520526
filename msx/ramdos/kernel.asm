; The resident RAM-disk DOS: function entry, file system over the RAM disk,
; console, interrupt handler, boot and shell.  Assembled for K0 and carried
; inside the disk system, whose INIT copies it there.

        include "layout.inc"

        org     K0

        public  bdos, cold, wboot, fs_format, sys_setup, kernel_end

; bdos: the function entry behind 0x0005 and 0xF37D.  Runs every function on
; the kernel stack (the caller's stack may be anywhere, even in page 2 while
; the disk driver maps a RAM-disk segment there) and writes the FAT back when
; the function changed it.  A handler starts with BC, DE, HL as the caller
; passed them and A = E, returns A and HL as results (0x1B also BC, DE, IX,
; IY) and may use IX and IY freely.
;   In:  C = function number, DE, HL, B as the function takes them.
;   Out: A and HL as the function returns them; unknown functions A = HL = 0.
;   Changed: AF, BC, DE, HL; IX, IY and the alternate registers are kept.
bdos:
        ld      (bdos_sp),sp
        ld      sp,kstack_top
        push    ix
        push    iy
        push    hl
        ld      hl,bdos_exit
        ex      (sp),hl                 ; the handler returns to bdos_exit
        push    hl                      ; the caller's HL
        ld      a,c
        cp      fn_count
        jr      c,bdos_known
        ld      a,fn_count              ; the entry for every unknown number
bdos_known:
        push    de
        ld      l,a
        ld      h,0
        add     hl,hl
        ld      de,fn_table
        add     hl,de
        ld      a,(hl)
        inc     hl
        ld      h,(hl)
        ld      l,a                     ; HL = the handler
        pop     de
        ex      (sp),hl                 ; handler on the stack, HL = the caller's
        ld      a,e
        ret                             ; to the handler

bdos_exit:
        push    hl
        push    af
        ld      a,(fat_dirty)
        or      a
        call    nz,fat_flush
        pop     af
        pop     hl
        pop     iy
        pop     ix
bdos_leave:
        ld      sp,(bdos_sp)
        ret

fn_count        equ     0x31

fn_table:
        dw      wboot, con_in, con_out, fn_none                 ; 00-03
        dw      fn_none, fn_none, con_direct, fn_none           ; 04-07
        dw      con_raw_in, con_string, con_line, con_status    ; 08-0B
        dw      fn_version, fn_reset, fn_select, fn_open        ; 0C-0F
        dw      fn_close, fn_first, fn_next, fn_delete          ; 10-13
        dw      fn_seqread, fn_seqwrite, fn_create, fn_rename   ; 14-17
        dw      fn_none, fn_curdrive, fn_setdma, fn_diskinfo    ; 18-1B
        dw      fn_none, fn_none, fn_none, fn_none              ; 1C-1F
        dw      fn_none, fn_randread, fn_randwrite, fn_filesize ; 20-23
        dw      fn_setrandom, fn_none, fn_blockwrite, fn_blockread ; 24-27
        dw      fn_randwrite, fn_none, fn_getdate, fn_setdate   ; 28-2B
        dw      fn_gettime, fn_settime, fn_none, fn_absread     ; 2C-2F
        dw      fn_abswrite                                     ; 30
        dw      fn_none                                         ; unknown

; fn_none: functions this DOS does not have.
;   Out: A = 0, HL = 0.  Changed: AF, HL.
fn_none:
        xor     a
        ld      h,a
        ld      l,a
        ret

        include "fs.asm"
        include "console.asm"
        include "boot.asm"
        include "shell.asm"

kernel_end:
        if      kernel_end > bss_start
        .error  The kernel's code runs into its work areas
        endif
