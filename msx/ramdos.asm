; Interim RAM-disk DOS image: a stand-in of the right form (BIN at 0x8300, exec 0x8304) until the real one lands.
; BLOAD header: type, start, end, exec.  The end field is one past the last
; byte, as the encoder sends it unchanged and takes the length from the image.
        org     0x8300 - 7
        db      0xFE
        dw      params, last + 1, boot

; Parameters patched by the encoder from the RAMDOS keyword's suffix.
params:
vram_pages:     db 7            ; video RAM pages for the RAM disk, 0 to 7
ram_pages:      db 3            ; RAM pages for the RAM disk, 1 to 8
load_files:     db 1            ; 1: copy the DOS system files, 0: don't
                db 0

; boot: returns to BASIC at once.  In: nothing.  Out: nothing.  Changed: nothing.
boot:   ret
last    equ     $ - 1
