; The turbo tape's depacker for a COM program.
DEPACK_COM equ 1
DEPACK_ROM equ 0
DEPACK_BASIC equ 0
        include "turbo_depacker.asm"
