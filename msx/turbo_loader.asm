; The turbo main loader: read by the bootstrap (turbo_boot.asm) to E300h and
; started there.  It builds the uniform code's decode table at E000h from the
; code's description.  It reads the files of the list the encoder puts at its
; end, each as one block of the turbo signal in the uniform code, checks each
; file's CRC-16 over memory and shows " <OK>", or " <Err>" and stops (a
; damaged file, or a block cut off).  A file marked to run is called when
; more follow, jumped to when it is the last (returning to BASIC); the last
; file is started with the tape stopped and interrupts enabled.
;
; A list entry (9 bytes): flags (bit 0: an entry, 0 ends the list; bit 1:
; start the file; bit 2: the file comes in a code of its own, whose 512-byte
; description comes first as a block of its own in the code held so far,
; read to where the file goes: at least 512 bytes; bit 3: a tokenized BASIC
; program, stored from the start of program text whatever the load address
; says, with BASIC's pointers set after it, and run by BASIC when it is
; started, which only the last file may be; bit 4: read with RAM in page 1;
; bit 5: the main ROM put back in page 1 once it is checked (a packed ROM
; to be started keeps that RAM: its depacker restores and starts it
; there)), the load address, the length (1 to 65535), the start address
; (BASIC's run entry, 73ACh, for a BASIC program), the CRC-16.

        INCLUDE "include/turbo.inc"
TURBO_CRC_TABLE_ONLY EQU 1              ; turbo_crc.inc: no table-less CRC

BIOS_ENASLT     EQU 0024h           ; slot A into the page of H
BIOS_CHPUT      EQU 00A2h
BIOS_TAPIOF     EQU 00E7h
EXPTBL          EQU 0FCC1h          ; per primary slot: bit 7 set when expanded
TXTTAB          EQU 0F676h          ; word: start of BASIC program text
VARTAB          EQU 0F6C2h          ; word: start of simple variables
ARYTAB          EQU 0F6C4h          ; word: start of arrays
STREND          EQU 0F6C6h          ; word: end of arrays
ENTRY_SIZE      EQU 9

turbo_table     EQU 0E000h      ; three pages, built here
turbo_class     EQU turbo_table + 800h ; three pages, filled by turbo_read
TURBO_LOOPS     EQU turbo_class + 300h ; the reader's byte loops, built here

        ORG turbo_table + 300h

; ml_start: in: nothing (SP as BLOAD ",R" left it). out: returns to BASIC
; or starts the last file; changes: everything.
ml_start:
        LD (ml_stack),SP
        LD HL,ml_files          ; the description follows the list
        LD DE,ENTRY_SIZE
ml_find:
        LD A,(HL)
        OR A
        JR Z,ml_found
        ADD HL,DE
        JR ml_find
ml_found:
        INC HL
        PUSH HL
        INC H                   ; its leaves: byte v on leaf v
        XOR A
ml_leaf:
        LD (HL),A
        INC HL
        INC A
        JR NZ,ml_leaf
        POP HL
        CALL turbo_build
        CALL turbo_loops
        LD HL,ml_files
ml_next:
        LD (ml_entry),HL
        BIT 3,(HL)
        JR Z,ml_where
        PUSH HL                 ; BASIC: its load address is TXTTAB's
        LD DE,(TXTTAB)
        INC HL
        LD (HL),E
        INC HL
        LD (HL),D
        POP HL
ml_where:
        BIT 4,(HL)
        PUSH HL
        CALL NZ,ml_find_ram     ; RAM in page 1 for this file
        POP HL
        BIT 2,(HL)
        JR Z,ml_data
        INC HL                  ; a code of its own: its description first,
        LD E,(HL)               ; read where the file goes
        INC HL
        LD D,(HL)
        EX DE,HL
        PUSH HL
        LD BC,512
        CALL turbo_read
        POP HL
        JP C,ml_fail
        CALL turbo_build
        LD HL,(ml_entry)
ml_data:
        INC HL
        LD E,(HL)
        INC HL
        LD D,(HL)
        INC HL
        LD C,(HL)
        INC HL
        LD B,(HL)
        EX DE,HL
        PUSH HL
        PUSH BC
        CALL turbo_read
        JR C,ml_fail
        LD A,turbo_class / 256  ; the class pages are free until the next block
        CALL turbo_crc_table
        POP BC
        POP DE
        CALL turbo_crc_fast     ; H: the table's, as turbo_crc_table left it
        LD IX,(ml_entry)        ; DE: one past the file
        LD L,(IX+7)
        LD H,(IX+8)
        OR A
        SBC HL,BC
        JR NZ,ml_fail
        BIT 5,(IX+0)            ; the main ROM back in page 1 (never for
        CALL NZ,ml_main_rom     ; a BASIC program: ml_basic needs DE)
        LD HL,ml_ok_text
        CALL ml_print
        LD IX,(ml_entry)
        BIT 3,(IX+0)
        CALL NZ,ml_basic
        LD L,(IX+5)
        LD H,(IX+6)
        LD A,(IX+ENTRY_SIZE)
        OR A
        JR Z,ml_last
        BIT 1,(IX+0)
        CALL NZ,ml_call
        LD HL,(ml_entry)
        LD DE,ENTRY_SIZE
        ADD HL,DE
        JP ml_next
ml_last:
        BIT 1,(IX+0)
        JR NZ,ml_go
        LD HL,ml_return         ; loaded only: back to BASIC
ml_go:
        PUSH HL
        JP BIOS_TAPIOF          ; the motor stopped, interrupts enabled, then HL

; ml_basic: sets BASIC's pointers after the program just stored (no
; variables, no arrays); its entry's start is BASIC's run entry.
; in: DE = one past the program; changes: HL
ml_basic:
        EX DE,HL
        LD (VARTAB),HL
        LD (ARYTAB),HL
        LD (STREND),HL
ml_return:
        RET

; ml_call: starts a file that has more after it, as BLOAD ",R" would.
; in: HL = its start; changes: what the file changes
ml_call:
        EI
        JP (HL)

ml_fail:
        LD SP,(ml_stack)
        CALL ml_main_rom        ; page 1 as BASIC wants it
        LD HL,ml_err_text
        CALL ml_print
        JP BIOS_TAPIOF

; ml_print: in: HL = text ending in '>'; changes: AF, HL.
ml_print:
        LD A,(HL)
        CALL BIOS_CHPUT
        INC HL
        CP '>'
        JR NZ,ml_print
        RET

; ml_find_ram: puts page 1 on the first slot, primary slots in order and
; the secondary slots of an expanded one in order, where a byte written
; there reads back (the byte is put back), as the depacker finds it; on
; the main ROM when there is none.
; in: nothing; changes: AF, BC, DE, HL, IX, IY; interrupts off
ml_find_ram:
        LD HL,EXPTBL            ; L - low EXPTBL = the primary slot
ml_ram_primary:
        LD A,L
        SUB EXPTBL % 256
        OR (HL)
        AND 83h                 ; slot ID, secondary slot 0
ml_ram_slot:
        PUSH HL
        PUSH AF
        LD HL,4000h
        CALL BIOS_ENASLT        ; keeps HL
        POP DE                  ; D = the slot ID
        LD A,(HL)
        CPL
        LD (HL),A
        CP (HL)
        CPL
        LD (HL),A
        POP HL
        RET Z                   ; RAM
        LD A,D
        ADD A,4                 ; the next secondary slot
        JP P,ml_ram_next        ; not expanded
        BIT 4,A
        JR Z,ml_ram_slot
ml_ram_next:
        INC L
        LD A,L
        CP EXPTBL % 256 + 4
        JR NZ,ml_ram_primary
        ; falls into ml_main_rom: no RAM

; ml_main_rom: puts page 1 back on the main ROM, as BASIC has it.
; in: nothing; changes: AF, BC, DE, HL, IX, IY; interrupts off
ml_main_rom:
        LD A,(EXPTBL)
        LD H,40h
        JP BIOS_ENASLT

ml_ok_text:     DB " <OK>"
ml_err_text:    DB " <Err>"
ml_stack:       DW 0
ml_entry:       DW 0

        INCLUDE "include/turbo_read.inc"
        INCLUDE "include/turbo_build.inc"
        INCLUDE "include/turbo_crc.inc"
        INCLUDE "include/turbo_crc_table.inc"

; What the encoder puts after the code: the list (ending with a 0), then
; the first half of the uniform code's description (the leaves under
; letters 0 and 1 of each node, 256 bytes; its leaves are built here).  The
; list must end below turbo_class, which the reader fills; the description
; and the leaves built after it below TURBO_LOOPS.
ml_files:
        IF ml_files > turbo_class - 32 * ENTRY_SIZE - 1
        .ERROR the main loader leaves no room for 32 files
        ENDIF
ml_busy_end     EQU TURBO_LOOPS + 2 * TURBO_LOOP_SIZE ; one past the last byte used
