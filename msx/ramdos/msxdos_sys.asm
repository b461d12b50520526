; MSXDOS.SYS (placeholder text).
        db      "RAM-disk DOS", 13, 10, 0x1A
