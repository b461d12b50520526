#include "signal/cells.h"

#include <cstring>

#include "signal/wav.h"

namespace {

constexpr std::int16_t H = 32767;  // high level of the square 16-bit cells

// Code 8: 8-bit, 8 samples per cell.
constexpr std::uint8_t m8_bit0[] = {127, 127, 127, 127, 255, 255, 255, 255};
constexpr std::uint8_t m8_bit1[] = {127, 127, 255, 255, 127, 127, 255, 255};
constexpr std::uint8_t m8_start[] = {127, 127, 127, 127, 255, 255};
constexpr std::uint8_t m8_end[] = {127, 255, 127, 255, 127, 255, 127, 255};

// Code 6: 8-bit, 6 samples per cell; its 1 cell is deliberately asymmetric.
constexpr std::uint8_t m6_bit0[] = {127, 127, 127, 255, 255, 255};
constexpr std::uint8_t m6_bit1[] = {127, 127, 255, 127, 255, 255};
constexpr std::uint8_t m6_start[] = {127, 127, 127, 127, 255, 255};
constexpr std::uint8_t m6_end[] = {127, 255, 127, 255, 127, 255};

// Code 120: 20 samples per cell, square.
constexpr std::int16_t m120_bit0[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, H, H, H, H, H, H, H, H, H, H};
constexpr std::int16_t m120_bit1[] = {0, 0, 0, 0, 0, H, H, H, H, H, 0, 0, 0, 0, 0, H, H, H, H, H};

// Code 220: 20 samples per cell, sine.
constexpr std::int16_t m220_bit0[] = {
    0, -11206, -21062, -28377, -32269, -32269, -28377, -21062, -11206, 0,
    0, 11206, 21062, 28377, 32269, 32269, 28377, 21062, 11206, 0};
constexpr std::int16_t m220_bit1[] = {
    0, -21062, -32269, -28377, -11206, 11206, 21062, 28377, 32269, 21062,
    0, -21062, -32269, -28377, -11206, 11206, 21062, 28377, 32269, 21062};

// Code 114: 14 samples per cell, square.
constexpr std::int16_t m114_bit0[] = {0, 0, 0, 0, 0, 0, 0, H, H, H, H, H, H, H};
constexpr std::int16_t m114_bit1[] = {0, 0, 0, 0, H, H, H, 0, 0, 0, 0, H, H, H};

// Code 118: 18 samples per cell, square; the 1 cell's halves are 5 and 4
// samples, each of its cycles 9.
constexpr std::int16_t m118_bit0[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, H, H, H, H, H, H, H, H, H};
constexpr std::int16_t m118_bit1[] = {0, 0, 0, 0, 0, H, H, H, H, 0, 0, 0, 0, 0, H, H, H, H};

// Code 214: 14 samples per cell, sine.
constexpr std::int16_t m214_bit0[] = {
    0, -11206, -21062, -32269, -28377, -21062, -11206, 0, 11206, 21062, 32269, 28377, 21062, 11206};
constexpr std::int16_t m214_bit1[] = {
    0, -21062, -32269, -11206, 11206, 32269, 21062, 0, -21062, -32269, -11206, 11206, 32269, 21062};

// Code 112: 12 samples per cell, square.
constexpr std::int16_t m112_bit0[] = {0, 0, 0, 0, 0, 0, H, H, H, H, H, H};
constexpr std::int16_t m112_bit1[] = {0, 0, 0, H, H, H, 0, 0, 0, H, H, H};
constexpr std::int16_t m112_start[] = {0, 0, 0, 0, H, H};
constexpr std::int16_t m112_end[] = {0, 0, H, H, 0, 0, H, H, 0, 0, H, H};

// Code 212: 12 samples per cell, sine.
constexpr std::int16_t m212_bit0[] = {
    -10923, -21846, -32768, -32768, -21846, -10923, 10922, 21845, 32767, 32767, 21845, 10922};
constexpr std::int16_t m212_bit1[] = {
    -21846, -32768, -21846, 21845, 32767, 21845, -21846, -32768, -21846, 21845, 32767, 21845};
constexpr std::int16_t m212_start[] = {-21846, -32768, -32768, -21846, 32767, 32767};
constexpr std::int16_t m212_end[] = {
    -21846, -32768, 21845, 32767, -21846, -32768, 21845, 32767, -21846, -32768, 21845, 32767};

// Code 108: 8 samples per cell, square only.
constexpr std::int16_t m108_bit0[] = {0, 0, 0, 0, H, H, H, H};
constexpr std::int16_t m108_bit1[] = {0, 0, H, H, 0, 0, H, H};
constexpr std::int16_t m108_start[] = {0, 0, 0, 0, H, H};
constexpr std::int16_t m108_end[] = {0, H, 0, H, 0, H, 0, H};

template <std::size_t N>
constexpr Waveform narrow(const std::uint8_t (&samples)[N]) { return {samples, nullptr, N}; }
template <std::size_t N>
constexpr Waveform wide(const std::int16_t (&samples)[N]) { return {nullptr, samples, N}; }

constexpr SignalCells mode8 = {narrow(m8_bit0), narrow(m8_bit1), narrow(m8_start), narrow(m8_end)};
constexpr SignalCells mode6 = {narrow(m6_bit0), narrow(m6_bit1), narrow(m6_start), narrow(m6_end)};
constexpr SignalCells mode120 = {wide(m120_bit0), wide(m120_bit1), {}, {}};
constexpr SignalCells mode220 = {wide(m220_bit0), wide(m220_bit1), {}, {}};
constexpr SignalCells mode114 = {wide(m114_bit0), wide(m114_bit1), {}, {}};
constexpr SignalCells mode118 = {wide(m118_bit0), wide(m118_bit1), {}, {}};
constexpr SignalCells mode214 = {wide(m214_bit0), wide(m214_bit1), {}, {}};
constexpr SignalCells mode112 = {wide(m112_bit0), wide(m112_bit1), wide(m112_start), wide(m112_end)};
constexpr SignalCells mode212 = {wide(m212_bit0), wide(m212_bit1), wide(m212_start), wide(m212_end)};
constexpr SignalCells mode108 = {wide(m108_bit0), wide(m108_bit1), wide(m108_start), wide(m108_end)};

}  // namespace

const SignalCells* signal_cells(int mode)
{
    switch (mode) {
    case 8: return &mode8;
    case 6: return &mode6;
    case 120: return &mode120;
    case 220: return &mode220;
    case 114: return &mode114;
    case 118: return &mode118;
    case 214: return &mode214;
    case 112: return &mode112;
    case 212: return &mode212;
    case 108: return &mode108;
    default: return nullptr;
    }
}

void write_waveform(std::uint8_t* out, const Waveform& wave)
{
    if (wave.u8) {
        std::memcpy(out, wave.u8, wave.length);
    } else {
        for (std::size_t i = 0; i < wave.length; ++i) {
            out[2 * i] = std::uint8_t(std::uint16_t(wave.s16[i]) & 0xFF);
            out[2 * i + 1] = std::uint8_t(std::uint16_t(wave.s16[i]) >> 8);
        }
    }
}

void emit_waveform(const Waveform& wave)
{
    write_waveform(wav_reserve(wave.bytes()), wave);
}
