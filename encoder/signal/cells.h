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
    std::size_t length = 0;
};

struct SignalCells {
    Waveform bit0;
    Waveform bit1;
    Waveform start_mark;  // empty for modes without marks
    Waveform end_mark;
};

// The tables of `mode`, or nullptr for a code that has none (emits nothing).
const SignalCells* signal_cells(int mode);

// Appends the samples of `wave` to the output in table order.
void emit_waveform(const Waveform& wave);
