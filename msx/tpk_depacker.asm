; The tpk decoder alone at 0xDD00, where the turbo tape's depacker sits, for
; measuring and testing it on the emulated MSX.
        org     0xDD00
        include "tpk_decode.asm"
tpk_depacker_end:

        if      tpk_depacker_end > 0xE000
        .error  The tpk decoder reaches the turbo loader's decode table
        endif
