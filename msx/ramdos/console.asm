; Console functions (placeholder).

; con_string: prints the text at DE up to "$".
;   In:  DE.  Out: nothing.  Changed: AF, DE.
con_string:
        ret

; Placeholders for the other console functions: each returns A = 0.
con_in:
con_out:
con_direct:
con_raw_in:
con_line:
con_status:
        xor     a
        ret
