; K7.COM: reads the DOS-mode blocks of a tape and saves each file on the
; current drive.  A block carries a flags value, the file's 11-character
; directory name and, in the fast format, a self-extracting image of the
; file; K7 lets the image unpack itself at 0x0400 and writes what it
; restored.  Flags: bit 0 more blocks follow, bit 1 this block continues the
; file of the block before, bit 2 more parts of this file follow.
;
; It runs under the RAM-disk DOS: page 0 is RAM, so no BIOS entry is called;
; the tape, the keyboard, the motor and the screen are reached through their
; ports, DOS through 0x0005.  That DOS needs an MSX2, so video register 14
; is always written before the name table is addressed.
;
; Memory: K7 from 0x0100 up to the image at 0x0400, except its last
; routines, which it copies at start to the page-0 bytes after the FCB (the
; command tail's place, which nothing uses while K7 runs); the image as it
; arrives and the data it restores from 0x0400 on; the rank table above them.
;
; Tape reading, as the fast loader does it: every unit (a value or a rank
; code) is a start mark, one to eight bit cells and an end mark.  A cell is
; told by the level changes counted in a window of sampling periods (65 T)
; that opens at its first change: 0-1 a 0 cell, 2-3 a 1 cell, a fourth ends
; the unit (the end mark).  The lead-in gives a steady count of changes and
; the length of its half-cycles, from which start marks (a long half) are
; told from end marks (short ones); the window is timed on the eight cells
; of the first sync value, in the code the data comes in.  Only changes
; count, never the level, so either polarity reads.

BDOS    equ     0x0005          ; DOS function entry: C = function
FCB     equ     0x005C          ; the file control block K7 fills
IMAGE   equ     0x0400          ; the received image, then the restored data
IMAGE_TOP equ   0xBA00          ; the received image stays below: moved up
                                ; under its depacker it stays above K7
RANKS   equ     0xBB00          ; rank table of the current block (256 bytes)
PAGE0_CODE equ  FCB + 37        ; where the moved routines run, up to 0x0100

F_PRINT equ     0x09            ; DE = text ending in '$'
F_CLOSE equ     0x10            ; DE = FCB; A = 0 or 0xFF
F_CREATE equ    0x16            ; DE = FCB; A = 0 or 0xFF
F_DMA   equ     0x1A            ; DE = transfer address
F_WRITE equ     0x26            ; DE = FCB, HL = records; A = 0 or 1

LINLEN  equ     0xF3B0          ; width of the current text screen
CSRY    equ     0xF3DC          ; cursor row, 1-based
CSRX    equ     0xF3DD          ; cursor column, 1-based
NAMBAS  equ     0xF922          ; name table of the current text screen
WINWID  equ     0xFCA5          ; reading window in sampling periods
SCRMOD  equ     0xFCAF          ; screen mode

PSGSEL  equ     0xA0            ; sound chip register select
PSGRD   equ     0xA2            ; sound chip register read; R14 bit 7 = tape
KEYCOL  equ     0xA9            ; keyboard columns of the selected row
KEYROW  equ     0xAA            ; keyboard row (bits 0-3), motor (bit 4)
PPICTL  equ     0xAB            ; PPI bit set/reset
VDPDAT  equ     0x98
VDPCTL  equ     0x99
MOTORON equ     0x08            ; port C bit 4 reset
MOTOROFF equ    0x09            ; port C bit 4 set

        org     0x0100

; ---------------------------------------------------------------------------
; start: shows the banner, then reads blocks and writes their files while
; the flags say that more follow.
;   In: SP with DOS's return address on top.  Out: back to DOS.
;   Changed: everything.
start:
        ld      hl,low_code
        ld      de,PAGE0_CODE
        ld      bc,low_end - low_code
        ldir
        ld      de,banner
        call    PRINT
        ld      (stack),sp              ; the banner's bytes are free now
        xor     a
        ld      (open),a
next_block:
        call    wait_tape
        ld      de,loading
        call    PRINT
        call    AT_CURSOR               ; the name goes to the cursor
        call    read_block
        ld      hl,ok_text
        call    SHOW
        ld      hl,CSRX                 ; the cursor past the name and " <OK>"
        ld      a,(hl)
        add     a,16
        ld      (hl),a
        call    MOTOR_OFF
        exx                             ; the image's header gives its length
        push    hl                      ; (LD BC,N at offset 7): it must be
        exx                             ; what arrived
        pop     hl
        ld      de,IMAGE
        or      a
        sbc     hl,de
        ld      de,(IMAGE + 8)
        sbc     hl,de                   ; no carry: the end is above IMAGE
        jr      nz,fail_at_cursor
        ld      a,d                     ; nothing arrived at all
        or      e
        jr      z,fail_at_cursor
        ld      hl,IMAGE
        call    IMAGE + 3               ; HL = length restored at IMAGE
        push    hl
        ld      a,(flags)
        and     2
        rrca                            ; 1: continues the file still open
        ld      hl,open
        cp      (hl)
        jr      nz,fail_at_cursor       ; a part without its file, or a file
        or      a                       ; whose last part never came
        jr      nz,append
        ld      hl,FCB + 12             ; a new file: the record counters
        ld      b,37 - 12               ; and the rest of the FCB cleared,
clear_fcb:
        ld      (hl),a
        inc     hl
        djnz    clear_fcb
        ld      (FCB),a                 ; the current drive
        ld      c,F_CREATE
        call    FCB_CALL
        or      a
        jr      nz,fail_at_cursor
        inc     a
        ld      (open),a
        ld      (FCB + 14),a            ; records of one byte
append:
        ld      de,IMAGE
        ld      c,F_DMA
        call    BDOS
        pop     hl
        ld      c,F_WRITE
        call    FCB_CALL
        or      a
        jr      nz,fail_at_cursor       ; disk full: not reported as done
        ld      a,(flags)
        and     4
        jr      nz,keep_open            ; more parts of it follow
        call    CLOSE
        jr      nz,fail_at_cursor
keep_open:
        ld      a,(flags)
        rra
        jp      c,next_block
        ret

; fail: the error path: shows " <Err>" (fail_at_cursor: at the cursor;
; fail: where the video address stands, after what the block has shown),
; stops the tape, closes a file left open (the parts so far stay on the
; disk, and the disk stays consistent) and returns to DOS.
;   In: stack, open.  Out: back to DOS.  Changed: everything.
fail_at_cursor:
        call    AT_CURSOR
fail:
        ld      sp,(stack)
        ld      hl,err_text
        call    SHOW
        call    MOTOR_OFF
        ld      a,(open)
        or      a
        ret     z
        jp      CLOSE

; ---------------------------------------------------------------------------
; Waiting for the tape.

; tape_on: In: nothing.  Out: motor on, interrupts off, PSG register 14
; selected, E = tape level.  Changed: AF, E.
tape_on:
        di
        ld      a,MOTORON
        out     (PPICTL),a
        ld      a,14
        out     (PSGSEL),a
        in      a,(PSGRD)
        ld      e,a
        ret

; poll: one look at STOP and at the tape; STOP takes the error path.
;   In: E = level.  Out: carry = the level changed (E = the new level).
;   Changed: AF, E.
poll:
        in      a,(KEYROW)
        and     0xF0
        or      7
        out     (KEYROW),a
        in      a,(KEYCOL)
        cp      0xEF                    ; STOP alone
        jr      z,fail_at_cursor
        in      a,(PSGRD)
        xor     e
        ret     p                       ; XOR cleared carry
        xor     e
        ld      e,a
        scf
        ret

; wait_tape: polls the keyboard and the tape until 32 level changes arrive or
; a key alone on row 6 picks the window: F1 calibrated, F2 8, F3 6, CTRL 12
; sampling periods.  STOP gives up.
;   In: nothing.  Out: override.  Changed: AF, BC, E, HL; interrupts off.
wait_tape:
        xor     a
        ld      (override),a
        call    tape_on
        ld      c,32                    ; level changes still to come
wait_poll:
        in      a,(KEYROW)
        and     0xF0
        or      6
        out     (KEYROW),a
        in      a,(KEYCOL)
        ld      hl,key_windows
        ld      b,4
key_next:
        cp      (hl)
        inc     hl
        jr      z,key_found
        inc     hl
        djnz    key_next
        call    poll
        jr      nc,wait_poll
        dec     c
        jr      nz,wait_poll
        ret
key_found:
        ld      a,(hl)
        ld      (override),a
        ret

; wait_change: In: E = level.  Out: E = level after the next change.
; Changed: AF, E.
wait_change:
        in      a,(PSGRD)
        xor     e
        jp      p,wait_change
        xor     e
        ld      e,a
        ret

; half: waits for a level change, then counts the periods of the sync loop
; (42 T) up to the D-th change after it: a half-cycle (D = 1) or a whole
; cycle (D = 2, 6 T more at the change between its halves).  The level is
; read first, so that a change that came while the caller was busy does not
; start the count late.
;   In: D.  Out: A = periods completed, E = level.  Changed: AF, B, D, E.
half:
        in      a,(PSGRD)
        ld      e,a
        call    wait_change             ; and 11 T to return: as the sync loop's start
        ld      b,0                     ; 8
half_count:                             ; 42 T per count, as sync_count
        in      a,(PSGRD)               ; 12
        xor     e                       ; 5
        jp      m,half_edge             ; 11
        djnz    half_count              ; 14
half_edge:
        xor     e
        ld      e,a
        dec     d
        jr      z,half_end
        djnz    half_count
half_end:
        ld      a,b
        neg
        ret

; ---------------------------------------------------------------------------
; read_block: reads a block: calibration on the lead-in, the sync values
; 208, the flags, the name (shown at the video address set last and kept in
; the FCB), the rank table and the payload, whose bytes are stored from
; IMAGE on.  A unit of 11 cells or more, or of eight that are neither a rank
; code nor the trailer, is a loading error, and so is a payload that would
; reach IMAGE_TOP.
;   In: override.  Out: flags, name, rank table, the image at IMAGE, HL' =
;   one past its last byte, WINWID.  Changed: AF, BC, DE, HL, BC', DE', HL';
;   interrupts off.
read_block:
        ; Calibration: 240 level changes of the lead-in pass, then the changes
        ; in 80 sampling periods are counted until 16 counts in a row each
        ; differ by two at most from the one before (a count of the lead-in
        ; is off by one either way with the phase): a steady tone, and not
        ; the noise that a silent tape may give.  A count of 0 is an error.
        call    tape_on
        ld      c,240
pass_changes:
        call    poll
        jr      nc,pass_changes
        dec     c
        jr      nz,pass_changes
        ld      hl,16 * 256 + 0xFF      ; H = counts to agree, L = last count
count_again:
        ld      bc,80 * 256             ; B = periods, C = changes
calib_loop:                             ; 65 T on both paths, as the window
        in      a,(PSGRD)               ; 12
        xor     e                       ; 5
        jp      p,calib_same            ; 11
        xor     e                       ; 5
        ld      e,a                     ; 5
        inc     c                       ; 5
        cp      0                       ; 8
        djnz    calib_loop              ; 14
        jr      calib_done
calib_same:
        jr      $ + 2                   ; 13
        nop                             ; 5
        nop                             ; 5
        djnz    calib_loop              ; 14
calib_done:
        ld      a,c
        or      a
        jp      z,fail
        sub     l
        ld      l,c
        add     a,2
        cp      5                       ; carry: within two of the last
        jr      c,calib_steady
        ld      h,16 + 1
calib_steady:
        call    poll                    ; STOP while it is not the lead-in
        dec     h
        jr      nz,count_again
        ; The sync threshold: the half-cycles of the lead-in as the sync loop
        ; counts them, from 8 whole cycles (the input's high and low halves
        ; differ a little, and either may come first).  A whole cycle counts
        ; about half a period more than its two halves counted one by one;
        ; (sum + 7) / 16 gives what the halves would, rounded up from a
        ; quarter, in every mode played 4% slow or fast.  The halves of an
        ; end mark are a half or two thirds of it, the start mark's long half
        ; twice or 4/3 of it.
        ld      hl,7
        ld      c,8
measure_cycle:
        ld      d,2
        call    half
        add     a,l
        ld      l,a
        adc     a,h
        sub     l
        ld      h,a
        dec     c
        jr      nz,measure_cycle
        add     hl,hl
        add     hl,hl
        add     hl,hl
        add     hl,hl                   ; H = (sum + 7) / 16
        ld      a,h
        or      a
        jr      nz,threshold_set
        inc     a
threshold_set:
        ld      (threshold),a
        ; The lead-in, which reads as values 255, is passed over up to a
        ; half-cycle that ends two counts short of the threshold: the end
        ; mark after it, whose halves are a half or two thirds of the
        ; lead-in's.  Its 1 cells alike, a window could open at any of their
        ; changes, and at some the last window would run over the end mark
        ; into the next unit.
        dec     a
        jr      nz,skip_limit
        inc     a
skip_limit:
        ld      c,a
skip_half:
        ld      d,1
        call    half
        cp      c
        jr      nc,skip_half
        call    sync_now                ; the first sync value's start mark
        call    measure_sync            ; the first sync value, dropped
        exx
        ld      hl,FCB + 1
        ld      b,11
        exx
skip_sync:
        call    read_value
        cp      208
        jr      z,skip_sync
        ld      (flags),a
name_char:
        call    read_value
        out     (VDPDAT),a
        exx
        ld      (hl),a
        inc     l
        dec     b
        exx
        jr      nz,name_char
        exx
        ld      hl,RANKS
        exx
rank_values:
        call    read_value
        exx
        ld      (hl),a
        inc     l
        exx
        jr      nz,rank_values          ; Z once L' wrapped after 256 values
        exx
        ld      hl,IMAGE
        ld      d,RANKS >> 8
        exx
        ; The payload: the byte of every unit's rank is stored until the
        ; trailer, a unit of 9 or 10 cells (or eight 1 cells, which read_unit
        ; reports as 10).  The work between two units has to fit in the start
        ; mark's halves; the limit is looked at once a page.
payload_unit:
        ld      hl,1
        call    read_unit
        ld      a,h
        cp      9
        jr      nc,payload_end
        ld      a,l
        sub     2                       ; the rank
        exx
        ld      e,a
        ld      a,(de)                  ; the byte it stands for
        ld      (hl),a
        inc     l
        jr      z,payload_page
        exx
        jr      payload_unit
payload_page:
        inc     h
        ld      a,h
        exx
        cp      IMAGE_TOP >> 8
        jr      c,payload_unit
        jp      fail
payload_end:
        cp      11
        ret     c
        jp      fail

; ---------------------------------------------------------------------------
; Units.  read_value returns the cells as a binary number; the payload loop
; makes rank = (2^L - 2) + code for L cells by starting the code at 1 and
; taking 2 off (for 8 cells the leading 1 falls out and the sum wraps to
; 254 + code).

; read_value: In: D = window, E = level, threshold, synchronised on the
;   unit's start mark.  Out: A = L = value (low 8 bits of the cells), H =
;   cells (modulo 256), synchronised on the next unit.  Changed: AF, BC, HL, E.
read_value:
        ld      hl,0
        call    read_unit
        ld      a,l
        ret

; measure_sync: times the first sync value, 208, whose eight cells 11010000
; take 22 level changes after the first cell's first one, the last being the
; end mark's first, counted in periods of a 66 T loop (C periods).  The
; window becomes the time a unit's fourth level change may take, two thirds
; of a cell (it is half a cell in some modes), with a margin of 22 T, in
; whole sampling periods rounded up: 0.667 x 66/8 x C + 22 = 5.5 C + 22 T,
; plus 64 to round up, divided by 65.  Measured on the cells that carry the
; data, this fits every mode, also the one whose lead-in is made of longer
; cells.  A window chosen by key stands instead.  The value itself is
; dropped.
;   In: E = level, override, synchronised on the unit.  Out: D = window
;   (also in WINWID), E = level, synchronised on the next unit.
;   Changed: AF, BC, DE, HL.
measure_sync:
        call    wait_change             ; the end of the long half ...
        call    wait_change             ; ... and the first cell's first change
        ld      bc,22 * 256             ; B = changes to come, C = periods
measure_loop:                           ; 66 T on both paths
        in      a,(PSGRD)               ; 12
        xor     e                       ; 5
        jp      p,measure_same          ; 11
        xor     e                       ; 5
        ld      e,a                     ; 5
        inc     c                       ; 5
        dec     b                       ; 5
        jr      nz,measure_loop         ; 13
        jr      measured
measure_same:
        inc     c                       ; 5
        nop                             ; 5
        nop                             ; 5
        nop                             ; 5
        nop                             ; 5
        jr      measure_loop            ; 13
measured:                               ; the end mark has begun
        ld      a,(override)
        or      a
        jr      nz,window_chosen
        ld      l,c
        ld      h,b                     ; B = 0
        ld      d,h
        ld      e,l
        add     hl,hl
        add     hl,hl
        add     hl,de
        add     hl,hl
        add     hl,de                   ; 11 C
        ld      de,172
        add     hl,de
        ld      de,-130
        ld      a,0xFF
window_div:                             ; A = (11 C + 172) / 130
        inc     a
        add     hl,de
        jr      c,window_div
window_chosen:
        ld      d,a
        ld      (WINWID),a
        ; fall through
; sync_now: finds the next start mark, measuring from the level change just
; seen: the one that ended a unit may already be the start mark's first.  A
; start mark is a half-cycle of at least the threshold's counts (the lead-in's
; half-cycles) of 42 T: the halves of an end mark are shorter, the start
; mark's low half is longer.  It returns inside that half, so that the caller
; has the rest of it and the short half after it for its own work.  The
; trailer of a block has no start mark: its half-cycles are long enough
; themselves, and it reads as a unit of 8 to 10 1 cells.
;   In: E = level, threshold.  Out: E = level.  Changed: AF, BC, E.
sync_now:
        ld      a,(threshold)
        ld      c,a
        jr      sync_measure
sync_edge:
        xor     e
        ld      e,a
        jr      sync_measure            ; 13
sync_measure:
        ld      b,c                     ; 5
sync_count:                             ; 42 T per count
        in      a,(PSGRD)               ; 12
        xor     e                       ; 5
        jp      m,sync_edge             ; 11
        djnz    sync_count              ; 14
        ret

; read_unit: reads the cells of a unit whose start mark sync_now has found,
; up to its end mark, and then synchronises on the next start mark.  Every
; path from the end mark to the next unit's first cell must be short: the
; caller's work between two units has the start mark's two halves.
;   In: D = window, E = level, H = 0, L = initial code.  Out: H = cells
;   (modulo 256), L = code with the cells shifted in.  Changed: AF, BC, HL, E.
read_unit:
long_half:                              ; wait for the end of the long half ...
        in      a,(PSGRD)
        xor     e
        jp      p,long_half
        xor     e
        ld      e,a
first_change:                           ; ... and for the first cell's first change
        in      a,(PSGRD)
        xor     e
        jp      p,first_change
        xor     e
        ld      e,a
        ld      b,d
        ld      c,0xFC                  ; counts up to 0 at the fourth change
window:                                 ; 65 T on both paths
        in      a,(PSGRD)               ; 12
        xor     e                       ; 5
        jp      p,window_same           ; 11
        xor     e                       ; 5
        ld      e,a                     ; 5
        inc     c                       ; 5
        jr      z,sync_now              ; 8: the end mark; on to the next unit
        djnz    window                  ; 14
        jr      window_closed
window_same:
        jr      $ + 2                   ; 13
        nop                             ; 5
        nop                             ; 5
        djnz    window                  ; 14
        ; The window closed before the cell ended: count the cell, get the
        ; next window ready and wait for the cell's last change, or its last
        ; two after an even count; the next window opens at the next cell's
        ; first change.  From the change that opened a window to the wait
        ; for the next cell it takes 80 T more than the window (85 after an
        ; even count): the shortest cells, 488 T at 5500 baud in the
        ; experimental mode, leave no more.
window_closed:
        inc     h                       ; one more cell
        ld      a,c
        ld      b,d
        rra                             ; carry: an odd count
        jr      nc,even_count
        rra                             ; carry: 2 or 3 changes, a 1 cell
        rl      l
        jr      c,eighth_odd            ; a rank code's eighth cell
odd_wait:
        in      a,(PSGRD)
        xor     e
        jp      p,odd_wait
        xor     e
        ld      e,a
        ld      c,0xFC                  ; also puts the window 8 T after the change
        jp      window
even_count:
        rra
        rl      l
        jr      c,eighth_even
resync_one:
        in      a,(PSGRD)
        xor     e
        jp      p,resync_one
        xor     e
        ld      e,a
resync_last:
        in      a,(PSGRD)
        xor     e
        jp      p,resync_last
        xor     e
        ld      e,a
        ld      c,0xFC
        jp      window

; A rank code's marker bit left L with its eighth cell (a value's leading
; 1 with its ninth).  The only rank codes of eight cells are 0000000x; their
; end mark follows.  Eight cells of anything else end the unit at once: all
; 1 cells are the trailer (ten 1 cells, of which the synchronisation after
; the last byte may take two), as if it were read to its end mark (H = 10);
; any other mix is a damaged unit (H = 11).
eighth_odd:
        call    eighth_cell
        jr      odd_wait
eighth_even:
        call    eighth_cell
        jr      resync_one
;   In: H = cells, L = code.  Out: back to the cell loop for a value's
;   ninth cell or a rank 0000000x; else out of read_unit with H = 10
;   (trailer) or 11 (damaged).  Changed: AF, BC (when leaving), H.
eighth_cell:
        ld      a,h
        cp      8
        ret     nz                      ; a value's ninth cell: read on
        ld      a,l
        cp      2
        ret     c                       ; 0000000x
        pop     bc                      ; leave the unit, back to its reader
        inc     a
        ld      h,10
        ret     z
        inc     h
        ret

; ---------------------------------------------------------------------------
; Texts and tables.  The banner's bytes hold the variables once it is shown.

key_windows:    db      0xBF, 8, 0x7F, 6, 0xFD, 12, 0xDF, 0    ; F2, F3, CTRL, F1
loading:        db      13, 10, "Loading:$"
ok_text:        db      " <OK>$"
err_text:       db      " <Err>$"
banner:         db      "CassonicDOS-2005$"

flags           equ     banner          ; flags value of the current block
override        equ     banner + 1      ; window chosen by key, 0 = calibrate
threshold       equ     banner + 2      ; sync: counts of the long half
open            equ     banner + 3      ; 1 while a file is open
stack           equ     banner + 4      ; stack pointer at start (2 bytes)

; ---------------------------------------------------------------------------
; The routines copied to PAGE0_CODE at start and called there (CLOSE,
; MOTOR_OFF, FCB_CALL, PRINT, SHOW, AT_CURSOR): what they reach within
; themselves they reach by relative jumps or through these names.

low_code:
; close: closes the open file.  In: nothing.  Out: A = 0 and Z when DOS
; closed it, NZ otherwise.  Changed: AF, BC, DE, HL.
close:
        xor     a
        ld      (open),a
        ld      c,F_CLOSE
        call    FCB_CALL
        or      a
        ret

; motor_off: In: nothing.  Out: motor off, interrupts on.  Changed: AF.
motor_off:
        ld      a,MOTOROFF
        out     (PPICTL),a
        ei
        ret

; fcb_call: In: C = DOS function.  Out: DOS's result.  Changed: as DOS.
fcb_call:
        ld      de,FCB
        jp      BDOS

; print: In: DE = text ending in '$'.  Changed: as DOS.
print:
        ld      c,F_PRINT
        jp      BDOS

; show: writes a text to video memory at the address set last, 54 T per
; character.  In: HL = text ending in '$'.  Out: nothing.  Changed: AF, HL.
show:
        ld      a,(hl)
        cp      '$'
        ret     z
        out     (VDPDAT),a
        inc     hl
        jr      show

; at_cursor: sets the video write address to the cursor's character, as the
; BIOS computes it: NAMBAS + (CSRY-1) * W + (CSRX-1) + (W + 1 - LINLEN) / 2
; with W = 80, 40 or 32 by screen mode and width.
;   In: nothing.  Out: nothing.  Changed: AF, BC, DE, HL; interrupts off.
at_cursor:
        ld      a,(SCRMOD)
        ld      hl,(LINLEN)             ; L = LINLEN
        ld      c,32
        dec     a
        jr      z,width_known           ; SCREEN 1
        ld      c,40
        ld      a,c
        cp      l                       ; carry: a width above 40
        jr      nc,width_known
        ld      c,80
width_known:                            ; C = W
        ld      a,c
        inc     a
        sub     l
        rra                             ; (W + 1 - LINLEN) / 2
        ld      hl,(CSRY)               ; L = row, H = column
        add     a,h
        dec     a
        ld      b,l
        ld      l,a
        ld      h,0
        ld      de,(NAMBAS)
        add     hl,de
        ld      e,c
        ld      d,0
        dec     b
        jr      z,rows_added
add_row:
        add     hl,de
        djnz    add_row
rows_added:
        di
        ld      c,VDPCTL
        xor     a
        out     (c),a
        ld      a,0x80 + 14
        out     (c),a
        out     (c),l
        set     6,h                     ; writing (the name table is below 16K)
        out     (c),h
        ret

low_end:

AT_CURSOR       equ     at_cursor - low_code + PAGE0_CODE
SHOW            equ     show - low_code + PAGE0_CODE
FCB_CALL        equ     fcb_call - low_code + PAGE0_CODE
CLOSE           equ     close - low_code + PAGE0_CODE
MOTOR_OFF       equ     motor_off - low_code + PAGE0_CODE
PRINT           equ     print - low_code + PAGE0_CODE

        if      low_code > IMAGE
        .error  K7 has grown into its image at 0x0400
        endif
        if      low_end - low_code > 0x0100 - PAGE0_CODE
        .error  the moved routines are too long for their place below 0x0100
        endif
