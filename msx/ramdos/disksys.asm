; The disk system.  The start-up program unpacks it to 0x4000-0x81CF, with
; mapper segment 4 in page 1 and the RAM of page 2 (segment 1, later part of
; the programs' memory) beyond 0x8000; it fills in the variables of the zero
; block at the end, CALLs INIT through 0x8000 once and finally jumps to
; 0x5A11.  INIT copies the resident kernel to K0, checks the RAM disk's
; pages against the machine and formats the disk; 0x5A11 then starts DOS.
; Nothing here is needed once DOS runs: segment 4 is free again.
        include "layout.inc"
        include "kernel.sym"

probe_offset    equ     0x0003  ; byte of a segment the mapper size test uses
max_ram_pages   equ     8       ; what the disk's FAT is laid out for

        org     0x4000

; The resident kernel as it runs at K0.
kernel_image:
        incbin  "kernel.bin"
kernel_size     equ     $ - kernel_image

; init: installs the kernel and the fixed DOS entries, fits the RAM disk to
; the machine and formats it.
;   In:  the variables at 0x8125, 0x81A0, 0x81AD, 0x81CF; page 0 = BIOS,
;        page 1 = segment 4, page 2 = segment 1, page 3 = segment 0;
;        interrupts off; a stack below K0.
;   Out: kernel at K0, its work areas zeroed, bp_* set, 0xF37D = JP bdos,
;        0xF347 = 1, RAMAD0-3, H.KEYI and H.TIMI = RET, the disk formatted;
;        interrupts still off, page 2 = segment 1.
;   Changed: all registers.
init:
        ld      hl,kernel_image
        ld      de,K0
        ld      bc,kernel_size
        ldir
        ld      hl,bss_start
        ld      de,bss_start + 1
        ld      bc,bss_end - bss_start - 1
        ld      (hl),0
        ldir

        call    vram_limit
        ld      (bp_top_vram),a
        ld      b,a
        ld      a,(ds_vram_pages)
        cp      b
        jr      c,vram_fits
        ld      a,b                     ; no more than the pages above page 0
vram_fits:
        ld      (bp_vram_pages),a

        call    mapper_limit
        ld      b,a
        ld      a,(ds_ram_pages)
        cp      b
        jr      c,ram_fits
        ld      a,b                     ; no more than the segments from 5 on
ram_fits:
        or      a
        jr      nz,ram_known
        inc     a                       ; at least one: the disk's system sectors
ram_known:
        ld      (bp_ram_pages),a

        ld      a,(ds_slot_pa)
        ld      (bp_slot_pa),a
        ld      a,(ds_slot_ps)
        ld      (bp_slot_ps),a

        ld      a,0xC3                  ; JP bdos, for callers with the BIOS in page 0
        ld      (BDOSF),a
        ld      hl,bdos
        ld      (BDOSF + 1),hl
        ld      a,1
        ld      (DRIVES),a
        call    ram_slots

        ld      hl,H_KEYI               ; hooks of a ROM whose work area is now ours
        call    hook_off
        ld      hl,H_TIMI
        call    hook_off

        call    sys_setup
        jp      fs_format

; vram_limit: the highest video RAM page the disk may use.
;   In: MODE.  Out: A = 7 with 128K of video RAM, 3 with 64K, else 0.
;   Changed: AF.
vram_limit:
        ld      a,(MODE)
        and     6                       ; the video RAM size: 4 128K, 2 64K
        cp      4
        jr      z,vram_128k
        cp      2
        ld      a,0
        ret     nz
        ld      a,3
        ret
vram_128k:
        ld      a,7
        ret

; mapper_limit: how many RAM-disk segments the mapper has from segment 5 on.
; A mapper of S segments takes segment numbers modulo S, so segment S is
; segment 0 again: S is the first of 8, 16, 32, 64, 128 where a byte
; changed through page 2 changes in page 3 (segment 0) as well.  The byte
; is put back at once; its place in segment 0 is free memory.
;   In: page 3 = segment 0, interrupts off.  Out: A = min(S - 5, 8).
;   Changed: AF, BC, DE, HL.
mapper_limit:
        ld      hl,0xC000 + probe_offset        ; segment 0
        ld      de,0x8000 + probe_offset        ; segment B
        ld      b,8
mapper_try:
        ld      a,b
        out     (MAPPER2),a
        ld      c,(hl)
        ld      a,(de)
        cpl
        ld      (de),a
        ld      a,(hl)
        cp      c                       ; Z: segment 0 kept its byte
        ld      a,(de)
        cpl
        ld      (de),a
        jr      nz,mapper_found
        sla     b
        jr      nc,mapper_try           ; after 128: B = 0, 256 or more
mapper_found:
        ld      a,1
        out     (MAPPER2),a
        ld      a,b
        sub     5                       ; with B = 0, 251: more than enough
        cp      max_ram_pages
        ret     c
        ld      a,max_ram_pages
        ret

; ram_slots: RAMAD0-3, the slot IDs of DOS's RAM in pages 0-3: pages 0 and 1
; get the slots of pages 2 and 3, as the slot values in bp_slot_pa say.
;   In: bp_slot_pa, EXPTBL, SLTTBL.  Out: RAMAD0-3.  Changed: AF, BC, DE, HL.
ram_slots:
        ld      c,4                     ; page 2's field: bits 5-4
        call    page_slot
        ld      (RAMAD0),a
        ld      (RAMAD0 + 2),a
        ld      c,6                     ; page 3's field: bits 7-6
        call    page_slot
        ld      (RAMAD0 + 1),a
        ld      (RAMAD0 + 3),a
        ret

; page_slot: In: C = the bit number of a page's field in the slot registers.
;   Out: A = the slot ID of the RAM there.  Changed: AF, B, DE, HL.
page_slot:
        ld      a,(bp_slot_pa)
        call    field
        ld      e,a                     ; the primary slot
        ld      d,0
        ld      hl,EXPTBL
        add     hl,de
        bit     7,(hl)
        ret     z
        ld      hl,SLTTBL
        add     hl,de
        ld      a,(hl)
        call    field                   ; its secondary slot, for the page
        add     a,a
        add     a,a
        or      e
        or      0x80
        ret

; field: In: A = slot register value, C = bit number of a page's field.
;   Out: A = the field (0-3).  Changed: AF, B.
field:
        ld      b,c
        inc     b
field_shift:
        dec     b
        jr      z,field_done
        rrca
        jr      field_shift
field_done:
        and     3
        ret

; hook_off: In: HL = a hook.  Out: its five bytes RET.  Changed: AF, B, HL.
hook_off:
        ld      b,5
hook_off_byte:
        ld      (hl),0xC9
        inc     hl
        djnz    hook_off_byte
        ret

init_end:
        if      init_end > ds_boot
        .error  INIT runs into the DOS start at 0x5A11
        endif

        ds      ds_boot - $
        jp      cold

        ds      ds_init - $
        jp      init

; The variables the start-up program fills in (ds_* in layout.inc) lie in
; this zero block.
        ds      ds_end - $
        if      $ > su_fcb
        .error  The disk system runs into the start-up program's work area
        endif
