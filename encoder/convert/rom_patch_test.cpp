#include "convert/rom_patch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

#include "common/input.h"
#include "test_support.h"

namespace {

// Captures what `run` prints on standard output.
template <typename Run>
std::string printed(Run run)
{
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    run();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::vector<std::uint8_t> rom_image(std::size_t size)
{
    std::vector<std::uint8_t> rom(size, 0);
    rom[0] = 'A';
    rom[1] = 'B';
    for (std::size_t i = 2; i < size; ++i)
        rom[i] = std::uint8_t(i * 7);
    return rom;
}

// Runs identify_rom on `rom` as the current input, in `dir` as the working directory.
std::string identify(std::vector<std::uint8_t>& rom, const std::filesystem::path& dir)
{
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    current_input.data = rom;
    current_input.size = std::uint32_t(rom.size());
    std::string text = printed([] { identify_rom(); });
    rom.assign(current_input.data.begin(), current_input.data.begin() + current_input.size);
    std::filesystem::current_path(previous);
    return text;
}

}  // namespace

TEST(RomChecksum, SumsLittleEndianWordsOfTheFirst8K)
{
    std::vector<std::uint8_t> rom(16384, 0);
    rom[0] = 0x01;
    rom[1] = 0x02;
    rom[8188] = 0xFF;
    rom[8191] = 0x80;
    rom[8192] = 0x55;  // beyond the first 8K: not counted
    EXPECT_EQ(rom_checksum(rom), 0x0201u + 0x800000FFu);
    // Words wrap modulo 2^32.
    std::vector<std::uint8_t> ones(8192, 0xFF);
    EXPECT_EQ(rom_checksum(ones), std::uint32_t(0xFFFFFFFFull * 2048));
    // A short image counts the missing bytes as zero.
    std::vector<std::uint8_t> short_rom = {0x10, 0x20, 0x30};
    EXPECT_EQ(rom_checksum(short_rom), 0x302010u);
}

TEST(ApplyPatchLine, PrintsEachByteWithTheValueItReplaced)
{
    std::vector<std::uint8_t> rom = rom_image(0x200);
    std::string text = printed([&] {
        apply_patch_line("d5b97504|Twin Bee (Konami)        |4028:22,00,00;40FB:21,00,00", rom);
    });
    EXPECT_EQ(text, "Detected ROM: Twin Bee (Konami)        \n"
                    "4028:22(18) 00(1f) 00(26) \n"
                    "40fb:21(dd) 00(e4) 00(eb) \n");
    EXPECT_EQ(rom[0x28], 0x22);
    EXPECT_EQ(rom[0x29], 0x00);
    EXPECT_EQ(rom[0xFB], 0x21);
}

TEST(ApplyPatchLine, MalformedTextAndAddressesOutsideTheImageAreSkipped)
{
    std::vector<std::uint8_t> rom = rom_image(0x100);
    const std::vector<std::uint8_t> original = rom;
    EXPECT_EQ(printed([&] { apply_patch_line("0000000", rom); }), "Skipped malformed patch line: 0000000\n");
    EXPECT_EQ(printed([&] { apply_patch_line("00000000|No bar after the title", rom); }),
              "Skipped malformed patch line: 00000000|No bar after the title\n");
    EXPECT_EQ(printed([&] { apply_patch_line("00000000|T|40x0:11", rom); }),
              "Detected ROM: T\nSkipped malformed patch: 40x0:11\n");
    EXPECT_EQ(printed([&] { apply_patch_line("00000000|T|4010:1", rom); }),
              "Detected ROM: T\nSkipped malformed patch: 4010:1\n");
    EXPECT_EQ(printed([&] { apply_patch_line("00000000|T|4010", rom); }),
              "Detected ROM: T\nSkipped malformed patch: 4010\n");
    EXPECT_EQ(rom, original);

    // A group reaching past the image, or below 0x4000, is skipped; the others apply.
    std::string text = printed([&] { apply_patch_line("00000000|T|40FF:01,02;3FFF:03;4001:04", rom); });
    EXPECT_EQ(text, "Detected ROM: T\n"
                    "Skipped patch outside the ROM image: 40FF:01,02;\n"
                    "Skipped patch outside the ROM image: 3FFF:03;\n"
                    "4001:04(42) \n");
    EXPECT_EQ(rom[0xFF], original[0xFF]);
    EXPECT_EQ(rom[1], 0x04);
}

TEST(IdentifyRom, FileLinesFirstThenTheBuiltInTable)
{
    test_support::ScratchDir dir;
    std::vector<std::uint8_t> rom = rom_image(0x4000);
    char key[9];
    std::snprintf(key, sizeof key, "%08x", rom_checksum(rom));
    std::string upper = key;
    for (char& c : upper)
        c = char(std::toupper(c));

    EXPECT_EQ(identify(rom, dir.path()),
              std::string("\nLooking for checksum ") + key + " in internal database... not found.\n");

    std::string patches = upper + "|Upper never matches|4010:01\n"
                          + key + "|Mine|4010:02\r\n"
                          "12345678|Other|4011:03\n"
                          "00000000|Everyone|4010:04,05\n";
    test_support::write_file(dir.file("tapecast.ptc"), std::vector<std::uint8_t>(patches.begin(), patches.end()));
    std::string text = identify(rom, dir.path());
    EXPECT_EQ(text, std::string("\nLooking for checksum ") + key + " in tapecast.ptc... found !\n"
                        "Detected ROM: Mine\n4010:02(70) \n"
                        "found !\nDetected ROM: Everyone\n4010:04(02) 05(77) \n"
                        "Looking for checksum " + key + " in internal database... not found.\n");
    EXPECT_EQ(rom[0x10], 0x04);
    EXPECT_EQ(rom[0x11], 0x05);
}

// Lines are read whole: a long entry is applied entirely, and text after
// column 99 never counts as a line of its own.
TEST(IdentifyRom, LongLinesAreReadWhole)
{
    test_support::ScratchDir dir;
    std::vector<std::uint8_t> rom = rom_image(0x4000);
    char key[9];
    std::snprintf(key, sizeof key, "%08x", rom_checksum(rom));
    std::string entry = std::string(key) + "|" + std::string(92, 'T') + "|4020:aa;4100:11,22,33,44\n";
    std::string piece = "12345678|" + std::string(90, 'x') + "00000000|Piece|4010:c9\n";
    std::string lines = entry + piece;
    test_support::write_file(dir.file("tapecast.ptc"), std::vector<std::uint8_t>(lines.begin(), lines.end()));
    std::string text = identify(rom, dir.path());
    EXPECT_NE(text.find("4020:aa(e0) \n4100:11(00) 22(07) 33(0e) 44(15) \n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Piece"), std::string::npos) << text;
    EXPECT_EQ(rom[0x103], 0x44);
    EXPECT_NE(rom[0x10], 0xC9);
}

// A FIFO (or anything else that is not a regular file) named like the patch
// file is passed over at once instead of waiting for a writer.
TEST(IdentifyRom, APatchFileThatIsNoRegularFileIsPassedOver)
{
    test_support::ScratchDir dir;
    ASSERT_EQ(::mkfifo(dir.file("tapecast.ptc").c_str(), 0600), 0);
    std::vector<std::uint8_t> rom = rom_image(0x4000);
    std::string text = identify(rom, dir.path());
    EXPECT_EQ(text.find("tapecast.ptc"), std::string::npos) << text;
}
