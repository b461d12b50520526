; K7.COM (placeholder): returns to DOS.
        org     0x0100
        ret
