; The resident command shell: the prompt, the built-in commands DIR, DEL
; (or ERA), TYPE and REN, and running NAME.COM from the disk.  It calls
; bdos as a program does, from its own stack.

sh_tail         equ     boot_vars_end + 0       ; word: the command line after the command word
sh_found        equ     boot_vars_end + 2       ; DIR: nonzero once a file was listed
sh_num          equ     boot_vars_end + 3       ; 4 bytes: the number sh_print_num prints
sh_digits       equ     boot_vars_end + 7       ; 10 digits, then "$"
sh_digits_end   equ     boot_vars_end + 17
sh_vars_end     equ     boot_vars_end + 18

        if      sh_vars_end > sys_vars + 64
        .error  The console, boot and shell variables do not fit in sys_vars
        endif

sh_line_max     equ     127                     ; characters of a command line

; shell: prompts, reads a command line and carries it out; loops.
;   In: nothing.  Does not return.
shell:
        ld      sp,sstack_top
        ld      de,sh_prompt
        call    con_string
        ld      hl,line_buf
        ld      (hl),sh_line_max
        ex      de,hl
        ld      c,F_LINE
        call    bdos
        ld      hl,line_buf + 1         ; upper case, 0 at the end
        ld      b,(hl)
        inc     b
sh_upper:
        inc     hl
        dec     b
        jr      z,sh_upper_done
        ld      a,(hl)
        cp      'a'
        jr      c,sh_upper
        cp      'z' + 1
        jr      nc,sh_upper
        sub     'a' - 'A'
        ld      (hl),a
        jr      sh_upper
sh_upper_done:
        ld      (hl),0
        call    sh_clear_fcbs
        ld      hl,line_buf + 2
        call    sh_skip_blanks
        or      a
        jr      z,shell                 ; empty line
        ld      de,FCB1
        call    sh_parse_name
        ld      (sh_tail),hl
        cp      2
        jp      nc,sh_bad_drive
        ld      c,a
        ld      a,(FCB1 + FCB_NAME)
        cp      ' '
        jr      nz,sh_command
        dec     c                       ; a drive alone: "A:" is the current one
        jr      z,shell
        jp      sh_bad_command
sh_command:
        ld      a,c                     ; a built-in: no drive, no extension
        or      a
        jr      nz,sh_run
        ld      a,(FCB1 + FCB_EXT)
        cp      ' '
        jr      nz,sh_run
        ld      hl,sh_builtins
sh_lookup:
        ld      a,(hl)
        or      a
        jr      z,sh_run
        ld      de,FCB1 + FCB_NAME
        ld      b,8
sh_compare:
        ld      a,(de)
        cp      (hl)
        jr      nz,sh_next
        inc     hl
        inc     de
        djnz    sh_compare
        ld      a,(hl)
        inc     hl
        ld      h,(hl)
        ld      l,a
        jp      (hl)
sh_next:
        inc     hl
        djnz    sh_next
        inc     hl
        inc     hl
        jr      sh_lookup

sh_builtins:
        db      "DIR     "
        dw      sh_dir
        db      "DEL     "
        dw      sh_del
        db      "ERA     "
        dw      sh_del
        db      "TYPE    "
        dw      sh_type
        db      "REN     "
        dw      sh_ren
        db      0

; sh_run: loads NAME.COM at 0100h and starts it there with FCB 1, FCB 2 and
; the command tail set up from the command line, the transfer address at
; 0080h and SP = K0 with 0000h pushed, so that RET ends it.
;   In: FCB 1 holds the command word.  Does not return.
sh_run:
        ld      hl,FCB1 + FCB_NAME      ; "?" in a command word names no program
        ld      bc,11
        ld      a,'?'
        cpir
        jp      z,sh_bad_command
        ld      hl,FCB1 + FCB_EXT
        ld      a,(hl)
        cp      ' '
        jr      z,sh_run_com
        ld      de,sh_com
        ld      b,3
sh_run_ext:
        ld      a,(de)
        cp      (hl)
        jp      nz,sh_bad_command
        inc     de
        inc     hl
        djnz    sh_run_ext
sh_run_com:
        ld      hl,sh_com
        ld      de,FCB1 + FCB_EXT
        ld      bc,3
        ldir
        ld      de,FCB1
        ld      c,F_OPEN
        call    bdos
        or      a
        jp      nz,sh_bad_command
        ld      hl,(FCB1 + FCB_SIZE + 2) ; the size must fit below K0
        ld      a,h
        or      l
        jp      nz,sh_no_memory
        ld      hl,(FCB1 + FCB_SIZE)
        ld      a,h
        or      l
        jp      z,shell                 ; an empty file runs nothing
        ld      de,K0 - TPA + 1
        sbc     hl,de                   ; carry clear after OR
        jp      nc,sh_no_memory
        ld      hl,1
        ld      (FCB1 + FCB_RECSIZE),hl ; record size 1; random record 0
        ld      de,TPA
        ld      c,F_DMA
        call    bdos
        ld      de,FCB1
        ld      hl,K0 - TPA
        ld      c,F_RDBLK
        call    bdos
        call    sh_parse_args
        ld      hl,(sh_tail)
        ld      de,DEFDMA + 1
        ld      b,0
sh_run_tail:
        ld      a,(hl)
        ld      (de),a
        or      a
        jr      z,sh_run_start
        inc     hl
        inc     de
        inc     b
        jr      sh_run_tail
sh_run_start:
        ld      a,b
        ld      (DEFDMA),a
        ld      de,DEFDMA
        ld      c,F_DMA
        call    bdos
        ld      sp,K0
        ld      hl,WBOOT
        push    hl
        ei
        jp      TPA

; sh_dir: DIR [name]: one line per file that matches (all without a name):
; name, extension and size.
;   In: sh_tail.  Does not return (back to the prompt).
sh_dir:
        call    sh_parse_args
        jp      c,sh_bad_drive
        ld      hl,FCB1 + FCB_NAME
        ld      a,(hl)
        cp      ' '
        jr      nz,sh_dir_search
        ld      b,11
sh_dir_all:
        ld      (hl),'?'
        inc     hl
        djnz    sh_dir_all
sh_dir_search:
        xor     a
        ld      (sh_found),a
        ld      de,FCB1
        ld      c,F_FIRST
sh_dir_entry:
        call    bdos
        or      a
        jr      nz,sh_dir_end
        inc     a
        ld      (sh_found),a
        ld      hl,DEFDMA + 1
        ld      b,8
        call    sh_print_b
        ld      a,' '
        call    con_putc
        ld      b,3
        call    sh_print_b
        ld      hl,DEFDMA + 1 + 28
        ld      de,sh_num
        ld      bc,4
        ldir
        ld      b,8
        call    sh_print_num
        call    sh_crlf
        ld      c,F_NEXT
        jr      sh_dir_entry
sh_dir_end:
        ld      a,(sh_found)
        or      a
        jp      nz,shell
        jp      sh_not_found

; sh_del: DEL name or ERA name: deletes every file that matches.
;   In: sh_tail.  Does not return (back to the prompt).
sh_del:
        call    sh_parse_args
        jr      c,sh_bad_drive
        ld      de,FCB1
        ld      c,F_DELETE
        call    bdos
        or      a
        jp      z,shell
        jr      sh_not_found

; sh_ren: REN old new: the new name goes to FCB 2, i.e. FCB 1 + 16, where
; the rename function takes it.
;   In: sh_tail.  Does not return (back to the prompt).
sh_ren:
        call    sh_parse_args
        jr      c,sh_bad_drive
        ld      a,(FCB1 + FCB_NAME)
        cp      ' '
        jr      z,sh_ren_failed
        ld      a,(FCB2 + FCB_NAME)
        cp      ' '
        jr      z,sh_ren_failed
        ld      de,FCB1
        ld      c,F_RENAME
        call    bdos
        or      a
        jp      z,shell
sh_ren_failed:
        ld      de,sh_ren_failed_text
        jr      sh_message

; sh_type: TYPE name: prints the file up to its end or to the first 1Ah.
; The file is read through 0100h: FCB 1's random record reaches 0080h.
;   In: sh_tail.  Does not return (back to the prompt).
sh_type:
        call    sh_parse_args
        jr      c,sh_bad_drive
        ld      de,FCB1
        ld      c,F_OPEN
        call    bdos
        or      a
        jr      nz,sh_not_found
        ld      hl,1
        ld      (FCB1 + FCB_RECSIZE),hl
        ld      de,TPA
        ld      c,F_DMA
        call    bdos
sh_type_block:
        ld      de,FCB1
        ld      hl,128
        ld      c,F_RDBLK
        call    bdos
        ld      a,h
        or      l
        jr      z,sh_type_end
        ld      b,l
        ld      hl,TPA
sh_type_char:
        ld      a,(hl)
        cp      0x1A
        jr      z,sh_type_end
        call    con_putc
        inc     hl
        djnz    sh_type_char
        ld      a,l
        cp      (TPA + 128) & 0xFF
        jr      z,sh_type_block
sh_type_end:
        ld      de,DEFDMA
        ld      c,F_DMA
        call    bdos
        jp      shell

; Messages: each printed on a line of its own, then the prompt.
;   In: nothing (sh_message: DE -> the text, ending with "$").  Do not return.
sh_bad_drive:
        ld      de,sh_bad_drive_text
        jr      sh_message
sh_bad_command:
        ld      de,sh_bad_command_text
        jr      sh_message
sh_no_memory:
        ld      de,sh_no_memory_text
        jr      sh_message
sh_not_found:
        ld      de,sh_not_found_text
sh_message:
        call    con_string
        call    sh_crlf
        jp      shell

; sh_parse_args: FCB 1 and FCB 2 from the first two words after the command
; word, as a program finds them; the rest of both FCBs zero.
;   In: sh_tail.  Out: carry: a drive other than A: was named.
;   Changed: AF, BC, DE, HL.
sh_parse_args:
        call    sh_clear_fcbs
        ld      hl,(sh_tail)
        ld      de,FCB1
        call    sh_parse_name
        push    af
        ld      de,FCB2
        call    sh_parse_name
        pop     bc
        or      b
        cp      2
        ccf
        ret

; sh_clear_fcbs: zeroes FCB 1 and FCB 2 (005Ch-0080h: FCB 1's random record
; takes 0080h too when its record size is below 64).
;   In: nothing.  Out: nothing.  Changed: BC, DE, HL.
sh_clear_fcbs:
        ld      hl,FCB1
        ld      de,FCB1 + FCB_NAME
        ld      bc,DEFDMA - FCB1
        ld      (hl),0
        ldir
        ret

; sh_parse_name: reads "d:name.ext" into an FCB's drive, name and extension
; fields: blanks before it are passed over, "*" fills the rest of its field
; with "?", characters past a field's width are passed over, blanks pad.
;   In:  HL -> text, DE -> FCB.
;   Out: HL -> the first character after the name, A = the drive byte
;        (0 = current, 1 = A:, ...).
;   Changed: AF, BC, DE, HL.
sh_parse_name:
        call    sh_skip_blanks
        push    de
        xor     a
        ld      (de),a
        ld      a,(hl)
        call    sh_name_end
        jr      z,sh_parse_fields
        inc     hl
        ld      a,(hl)
        dec     hl
        cp      ':'
        jr      nz,sh_parse_fields
        ld      a,(hl)
        sub     'A' - 1
        ld      (de),a
        inc     hl
        inc     hl
sh_parse_fields:
        inc     de
        ld      b,8
        call    sh_parse_field
        ld      a,(hl)
        cp      '.'
        jr      nz,sh_parse_ext
        inc     hl
sh_parse_ext:
        ld      b,3
        call    sh_parse_field
        pop     de
        ld      a,(de)
        ret

; sh_parse_field: one field of a name.
;   In:  HL -> text, DE -> field, B = its width.
;   Out: HL -> the character that ended the name or the field ("." included),
;        DE just past the field.
;   Changed: AF, B, DE, HL.
sh_parse_field:
        ld      a,(hl)
        call    sh_name_end
        jr      z,sh_parse_blanks
        inc     hl
        cp      '*'
        jr      z,sh_parse_star
        inc     b
        dec     b
        jr      z,sh_parse_field
        ld      (de),a
        inc     de
        dec     b
        jr      sh_parse_field
sh_parse_star:
        ld      a,'?'
        call    sh_fill
        jr      sh_parse_field
sh_parse_blanks:
        ld      a,' '
; sh_fill: B times A from DE on.  In: A, B, DE.  Out: B = 0, DE past them.
;   Changed: B, DE.
sh_fill:
        inc     b
        dec     b
        ret     z
sh_fill_byte:
        ld      (de),a
        inc     de
        djnz    sh_fill_byte
        ret

; sh_name_end: whether a character ends a name field: the end of the line,
; a blank or control code, "." or a separator.
;   In: A.  Out: Z = it does.  Changed: F.
sh_name_end:
        cp      ' ' + 1
        jr      c,sh_name_end_yes
        push    hl
        push    bc
        ld      hl,sh_separators
        ld      bc,sh_separators_end - sh_separators
        cpir
        pop     bc
        pop     hl
        ret
sh_name_end_yes:
        cp      a
        ret

sh_separators:
        db      ".:;,=+/\"[]<>|"
sh_separators_end:

; sh_skip_blanks: passes over blanks and tabs.
;   In: HL -> text.  Out: HL -> the first other character, A = it.
;   Changed: AF, HL.
sh_skip_blanks:
        ld      a,(hl)
        cp      ' '
        jr      z,sh_skip_blank
        cp      9
        ret     nz
sh_skip_blank:
        inc     hl
        jr      sh_skip_blanks

; sh_print_b: prints B characters.
;   In: HL -> them, B >= 1.  Out: HL past them.  Changed: AF, B, HL.
sh_print_b:
        ld      a,(hl)
        call    con_putc
        inc     hl
        djnz    sh_print_b
        ret

; sh_crlf: starts a new line.  In: nothing.  Out: nothing.  Changed: AF, DE.
sh_crlf:
        ld      de,con_crlf_text
        jp      con_string

; sh_print_hl: prints HL in decimal, right-aligned in B columns.
;   In: HL, B.  Out: nothing.  Changed: AF, BC, DE, HL.
sh_print_hl:
        ld      (sh_num),hl
        ld      hl,0
        ld      (sh_num + 2),hl

; sh_print_num: prints the 32-bit number at sh_num in decimal, right-aligned
; in B columns (wider numbers take the room they need); sh_num ends as 0.
;   In: sh_num, B.  Out: nothing.  Changed: AF, BC, DE, HL.
sh_print_num:
        ld      hl,sh_digits_end
        ld      (hl),'$'
sh_print_digit:
        push    hl
        ld      hl,sh_num + 3           ; sh_num /= 10, A = the remainder
        ld      c,4
        xor     a
sh_divide_byte:
        ld      d,(hl)
        ld      e,8
sh_divide_bit:
        sla     d
        rla
        cp      10
        jr      c,sh_divide_next
        sub     10
        inc     d
sh_divide_next:
        dec     e
        jr      nz,sh_divide_bit
        ld      (hl),d
        dec     hl
        dec     c
        jr      nz,sh_divide_byte
        pop     hl
        add     a,'0'
        dec     hl
        ld      (hl),a
        dec     b
        ld      de,(sh_num)
        ld      a,d
        or      e
        ld      de,(sh_num + 2)
        or      d
        or      e
        jr      nz,sh_print_digit
        ex      de,hl
sh_print_pad:
        ld      a,b
        dec     a
        jp      m,con_string            ; B <= 0: no room left to pad
        ld      b,a
        ld      a,' '
        call    con_putc
        jr      sh_print_pad

sh_prompt:
        db      13, 10, "A>$"
sh_com:
        db      "COM"
sh_bad_command_text:
        db      "Bad command or file name$"
sh_no_memory_text:
        db      "Not enough memory$"
sh_not_found_text:
        db      "File not found$"
sh_ren_failed_text:
        db      "Rename failed$"
sh_bad_drive_text:
        db      "Invalid drive$"
