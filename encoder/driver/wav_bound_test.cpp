#include "driver/wav_bound.h"

#include <gtest/gtest.h>

#include "common/settings.h"
#include "test_support.h"

namespace {

std::vector<std::uint8_t> pattern(std::size_t size, unsigned seed) { return test_support::seeded_bytes(size, seed); }

}  // namespace

// The bound that decides whether a run may start is never below the WAV the
// run then writes, whatever the mode and the kinds of files.
TEST(WavSizeAtMost, IsNeverBelowTheWavWritten)
{
    test_support::ScratchDir dir;
    auto put = [&](const std::string& name, std::vector<std::uint8_t> bytes, std::uint8_t first) {
        bytes[0] = first;
        test_support::write_file(dir.file(name), bytes);
        return dir.file(name);
    };
    std::vector<std::uint8_t> rom = pattern(16384, 1);
    rom[1] = 'B';
    rom[3] = 0x40;
    const std::string rom_path = put("game.rom", rom, 'A');
    const std::string bas = put("prog.bas", pattern(3000, 2), 0xFF);
    const std::string com = put("tool.com", pattern(20000, 3), 0xC3);
    const std::string bin = put("data.bin", test_support::make_bin(0xC000, 0xC000, pattern(900, 4)), 0xFE);
    const std::string big = put("big.dat", pattern(100000, 5), 0);

    const std::vector<std::vector<std::string>> runs = {
        {"1200", bin, bin},
        {"-cd", "-sine", "-p", "300", bin, bas},
        {"3500", "-c", rom_path, bas, com, bin},
        {"-cd", "-xp", rom_path, bin},
        {"-cd", "-c", "-sine", "-p", "0", com},
        {"4500", "-xp", "-dos", big, com},
        {"-cd", "-c", "RAMDOS", big, bin},
        {"-cd", "-turbo", bin, "-n", bin},
        {"-cd", "-turbo", "-dos", big, com},
        {"-cd", "-turbo", bin, "-n", "RAMDOS", big, bin},
    };
    for (const auto& args : runs) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        test_support::RunResult result = test_support::run_tapecast(args, dir.path());
        ASSERT_EQ(result.status, 0) << result.output;
        std::uint64_t written = test_support::read_file(dir.file("out.wav")).size();

        settings = EncoderSettings{};
        CommandLine line = parse_command_line(args);
        std::uint64_t bound = wav_size_at_most(line);
        EXPECT_GE(bound, written);
        EXPECT_LE(bound, 2 * written);  // and not so loose that it refuses what would fit
    }
    settings = EncoderSettings{};
}
