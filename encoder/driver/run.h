#pragma once
// The run driver: banner, command line, mode resolution, the run sequence.

#include <cstdint>
#include <string>
#include <vector>

#include "common/settings.h"

// What the command line asks for, apart from the settings it fills.
struct CommandLine {
    bool help = false;               // print the usage text and stop
    std::vector<InputEntry> files;   // in command-line order
    std::uint8_t fast_wave_mode = 0; // 6, 8, 108, 112, 212, or 0 for none
};

void print_banner();
void print_usage();
// "tapecast (Cassonic) <version>" and what the program does, for "--version".
void print_version();

// Reads the arguments (without the program name) into `settings` and resolves
// the modes; a bad command line prints the usage and ends with its code.
// "--version" is the run's to handle, before the banner.
CommandLine parse_command_line(const std::vector<std::string>& args);

// The whole run; returns the exit status of a completed run.
int run_tapecast(const std::vector<std::string>& args);

// The rule between fast-mode entries: a pause of size / 22 ms when that is
// longer than the "-p" setting (compared unsigned), else the setting.
void emit_entry_pause(std::uint32_t size);
