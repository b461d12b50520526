#pragma once
// Waveform tables of every signal mode: the bit cells shared by all modes
// and the start and end marks of the fast modes.
//
// Signal modes: 8 and 6 are 8-bit output (8 and 6 samples per cell); in the
// 100 series (square) and 200 series (sine) the last two digits are the
// samples per cell at 44100 Hz, 16-bit.

#include <cstddef>
#include <cstdint>

// One waveform: unsigned 8-bit samples or signed 16-bit samples.
struct Waveform {
    const std::uint8_t* u8 = nullptr;
    const std::int16_t* s16 = nullptr;
    std::size_t length = 0;  // in samples

    std::size_t bytes() const { return s16 ? 2 * length : length; }
};

struct SignalCells {
    Waveform bit0;
    Waveform bit1;
    Waveform start_mark;  // empty for modes without marks
    Waveform end_mark;
};

// The tables of `mode`, or nullptr for a code that has none (emits nothing).
const SignalCells* signal_cells(int mode);

// Stores the samples of `wave` at `out` as they go into the file: 16-bit
// samples little-endian.  `out` has room for wave.bytes().
void write_waveform(std::uint8_t* out, const Waveform& wave);

// Appends the samples of `wave` to the output in table order.
void emit_waveform(const Waveform& wave);
