; A test program for the turbo tape reader: reads one block of
; reader_length bytes to reader_dest (both written by the test
; before the start), then waits at reader_done.
        ORG 0C000h
reader_start:
        LD HL,(reader_dest)
        LD BC,(reader_length)
        CALL turbo_read
reader_done:
        JR reader_done
reader_dest:
        DW 8000h
reader_length:
        DW 1

        INCLUDE "../../msx/include/turbo.inc"
        INCLUDE "../../msx/include/turbo_read.inc"

        DS 0C200h - $           ; the tables' pages (see turbo_read.inc)
turbo_table:
        INCLUDE "turbo_code.inc"
        DS turbo_table + 800h - $
turbo_class:
        DS 300h
