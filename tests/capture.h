#pragma once
// Runs emitting code of the encoder into a fresh output file and returns the
// bytes it wrote.

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

#include "common/settings.h"
#include "signal/wav.h"
#include "test_support.h"

template <typename Emit>
std::vector<std::uint8_t> capture(bool cd_mode, int baud_rate, Emit emit)
{
    test_support::ScratchDir dir;
    settings = EncoderSettings{};
    settings.cd_mode = cd_mode;
    settings.baud_rate = baud_rate;
    settings.output_path = dir.file("out.wav");
    EXPECT_TRUE(wav_create(settings.output_path));
    emit();
    wav_close();
    return test_support::read_file(settings.output_path);
}
