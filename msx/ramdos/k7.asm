; K7.COM: reads the DOS-mode blocks of a tape and saves each file on the
; current drive.  A block carries a flags value, the file's 11-character
; directory name and, in the fast format, a self-extracting image of the
; file; K7 lets the image unpack itself at 0x0400 and writes what it
; restored.  Flags: bit 0 more blocks follow, bit 1 this block continues the
; file of the block before, bit 2 more parts of this file follow.
;
; It runs under the RAM-disk DOS: page 0 is RAM, so no BIOS entry is called;
; the tape, the keyboard and the motor are reached through their ports, DOS
; through 0x0005, also for the screen.  Only the name of the block goes
; straight into video memory as it arrives: printing "Loading:" left the
; video processor's write address just after the colon (the screen's output
; routine writes a character and moves on, and DOS leaves page register R#14
; at 0), and nothing touches the video memory until the block is in.  " <OK>"
; or " <Err>" is printed after the name, at the cursor moved past it; an
; error after DOS has been at work on the disk leaves that address in one of
; its video pages, so nothing else is written there straight.

; Memory: K7 from 0x0100, the rank table of the current block at RANKS
; (0x0300), the image as it arrives and the data it restores from 0x0400 on.
; K7.COM carries more after its code: its start-up (in the rank table's
; page, run once) and its turbo part (k7_turbo.asm, from 0x0400 in the
; file), which the start-up copies up to K7T_BASE where the DOS leaves that
; memory to programs.  A block whose lead-in is made of the turbo signal's
; half-cycles goes to the turbo part; without it (a DOS that keeps the
; memory) such a block ends K7 with " <Err>".
;
; Tape reading, as the fast loader does it: every unit (a value or a rank
; code) is a start mark, one to eight bit cells and an end mark.  A cell is
; told by the level changes counted in a window of sampling periods (65 T)
; that opens at its first change: 0-1 a 0 cell, 2-3 a 1 cell, a fourth ends
; the unit (the end mark).  The length of the lead-in's half-cycles tells
; start marks (a long half) from end marks (short ones); the window is timed
; on the cells of the first sync value, in the code the data comes in.  Only
; changes count, never the level, so either polarity reads.  The paths
; between two windows and between two units are counted in T-states (MSX
; timing, one wait state per M1 cycle): the shortest cells and marks leave
; no more time than they take.

        include "sysvars.inc"
        include "ports.inc"
        include "dos.inc"
        include "fcb.inc"
        include "tape_read.inc"
        include "k7_turbo.inc"

RANKS   equ     0x0300          ; rank table of the current block (256 bytes)
TURBO_HALF_MIN equ 10           ; calibrated thresholds of a turbo lead-in
TURBO_HALF_MAX equ 13           ; (its halves 6 samples at 44100 Hz, 11.6
                                ; counts of 42 T; 12% slow to 14% fast).
                                ; The fast modes' lead-ins are shorter but
                                ; in 8-bit output at 1,500 to 2,100 baud.
ROW7    equ     0x01            ; PPICTL: port C bit 0 set, row 6 to 7

        org     0x0100

; ---------------------------------------------------------------------------
; start: the start-up (start_up) shows the banner, then K7 reads blocks
; and writes their files while the flags say that more follow.
;   In: SP with DOS's return address on top.  Out: back to DOS.
;   Changed: everything.
start:
        jp      start_up
next_block:
        ld      d,0                     ; 256 level changes: the tape plays
        call    wait_changes
        ld      de,loading
        call    print
        ld      a,9 + 11                ; the report goes after the name
        ld      (CSRX),a
        ; The block: the sync values 208, the flags, the name (kept in the
        ; FCB and shown), the rank table and the payload, whose bytes are
        ; stored from IMAGE on.  A payload unit of eight cells or more that
        ; is neither a rank code nor the trailer is a loading error, and so
        ; is a payload that would reach IMAGE_TOP.
        exx                             ; the name in the FCB and on the
        ld      de,FCB1 + FCB_NAME      ; screen, then the rank table; the
        ld      hl,IMAGE                ; payload from IMAGE (a unit read as
        ld      b,11                    ; the trailer before the payload
        exx                             ; fails the length check)
        ; The sync threshold: the half-cycles of the lead-in as the sync loop
        ; counts them, from 8 whole cycles in a row (the input's high and low
        ; halves differ a little): (C + 1) / 16, C counted over the 16 halves,
        ; rounds what a half would count up from a quarter (as summing eight
        ; cycles counted one by one does), in every mode played 4% slow or
        ; fast.  The halves of an end mark are a half or two thirds of it,
        ; the start mark's long half twice or 4/3 of it.  Measured until two
        ; measures in a row agree and give 3 or more (as every mode's lead-in
        ; does): a steady tone, not the noise that a silent tape may give.
calibrate:
        ld      d,1                     ; STOP and the keys looked at between
        call    wait_changes            ; the measures
        ld      d,16
        call    half                    ; A = C
        add     a,1
        rra
        rra
        rra
        rra
        and     0x1F                    ; (C + 1) / 16, the carry shifted in
        ld      hl,threshold
        cp      (hl)
        ld      (hl),a
        jr      nz,calibrate
        cp      3
        jr      c,calibrate
        cp      TURBO_HALF_MIN
        jr      c,fast_lead_in
        cp      TURBO_HALF_MAX + 1
        jp      c,turbo_block
fast_lead_in:
        ; The lead-in, which reads as values 255, is passed over up to a
        ; half-cycle that ends two counts short of the threshold: the end
        ; mark after it, whose halves are a half or two thirds of the
        ; lead-in's.  Its 1 cells alike, a window could open at any of their
        ; changes, and at some the last window would run over the end mark
        ; into the next unit.
        dec     a
        ld      c,a
skip_half:
        ld      d,1
        call    half                    ; A = C
        cp      c
        jr      nc,skip_half
        call    sync_now                ; the first sync value's start mark
        call    measure_sync            ; the first sync value, dropped
skip_sync:
        call    read_value
        cp      208
        jr      z,skip_sync
        push    af                      ; the flags, kept on the stack
name_char:
        call    read_value
        exx
        ld      (de),a
        out     (VDPDAT),a
        inc     e
        dec     b
        exx
        jr      nz,name_char
        ; The rank table is stored two places on: a rank code of n cells,
        ; started at 1, ends as 2^n + code, its rank (2^n - 2) + code plus
        ; 2, which picks the entry directly.
        exx
        ld      de,RANKS + 2            ; B' = 0: 256 values
        exx
rank_values:
        call    read_value
        exx
        ld      (de),a
        inc     e
        dec     b
        exx
        jr      nz,rank_values
        ; The payload: the byte of every unit's rank is stored until the
        ; trailer, eight 1 cells, with which read_unit goes on at
        ; payload_end.  The work between two units has to fit in the start
        ; mark's halves.
payload_unit:
        ld      l,1
        call    read_unit               ; A = L
        exx
        ld      e,a
        ld      a,(de)                  ; the byte its rank stands for
        ld      (hl),a
        inc     hl
        ld      a,h
        exx
        cp      IMAGE_TOP >> 8
payload_top equ $ - 1
        jr      c,payload_unit
        ; fall through: the payload would reach IMAGE_TOP

; fail: the error path: closes a file left open (the parts so far stay on
; the disk, and the disk stays consistent; a close that fails comes back
; here with none open), stops the tape, shows " <Err>" and ends through
; DOS's warm boot, from whatever depth it was called.
;   In: the FCB's record size is 1 while a file is open.  Out: to 0x0000.
;   Changed: everything.
fail:
        ld      a,(FCB1 + FCB_RECSIZE)
        or      a
        call    nz,close
        ld      de,err_text
        call    report
        rst     0

; close: closes the open file.  In: nothing.  Out: A = 0, or to fail.
; Changed: AF, BC, DE, HL.
close:
        xor     a
        ld      (FCB1 + FCB_RECSIZE),a  ; no file open
        ld      c,F_CLOSE
        ; fall through
; fcb_call: a file function of DOS; any result but 0 is a loading error.
;   In: C = DOS function.  Out: A = 0, Z, or to fail.  Changed: as DOS.
fcb_call:
        ld      de,FCB1
        call    BDOS
        or      a
        ret     z
        jr      fail

; report: stops the tape and prints a text (after the name).
;   In: DE = " <OK>$" or " <Err>$".  Out: motor off, interrupts on.
;   Changed: as DOS.
report:
        ld      a,MOTOROFF
        out     (PPICTL),a
        ei
        ; fall through
; print: In: DE = text ending in '$'.  Changed: as DOS.
print:
        ld      c,F_PRINT
        jp      BDOS

; eighth_cell: a rank code's marker bit left L with its eighth cell (a
; value's leading 1 with its ninth).  The only rank codes of eight cells are
; 0000000x, whose end mark follows; eight cells of anything else end the
; unit at once, and the payload with it: eight 1 cells are the trailer (ten,
; of which the synchronisation after the last byte may take two, and whose
; end mark then need not read as one), any other mix is a damaged unit.
; The trailer goes on at payload_end, as the return from read_unit's caller
; (payload_unit) would; a value read as the trailer gets there a level
; deeper, but with nothing received yet the length check fails it.
;   In: L = code.  Out: back to the cell loop for 0000000x, else to
;   payload_end or fail.  Changed: F, C (A is kept for the cell loop).
eighth_cell:
        ld      c,l
        srl     c
        ret     z
        pop     af                      ; out of read_unit ...
        pop     af                      ; ... and of payload_unit's call
        inc     l
        jp      nz,fail                 ; not the trailer
payload_end:
        exx                             ; HL = the trailer's end
        ld      de,(IMAGE + 8)          ; the image's header gives its length
        ld      a,d                     ; (LD BC,N at offset 7): it must be
        or      e                       ; what arrived, and not 0
        jr      z,fail
        sbc     hl,de                   ; no carry: OR cleared it
        ld      a,h
        sub     IMAGE >> 8
        or      l
        jr      nz,fail
block_in:                               ; the flags on the stack
        ld      de,ok_text
        call    report
        ld      hl,IMAGE
        call    IMAGE + 3               ; HL = length restored at IMAGE, or
        jr      c,fail                  ; carry: the image was damaged
        pop     af                      ; the flags
        push    af
        push    hl
        and     2
        rrca                            ; 1: continues the file still open
        ld      hl,FCB1 + FCB_RECSIZE   ; 1 while a file is open: the record
        cp      (hl)                    ; size K7 gives it
        jr      nz,fail                 ; a part without its file, or a file
        or      a                       ; whose last part never came
        jr      nz,append
        dec     hl                      ; a new file: from FCB_BLOCK on the
        dec     hl                      ; record counters and the rest of
        ld      b,FCB_LENGTH - FCB_BLOCK ; the FCB cleared,
clear_fcb:
        ld      (hl),a
        inc     hl
        djnz    clear_fcb
        ld      (FCB1 + FCB_DRIVE),a    ; the current drive
        ld      c,F_CREATE
        call    fcb_call
        inc     a
        ld      (FCB1 + FCB_RECSIZE),a  ; records of one byte
append:
        ld      de,IMAGE
        ld      c,F_DMA
        call    BDOS
        pop     hl
        ld      c,F_WRBLK
        call    fcb_call                ; disk full: not reported as done
        pop     af                      ; the flags
        rra                             ; carry: more blocks follow
        push    af
        rra
        rra                             ; carry: more parts of this file
        call    nc,close
        pop     af
        jp      c,next_block
        ret

; turbo_block: a block in the turbo signal, read and checked by the turbo
; part, then saved as a fast one.  In: the tape on its lead-in.  Out: on to
; block_in, or to fail.  Changed: everything.
turbo_block:
        call    turbo_entry
        jp      c,fail
        push    af                      ; the flags
        jr      block_in
; turbo_entry: k7t_block once the turbo part is in place, fail until then.
;   In, Out, Changed: as k7t_block (k7_turbo.asm).
turbo_entry:
        jp      fail

; ---------------------------------------------------------------------------
; Tape, keyboard and timing.

; wait_changes: switches the motor on, selects the tape input (PSG register
; 14) with interrupts off, takes up the window keys, and waits for D level
; changes (0: 256), looking at STOP.  A key alone on keyboard row 6 fixes
; the window: F2 8, F3 6, CTRL 12 sampling periods; else it is timed on the
; tape.  No match leaves HL past the fourth key, as a match of it would:
; window 0.
;   In: D, E = a level seen before (one that is out of date counts as one
;   change).  Out: E = level, override.  Changed: AF, BC, D, E, HL;
;   keyboard row 7.
wait_changes:
        di
        ld      a,14
        out     (PSGSEL),a
        in      a,(KEYROW)
        and     0xE0                    ; motor on (bit 4 clear)
        or      6
        out     (KEYROW),a
        in      a,(KEYCOL)
        ld      hl,key_windows
        ld      bc,4
        cpir
        ld      c,3
        add     hl,bc
        ld      a,(hl)
        ld      (override),a
        ld      a,ROW7
        out     (PPICTL),a
wait_more:
        in      a,(KEYCOL)
        cp      0xEF                    ; STOP alone
        jp      z,fail
        in      a,(PSGRD)
        xor     e
        jp      p,wait_more
        xor     e
        ld      e,a
        dec     d
        jr      nz,wait_more
        ret

; wait_change: In: E = level.  Out: E = level after the next change.
; Changed: AF, E.
wait_change:
        TAPE_WAIT_CHANGE
        ret

; half: waits for a level change, then counts the periods of the sync loop
; (42 T) up to the D-th change after it; a change on the way takes 23 T
; more than a period.  The level is read first, so that a change that came
; while the caller was busy does not start the count late (half_next: from
; the level in E, for a caller that has just seen a change).
;   In: D, E (half_next).  Out: A = periods completed (0 when an end
;   mark's half ends within the first; 255 for 255 or more), E = level.
;   Changed: AF, B, D, E.
half:
        in      a,(PSGRD)
        ld      e,a
half_next:
        call    wait_change             ; and 11 T to return
        ld      b,255                   ; 8
half_count:                             ; 42 T per count, as sync_count
        TAPE_COUNT_HALF half_edge
half_edge:
        xor     e                       ; 5
        ld      e,a                     ; 5
        dec     d                       ; 5
        jr      z,half_end              ; 8
        djnz    half_count              ; 14
half_end:
        ld      a,b
        cpl
        ret

; ---------------------------------------------------------------------------
; Units.  read_value returns the cells as a binary number; the payload loop
; starts the code at 1, which makes n cells 2^n + code, the rank plus 2 (for
; 8 cells the leading 1 falls out and the sum wraps).

; measure_sync: times the first sync value, 208 (cells 11010000), over the
; 12 level changes after its first cell's first one: three and a half cells,
; the last change being the middle one of the fourth cell in every mode, C
; periods of the sync loop (a change on the way takes 23 T more).  It is
; then passed over up to its end mark's first change.  The window becomes
; the time a unit's fourth level change may take, two thirds of a cell (it
; is half a cell in some modes), with a margin, in whole sampling periods
; rounded up: (C + 17) / 8.  Measured on the cells that carry the data, this
; fits every mode, also the one whose lead-in is made of longer cells.  A
; window chosen by key stands instead.  The value itself is dropped.  The
; window is worked out before the fourth cell's last change has come (the
; pass after it counts changes, and one that has already come counts as its
; first); the end mark's changes leave no time for more than a glance at the
; key's window, as the start mark after it may come early enough to be
; missed.
;   In: E = level, override, synchronised on the unit.  Out: D = window,
;   synchronised on the next unit.  Changed: AF, BC, DE.
measure_sync:
        call    wait_change             ; the end of the long half
        ld      d,12
        call    half_next               ; from the first cell's first change
        add     a,17
        rra
        rra
        rra
        and     0x3F                    ; (C + 17) / 8, the carry shifted out
        ld      c,a
        ld      d,9                     ; the other ten changes, up to the
        call    half_next               ; end mark's first
        ld      d,c
        ld      a,0                     ; the window chosen by key, or 0
override equ    $ - 1
        or      a
        jr      z,window_set
        ld      d,a
window_set:
        ; fall through
; sync_now: finds the next start mark, measuring from the level change just
; seen: the one that ended a unit may already be the start mark's first.  A
; start mark is a half-cycle of at least the threshold's counts (the lead-in's
; half-cycles) of 42 T: the halves of an end mark are shorter, the start
; mark's low half is longer.  It returns inside that half, so that the caller
; has the rest of it and the short half after it for its own work.  The
; trailer of a block has no start mark: its half-cycles are long enough
; themselves, and read_unit ends it at its eighth 1 cell.
;   In: E = level, threshold, L.  Out: E = level, A = L (the unit just
;   read, for read_unit's callers).  Changed: AF, BC, E.
sync_now:
        ld      c,0                     ; the threshold, set at calibration
threshold equ   $ - 1
sync_measure:
        ld      b,c                     ; 5
sync_count:                             ; 42 T per count
        TAPE_COUNT_HALF sync_edge
        ld      a,l
        ret
sync_edge:
        xor     e                       ; 5
        ld      e,a                     ; 5
        jr      sync_measure            ; 13

; read_unit: reads the cells of a unit whose start mark sync_now has found,
; up to its end mark, and then synchronises on the next start mark.  Every
; path from the end mark to the next unit's first cell must be short: the
; caller's work between two units has the start mark's two halves.
;   In: D = window, E = level, L = initial code.  Out: A = L = code with
;   the cells shifted in.  Changed: AF, BC, L, E.
;
; A window opens 10 T after a cell's first change is seen.  Once it has
; closed before the cell ended, the cell is counted and the wait goes on for
; the cell's last change, or its last two after an even count, and then for
; the next cell's first change.  These paths are short: the shortest cells,
; 488 T at 5500 baud in the experimental mode, leave little more time than
; the window, nor does the last quarter of a 1 cell whose fourth change
; comes just after the window.  The wait for the end of a start mark's long
; half is the same as for a 1 cell's last change.
;
; read_value: read_unit for a value, whose code starts at 0.
;   In: D = window, E = level, threshold, synchronised on the unit's start
;   mark.  Out: A = L = value, synchronised on the next unit.
;   Changed: AF, BC, L, E.
read_value:
        ld      l,0
        ; fall through
read_unit:                              ; the end of the start mark's long
even_wait:                              ; half, or a 1 cell's last change
        TAPE_WAIT_CHANGE
odd_entry:
        ld      b,d                     ; 5
        ld      c,0xFC                  ; 8: counts up to 0 at the fourth change
odd_wait:                               ; the next cell's first change
        TAPE_WAIT_CHANGE
window:                                 ; 65 T on both paths
        TAPE_WINDOW sync_now            ; the end mark: on to the next unit
window_closed:
        ld      a,c                     ; 5
        rra                             ; 5: carry: an odd count
        rra                             ; 5: carry: 2 or 3 changes, a 1 cell;
                                        ; bit 7: the odd count
        rl      l                       ; 10
        call    c,eighth_cell           ; 11
        rla                             ; 5: carry: an odd count
        jr      c,odd_entry             ; 13
        jr      even_wait               ; 8 + 13

; ---------------------------------------------------------------------------
; Texts and tables.

key_windows:    db      0xBF, 0x7F, 0xFD, 0, 8, 6, 12, 0   ; F2, F3, CTRL
loading:        db      13, 10, "Loading:$"
ok_text:        db      " <OK>$"
err_text:       db      " <Err>$"

k7_end:
        if      k7_end > RANKS
        .error  K7 has grown into its rank table
        endif

; ---------------------------------------------------------------------------
; The start-up, run once from the page the rank table takes later.

        org     RANKS

; start_up: shows the banner, marks no file open, and puts the turbo part
; in place where the DOS leaves the memory up to K7T_TOP (and a stack above
; it) to programs.  In: nothing.  Out: to next_block.  Changed: everything.
start_up:
        ld      de,banner
        call    print
        xor     a
        ld      (FCB1 + FCB_RECSIZE),a  ; no file open
        ld      hl,(BDOS + 1)           ; the lowest address the DOS keeps
        ld      de,K7T_TOP + 0x100
        sbc     hl,de                   ; no carry: XOR cleared it
        jp      c,next_block
        ld      hl,turbo_image
        ld      de,K7T_BASE
        ld      bc,turbo_image_end - turbo_image
        ldir
        ld      hl,K7T_ENTRY
        ld      (turbo_entry + 1),hl
        jp      next_block

banner:         db      "CassonicDOS-2005$"

start_up_end:
        if      start_up_end > IMAGE
        .error  K7's start-up has grown into its image
        endif

        org     IMAGE
turbo_image:
        incbin  "k7_turbo.bin"
turbo_image_end:
