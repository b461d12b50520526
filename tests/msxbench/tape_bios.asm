; The cassette part of the emulated MSX's main ROM: TAPION, TAPIN, TAPIOF,
; BREAKX at their BIOS entries, and what BLOAD"CAS:",R does with them.  The
; routines follow the BIOS's own reading algorithm: header cycles timed with
; a 41 T loop, a window of WINWID samples of a 62 T loop for each bit.
; Assembled with pasmo --bin, the image's first byte belongs at 0x00B7 (the
; BREAKX entry); bload_run is at 0x3000.

        include "bios.inc"
        include "sysvars.inc"
        include "ports.inc"

        org     0x00B7
        jp      breakx
        org     0x00E1
        jp      tapion
        org     0x00E4
        jp      tapin
        org     0x00E7
        jp      tapiof

        org     0x3000

; bload_run: BLOAD"CAS:",R.  Finds the first binary file on the tape, loads
; it from its start address to its end address inclusive and jumps to its
; exec address with a return into BASIC on the stack.
;   In: nothing.  Out: does not return (errors halt at load_error, with
;   interrupts off so that the emulation stops there).
bload_run:
        call    tapion
        jr      c,load_error
        ld      b,10
bload_type:
        push    bc
        call    tapin
        pop     bc
        jr      c,load_error
        cp      0xD0
        jr      nz,bload_run            ; not a binary file: the next header
        djnz    bload_type
        ld      b,6
bload_name:
        push    bc
        call    tapin
        pop     bc
        jr      c,load_error
        djnz    bload_name
        call    tapion
        jr      c,load_error
        call    read_word
        push    hl                      ; start
        call    read_word
        push    hl                      ; end
        call    read_word
        ld      (SAVENT),hl
        pop     de                      ; end
        pop     hl                      ; start
bload_byte:
        push    hl
        push    de
        call    tapin
        pop     de
        pop     hl
        jr      c,load_error
        ld      (hl),a
        or      a
        sbc     hl,de
        add     hl,de
        inc     hl
        jr      nz,bload_byte           ; until the end address is stored
        call    tapiof
        ld      hl,BASRET
        push    hl
        ld      hl,(SAVENT)
        jp      (hl)
load_error:
        call    tapiof
        di
        halt

; cload_run: CLOAD followed by RUN.  Finds the first BASIC file on the
; tape, stores its bytes from TXTTAB on until ten zeros in a row (the last
; line's end, the end link and seven trailing zeros), sets VARTAB to the
; address after the tenth zero less 6 and runs the program.
;   In: nothing.  Out: does not return (errors halt at load_error).
        org     0x3100
cload_run:
        call    tapion
        jp      c,load_error
        ld      b,10
cload_type:
        push    bc
        call    tapin
        pop     bc
        jp      c,load_error
        cp      0xD3
        jr      nz,cload_run            ; not a BASIC file: the next header
        djnz    cload_type
        ld      b,6
cload_name:
        push    bc
        call    tapin
        pop     bc
        jp      c,load_error
        djnz    cload_name
        call    tapion
        jp      c,load_error
        ld      hl,(TXTTAB)
        ld      c,0                     ; zeros in a row
cload_byte:
        push    hl
        push    bc
        call    tapin
        pop     bc
        pop     hl
        jp      c,load_error
        ld      (hl),a
        inc     hl
        inc     c
        or      a
        jr      z,cload_zero
        ld      c,0
cload_zero:
        ld      a,c
        cp      10
        jr      nz,cload_byte
        ld      bc,-6
        add     hl,bc
        ld      (VARTAB),hl
        call    tapiof
        jp      RUNBAS

; read_word: In: nothing.  Out: HL = two bytes from the tape, low first.
; Changed: AF, BC, DE, HL.  Errors jump to load_error.
read_word:
        call    tapin
        jp      c,load_error
        push    af
        call    tapin
        jp      c,load_error
        pop     bc
        ld      l,b
        ld      h,a
        ret

; tapiof: motor off, interrupts on.  Changed: nothing.
tapiof:
        push    af
        ld      a,0x09
        out     (PPICTL),a
        pop     af
        ei
        ret

; breakx: Out: carry when CTRL and STOP are held.  Changed: AF.
breakx:
        in      a,(KEYROW)
        and     0xF0
        or      7
        out     (KEYROW),a
        in      a,(KEYCOL)
        and     0x10                    ; STOP
        ret     nz
        in      a,(KEYROW)
        and     0xF0
        or      6
        out     (KEYROW),a
        in      a,(KEYCOL)
        and     0x02                    ; CTRL
        ret     nz
        scf
        ret

; tapion: motor on, finds a header tone (1111 steady cycles), measures 256
; more and sets LOWLIM and WINWID from their length.
;   Out: carry on CTRL+STOP.  Changed: AF, BC, DE, HL; interrupts off.
tapion:
        ld      a,0x08
        out     (PPICTL),a
        di
        ld      a,14
        out     (PSGSEL),a
header_restart:
        ld      hl,1111
header_cycle:
        call    cycle_length            ; keeps HL
        ret     c
        ld      a,c
        cp      5
        jr      c,header_restart
        cp      222
        jr      nc,header_restart
        sub     d                       ; D = previous cycle
        jr      nc,header_diff
        neg
header_diff:
        ld      d,c
        cp      4
        jr      nc,header_restart
        dec     hl
        ld      a,h
        or      l
        jr      nz,header_cycle
        ld      hl,0
        ld      b,0
header_sum:
        push    bc
        call    cycle_length
        ld      a,c
        pop     bc
        ret     c
        ld      e,a
        ld      d,0
        add     hl,de
        djnz    header_sum
        ld      de,1710
        add     hl,de                   ; S' = S + 1710
        ld      a,h
        srl     a
        ld      b,a                     ; (S' >> 8) >> 1
        add     hl,hl
        ld      a,h                     ; (2 S' >> 8) and 0xFF
        sub     b
        ld      b,a                     ; D
        sub     6
        ld      (LOWLIM),a
        ld      a,b
        add     a,a
        ld      c,0xFF
tapion_div3:
        inc     c
        sub     3
        jr      nc,tapion_div3
        ld      a,c
        sub     2
        ld      (WINWID),a
        or      a
        ret

; cycle_length: times one cycle in counts of the 41 T loop, saturating at
; 255: it waits while the level is high, then counts the low half and the
; high half.  Called right after the last cycle ended, it finds the level low
; already and starts counting late, after BREAKX, as the BIOS does; the
; windows it yields are in proportion.
;   Out: C = counts, carry on CTRL+STOP.  Changed: AF, C, E.
cycle_length:
        call    breakx
        ret     c
        in      a,(PSGRD)
        rlca
        jr      c,cycle_length          ; wait while high
        ld      c,0
        ld      e,0x00
cycle_low:                              ; 41 T per count
        inc     c
        jr      z,cycle_full
        in      a,(PSGRD)
        xor     e
        jp      p,cycle_low
        ld      e,0x80
cycle_high:
        inc     c
        jr      z,cycle_full
        in      a,(PSGRD)
        xor     e
        jp      p,cycle_high
        or      a
        ret
cycle_full:
        ld      c,255
        or      a
        ret

; tapin: reads one byte: finds the start bit (two half-cycles adding up to
; LOWLIM or more), then counts the level changes in a window of WINWID
; samples for each of the eight data bits.
;   Out: A = byte, carry on an error or CTRL+STOP.  Changed: AF, BC, DE, L.
tapin:
        ld      a,(LOWLIM)
        ld      d,a
tapin_high:
        call    breakx
        ret     c
        in      a,(PSGRD)
        rlca
        jr      nc,tapin_high           ; wait for high ...
tapin_low:
        call    breakx
        ret     c
        in      a,(PSGRD)
        rlca
        jr      c,tapin_low             ; ... then for the change to low
        ld      e,0x00
        ld      l,0                     ; previous half-cycle
start_bit:
        call    breakx
        ret     c
        ld      c,0
half_count:                             ; 41 T per count
        inc     c
        jr      z,half_long
        in      a,(PSGRD)
        xor     e
        jp      p,half_count
        xor     e
        ld      e,a
        ld      a,c
        add     a,l
        ld      l,c
        jr      c,start_bit             ; an overflowing sum is no start bit
        cp      d
        jr      c,start_bit
        jr      data_bits
half_long:
        ld      c,255
        in      a,(PSGRD)
        xor     e
        jp      p,half_long
        xor     e
        ld      e,a
        ld      l,c
        jr      start_bit
data_bits:
        ld      h,8
        ld      l,0
data_bit:
        ld      a,(WINWID)
        ld      b,a
        ld      c,0
window:                                 ; 62 T on both paths
        in      a,(PSGRD)               ; 12
        xor     e                       ; 5
        jp      p,window_same           ; 11
        xor     e                       ; 5
        ld      e,a                     ; 5
        inc     c                       ; 5
        nop                             ; 5
        djnz    window                  ; 14
        jr      window_done
window_same:
        nop
        nop
        nop
        nop                             ; 20
        djnz    window
window_done:
        ld      a,c
        cp      4
        ccf
        ret     c                       ; 4 or more changes: error
        cp      2                       ; carry: a 0 bit
        ccf
        rr      l
        bit     0,c
        jr      nz,resync_last
resync_first:
        in      a,(PSGRD)
        xor     e
        jp      p,resync_first
        xor     e
        ld      e,a
resync_last:
        in      a,(PSGRD)
        xor     e
        jp      p,resync_last
        xor     e
        ld      e,a
        dec     h
        jr      nz,data_bit
        call    breakx
        ld      a,l
        ret
