#pragma once
// The MSX standard tape format: bit cells, bytes framed by a start bit and
// two stop bits, and the silences written between the pieces of a tape.

#include <cstdint>

void emit_bit0(int mode);
void emit_bit1(int mode);

// A standard byte: a 0 cell, bits 0 to 7 (least significant first), two 1
// cells.  Always 11 cells long, so a written byte can be replaced in place.
void emit_std_byte(std::uint8_t value, int mode);

// `count` silence samples: 127 in 8-bit output, 0 in CD output.
void emit_silence(std::uint32_t count);

// Special arguments of emit_pause.
inline constexpr int pause_setting = -1;  // the "-p" setting
inline constexpr int short_gap = -2;      // 10 ms

// Number of samples of a timed pause: the seconds are held in single
// precision, then multiplied by 44100 (CD output) or by 10 x baud rate
// (baud-rate output) and rounded up.
std::uint32_t pause_samples(int ms);

// Appends a timed pause; zero and negative lengths append nothing.
void emit_pause(int ms);
