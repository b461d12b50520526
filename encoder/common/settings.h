#pragma once
// Run settings of one tapecast run, filled from the command line.

#include <cstdint>
#include <string>
#include <vector>

struct EncoderSettings {
    bool cd_mode = false;          // "-cd": 44100 Hz 16-bit output, fixed rates
    std::int32_t baud_rate = 0;    // first argument, or the fixed CD rate
    bool compressed = false;       // "-c"
    bool experimental = false;     // "-xp"
    bool sine = false;             // "-sine"
    bool turbo = false;            // "-turbo": BIN files in the turbo signal (CD only)
    bool dos_mode = false;         // "-dos"; also set after a RAMDOS entry
    bool attach_loader = true;     // off for a numeric rate, "-noldr", "-dos"
    bool patch_roms = true;        // off with "-nofix"
    std::int32_t pause_ms = 1000;  // "-p"
    std::string output_path = "out.wav";  // "-o"
    bool print_timeline = false;   // "-timeline"
    std::uint8_t standard_wave_mode = 120; // standard blocks in CD mode
};

// One file argument as typed, in command-line order (the order on tape).
struct InputEntry {
    std::string text;
    char run_flag = 'r';  // 'r': execute after loading, 'n': don't
};

inline constexpr std::size_t max_input_files = 100;

extern EncoderSettings settings;
