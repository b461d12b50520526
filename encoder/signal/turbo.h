#pragma once
// The turbo tape signal at 44100 Hz: a square wave described by the lengths
// of its half-cycles alone, so only the times between level changes carry
// anything and either polarity reads the same.
//
//   lead-in  turbo_lead_in_halves half-cycles of 6 samples (the reader
//            measures them to set its thresholds)
//   sync     two half-cycles of 9 samples
//   data     one half-cycle per letter of the byte code: 3, 6 or 9 samples
//            for letters 0, 1 and 2
//   close    one half-cycle of 6 samples, so that the last letter ends with
//            a level change
//
// A reader tells the three lengths apart at 4.5 and 7.5 samples, measured
// against the lead-in: each letter has a margin of 1.5 samples either way.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct TurboCode;

inline constexpr std::uint32_t turbo_rate = 44100;
inline constexpr int turbo_lead_in_halves = 640;
// The lead-in of a DOS-mode file's first block: K7 measures some 300 of its
// halves to tell it from a fast block's before the turbo reader starts.
inline constexpr int turbo_dos_lead_in_halves = 1280;
inline constexpr int turbo_sync_halves = 2;
inline constexpr std::uint8_t turbo_half_samples[3] = {3, 6, 9};
inline constexpr std::int16_t turbo_level = 24000;

// The half-cycle lengths (in samples) of one block carrying `bytes` in
// `code`.
std::vector<std::uint8_t> turbo_block_halves(std::span<const std::uint8_t> bytes, const TurboCode& code);

// How a half-cycle begins.  A file block's halves start with one sample at
// a quarter of the level, the level going over in two steps: square edges
// make an MP3 encoder ring, and a reader that takes the DC out (openMSX
// does) then saw the last samples of a long half turned over, ending it two
// or three samples early.  Through MP3 at 128 kbit/s 14 of 72 runs said
// " <Err>" over eight placements of the files against the MP3's frames
// (three programs, three machines); stepped, none of 144 over 16.  The
// worst margin over the reader's audio paths rises from 0 counts to 1 (as
// written in msxbench it falls from 2 to 1).  The bootstrap's block stays
// square: its reader leaves out a change that does not hold a whole sample.
enum class TurboEdges { stepped, square };

// Samples of a run of half-cycles, starting at the high level.
std::vector<std::int16_t> turbo_samples(std::span<const std::uint8_t> halves,
                                        TurboEdges edges = TurboEdges::stepped);

// Appends the half-cycles to the output WAV (16-bit, 44100 Hz).
void emit_turbo_halves(std::span<const std::uint8_t> halves, TurboEdges edges = TurboEdges::stepped);

// The bootstrap's signal, a two-letter code its small reader needs no table
// for: a lead-in of turbo_boot_lead_in_halves long halves (7 samples), one
// short half (3 samples) as the sync, then eight halves a byte, most
// significant bit first, short for 0 and long for 1, and a closing long half.
inline constexpr int turbo_boot_lead_in_halves = 200;
// The bootstrap's short and long halves: a sample further apart than the
// letters 0 and 1, as its reader counts in coarser passes.
inline constexpr std::uint8_t turbo_boot_half_samples[2] = {3, 7};
std::vector<std::uint8_t> turbo_boot_halves(std::span<const std::uint8_t> bytes);
