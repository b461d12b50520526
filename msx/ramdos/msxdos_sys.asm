; MSXDOS.SYS: on this DOS a text file; the DOS itself is resident.
        db      "Cassonic RAM-disk DOS version 1.00", 13, 10
        db      "The DOS is resident in memory: this file is for information only.", 13, 10
        db      0x1A
