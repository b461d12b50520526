; The RAMDOS image (placeholder start-up): the BIN header, the parameters,
; then the packed items the start-up program unpacks.
        include "layout.inc"

        org     0x8300 - 7
        db      0xFE
        dw      params, image_end, boot

; Parameters patched by the encoder from the RAMDOS keyword's suffix.
params:
vram_pages:     db 7            ; video RAM pages for the RAM disk, 0 to 7
ram_pages:      db 3            ; RAM pages for the RAM disk, 1 to 8
copy_files:     db 1            ; 1: copy the DOS files onto the disk, 0: don't
slot_probe:     db 0            ; slot code under test while searching for RAM

; boot: returns to BASIC at once.  In: nothing.  Out: nothing.  Changed: nothing.
boot:   ret

        include "rnc2_decode.asm"

msxdos_entry:
        db      "MSXDOS  SYS"
        incbin  "msxdos_sys.rnc"
command_entry:
        db      "COMMAND COM"
        incbin  "command.rnc"
k7_entry:
        db      "K7      COM"
        incbin  "k7.rnc"
disksys_packed:
        incbin  "disksys.rnc"
image_end:
