# One run on an openMSX machine booted with the boot cartridge (see
# boot_cartridge.asm): at the park loop the program is written into RAM and
# started with the tape playing from that moment, as it would be right after
# BLOAD"CAS:",R.  What happens is written to a result file, one fact a line,
# bytes in hex; the C++ harness (openmsx_run.cpp) reads it.
#
# The job comes in variables set before this script is sourced:
#   job_program   file of raw bytes put at job_start; started at job_exec
#   job_pokes     {address hex-bytes} pairs written before the start
#   job_tape      WAV file played from the start ("" for none)
#   job_seconds   emulated seconds after which the run is given up
#   job_stops     {address ram-only} pairs: the run ends when the CPU reaches
#                 the address (with ram-only 1, only when that page is not
#                 on the main ROM's slot 0: C-BIOS has code everywhere)
#   job_checks    the same for the places where the dumps are taken the
#                 first time the CPU reaches them, the run going on
#   job_dumps     {address length} pairs dumped at every check and stop
#   job_loadings  end the run when "Loading:" has been printed this many
#                 times (0: never)
#   job_tallies   addresses at which register DE's value is counted
#   job_result    the result file

set renderer none
set throttle off

set park_loop 0xF2F0
set returned 0xF2F2
set stack_top 0xF2EE
set chput 0x00A2
set tapiof 0x00E7
set nambas 0xF922

set state booting
set printed ""
set loadings 0
set t0 0
set result [open $job_result w]

proc elapsed {} {
    global t0
    return [expr {[machine_info time] - $t0}]
}

proc hex {bytes} {
    binary scan $bytes H* h
    return $h
}

proc read_file {name} {
    set f [open $name rb]
    set data [read $f]
    close $f
    return $data
}

# The text screen's name table: 24 rows of up to 80 columns.
proc screen {} {
    global nambas
    binary scan [debug read_block memory $nambas 2] s base
    return [hex [debug read_block VRAM [expr {$base & 0xFFFF}] 1920]]
}

# Whether the page holding `address` is on another slot than the main ROM's.
proc in_ram {address} {
    set page [expr {$address >> 14}]
    return [expr {(([debug read ioports 0xA8] >> (2 * $page)) & 3) != 0}]
}

proc set_stop {stop command} {
    lassign $stop address ram_only
    set condition ""
    if {$ram_only} { set condition "\[in_ram $address\]" }
    debug set_bp $address $condition [list {*}$command $address]
}

proc dumps {} {
    global job_dumps result
    foreach d $job_dumps {
        lassign $d address length
        puts $result "dump [format %04X $address] [hex [debug read_block memory $address $length]]"
    }
}

proc start {} {
    global state job_program job_start job_exec job_pokes job_tape job_stops job_checks
    global job_seconds job_tallies stack_top returned chput tapiof t0
    if {$state ne "booting"} return
    set state running
    debug write_block memory $job_start [read_file $job_program]
    foreach p $job_pokes {
        lassign $p address bytes
        debug write_block memory $address [binary format H* $bytes]
    }
    debug write_block memory $stack_top [binary format s $returned]
    reg SP $stack_top
    if {$job_tape ne ""} {
        cassetteplayer motorcontrol off
        cassetteplayer insert $job_tape
    }
    set t0 [machine_info time]
    debug set_bp $chput {} on_chput
    debug set_bp $tapiof {} on_tapiof
    debug set_bp $returned {} [list finish returned $returned]
    foreach stop $job_stops { set_stop $stop {finish entry} }
    foreach stop $job_checks { set_stop $stop check }
    foreach address $job_tallies { debug set_bp $address {} tally }
    after time $job_seconds {finish time [reg PC]}
    reg PC $job_exec
}

proc on_chput {} {
    global state printed loadings job_loadings
    if {$state ne "running"} return
    append printed [format %c [reg A]]
    if {[string match "*Loading:" $printed]} {
        incr loadings
        if {$job_loadings > 0 && $loadings >= $job_loadings} { finish loadings [reg PC] }
    }
}

# The loader calls TAPIOF right after it has written " <OK>" or " <Err>":
# the screen then shows its verdict, whatever the program started next does
# to the screen.
set verdict_taken 0
proc on_tapiof {} {
    global state result verdict_taken
    if {$state ne "running" || $verdict_taken} return
    set verdict_taken 1
    puts $result "verdict [screen]"
}

set checked {}
proc check {address} {
    global state result checked
    if {$state ne "running" || [lsearch $checked $address] >= 0} return
    lappend checked $address
    puts $result "check [format %04X $address] [elapsed]"
    dumps
}

array set tallied {}
proc tally {} {
    global tallied
    incr tallied([reg DE])
}

proc finish {reason address} {
    global state result printed tallied
    if {$state ne "running"} return
    set state done
    puts $result "stop $reason [format %04X [expr {$address & 0xFFFF}]] [elapsed]"
    dumps
    puts $result "printed [hex [encoding convertto iso8859-1 $printed]]"
    puts $result "screen [screen]"
    set counts {}
    foreach {value count} [array get tallied] { lappend counts $value $count }
    puts $result "tally $counts"
    puts $result "end"
    close $result
    exit
}

debug set_bp $park_loop {} start
