; The turbo tape's depacker for a BASIC program.
DEPACK_COM equ 0
DEPACK_ROM equ 0
DEPACK_BASIC equ 1
        include "turbo_depacker.asm"
