; BIN depacker.  BLOAD puts it at 0xE000 behind the packed program and starts
; it there; it restores the program and starts it as a COM program, a ROM
; image or a BASIC program.  The encoder fills in the parameter block.

ENASLT  equ     0x0024          ; BIOS: A = slot ID, H = page address
TXTTAB  equ     0xF676          ; start of BASIC program text
VARTAB  equ     0xF6C2          ; end of BASIC program text
EXPTBL  equ     0xFCC1          ; expanded flags; EXPTBL+0 = main ROM slot ID
SLTTBL  equ     0xFCC5          ; secondary slot register copies
RUNBAS  equ     0x73AC          ; BASIC: run the program in memory
PAGE0_HELPER equ 0x4000         ; page 1 RAM borrowed for code that switches page 3

MODE_COM   equ  0x00

        org     0xE000

; bin_depack: restores the program and starts it.
;   In:  nothing (started by BLOAD ",R" with the BIOS and BASIC in pages 0 and 1).
;   Out: does not return, except to BASIC when no RAM is found for page 1.
;   Changed: everything.
bin_depack:
        jr      bin_start
mode:   db      MODE_COM        ; 0x00 COM, 0x41 ROM, 0xFF BASIC
source: dw      0               ; packed (or stored) data
dest:   dw      0x0100          ; where the program belongs
stored: dw      0               ; its length when stored unpacked, else 0

bin_start:
        ld      a,(mode)
        inc     a
        jr      z,start_basic
        call    find_ram                ; A = its slot ID
        jr      nz,main_rom_back        ; no RAM: back to BASIC
        ld      hl,mode
        bit     6,(hl)
        jr      nz,start_rom
        call    page0_to_ram
        ld      a,0xC9
        ld      (0x0005),a              ; BDOS calls return at once
        call    restore
        jp      0x0100

start_rom:                              ; jump to the INIT address of the ROM header
        call    restore
        ld      hl,(dest)
        inc     hl
        inc     hl
        ld      a,(hl)
        inc     hl
        ld      h,(hl)
        ld      l,a
        jp      (hl)

; BASIC programs go to TXTTAB - 1 (their first byte is the 0x00 before the
; text) and run under the interpreter, so pages 0 and 1 must hold the main
; ROM: page 0 is never switched in this mode, and page 1 is put back on the
; main ROM's slot, secondary included, in case anything moved it.
start_basic:
        ld      hl,(TXTTAB)
        dec     hl
        ld      (dest),hl
        call    restore
        ld      (VARTAB),de
        ld      hl,RUNBAS
        push    hl                      ; ENASLT returns into the interpreter
main_rom_back:                          ; page 1 to the main ROM, then return
        ld      a,(EXPTBL)
        ld      h,0x40
        jp      ENASLT

; restore: copies or decodes the program to its destination.
;   In: the parameter block.  Out: DE = one past the last byte restored.
;   Changed: AF, BC, DE, HL, AF'.
restore:
        ld      hl,(source)
        ld      de,(dest)
        ld      bc,(stored)
        ld      a,b
        or      c
        jp      z,rnc2_decode
        ldir
        ret

; find_ram: selects the first slot whose page 1 holds RAM, trying every
; primary slot and every secondary slot of the expanded ones.  The byte
; tested is 0x4000 + the slot ID, put back afterwards.
;   Out: Z, page 1 on that slot and A = its ID, or NZ when none.
;   Changed: AF, BC, DE, HL; interrupts disabled.
find_ram:
        ld      hl,0x4000               ; H = page 1, L = primary slot
find_primary:
        ld      a,l
        add     a,low EXPTBL
        ld      e,a
        ld      d,high EXPTBL
        ld      a,(de)
        and     0x80
        or      l
        ld      l,a                     ; L = first slot ID of this primary slot
find_try:
        ld      a,l
        call    ENASLT                  ; keeps HL
        ld      a,(hl)
        cpl
        ld      (hl),a
        cp      (hl)                    ; Z when the complement stuck: RAM
        cpl
        ld      (hl),a
        ld      a,l
        ret     z
        or      a
        jp      p,find_next             ; not expanded: next primary slot
        add     a,4                     ; next secondary slot
        ld      l,a
        bit     4,a
        jr      z,find_try
find_next:
        ld      a,l
        inc     a
        and     3
        ld      l,a
        jr      nz,find_primary
        inc     a                       ; NZ: none found
        ret

; page0_to_ram: puts page 0 on a slot by writing the slot registers, as the
; BIOS slot selection cannot switch the page it runs in.
;   In: A = slot ID of the RAM found for page 1 (which is selected there).
;   Out: interrupts disabled.  Changed: AF, BC, DE, HL, the helper's bytes
;   at PAGE0_HELPER.
page0_to_ram:
        ld      hl,page0_helper
        ld      de,PAGE0_HELPER
        ld      bc,page0_helper_end - page0_helper
        ldir                            ; keeps A
        di
        ld      c,a
        and     3
        ld      b,a                     ; B = primary slot
        in      a,(0xA8)
        and     0xFC
        or      b
        ld      e,a                     ; E = A8h with page 0 on the primary slot
        bit     7,c
        jr      z,page0_primary
        ; Expanded: its secondary register answers only in page 3, where this
        ; code runs, so the copy of the helper in page 1 RAM does the write.
        and     0x3F
        ld      d,a
        ld      a,b
        rrca
        rrca
        or      d
        ld      d,a                     ; D = E with page 3 on the primary slot too
        ld      hl,SLTTBL
        ld      a,l
        add     a,b
        ld      l,a
        ld      a,c
        rrca
        rrca
        and     3
        ld      c,a                     ; C = secondary slot
        jp      PAGE0_HELPER
page0_primary:
        out     (0xA8),a
        ret

; Copied to page 1 RAM and run there.  No stack use while page 3 is switched.
;   In: C = secondary slot for page 0, D = A8h value reaching the register,
;   E = final A8h value, HL = SLTTBL entry of the primary slot.  Changed: AF, B.
page0_helper:
        ld      a,d
        out     (0xA8),a
        ld      a,(0xFFFF)
        cpl
        and     0xFC
        or      c
        ld      (0xFFFF),a
        ld      b,a
        ld      a,e
        out     (0xA8),a
        ld      (hl),b                  ; the BIOS's copy of the register
        ret
page0_helper_end:

        include "rnc2_decode.asm"
