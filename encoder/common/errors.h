#pragma once
// The one failure path of tapecast: numbered fatal errors whose number is
// also the exit status.

#include <string>
#include <string_view>

enum ErrorCode {
    err_bad_baud_rate = 1,
    err_incomplete_command = 2,
    err_unknown_option = 3,
    err_no_files = 4,
    err_create_output = 5,
    err_unexpected_option = 6,
    err_read_input = 9,
    err_input_size = 10,
    err_no_memory = 11,
    err_write_output = 12,
    err_seek_output = 13,
    err_unsupported_type = 14,
    err_vram_pages = 15,
    err_ram_pages = 16,
    err_too_many_files = 17,
    err_output_is_input = 18,
    err_bad_pause = 19,
    err_wav_too_large = 20,
    err_internal = 21,
    err_cas_output_fast = 22,
    err_disk_outside_dos = 23,
    err_cas_in_dos_mode = 24,
    err_turbo_mode = 25,
    err_turbo_not_bin = 26,
    err_turbo_overlap = 27,
    err_turbo_basic_order = 28,
    err_turbo_start_order = 29,
};

// The message of a code with the detail inserted where it has "%s".
std::string error_message(int code, std::string_view detail);

// Registers work that undoes an unfinished run (the driver's: releasing the
// input, removing the unfinished WAV file).  fatal_error runs it in the order
// of registration; registering the same function again does nothing.
void on_fatal_error(void (*cleanup)());

// Runs the registered clean-up, prints "\nERROR: <message>\n" and exits
// with `code`.
[[noreturn]] void fatal_error(int code, std::string_view detail = {});
