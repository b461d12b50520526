; A test program for the turbo tape reader: reads one block of
; reader_length bytes to reader_dest (both written by the test
; before the start), then waits at reader_done.  With reader_code not 0,
; the block comes in the code described there, else in the uniform code.
        ORG 0C000h
turbo_table:                    ; the uniform code's, or one built from a description
        INCLUDE "turbo_code.inc"
reader_start:
        LD HL,(reader_code)
        LD A,H
        OR L
        CALL NZ,turbo_build
        LD HL,(reader_dest)
        LD BC,(reader_length)
        CALL turbo_read
reader_done:
        JR reader_done
reader_dest:
        DW 8000h
reader_length:
        DW 1
reader_code:
        DW 0

TURBO_LOOPS     EQU 0           ; the byte loops inline
        INCLUDE "../../msx/include/turbo.inc"
        INCLUDE "../../msx/include/turbo_read.inc"
        INCLUDE "../../msx/include/turbo_build.inc"

        IF $ > turbo_table + 800h
        .ERROR the code runs into turbo_class
        ENDIF
        DS turbo_table + 800h - $
turbo_class:
        DS 300h
