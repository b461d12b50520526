; Boot cartridge for the openMSX tests.  C-BIOS has no tape routines and no
; BASIC, so nothing on it can BLOAD the loader from the tape: this cartridge
; only brings the machine to a known point.  Its INIT copies a few bytes to
; page 3 RAM and parks the CPU there with the main ROM back in page 1, as
; BASIC has it when BLOAD"CAS:",R starts a program.  The test script, stopped
; on the park loop, writes the program into RAM and starts it; a program
; that returns to its caller comes back to the second loop.
;
; Fixed addresses the test harness relies on:
;   0xF2F0  the park loop (JR $)
;   0xF2F2  the loop a returning program comes back to (JR $)

        include "ports.inc"

PARK    equ     0xF2F0          ; free RAM below the BIOS's system area

        org     0x4000
        db      "AB"
        dw      init
        ds      12,0

; init: the cartridge's INIT, called by the BIOS while it boots.
;   In: nothing.  Out: never returns.  Changed: everything.
init:
        ld      hl,parked
        ld      de,PARK
        ld      bc,parked_end - parked
        ldir
        jp      PARK + setup - parked

; Copied to PARK.  setup puts page 1 on the slot of page 0 (the main ROM,
; not expanded on the C-BIOS machines) and parks.
parked:
        jr      $                       ; 0xF2F0: parked
        jr      $                       ; 0xF2F2: returned
setup:
        di
        in      a,(SLOTS)
        ld      b,a
        and     0x03
        add     a,a
        add     a,a
        ld      c,a
        ld      a,b
        and     0xF3
        or      c
        out     (SLOTS),a
        jp      PARK
parked_end:

        ds      0x8000 - $,0xFF
