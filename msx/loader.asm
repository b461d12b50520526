; Fast loader.  BLOAD"CAS:",R loads it at 0xE400 and starts it; it then reads
; the fast-format blocks that follow on the tape, stores each file and starts
; it, and stays behind as a BLOAD statement hook for BASIC programs it loaded.
;
; Tape reading: every unit (a value or a rank code) is a start mark, one to
; eight bit cells and an end mark.  Bit cells are told apart by counting the
; level changes of the tape input during a window of WINWID sampling periods
; that opens at the cell's first level change: 0-1 changes a 0 cell, 2-3 a 1
; cell, the fourth ends the unit at once (the end mark).  Each file's lead-in
; first gives a steady count of level changes (the window by the count, kept
; when a key chose it) and the length of its half-cycles, from which the
; start marks' long halves are told from the end marks' short ones; the
; window proper is then timed on the eight cells of the first sync value, in
; the code the data comes in: two thirds of a cell, where an end mark's
; fourth change may come, and a margin.  Only level changes count, never the
; level: either polarity reads.
;
; The sampling period is 65 T-states (MSX timing, one wait state per M1
; cycle) on both paths through the loop, 18.2 microseconds.  Between two
; windows there are 80 T of work, between two units the halves of a start
; mark: the shortest cells (the experimental mode at 5500 baud, 488 T) and
; marks leave no more, so the code on those paths is counted.

        include "bios.inc"
        include "sysvars.inc"
        include "ports.inc"
        include "loader_area.inc"
        include "version.inc"
        include "tape_read.inc"

BLOAD   equ     0xCF            ; token of BLOAD
LINECH  equ     0x17            ; the horizontal line glyph

RANKS   equ     LOADER_RANKS    ; rank table of the current file (256 bytes)

        org     LOADER_START - 7
        db      0xFE
        dw      start, last, start

; ---------------------------------------------------------------------------
; start: installs the BLOAD hook, shows the banner and loads files until a
; BASIC program is started or an error ends the run.
;   In: nothing.  Out: nothing.  Changed: everything.
start:
        ld      a,0xC3
        ld      hl,hook
        ld      (H_GONE),a
        ld      (H_GONE + 1),hl
        ld      hl,banner
        call    print
        ld      hl,RANKS                ; the rule: 28 line characters, put
        ld      b,28                    ; where the rank table goes
rule_char:
        ld      (hl),LINECH
        inc     l
        djnz    rule_char
        ld      l,b                     ; HL = RANKS again
        ld      b,28
        call    vram_text
        jr      load_loop

; ---------------------------------------------------------------------------
; hook: the interpreter calls it before each statement with the statement's
; first token in A and HL on it.  A BLOAD statement is served by one file
; from the tape and then skipped; anything else goes on as usual.
;   In: A = token, HL = text pointer.  Out: BLOAD: HL on the ":" or 0 that
;   ends the statement, back into the interpreter's next-statement loop.
;   Changed: BLOAD: AF, BC, D, HL.
hook:
        cp      BLOAD
        ret     nz
        call    SKIPST
        push    af
        push    bc
        push    de
        push    hl
        push    ix
        push    iy
        exx
        push    bc
        push    de
        push    hl
        xor     a
        ld      (continue),a
        call    load_loop
        pop     hl
        pop     de
        pop     bc
        exx
        pop     iy
        pop     ix
        pop     hl
        pop     de
        pop     bc
        pop     af
        inc     sp                      ; drop the return into the statement
        inc     sp                      ; dispatcher: the statement is done
        ret

; ---------------------------------------------------------------------------
; load_loop: finds RAM for page 1, waits for the tape (or a key), then loads
; files while the continue flag is set.
;   In: continue flag.  Out: returns after one file when the flag is 0, or
;   after an error; never when a BASIC program is started.
;   Changed: everything.
load_loop:
        ld      (stack),sp
        call    save_slots
        call    find_ram
        call    wait_tape
next_file:
        ld      hl,loading
        call    print
        call    save_slots
        call    select_ram
        call    calibrate
        call    read_file
        ld      hl,RANKS                ; the rank table is a permutation of
        xor     a                       ; the 256 byte values, whose XOR is 0:
        ld      b,a                     ; a value misread would turn every
rank_xor:                               ; byte that holds it into another
        xor     (hl)
        inc     l
        djnz    rank_xor
        or      a
        jp      nz,fail
        ld      hl,ok_text
        ld      b,5
        call    vram_out
        call    TAPIOF
        call    translate
        ld      a,(type)
        cp      0x41
        call    nz,restore_slots
        ld      a,(type)
        inc     a
        jr      z,run_basic
        ld      hl,(exec)
        ld      a,h
        or      a
        call    nz,call_hl              ; below 0x0100: load only
        jr      nc,started
        ld      a,(exec + 1)            ; a depacker (at 0xE000) that found
        cp      0xE0                    ; damage has said " <Err>": stop as
        jr      z,failed                ; on a read error
started:
        ld      a,(type)
        cp      0x41
        call    z,restore_slots
        ld      a,(continue)
        or      a
        jr      nz,next_file
        ret

run_basic:
        ld      hl,(end_ptr)
        inc     hl
        ld      (VARTAB),hl
        jp      RUNBAS

call_hl:
        jp      (hl)

; fail: the error path.  Shows " <Err>", stops the tape, puts the slots back,
; removes the BLOAD hook and returns from load_loop (failed: the same, for
; an error already shown).
fail:
        call    vram_at_cursor
        ld      hl,err_text
        ld      b,6
        call    vram_out
failed:
        ld      sp,(stack)
        call    TAPIOF
        call    restore_slots
        ld      a,0xC9
        ld      (H_GONE),a
        ret

; ---------------------------------------------------------------------------
; Slots.  The saved state is the primary slot register as found and the slot
; ID of page 1 (the BIOS's copy of the secondary slot register tells the
; secondary slot of an expanded one); the RAM state is the slot ID of the
; RAM found for page 1.  Page 1 is switched with the BIOS, which keeps the
; secondary slot registers and their copies right whatever the primary slot
; of page 3 is.

; save_slots: In: nothing.  Out: saved state.  Changed: AF, BC, HL.
save_slots:
        in      a,(SLOTS)
        ld      (saved_a8),a
        rrca
        rrca
        and     3
        ld      c,a                     ; primary slot of page 1
        ld      b,0
        ld      hl,EXPTBL
        add     hl,bc
        bit     7,(hl)
        jr      z,page1_id
        ld      hl,SLTTBL
        add     hl,bc
        ld      a,(hl)
        and     0x0C                    ; its secondary slot, in place
        or      0x80
        or      c
        ld      c,a
page1_id:
        ld      a,c
        ld      (saved_id),a
        ret

; restore_slots: In: saved state.  Out: slots as saved.
; Changed: AF, BC, DE; interrupts off.
restore_slots:
        ld      a,(saved_a8)
        out     (SLOTS),a
        ld      a,(saved_id)
        jr      select_page1

; select_ram: In: RAM state.  Out: RAM in page 1.  Changed: AF, BC, DE;
; interrupts off.
select_ram:
        ld      a,(ram_id)
select_page1:
        push    hl
        ld      h,0x40
        call    ENASLT
        pop     hl
        ret

; find_ram: selects each slot in turn for page 1 (secondary slots of an
; expanded slot one by one) until a byte written there reads back, keeps that
; slot as the RAM state and puts the saved state back.
;   In: saved state.  Out: RAM state (the main ROM's slot when there is no
;   RAM).  Changed: AF, BC, DE, HL; interrupts off.
find_ram:
        ld      c,0                     ; primary slot
next_primary:
        ld      hl,EXPTBL
        ld      b,0
        add     hl,bc
        ld      a,(hl)
        and     0x80
        or      c                       ; slot ID, secondary 0
next_slot:
        ld      (ram_id),a
        push    bc
        ld      h,0x40
        call    ENASLT
        pop     bc
        ld      hl,0x4000
        ld      a,(hl)
        cpl
        ld      (hl),a
        cp      (hl)
        cpl
        ld      (hl),a                  ; put the byte back
        jp      z,restore_slots
        ld      a,(ram_id)
        bit     7,a
        jr      z,primary_done
        add     a,4                     ; next secondary slot
        bit     4,a
        jr      z,next_slot
primary_done:
        inc     c
        bit     2,c
        jr      z,next_primary
        ld      a,(EXPTBL)              ; no RAM: keep the main ROM there
        ld      (ram_id),a
        jp      restore_slots

; ---------------------------------------------------------------------------
; wait_tape: polls the keyboard and the tape until 32 level changes arrive or
; a key picks the window: F1 calibrated, F2 8, F3 6, CTRL 12 sampling
; periods; SHIFT switches between 50 and 60 Hz on an MSX2; STOP gives up.
;   In: nothing.  Out: window override.  Changed: AF, BC, DE.
wait_tape:
        di
        xor     a
        ld      (override),a
        ld      a,MOTORON
        out     (PPICTL),a
        ld      a,14
        out     (PSGSEL),a
        in      a,(PSGRD)
        ld      e,a
        ld      c,32                    ; level changes still to come
        ld      d,0xFF                  ; row 6 as seen last
wait_poll:
        ld      a,6
        call    key_row
        cp      d
        ld      d,a
        jr      z,wait_stop             ; no change on row 6
        cp      0xFE
        call    z,toggle_hz
        ld      b,8
        cp      0xBF                    ; F2
        jr      z,wait_key
        ld      b,6
        cp      0x7F                    ; F3
        jr      z,wait_key
        ld      b,12
        cp      0xFD                    ; CTRL
        jr      z,wait_key
        ld      b,0
        cp      0xDF                    ; F1
        jr      z,wait_key
wait_stop:
        ld      a,7
        call    key_row
        cp      0xEF                    ; STOP
        jp      z,fail
        ld      a,14                    ; the keyboard scan may have moved it
        out     (PSGSEL),a
        in      a,(PSGRD)
        xor     e
        jp      p,wait_poll
        xor     e
        ld      e,a
        dec     c
        jr      nz,wait_poll
        ret
wait_key:
        ld      a,b
        ld      (override),a
        ret

; key_row: In: A = keyboard row.  Out: A = its columns (0 = held).
; Changed: AF.  Keeps the motor and other bits of port 0xAA.
key_row:
        push    bc
        ld      b,a
        in      a,(KEYROW)
        and     0xF0
        or      b
        out     (KEYROW),a
        in      a,(KEYCOL)
        pop     bc
        ret

; toggle_hz: flips the 50/60 Hz bit of video register 9 once per press of
; SHIFT; an MSX1 has no such register (its chip would take it as register 1).
;   In: nothing.  Out: nothing.  Changed: nothing.
toggle_hz:
        push    af
        ld      a,(MSXVER)
        or      a
        jr      z,toggle_done
        ld      a,(RG9SAV)
        xor     0x02
        ld      (RG9SAV),a
        out     (VDPCTL),a
        ld      a,0x80 + 9
        out     (VDPCTL),a
toggle_done:
        pop     af
        ret

; ---------------------------------------------------------------------------
; calibrate: lets 240 level changes of the lead-in pass, counts the changes c
; during 80 sampling periods (until the counts are steady) and sets the
; window to floor(240 / c) periods, unless a key chose it; the window is
; timed again on the first sync value's cells.  It also sets the sync
; threshold from the lead-in's half-cycles.  A STOP while waiting for the
; lead-in gives up.
;   In: override.  Out: WINWID, D = window, E = tape level, threshold.
;   Changed: AF, BC, DE, HL; interrupts off, motor on.
calibrate:
        ld      a,MOTORON
        out     (PPICTL),a
        di
        ld      a,14
        out     (PSGSEL),a
        in      a,(PSGRD)
        ld      e,a
        ld      hl,240
pass_changes:
        in      a,(PSGRD)
        xor     e
        jp      p,pass_idle
        xor     e
        ld      e,a
        dec     hl
        ld      a,h
        or      l
        jr      nz,pass_changes
        jr      count_changes
pass_idle:
        ld      a,7                     ; STOP while the tape is silent
        call    key_row
        cp      0xEF
        jp      z,fail
        ld      a,14
        out     (PSGSEL),a
        jr      pass_changes

        ; Count the changes in 80 periods until 16 counts in a row each
        ; differ by two at most from the one before (a count of the lead-in
        ; is off by one either way with the phase): a steady tone, and not
        ; the noise that a silent tape may give.
count_changes:
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
        ld      a,7                     ; STOP while it is not the lead-in
        call    key_row
        cp      0xEF
        jp      z,fail
        ld      a,14
        out     (PSGSEL),a
        dec     h
        jr      nz,count_again
        ld      b,0
        ld      hl,240
        ld      d,0xFF
window_div:                             ; D = largest w with w * c <= 240
        inc     d
        sbc     hl,bc
        jr      nc,window_div
        ld      a,(override)
        or      a
        jr      z,window_set
        ld      d,a
window_set:
        ld      a,d
        ld      (WINWID),a
        ; The sync threshold: the half-cycles of the lead-in as the sync loop
        ; counts them, averaged over 16 of them (every other one, so that the
        ; summing between two measurements costs nothing).  The halves of an
        ; end mark are a half or two thirds of it, the start mark's long half
        ; is twice or 4/3 of it.
        ld      hl,0
        ld      c,16
measure_next:
        TAPE_WAIT_CHANGE
        jr      measure_start           ; 13, as in the sync loop
measure_start:
        ld      b,0                     ; 8
measure_count:                          ; 42 T per count, as sync_count
        TAPE_COUNT_HALF measure_end
measure_end:
        xor     e
        ld      e,a
        ld      a,b
        neg                             ; counts completed before the change
        add     a,l
        ld      l,a
        jr      nc,measure_summed
        inc     h
measure_summed:
        dec     c
        jr      nz,measure_next
        ld      bc,6                    ; the mean and 3/8: half-way between the
        add     hl,bc                   ; end mark's halves and the long half
        add     hl,hl
        add     hl,hl
        add     hl,hl
        add     hl,hl                   ; H = (sum + 12) / 16
        ld      a,h
        or      a
        jr      nz,threshold_set
        inc     a
threshold_set:
        ld      (threshold),a
        ret

; ---------------------------------------------------------------------------
; read_file: reads a file's block: the values in front of the data (the
; lead-in, the sync values 208, the name, shown on screen, the rank table, the
; type and the three addresses), then the data (read_payload).
;   In: D = window, E = level.  Out: rank table, type, start, end, exec, end
;   pointer, WINWID.  Changed: AF, BC, D, HL, E, DE', HL'.
read_file:
        push    de                      ; the name goes to the cursor: set the
        call    vram_at_cursor          ; address now, there is no time for it
        pop     de                      ; between two units
        call    skip_lead_in
        call    sync_now                ; the first sync value's start mark
        call    measure_sync            ; the first sync value, dropped
skip_sync:
        call    read_value
        cp      208
        jr      z,skip_sync
        ld      b,12
name_char:
        out     (VDPDAT),a
        dec     b
        jr      z,name_done
        push    bc
        call    read_value
        pop     bc
        jr      name_char
name_done:
        ld      a,(CSRX)
        add     a,12
        ld      (CSRX),a
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
        call    read_value
        ld      (type),a
        inc     a
        ld      hl,(TXTTAB)
        jr      z,header_done           ; BASIC: no addresses
        ld      hl,start_addr
        ld      b,6
address_bytes:
        push    bc
        push    hl
        call    read_value
        pop     hl
        pop     bc
        ld      (hl),a
        inc     hl
        djnz    address_bytes
        exx                             ; on to the data at once: the first
        ld      hl,(start_addr)         ; unit's start mark has begun
        exx                             ; HL' = where the data goes
        jr      payload_unit
header_done:                            ; BASIC: HL = start of the program text
        ld      (start_addr),hl
        push    hl
        exx
        pop     hl
        exx
; The data, the rest of read_file: the rank of every payload unit is stored
; from the start address (HL') on, until the trailer, a unit of 9 or 10
; cells (or eight 1 cells, which read_unit reports as 10).  A unit of 11
; cells or more, or of eight cells that are neither a rank code nor the
; trailer, is a loading error.  The loop's work between two units has to fit
; in the start mark's halves.
payload_unit:
        ld      hl,1
        call    read_unit
        ld      a,h
        cp      9
        jr      nc,payload_end
        ld      a,l
        sub     2                       ; the rank
        exx
        ld      (hl),a
        inc     hl
        exx
        jr      payload_unit
payload_end:
        cp      11
        jp      nc,fail
payload_done:
        exx
        ld      a,(exec + 1)            ; a packed image, its depacker at
        cp      0xE0                    ; 0xE000, must arrive as long as its
        jr      nz,payload_kept         ; addresses say: from a misread start
        ld      de,(end_ptr)            ; address its depacker would start
        scf                             ; from the wrong bytes
        sbc     hl,de
        jp      nz,fail
        add     hl,de
        inc     hl
payload_kept:
        ld      (end_ptr),hl
        exx
        ret

; translate: replaces every stored rank by the byte value that holds it.
;   In: start address, end pointer, rank table.  Out: the file in memory.
;   Changed: AF, BC, DE, HL.
translate:
        ld      hl,(end_ptr)
        ld      de,(start_addr)
        or      a
        sbc     hl,de
        ld      b,h
        ld      c,l
        ex      de,hl
        ld      d,RANKS >> 8
translate_byte:
        ld      a,b
        or      c
        ret     z
        ld      e,(hl)
        ld      a,(de)
        ld      (hl),a
        inc     hl
        dec     bc
        jr      translate_byte

; ---------------------------------------------------------------------------
; Units.  read_value returns the cells as a binary number; the data loop
; makes rank = (2^L - 2) + code for L cells by starting the code at 1 and
; taking 2 off (for 8 cells the leading 1 falls out and the sum wraps to
; 254 + code).

; skip_lead_in: passes over the lead-in, which reads as values 255, up to
; the first half-cycle that ends two counts short of the threshold: the end
; mark after it, whose halves are a half or two thirds of the lead-in's.  Its
; 1 cells alike, a window could open at any of their changes, and at some
; the last window would run over the end mark into the next unit.
;   In: threshold.  Out: E = level, a change of the end mark just seen.
;   Changed: AF, BC, E.
skip_lead_in:
        ld      a,(threshold)
        dec     a
        jr      nz,skip_limit
        inc     a
skip_limit:
        ld      c,a
        in      a,(PSGRD)               ; the level now: the next change is
        ld      e,a                     ; a real one
skip_any:
        TAPE_WAIT_CHANGE
        jr      skip_measure            ; 13: as calibrate's measure_start
skip_measure:
        ld      b,c                     ; 5
skip_count:                             ; 42 T per count
        TAPE_COUNT_HALF skip_short
        jr      skip_any                ; a half of the lead-in
skip_short:
        xor     e
        ld      e,a
        ret

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
; end mark's first, counted in periods of a 66 T loop.  The window becomes
; the time a unit's fourth level change may take, two thirds of a cell (it
; is half a cell in some modes), with a margin of 30 T, rounded up to whole
; sampling periods: 0.667 x 66/8 x C + 30 = 5.5 C + 30 T, divided by 65
; (as x 63 / 4096).  Measured on the cells that carry the data, this fits
; every mode, also the one whose lead-in is made of longer cells.  A window
; chosen by key stands instead.  The value itself is dropped.
;   In: E = level, override, synchronised on the unit.  Out: D = window
;   (also in WINWID), E = level, synchronised on the next unit.
;   Changed: AF, BC, D, HL, E.
measure_sync:
        TAPE_WAIT_CHANGE                ; the end of the long half ...
measure_first:                          ; ... and the first cell's first change
        TAPE_WAIT_CHANGE
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
        ld      h,b                     ; B = 0
        ld      l,c
        add     hl,hl
        add     hl,hl
        add     hl,bc
        add     hl,hl
        add     hl,bc                   ; 11 C
        srl     h
        rr      l                       ; 5.5 C
        ld      bc,22 + 64
        add     hl,bc                   ; + 30, + 64 to round up
        ld      b,h
        ld      c,l
        add     hl,hl
        add     hl,hl
        add     hl,hl
        add     hl,hl
        add     hl,hl
        add     hl,hl
        or      a
        sbc     hl,bc                   ; x 63
        ld      a,h
        rrca
        rrca
        rrca
        rrca
        and     0x0F                    ; / 4096
window_chosen:
        ld      d,a
        ld      (WINWID),a
        jp      sync_now

; sync: waits for the first half of a start mark, the first interval between
; level changes that lasts the threshold (calibrated on the lead-in's
; half-cycles) or longer: the halves of an end mark are shorter, the start
; mark's low half is longer.  It returns inside that half, so that the caller
; has the rest of it and the short half after it for its own work.  The
; trailer of a file has no start mark: its half-cycles are long enough
; themselves, and it reads as a unit of 8 to 10 1 cells.
;   In: E = level, threshold.  Out: E = level.  Changed: AF, BC, E.
; sync_now: as sync, measuring from the level change just seen: the one
; that ended a unit may already be the start mark's first.
sync_now:
        ld      a,(threshold)
        ld      c,a
        jr      sync_measure
sync:
        ld      a,(threshold)
        ld      c,a
sync_any:
        in      a,(PSGRD)
        xor     e
        jp      p,sync_any
sync_edge:
        xor     e
        ld      e,a
        jr      sync_measure            ; 13: as calibrate's measure_start
sync_measure:
        ld      b,c                     ; 5
sync_count:                             ; 42 T per count
        TAPE_COUNT_HALF sync_edge
        ret

; read_unit: reads the cells of a unit whose start mark sync has found, up
; to its end mark, and then synchronises on the next start mark.  Every
; path from the end mark to the next unit's first cell must be short: the
; caller's work between two units has the start mark's two halves.
;   In: D = window, E = level, H = 0, L = initial code.  Out: H = cells
;   (modulo 256), L = code with the cells shifted in.  Changed: AF, BC, HL, E.
read_unit:
long_half:                              ; wait for the end of the long half ...
        TAPE_WAIT_CHANGE
first_change:                           ; ... and for the first cell's first change
        TAPE_WAIT_CHANGE
open_window:
        ld      b,d
        ld      c,0xFC                  ; counts up to 0 at the fourth change
window:                                 ; 65 T on both paths
        TAPE_WINDOW sync_now            ; the end mark: on to the next unit
        ; The window closed before the cell ended: count the cell, get the
        ; next window ready and wait for the cell's last change, or its last
        ; two after an even count; the next window opens at the next cell's
        ; first change.  From the change that opened a window to the wait
        ; for the next cell it takes 80 T more than the window (85 after an
        ; even count, which has a change more to wait for): the shortest
        ; cells, 488 T at 5500 baud in the experimental mode, leave no more.
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
        TAPE_WAIT_CHANGE
        ld      c,0xFC                  ; also puts the window 8 T after the change
        jp      window
even_count:
        rra
        rl      l
        jr      c,eighth_even
resync_one:
        TAPE_WAIT_CHANGE
resync_last:
        TAPE_WAIT_CHANGE
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
; Screen.

; print: In: HL = text ending in '$'.  Out: nothing.  Changed: AF, HL; EI.
print:
        ld      a,(hl)
        cp      '$'
        ret     z
        call    CHPUT
        inc     hl
        jr      print

; vram_text: writes B characters from HL at the cursor and moves the
; cursor past them.  In: HL, B.  Out: nothing.  Changed: AF, BC, DE, HL.
vram_text:
        push    bc
        push    hl
        call    vram_at_cursor
        pop     hl
        pop     bc
        ld      a,(CSRX)
        add     a,b
        ld      (CSRX),a
        ; fall through
; vram_out: writes B characters from HL at the video address set last,
; 29 T or more apart.  In: HL, B.  Out: nothing.  Changed: AF, B, HL.
vram_out:
        ld      a,(hl)
        out     (VDPDAT),a
        inc     hl
        djnz    vram_out
        ret

; vram_at_cursor: sets the video write address to the cursor's character, as
; the BIOS computes it: NAMBAS + (CSRY-1) * W + (CSRX-1) + (W + 1 - LINLEN) / 2
; with W = 80, 40 or 32 by screen mode and width.
;   In: nothing.  Out: nothing.  Changed: AF, BC, DE, HL; interrupts off.
vram_at_cursor:
        ld      a,(LINLEN)
        ld      e,32
        ld      b,a
        ld      a,(SCRMOD)
        or      a
        jr      nz,width_known
        ld      e,40
        ld      a,b
        cp      41
        jr      c,width_known
        ld      e,80
width_known:                            ; E = W, B = LINLEN
        ld      a,e
        inc     a
        sub     b
        srl     a                       ; (W + 1 - LINLEN) / 2
        ld      c,a
        ld      a,(CSRX)
        dec     a
        add     a,c
        ld      l,a
        ld      h,0
        ld      bc,(NAMBAS)
        add     hl,bc
        ld      a,(CSRY)
        ld      d,0
row_add:
        dec     a
        jr      z,rows_added
        add     hl,de
        jr      row_add
rows_added:
        di
        ld      a,(MSXVER)
        or      a
        jr      z,set_address           ; an MSX1 has no register 14
        xor     a
        out     (VDPCTL),a
        ld      a,0x80 + 14
        out     (VDPCTL),a
set_address:
        ld      a,l
        out     (VDPCTL),a
        ld      a,h
        and     0x3F
        or      0x40
        out     (VDPCTL),a
        ret

; ---------------------------------------------------------------------------
; Texts and variables.

banner:         db      13, 10, "Cassonic fast loader "
                VERSION_TEXT
                db      13, 10, 1, LINECH + 0x40, "$"
loading:        db      13, 10, "Loading:$"
ok_text:        db      " <OK>"
err_text:       db      " <Err>"

saved_a8:       db      0               ; primary slot register as found
saved_id:       db      0               ; slot of page 1 as found
ram_id:         db      0               ; slot of the RAM for page 1
start_addr:     dw      0
end_ptr:        dw      0
exec:           dw      0
type:           db      0
continue:       db      1               ; 0: return after one file
override:       db      0               ; window chosen by key, 0 = calibrate
threshold:      db      0               ; sync: counts of the long half
stack:          dw      0               ; stack pointer at load_loop's entry
last    equ     $ - 1

; The loader's place: loaded and started at LOADER_START, its rank table
; below, nothing above LOADER_LIMIT.
        if      start != LOADER_START
        .error  The loader must start at the first byte it is loaded at
        endif
        if      RANKS + 256 > LOADER_START
        .error  The rank table runs into the loader
        endif
        if      last >= LOADER_LIMIT
        .error  The loader has outgrown its place: it ends above LOADER_LIMIT
        endif
