; The BIN depacker as the turbo tape carries it: the same code with the tpk
; decoder in place of method 2's and no CRCs of its own (the loader has
; checked the image), run at 0xDD00 so that it and the packed program below
; it stay clear of the turbo main loader from 0xE000 on, which reads them
; and starts the depacker.  Included by turbo_depacker_com.asm,
; turbo_depacker_rom.asm and turbo_depacker_basic.asm, which say the one
; kind of program it restores (DEPACK_COM, DEPACK_ROM, DEPACK_BASIC).
TURBO_DEPACKER equ 1
BIN_DEPACKER_ORG equ 0xDD00
BIN_DEPACKER_LIMIT equ 0xE000   ; the turbo loader's decode table

        include "bin_depacker.asm"
