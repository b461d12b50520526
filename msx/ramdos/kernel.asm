; The resident RAM-disk DOS: function entry, file system over the RAM disk,
; console, interrupt handler, boot and shell.  Assembled for K0 and carried
; inside the disk system, whose INIT copies it there.

        include "layout.inc"

        org     K0

        public  bdos, cold, wboot, fs_format, sys_setup, kernel_end

; bdos: the function entry behind 0x0005 and 0xF37D.
;   In:  C = function number, DE, HL, B as the function takes them.
;   Out: A and HL as the function returns them.
;   Changed: AF, BC, DE, HL; IX, IY and the alternate registers are kept.
bdos:
        ld      a,c
        cp      0x09
        jp      z,con_string
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
