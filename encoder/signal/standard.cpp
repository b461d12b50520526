#include "signal/standard.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/cas_image.h"
#include "common/settings.h"
#include "signal/cells.h"
#include "signal/wav.h"

namespace {

bool cas_image_output = false;
std::uint32_t cas_blocks = 0;

}  // namespace

void emit_bit0(int mode)
{
    if (const SignalCells* cells = signal_cells(mode))
        emit_waveform(cells->bit0);
}

void emit_bit1(int mode)
{
    if (const SignalCells* cells = signal_cells(mode))
        emit_waveform(cells->bit1);
}

namespace {

// The samples of all 256 standard bytes of one mode, built on first use:
// a byte is then one copy into the output buffer.
struct StdByteTable {
    int mode = -1;
    std::size_t byte_length = 0;
    std::vector<std::uint8_t> samples;  // 256 x byte_length
};

const StdByteTable& std_byte_table(int mode, const SignalCells& cells)
{
    static StdByteTable tables[4];
    static int next = 0;
    for (const StdByteTable& table : tables)
        if (table.mode == mode)
            return table;
    StdByteTable& table = tables[next];
    next = (next + 1) % 4;
    table.mode = mode;
    table.byte_length = cells.bit0.bytes() * 11;
    table.samples.assign(256 * table.byte_length, 0);
    for (int value = 0; value < 256; ++value) {
        std::uint8_t* out = &table.samples[std::size_t(value) * table.byte_length];
        auto put = [&](const Waveform& wave) {
            write_waveform(out, wave);
            out += wave.bytes();
        };
        put(cells.bit0);
        for (int bit = 0; bit < 8; ++bit)
            put(value & (1 << bit) ? cells.bit1 : cells.bit0);
        put(cells.bit1);
        put(cells.bit1);
    }
    return table;
}

}  // namespace

void emit_std_byte(std::uint8_t value, int mode)
{
    if (cas_image_output) {
        wav_put_u8(value);
        return;
    }
    const SignalCells* cells = signal_cells(mode);
    if (!cells)
        return;
    const StdByteTable& table = std_byte_table(mode, *cells);
    std::memcpy(wav_reserve(table.byte_length), &table.samples[value * table.byte_length], table.byte_length);
}

void emit_silence(std::uint32_t count)
{
    if (cas_image_output)
        return;
    // 127 in 8-bit output; 16-bit zero samples are two zero bytes.
    std::uint8_t level = settings.cd_mode ? 0 : 127;
    std::uint64_t bytes = settings.cd_mode ? 2ull * count : count;
    while (bytes > 0) {
        std::size_t chunk = std::size_t(std::min<std::uint64_t>(bytes, WavOutput::capacity));
        std::memset(wav_reserve(chunk), level, chunk);
        bytes -= chunk;
    }
}

void emit_sync_tone(int mode)
{
    if (cas_image_output) {
        for (std::uint64_t at = wav_tell(); at % 8 != 0; ++at)
            wav_put_u8(0);
        for (std::uint8_t byte : cas_block_mark)
            wav_put_u8(byte);
        ++cas_blocks;
        return;
    }
    for (int i = 0; i < sync_tone_cells; ++i)
        emit_bit1(mode);
}

void emit_block_gap()
{
    emit_silence(block_gap_samples);
}

void write_cas_image()
{
    cas_image_output = true;
}

bool writing_cas_image()
{
    return cas_image_output;
}

std::uint32_t cas_blocks_written()
{
    return cas_blocks;
}

std::uint32_t pause_samples(int ms)
{
    float seconds;
    if (ms == short_gap)
        seconds = 0.01f;
    else if (ms == pause_setting)
        seconds = float(double(settings.pause_ms) / 1000.0);
    else
        seconds = float(double(ms) / 1000.0);
    double rate = settings.cd_mode ? 44100.0 : double(settings.baud_rate) * 10.0;
    double product = double(seconds) * rate;
    if (!(product > 0))
        return 0;
    if (product >= 4294967295.0)  // beyond what a WAV file can hold anyway
        return 4294967295u;
    return std::uint32_t(std::ceil(product));
}

void emit_pause(int ms)
{
    emit_silence(pause_samples(ms));
}
