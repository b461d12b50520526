#include "signal/standard.h"

#include <cmath>

#include "driver/settings.h"
#include "signal/cells.h"
#include "signal/wav.h"

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

void emit_std_byte(std::uint8_t value, int mode)
{
    emit_bit0(mode);
    for (int bit = 0; bit < 8; ++bit) {
        if (value & (1 << bit))
            emit_bit1(mode);
        else
            emit_bit0(mode);
    }
    emit_bit1(mode);
    emit_bit1(mode);
}

void emit_silence(std::uint32_t count)
{
    if (settings.cd_mode) {
        for (std::uint32_t i = 0; i < count; ++i)
            wav_put_s16(0);
    } else {
        for (std::uint32_t i = 0; i < count; ++i)
            wav_put_u8(127);
    }
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
