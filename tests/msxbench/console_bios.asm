; The emulated main ROM's interrupt routine and keyboard input: KEYINT (the
; IM 1 handler at 0038h), CHSNS (009Ch) and CHGET (009Fh), as real Z80 code.
; Assembled with pasmo --bin; the image belongs at 0x3800 and starts with the
; jump table that the ROM's entries jump to.  Two routines are traps of the
; test bench: KEYSCAN reads the keyboard matrix into NEWKEY/OLDKEY and puts
; the newly pressed keys' characters into KEYBUF; IDLE ends the run while
; CHGET waits on an empty buffer that no pending key will fill.

        include "sysvars.inc"
        include "ports.inc"

KEYSCAN equ     0x3FF0          ; trap
IDLE    equ     0x3FF3          ; trap

        org     0x3800
        jp      keyint          ; 0x3800
        jp      chsns           ; 0x3803
        jp      chget           ; 0x3806

; Saves every register, calls H.KEYI, reads S#0 (which releases the VDP's
; interrupt).  For a frame interrupt: H.TIMI with A = the status, EI, STATFL,
; JIFFY + 1 and the keyboard scan.  Ends with EI / RET.
keyint: push    hl
        push    de
        push    bc
        push    af
        exx
        ex      af,af'
        push    hl
        push    de
        push    bc
        push    af
        push    iy
        push    ix
        call    H_KEYI
        in      a,(VDPCTL)      ; S#0
        and     a
        jp      p,int_end       ; not the VDP's frame interrupt
        call    H_TIMI
        ei
        ld      (STATFL),a
        ld      hl,(JIFFY)
        inc     hl
        ld      (JIFFY),hl
        call    KEYSCAN
int_end:
        pop     ix
        pop     iy
        pop     af
        pop     bc
        pop     de
        pop     hl
        ex      af,af'
        exx
        pop     af
        pop     bc
        pop     de
        pop     hl
        ei
        ret

; Z = the buffer is empty (low bytes of GETPNT and PUTPNT equal).  Changes
; AF; EI.
chsns:  ei
        push    hl
        ld      a,(GETPNT)
        ld      hl,PUTPNT
        cp      (hl)
        pop     hl
        ret

; A = the next character of KEYBUF, waiting for one with interrupts on.
; Changes AF; EI.
chget:  push    hl
        call    H_CHGE
chget_wait:
        call    chsns
        jr      nz,chget_take
        call    IDLE            ; returns past the HALT when a key came meanwhile
        halt                    ; until an interrupt has scanned the keyboard
        jr      chget_wait
chget_take:
        ld      hl,(GETPNT)
        ld      a,(hl)
        push    af
        inc     hl
        ld      a,l
        cp      BUFEND & 0xFF
        jr      nz,chget_store
        ld      hl,KEYBUF
chget_store:
        ld      (GETPNT),hl
        pop     af
        pop     hl
        ret
