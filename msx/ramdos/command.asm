; COMMAND.COM: the command interpreter of the RAM-disk DOS is resident in
; the kernel, so this program only tells which DOS is running.
        include "layout.inc"

        org     TPA

; command: prints the DOS's name and version.
;   In: nothing.  Out: back to DOS.  Changed: AF, BC, DE, HL.
command:
        ld      de,banner
        ld      c,F_PRINT
        jp      BDOS                    ; its RET goes back to DOS

banner: db      "Cassonic RAM-disk DOS version 1.00", 13, 10, "$"
