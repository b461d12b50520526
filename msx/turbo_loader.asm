; The turbo main loader: read by the bootstrap (turbo_boot.asm) to E300h and
; started there.  It builds the uniform code's decode table at E000h from the
; sizes of the code's subtrees (every subtree of a size splits alike), with
; code that the list of files then covers.  It reads the files of the list
; the encoder puts at its end, each as one block of the turbo signal in the uniform code, checks each
; file's CRC-16 over memory and shows " <OK>", or " <Err>" and stops (a
; damaged file, or a block cut off).  A file marked to run is called when
; more follow, jumped to when it is the last (returning to BASIC); the last
; file is started with the tape stopped and interrupts enabled.
;
; A BASIC program to run that has files after it leaves the loader behind
; as BASIC's statement hook (H_GONE): each BLOAD statement the program runs
; is served by the next file of the list instead, read, checked and started
; as above, then BASIC goes on after the statement.  Once the list is served
; the hook is removed, and so it is on damage, after " <Err>": BLOAD is
; BASIC's own again.  BASIC's stack and strings lie above the loader (from
; STKTOP and MEMSIZ, under F380h on an MSX without disks) and the program
; and its variables below it; variables and arrays that grow up to E000h
; would overwrite it, as CLEAR with a top above E000h would let them.
;
; A list entry (9 bytes): flags (bit 0: an entry, 0 ends the list; bit 1:
; start the file; bit 2: the file comes in a code of its own, whose 512-byte
; description comes first as a block of its own in the code held so far,
; read to where the file goes: at least 512 bytes; bit 3: a tokenized BASIC
; program, stored from the start of program text whatever the load address
; says, with BASIC's pointers set after it, and run by BASIC when it is
; started; bit 4: read with RAM in page 1;
; bit 5: the main ROM put back in page 1 once it is checked (a packed ROM
; to be started keeps that RAM: its depacker restores and starts it
; there); bit 6: a BASIC program, or its depacker, started with the hook in
; place, the files after it left to its BLOAD statements), the load
; address, the length (1 to 65535), the start address (BASIC's run entry,
; 73ACh, for a BASIC program), the CRC-16.

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
H_GONE          EQU 0FF43h          ; hook before each statement: A = its token
CURLIN          EQU 0F41Ch          ; word: the line run, FFFFh in direct mode
KEY_COLUMNS     EQU 0A9h            ; PPI port B: the columns of the keyboard row
KEY_ROW         EQU 0AAh            ; PPI port C: bits 0-3 select the row
SKIPST          EQU 485Bh           ; HL on a statement: HL on the ":" or 0 ending it
BLOAD_TOKEN     EQU 0CFh
ENTRY_SIZE      EQU 9

turbo_table     EQU 0E000h      ; three pages, built here
turbo_class     EQU turbo_table + 800h ; three pages, filled by turbo_read
TURBO_LOOPS     EQU turbo_class + 300h ; the reader's byte loops, built here

        ORG turbo_table + 300h

; ml_start: in: nothing (SP as BLOAD ",R" left it). out: returns to BASIC
; or starts the last file; changes: everything.
ml_start:
        JP ml_setup

; ml_begin: moves the list down over ml_setup, then reads the files.
; in: HL, DE, BC: the list's move (LDIR), from ml_setup
ml_begin:
        LDIR
        LD HL,ml_files
ml_next:
        CALL ml_read
        BIT 3,(IX+0)
        CALL NZ,ml_basic
        LD L,(IX+5)
        LD H,(IX+6)
        BIT 6,(IX+0)
        JP NZ,ml_hooked + ML_UP
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

; ml_unhook: BASIC's BLOAD back.  in: nothing; changes: A
ml_unhook:
        LD A,0C9h
        LD (H_GONE),A
        RET

; ml_read: reads the file of an entry and checks its CRC-16: " <OK>", or
; " <Err>" and out through ml_fail.
; in: HL = the entry; out: IX = the entry, DE = one past the file;
; changes: everything
ml_read:
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
        CALL NZ,ml_find_ram + ML_UP ; RAM in page 1 for this file
        CALL ml_wait + ML_UP
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
        JP C,ml_fail + ML_UP
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
        JP C,ml_fail + ML_UP
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
        JP NZ,ml_fail + ML_UP
        BIT 5,(IX+0)            ; the main ROM back in page 1 (never for
        CALL NZ,ml_main_rom + ML_UP ; a BASIC program: ml_basic needs DE)
        LD HL,ml_ok_text
        CALL ml_print
        LD IX,(ml_entry)
        RET

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
ml_list_at:     DW ml_image_files   ; where the list is in the image as read

        INCLUDE "include/turbo_read.inc"
        INCLUDE "include/turbo_build.inc"
        INCLUDE "include/turbo_crc.inc"
        INCLUDE "include/turbo_crc_table.inc"

; What only ml_start needs, once: the list covers it (from ml_files).
; ml_setup: puts the high part in its place, builds the decode table and
; the reader's loops, and goes on to ml_begin.
; in: nothing; changes: everything but SP
ml_setup:
        LD (ml_stack),SP
        LD HL,ml_high           ; the part that lives above the reader's
        LD DE,ML_HIGH           ; loops to its place
        LD BC,ml_image_files - ml_high
        LDIR
        LD HL,ml_leaves         ; the uniform code's leaves: byte v on leaf v
ml_leaf:
        LD (HL),L
        INC L
        JR NZ,ml_leaf
        LD DE,ml_size
        CALL turbo_build_by
        CALL turbo_loops
        LD HL,(ml_list_at)      ; the list down to where ml_setup was
        LD DE,ml_files
        LD BC,turbo_class - ml_files
        JP ml_begin

; ml_size: the record of a subtree of the uniform code, by its size
; (turbo_build_by's routine).
; in: C = its leaves (0 for 256, always one in ml_sizes); out: D, E = the
; leaves under its letters 0 and 1; changes: AF, HL
ml_size:
        LD HL,ml_sizes
ml_size_seek:
        LD A,(HL)
        INC HL
        LD D,(HL)
        INC HL
        LD E,(HL)
        INC HL
        CP C
        JR NZ,ml_size_seek
        RET

; For each size of subtree: its leaves (256 as 0), the leaves under its
; letters 0 and 1; the sizes with the most subtrees first.
ml_sizes:
        INCLUDE "turbo_sizes.inc"       ; written by the build (turbo_table --sizes)

; The part that lives above the reader's loops, from ML_HIGH, where
; ml_setup puts it: what only a BASIC program's hook needs, and what the
; rest reaches by CALL or JP only, so that the list below has room.  It is
; written for ML_HIGH: its labels are reached as label + ML_UP, and within
; it only by relative jumps.
ML_HIGH         EQU TURBO_LOOPS + 2 * TURBO_LOOP_SIZE
ml_high:
ML_UP           EQU ML_HIGH - ml_high   ; after the label, so that both passes
                                        ; of the assembler agree on it

; ml_fail: " <Err>", page 1 as BASIC wants it, the hook removed when it is
; the loader's, the tape stopped; returns from ml_start, or ml_serve.
ml_fail:
        LD SP,(ml_stack)
        CALL ml_main_rom + ML_UP ; page 1 as BASIC wants it
        LD HL,ml_err_text
        CALL ml_print
        LD HL,(H_GONE + 1)
        LD DE,ml_hook + ML_UP
        OR A
        SBC HL,DE
        CALL Z,ml_unhook
        JP BIOS_TAPIOF

; ml_wait: waits for a file's lead-in with the motor on: 16 halves in a
; row of its length (240 to 770 T; the reader takes 330 to 690 T).  Only
; while there is none (a half out of that range, or no change for some
; 12,000 T) it looks at STOP (keyboard row 7), which gives up as a damaged
; file does.  The reader then seeks the lead-in afresh, its timing as ever.
; in: nothing; out: the lead-in under way; changes: AF, B, DE; interrupts off
ml_wait:
        DI
        LD A,TURBO_MOTOR_ON
        OUT (TURBO_PPI_CONTROL),A
ml_wait_key:
        IN A,(KEY_ROW)
        AND 0F0h
        OR 7
        OUT (KEY_ROW),A
        IN A,(KEY_COLUMNS)
        BIT 4,A                 ; STOP (with CTRL or without)
        JR Z,ml_fail
        LD A,TURBO_PSG_PORT_A
        OUT (TURBO_PSG_ADDRESS),A
        IN A,(TURBO_PSG_READ)
        LD E,A                  ; the level as seen last
        LD D,16                 ; halves still to come
ml_wait_half:
        LD B,0                  ; passes of 48 T since the last change
ml_wait_pass:
        INC B                   ; 5
        JR Z,ml_wait_key        ; 8   no change: silence
        IN A,(TURBO_PSG_READ)   ; 12
        XOR E                   ; 5
        RLA                     ; 5   carry: bit 7, the tape, changed
        JR NC,ml_wait_pass      ; 13
        RRA
        XOR E
        LD E,A
        LD A,B
        CP 5
        JR C,ml_wait_key        ; too short for the lead-in
        CP 16
        JR NC,ml_wait_key       ; too long
        DEC D
        JR NZ,ml_wait_half
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
        JP P,ml_ram_next + ML_UP ; not expanded
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

; What only a BASIC program's hook needs: the encoder leaves it out of a
; tape with no such program (the list then starts here, ml_list_at says).
ml_hook_part:

; ml_hooked: starts the BASIC program with the hook in place; its depacker
; comes back only when it found damage (and said so): then BLOAD is
; BASIC's again.
; in: HL = the start (BASIC's run entry, or the depacker); out: back to
; BASIC after a depacker's " <Err>"; changes: everything
ml_hooked:
        LD A,0C3h
        LD (H_GONE),A
        LD DE,ml_hook + ML_UP
        LD (H_GONE + 1),DE
        CALL ml_go
        JP ml_unhook

; ml_hook: H_GONE while a BASIC program the loader started runs.  A BLOAD
; statement of the program is served by the next file of the list and
; passed over; one typed in direct mode (the program ended, or stopped,
; before its BLOADs were all served) is BASIC's own.
; in: A = the statement's first token, HL = on it
; out: BLOAD in the program: HL on the ":" or 0 that ends it, back into the
;      interpreter's next-statement loop; anything else: back to the
;      interpreter with A and HL as they were
; changes: BLOAD in the program: AF, BC, D, HL (as SKIPST); else F
ml_hook:
        CP BLOAD_TOKEN
        RET NZ
        PUSH HL
        LD HL,(CURLIN)
        INC HL
        LD A,H
        OR L
        POP HL
        LD A,BLOAD_TOKEN
        RET Z                   ; direct mode
        CALL SKIPST
        PUSH AF
        PUSH BC
        PUSH DE
        PUSH HL
        PUSH IX
        PUSH IY
        EX AF,AF'
        PUSH AF
        EXX
        PUSH BC
        PUSH DE
        PUSH HL
        CALL ml_serve + ML_UP
        POP HL
        POP DE
        POP BC
        EXX
        POP AF
        EX AF,AF'
        POP IY
        POP IX
        POP HL
        POP DE
        POP BC
        POP AF
        INC SP                  ; drop the return into the statement
        INC SP                  ; dispatcher: the statement is done
        RET

; ml_serve: reads the next file of the list and starts it, or only
; stores it, with the tape stopped; the hook goes once the list is served.
; in: nothing; out: returns, also after " <Err>"; changes: everything
ml_serve:
        LD (ml_stack),SP
        LD HL,(ml_entry)
        LD DE,ENTRY_SIZE
        ADD HL,DE
        LD A,(HL)
        OR A
        JP Z,ml_unhook          ; nothing left (never so: the hook went)
        CALL ml_read
        LD A,(IX+ENTRY_SIZE)
        OR A
        CALL Z,ml_unhook
        LD L,(IX+5)
        LD H,(IX+6)
        BIT 1,(IX+0)
        JP NZ,ml_go
        JP BIOS_TAPIOF


; What the encoder puts after the code: the list (ending with a 0).
; ml_setup moves it down to ml_files, over itself and where the high part
; was; it must end below turbo_class, which the reader fills.  In the image
; read to E300h it stands ml_image_files - ml_files higher (the encoder's
; limit ml_list_end), below the page where ml_setup puts the leaves and
; below the bootstrap at EB00h.
ml_image_files:
ml_files        EQU ml_setup
ml_list_end     EQU turbo_class + ml_image_files - ml_files
ml_leaves       EQU turbo_class + 200h  ; free while the table is built
        IF ml_files > turbo_class - 32 * ENTRY_SIZE - 1
        .ERROR the main loader leaves no room for 32 files
        ENDIF
        IF ml_list_end > ml_leaves
        .ERROR the main loader's image would reach the leaves it builds
        ENDIF
ml_busy_end     EQU ML_HIGH + ml_image_files - ml_high ; one past the last byte used
