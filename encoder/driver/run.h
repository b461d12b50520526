#pragma once
// The run driver: banner, command line, mode resolution, the run sequence.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/settings.h"

// In DOS mode a file longer than this goes on tape in parts of this size.
inline constexpr std::uint32_t dos_part_size = 46080;
// Silence after a RAM-disk DOS entry while the MSX brings DOS up.
inline constexpr int ramdos_boot_pause_ms = 4000;
inline constexpr int closing_tone_cells = 501;

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

// The rule between fast-mode entries: a pause of size / 22 ms (in DOS mode
// size / 8 ms, time for the self-extracting image to check what it restores)
// when that is longer than the "-p" setting (compared unsigned), else the
// setting.
inline constexpr std::uint32_t entry_pause_divisor = 22;
inline constexpr std::uint32_t dos_entry_pause_divisor = 8;
void emit_entry_pause(std::uint32_t size);

// Encodes the current input, a DOS-mode file longer than a part, in parts;
// the name on tape is built from the entry, unless `msx_name` gives it.
void encode_in_parts(const InputEntry& entry, std::uint8_t fast_mode, bool more_entries,
                     std::optional<std::string_view> msx_name = std::nullopt);

// Notes where a piece of the tape ("file", "pause") begins, for -timeline.
void timeline_mark(std::string kind, std::string name = {});
