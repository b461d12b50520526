; The turbo tape's depacker for a ROM image.
DEPACK_COM equ 0
DEPACK_ROM equ 1
DEPACK_BASIC equ 0
        include "turbo_depacker.asm"
