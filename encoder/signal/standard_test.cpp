#include "signal/standard.h"

#include <gtest/gtest.h>

#include "capture.h"
#include "common/errors.h"
#include "common/settings.h"
#include "signal/cells.h"
#include "signal/wav.h"

#include <filesystem>

namespace {

std::vector<std::uint8_t> cells8(const std::string& bits)
{
    std::vector<std::uint8_t> samples;
    const SignalCells* cells = signal_cells(8);
    for (char bit : bits) {
        const Waveform& wave = bit == '1' ? cells->bit1 : cells->bit0;
        samples.insert(samples.end(), wave.u8, wave.u8 + wave.length);
    }
    return samples;
}

}  // namespace

TEST(StandardByte, StartBitDataBitsLeastSignificantFirstTwoStopBits)
{
    EXPECT_EQ(capture(false, 1200, [] { emit_std_byte(0x01, 8); }), cells8("01000000011"));
    EXPECT_EQ(capture(false, 1200, [] { emit_std_byte(0x00, 8); }), cells8("00000000011"));
    EXPECT_EQ(capture(false, 1200, [] { emit_std_byte(0xFF, 8); }), cells8("01111111111"));
    EXPECT_EQ(capture(false, 1200, [] { emit_std_byte(0xA6, 8); }), cells8("00110010111"));
}

TEST(StandardByte, EveryModeWritesElevenCellsOfItsWidth)
{
    struct Case { int mode; bool cd; std::size_t bytes_per_cell; };
    for (Case c : {Case{8, false, 8}, Case{6, false, 6}, Case{120, true, 40}, Case{220, true, 40},
                   Case{114, true, 28}, Case{214, true, 28}, Case{112, true, 24}, Case{212, true, 24},
                   Case{108, true, 16}}) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(capture(c.cd, 2205, [&] { emit_std_byte(0x5A, c.mode); }).size(), 11 * c.bytes_per_cell);
    }
    EXPECT_TRUE(capture(true, 2205, [] { emit_std_byte(0x5A, 100); }).empty());
}

TEST(Cells, SixteenBitSamplesAreLittleEndianInTableOrder)
{
    auto bytes = capture(true, 2205, [] { emit_bit1(212); });
    ASSERT_EQ(bytes.size(), 24u);
    // -21846 is 0xAAAA, -32768 is 0x8000, 21845 is 0x5555.
    EXPECT_EQ(bytes[0], 0xAA);
    EXPECT_EQ(bytes[1], 0xAA);
    EXPECT_EQ(bytes[2], 0x00);
    EXPECT_EQ(bytes[3], 0x80);
    EXPECT_EQ(bytes[6], 0x55);
    EXPECT_EQ(bytes[7], 0x55);
    auto zero = capture(true, 2205, [] { emit_bit0(120); });
    EXPECT_EQ(zero[18], 0x00);
    EXPECT_EQ(zero[19], 0x00);
    EXPECT_EQ(zero[20], 0xFF);
    EXPECT_EQ(zero[21], 0x7F);
}

TEST(Pause, SecondsInSinglePrecisionRoundedUp)
{
    settings = EncoderSettings{};
    settings.cd_mode = true;
    EXPECT_EQ(pause_samples(pause_setting), 44100u);
    EXPECT_EQ(pause_samples(short_gap), 441u);
    EXPECT_EQ(pause_samples(300), 13231u);  // 0.3f is a little above 0.3
    EXPECT_EQ(pause_samples(100), 4411u);
    EXPECT_EQ(pause_samples(0), 0u);
    EXPECT_EQ(pause_samples(-300), 0u);
    settings.pause_ms = -300;
    EXPECT_EQ(pause_samples(pause_setting), 0u);

    settings = EncoderSettings{};
    settings.baud_rate = 1200;  // ten samples per baud per second
    EXPECT_EQ(pause_samples(pause_setting), 12000u);
    EXPECT_EQ(pause_samples(short_gap), 120u);
    settings.baud_rate = 1;
    EXPECT_EQ(pause_samples(short_gap), 1u);
}

TEST(Pause, SilenceLevelFollowsTheOutputWidth)
{
    auto narrow = capture(false, 1200, [] { emit_pause(short_gap); });
    EXPECT_EQ(narrow, std::vector<std::uint8_t>(120, 127));
    auto wide = capture(true, 2205, [] { emit_pause(short_gap); });
    EXPECT_EQ(wide, std::vector<std::uint8_t>(882, 0));
}

TEST(WavOutput, AFileBeyondWhatTheHeaderCanSayIsAWriteError)
{
    test_support::ScratchDir dir;
    settings = EncoderSettings{};
    settings.cd_mode = true;
    settings.output_path = dir.file("huge.wav");
    EXPECT_EXIT(
        {
            on_fatal_error(wav_abandon);  // as the run driver does
            wav_create(settings.output_path);
            wav_seek(0xFFFFFFF0u);  // sparse: nothing is stored before it
            emit_silence(16);
            wav_close();
            std::exit(0);
        },
        testing::ExitedWithCode(12), "");  // the message goes to standard output
    EXPECT_FALSE(std::filesystem::exists(settings.output_path));
}
