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

inline constexpr int sync_tone_cells = 4001;
inline constexpr std::uint32_t block_gap_samples = 4000;

// The pieces around the blocks of a standard tape file: the sync tone in
// front of each block (4001 1 cells) and the gap between a file's header
// block and its data block (4000 silence samples).
void emit_sync_tone(int mode);
void emit_block_gap();

// Writes the tape as a CAS image instead of a WAV from now on: a sync tone
// becomes the next block's 8-byte mark, at an 8-byte boundary (zeros fill up
// to it), a standard byte is that byte, and silences leave nothing.  The
// cells of the fast formats have no CAS form.
void write_cas_image();
bool writing_cas_image();
// The blocks written to the CAS image so far.
std::uint32_t cas_blocks_written();

// Special arguments of emit_pause.
inline constexpr int pause_setting = -1;  // the "-p" setting
inline constexpr int short_gap = -2;      // 10 ms

// Number of samples of a timed pause: the seconds are held in single
// precision, then multiplied by 44100 (CD output) or by 10 x baud rate
// (baud-rate output) and rounded up.
std::uint32_t pause_samples(int ms);

// Appends a timed pause; zero and negative lengths append nothing.
void emit_pause(int ms);
