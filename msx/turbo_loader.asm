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
; started, which only the last file may be), the load address, the length
; (1 to 65535), the start address, the CRC-16.

        INCLUDE "include/turbo.inc"

BIOS_CHPUT      EQU 00A2h
BIOS_TAPIOF     EQU 00E7h
BASIC_RUN       EQU 73ACh           ; runs the program in memory
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
        CALL turbo_read
        JP C,ml_fail
        LD A,turbo_class / 256  ; the class pages are free until the next block
        CALL turbo_crc_table
        LD IX,(ml_entry)
        LD E,(IX+1)
        LD D,(IX+2)
        LD C,(IX+3)
        LD B,(IX+4)
        LD H,turbo_class / 256
        CALL turbo_crc_fast
        LD IX,(ml_entry)
        LD A,C
        CP (IX+7)
        JP NZ,ml_fail
        LD A,B
        CP (IX+8)
        JP NZ,ml_fail
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
        PUSH HL
        CALL BIOS_TAPIOF        ; the motor stopped, interrupts enabled
        POP HL
        LD IX,(ml_entry)
        BIT 1,(IX+0)
        RET Z                   ; loaded only
        JP (HL)

; ml_basic: sets BASIC's pointers after the program just stored (no
; variables, no arrays) and makes BASIC's run entry its start.
; in: IX = its entry; changes: AF, BC, HL
ml_basic:
        LD L,(IX+1)
        LD H,(IX+2)
        LD C,(IX+3)
        LD B,(IX+4)
        ADD HL,BC
        LD (VARTAB),HL
        LD (ARYTAB),HL
        LD (STREND),HL
        LD (IX+5),BASIC_RUN % 256
        LD (IX+6),BASIC_RUN / 256
        RET

; ml_call: starts a file that has more after it, as BLOAD ",R" would.
; in: HL = its start; changes: what the file changes
ml_call:
        EI
        JP (HL)

ml_fail:
        LD SP,(ml_stack)
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
