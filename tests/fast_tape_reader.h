#pragma once
// Reads a fast-format WAV back into what it carries: names, rank tables,
// description values and payload bytes, by matching every stretch of samples
// against the waveforms the format is made of.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace fast_tape {

// The samples of a WAV file (8-bit unsigned or 16-bit signed) as integers.
std::vector<int> wav_samples(const std::vector<std::uint8_t>& wav);

// One fast block as it stands on tape.
struct Block {
    std::size_t silence_before = 0;           // silence samples in front of it
    int lead_in_cells = 0;
    bool closing_tone = false;                // a tone with nothing after it
    std::vector<std::vector<bool>> units;     // the cells between start and end marks
    int trailer_cells = 0;
};

// The value a unit carries in value code.
unsigned unit_value(const std::vector<bool>& cells);
// The rank a unit carries in rank code: (2^L - 2) + code for L cells.
unsigned unit_rank(const std::vector<bool>& cells);

class Reader {
public:
    // `mode` is the fast signal mode; `cd` tells the silence level.
    Reader(std::vector<int> samples, int mode, bool cd, std::size_t start = 0);
    // Skips silence and reads the next block; false at the end of the tape.
    // A stretch that matches nothing ends the read with `error` set.
    bool next_block(Block& block);
    std::size_t position() const { return at_; }
    std::string error;

private:
    bool match(const std::vector<int>& wave);
    int count_cells(const std::vector<int>& wave);

    std::vector<int> samples_;
    std::size_t at_ = 0;
    int silence_;
    std::vector<int> lead_bit1_, bit0_, bit1_, start_, end_;
};

// A block interpreted as one file of the fast format.
struct FileBlock {
    std::uint8_t flags = 0;             // DOS mode only
    std::string name;                   // 12 characters, 11 in DOS mode
    std::array<std::uint8_t, 256> ranked{};
    std::vector<std::uint8_t> description;  // type and addresses after the table
    std::vector<std::uint8_t> payload;
};

// Interprets `block`; false (with `error`) when it lacks a piece.
bool decode_file(const Block& block, bool dos_mode, FileBlock& file, std::string& error);

}  // namespace fast_tape
