; Cold and warm boot (placeholder).

; cold, wboot: start DOS.  In: nothing.  Does not return.
cold:
wboot:
        di
        halt

; sys_setup: takes the slot values for DOS from the boot parameters.
;   In:  bp_slot_pa, bp_slot_ps set.  Out: nothing.  Changed: all.
sys_setup:
        ret
