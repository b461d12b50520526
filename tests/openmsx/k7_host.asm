; A stand-in for the RAM-disk DOS under which K7.COM runs on openMSX: RAM
; in page 0 (the slot of page 3), the warm boot and the DOS entry there, an
; interrupt routine that only acknowledges the video processor, then K7,
; carried right behind this program, copied to 0x0100 and started with the
; warm boot as its return.  DOS functions succeed and do nothing; the block
; write (0x26) passes host_write, where the test stops to look at K7's
; buffer and FCB.  K7 coming back, or failing, goes to the harness's
; "returned" loop.
;
; Fixed addresses the test relies on:
;   0xD000  the start
;   0xD00A  host_write, reached with the data at 0x0400 and the FCB at 0x005C

        include "ports.inc"

RETURNED        equ     0xF2F2  ; the harness's loop for a program that returned
K7_AT           equ     0x0100
K7_ROOM         equ     0x0C00  ; K7.COM's bytes at most

        org     0xD000

; host_start: In: nothing.  Out: runs K7, never returns.  Changed: everything.
host_start:
        jp      host_setup

; host_dos: the DOS entry.  In: C = function.  Out: A = 0.  Changed: AF.
host_dos:
        ld      a,c
        cp      0x26
        jr      z,host_write
        xor     a
        ret
host_write:
        if      host_write != 0xD00A
        .error  host_write has moved
        endif
        xor     a
        ret

; host_interrupt: copied to 0x0038.  Reads the video status (which ends
; the interrupt) and returns.  Changed: nothing.
host_interrupt:
        push    af
        in      a,(VDPCTL)
        pop     af
        ei
        ret
host_interrupt_end:

host_setup:
        di
        in      a,(SLOTS)               ; page 0 on page 3's primary slot
        ld      b,a
        and     0xC0
        rlca
        rlca
        ld      c,a
        ld      a,b
        and     0xFC
        or      c
        out     (SLOTS),a
        ld      a,(SSLOTREG)            ; and on its secondary slot
        cpl
        ld      b,a
        and     0xC0
        rlca
        rlca
        ld      c,a
        ld      a,b
        and     0xFC
        or      c
        ld      (SSLOTREG),a
        ld      hl,0                    ; page 0 up to K7 cleared
        ld      de,1
        ld      bc,K7_AT - 1
        ld      (hl),l
        ldir
        ld      a,0xC3                  ; JP RETURNED at 0x0000, JP host_dos
        ld      (0x0000),a              ; at 0x0005 (its address the top of
        ld      (0x0005),a              ; the memory DOS leaves to programs)
        ld      hl,RETURNED
        ld      (0x0001),hl
        ld      hl,host_dos
        ld      (0x0006),hl
        ld      hl,host_interrupt
        ld      de,0x0038
        ld      bc,host_interrupt_end - host_interrupt
        ldir
        ld      hl,k7_image
        ld      de,K7_AT
        ld      bc,K7_ROOM
        ldir
        ld      hl,RETURNED             ; DOS's return
        push    hl
        ei
        jp      K7_AT

k7_image:                               ; K7.COM, put here by the test
