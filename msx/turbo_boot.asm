; The turbo bootstrap: the program BLOAD"CAS:",R reads from the first,
; standard-format block.  It reads the turbo main loader in a two-letter
; code, checks its CRC-16 and starts it; on a damaged or missing loader it
; shows " <Err>", stops the tape and returns to BASIC.
;
; Its signal: a lead-in of long halves (7 samples at 44100 Hz), one short
; half (3 samples) as the sync, then 8 halves a byte, most significant bit
; first, short for 0 and long for 1, and a closing long half.  A half is
; timed by passes of a 43 T loop; the split, 5 samples, is a fixed count.
;
; The encoder writes boot_length and boot_crc, the operands of two loads,
; before the image goes on tape.

        INCLUDE "include/turbo.inc"

BIOS_CHPUT      EQU 00A2h
BIOS_TAPIOF     EQU 00E7h
BOOT_LOADER     EQU 0E300h      ; where the main loader goes and starts
BOOT_LOCK       EQU 64          ; long halves in a row before the sync is looked for
BOOT_SPLIT      EQU 8           ; passes: from this count on a half is long
BOOT_PATIENCE   EQU 1000        ; flat spells of 3 ms before the lead-in: about 3 s

        ORG 0EB00h
boot:
        DI
        LD A,TURBO_MOTOR_ON
        OUT (TURBO_PPI_CONTROL),A
        LD A,TURBO_PSG_PORT_A
        OUT (TURBO_PSG_ADDRESS),A
        LD C,TURBO_PSG_READ
        EXX
        LD HL,BOOT_LOADER
boot_length     EQU $ + 1       ; the main loader's length (1 to 2048)
        LD BC,0
        EXX
        LD HL,BOOT_PATIENCE     ; flat spells left: before the data, on
        IN B,(C)                ; seek again; after the sync, one (fail)
bt_seek_again:
        LD D,BOOT_LOCK
bt_seek:
        LD E,0
        CALL bt_half
        JR C,bt_seek_again
        DEC D
        JR NZ,bt_seek
bt_sync:
        LD E,0
        CALL bt_half
        JR NC,bt_sync
        LD HL,1                 ; from here a flat spell is a cut-off tape
        LD DE,0100h             ; D: the byte, with a marker bit that ends it
; The bytes.  From the sample that saw a change to the next loop's first
; sample: 224 T within a byte (the second look included), which with
; bt_half's two counts for it puts the split at 5.1 samples (lead-in and sync
; alike); 66 T more after a byte's last bit, made up for by a count that
; starts at 2 rather than 0.
bt_bit:
        CALL bt_half
        CCF                     ; 5   carry: a long half, a 1
        RL D                    ; 10
        LD E,0                  ; 8
        JR NC,bt_bit            ; 13
        LD A,D
        EXX
        LD (HL),A
        INC HL
        DEC BC
        LD A,B
        OR C
        EXX
        LD DE,0102h
        JR NZ,bt_bit
        LD HL,BOOT_LOADER
        LD BC,(boot_length)
        CALL turbo_crc
boot_crc        EQU $ + 1       ; its CRC-16
        LD HL,0
        SBC HL,DE               ; turbo_crc leaves the carry clear
        JP Z,BOOT_LOADER
; boot_fail: " <Err>", the tape stopped, back to BASIC.
boot_fail:
        CALL BIOS_TAPIOF
        LD HL,bt_err_text
bt_print:
        LD A,(HL)
        CALL BIOS_CHPUT
        INC HL
        CP '>'
        JR NZ,bt_print
        RET

; bt_half: waits for the next level change and tells a short half from a
; long one.  A change must still hold 85 T after it was seen, past a whole
; sample at 44100 Hz (81 T): one that does not (a single sample that an MP3
; round trip's ripple and a player's DC filter turned over, noise) lets the
; count go on, with two counts for the 114 T that look took.
; in:  B = the level before (bit 7), C = PSG read port, E = the count so
;      far (the caller's time since the change it saw), HL = flat spells
;      left: when the level holds for 256 passes (about 3 ms) one is used
;      up and the lead-in is looked for again, or with none left " <Err>"
; out: B = the new level, E = the count (two more than the passes), carry:
;      a short half
; changes: AF, B, E (HL on a flat spell)
bt_half:
        INC E                   ; 5
        JR Z,bt_timeout         ; 8
        IN A,(C)                ; 14
        XOR B                   ; 5
        JP P,bt_half            ; 11  43 T a pass
        INC E                   ; 5
        INC E                   ; 5
        NOP                     ; 5
        EX (SP),HL              ; 20
        EX (SP),HL              ; 20
        IN A,(C)                ; 14  the second look, 85 T after the first
        XOR B                   ; 5
        JP P,bt_half            ; 11
        XOR B                   ; 5
        LD B,A                  ; 5
        LD A,E                  ; 5
        CP BOOT_SPLIT           ; 8
        RET                     ; 11
bt_timeout:                     ; no change for 3 ms
        POP AF                  ; bt_half's return
        DEC HL
        LD A,H
        OR L
        JR NZ,bt_seek_again
        JR boot_fail

bt_err_text:    DB " <Err>"

        INCLUDE "include/turbo_crc.inc"

boot_end:
        IF boot_end > 0EC00h
        .ERROR the bootstrap outgrows its page
        ENDIF
