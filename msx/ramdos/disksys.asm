; The disk system (placeholder): the kernel image and the entries the
; start-up program calls.
        include "layout.inc"
        include "kernel.sym"

        org     0x4000
kernel_image:
        incbin  "kernel.bin"
        ds      0x5A11 - $
        jp      cold
        ds      0x8000 - $
init:   ret
        ds      0x81D0 - $
