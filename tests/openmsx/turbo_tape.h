#pragma once
// The turbo tape signal on both emulated MSXs: a block of bytes written as
// the encoder writes it, spoiled by an audio path, read by a test program
// built around the Z80 reader (turbo_reader.asm), and every byte checked.

#include "audio_path.h"
#include "robustness.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <vector>

struct TurboCode;

namespace turbo {

// Writes a 44100 Hz 16-bit WAV: a short silence, the block carrying
// `bytes` in `code` (the uniform code when null), a short silence.
void write_block_wav(const std::filesystem::path& wav, std::span<const std::uint8_t> bytes,
                     const TurboCode* code = nullptr);

struct Reading {
    bool finished = false;  // the reader came back with every byte counted
    bool intact = false;    // ... and they are the bytes sent
    bool kept_after = true; // msxbench: the byte after them was left alone
    double seconds = 0;     // emulated, from the start to the end of the run
    // The letter it takes for each count of 30 T, after each letter.
    std::vector<std::uint8_t> classes;
    // The halves it took: (the class page used) * 256 + count, how often.
    std::map<int, std::uint64_t> counts;
    // The fewest counts a half was from being read as another letter; -1
    // without a reading.
    int margin() const;
};

// Reads `wav` (which carries `bytes`, in `code` when not null) on one
// emulator; a code other than the uniform one is given to the reader as
// its description, from which it builds its table.
Reading read_block(const std::filesystem::path& wav, std::span<const std::uint8_t> bytes,
                   robustness::Emulator emulator, const std::filesystem::path& work,
                   const TurboCode* code = nullptr);

// One cell: `bytes` written, spoiled by `condition`, read on each of `on`.
std::vector<Reading> read_after(std::span<const std::uint8_t> bytes, const tools::AudioCondition& condition,
                                const std::vector<robustness::Emulator>& on, const std::filesystem::path& work,
                                const TurboCode* code = nullptr);

}  // namespace turbo
