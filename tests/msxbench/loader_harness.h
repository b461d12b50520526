#pragma once
// What the loader tests share: tapecast runs in a scratch directory, and an
// emulated MSX that plays the resulting WAV from its first sample.

#include "msx.h"
#include "tape_run.h"
#include "test_support.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace loader_harness {

inline constexpr std::uint16_t loader_entry = 0xE400;

// A scratch directory with the example programs in it.
class Workshop {
public:
    Workshop();
    std::string file(const std::string& name) const { return dir_.file(name); }
    void put(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    // Runs tapecast with `args` and "-o <name>"; returns the WAV's path.
    std::string tapecast(std::vector<std::string> args, const std::string& name = "out.wav") const;

private:
    test_support::ScratchDir dir_;
};

// An emulated MSX that has had BLOAD"CAS:",R typed and plays `recordings`
// (WAV paths; "" is 0.3 s of silence, as between two recordings played by
// hand) from their first sample.
std::unique_ptr<msxbench::Msx> play(const std::vector<std::string>& recordings,
                                    const msxbench::MsxLayout& layout = {},
                                    const msxbench::TapeOptions& options = {});

// Runs until one of `stops`; fails the test when another stop comes first.
bool reach(msxbench::Msx& msx, std::initializer_list<std::uint16_t> stops, double seconds_limit,
           std::uint16_t expected);

// Whether the screen shows `text` on one of its rows.
bool on_screen(const msxbench::Msx& msx, const std::string& text);

// A small BIN file whose code stores `marker` at `flag` and returns.
std::vector<std::uint8_t> marker_bin(std::uint16_t start, std::uint8_t marker, std::uint16_t flag);

// A tokenized line of BASIC at `at`: link, number, then `text` and its 00h.
std::vector<std::uint8_t> basic_line(std::uint16_t at, std::uint16_t number, const std::vector<std::uint8_t>& text);

// BLOAD"CAS:",R as the interpreter stores it, `count` times, joined by ':'.
std::vector<std::uint8_t> bload_statements(int count = 1);

// A tokenized BASIC file (0xFF first) of `lines`, numbered 10, 20, ... from
// 0x8001, with the end link.
std::vector<std::uint8_t> basic_file(const std::vector<std::vector<std::uint8_t>>& lines);

// Spoils a CD compressed WAV: 24 cells of code 112 (1 0 1 0 ...) over its
// last block's payload, well before the trailer and the closing tone.
void damage_last_payload(std::vector<std::uint8_t>& wav);
// Damages a CD compressed WAV so that its reader cannot tell: one 0 cell
// turned into a 1 cell (both begin and end on the same levels), the first
// 0 cell right after a start mark from `cells` cells before the last start
// mark of the recording (the last block's last payload unit) on.  A rank code then reads as another of its
// length: one byte arrives wrong.  False when there is no such cell.
bool flip_payload_cell(std::vector<std::uint8_t>& wav, std::size_t cells);
// Turns a 0 cell of one of the rank table's values into a 1 cell in a CD
// -c recording (the first value that has one): the table then holds one
// byte value twice and another not at all.
bool damage_rank_table(std::vector<std::uint8_t>& wav);

}  // namespace loader_harness
