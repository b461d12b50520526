// tapecast's fast formats end to end: each WAV is read back with the fast
// tape reader and what it carries is compared with what the MSX needs.

#include <gtest/gtest.h>

#include <filesystem>

#include "assets/images.h"
#include "codec/rnc_unpack.h"
#include "fast_tape_reader.h"
#include "test_support.h"

namespace {

using namespace test_support;
using fast_tape::Block;
using fast_tape::FileBlock;

struct Tape {
    std::vector<Block> blocks;
    std::vector<FileBlock> files;
};

// Bytes that pack: mostly five values, now and then any.
std::vector<std::uint8_t> pattern(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> bytes = seeded_bytes(size, seed, 5);
    const std::vector<std::uint8_t> any = seeded_bytes(size, seed + 1000);
    for (std::size_t i = 0; i < size; i += 7)
        bytes[i] = any[i];
    return bytes;
}

std::vector<std::uint8_t> rom_image(std::size_t size, std::uint16_t init)
{
    std::vector<std::uint8_t> rom = pattern(size, 5);
    rom[0] = 'A';
    rom[1] = 'B';
    rom[2] = std::uint8_t(init);
    rom[3] = std::uint8_t(init >> 8);
    return rom;
}

// Samples of the loader written in the standard format in front of the files,
// with its 10 ms gap: cells of 20 samples in CD compressed mode, 14 in CD
// experimental mode.
std::size_t loader_samples(std::size_t cell = 20)
{
    return 2 * 4001 * cell + (16 + loader_image().size() - 1) * 11 * cell + 4000 + 441;
}

class FastRun : public ::testing::Test {
protected:
    ScratchDir dir;
    RunResult result;

    void put(const std::string& name, const std::vector<std::uint8_t>& bytes) { write_file(dir.file(name), bytes); }
    std::vector<std::uint8_t> get(const std::string& name) { return read_file(dir.file(name)); }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.path() / name); }

    // Runs tapecast and reads the tape back; `dos_from` is the index of the
    // first block written in DOS mode.
    Tape run(const std::vector<std::string>& args, int mode, bool cd, std::size_t start = 0, std::size_t dos_from = 99)
    {
        result = run_tapecast(args, dir.path());
        EXPECT_EQ(result.status, 0) << result.output;
        Tape tape;
        fast_tape::Reader reader(fast_tape::wav_samples(get("out.wav")), mode, cd, start);
        Block block;
        while (reader.next_block(block)) {
            tape.blocks.push_back(block);
            if (block.closing_tone)
                continue;
            FileBlock file;
            std::string error;
            EXPECT_TRUE(fast_tape::decode_file(block, tape.files.size() >= dos_from, file, error)) << error;
            tape.files.push_back(file);
        }
        EXPECT_TRUE(reader.error.empty()) << reader.error;
        return tape;
    }
};

std::vector<std::uint8_t> tail(const std::vector<std::uint8_t>& bytes, std::size_t from)
{
    return {bytes.begin() + long(from), bytes.end()};
}

// The packed data inside a BIN image decodes back to `original`.
void expect_restores(const std::vector<std::uint8_t>& image, const std::vector<std::uint8_t>& original)
{
    std::uint16_t start = std::uint16_t(image[1] | image[2] << 8);
    std::size_t packed = 0xE000u - start;
    ASSERT_LE(7 + packed, image.size());
    std::vector<std::uint8_t> data(image.begin() + 7, image.begin() + 7 + long(packed));
    if (data.size() == original.size() && data == original)
        return;  // stored: the depacker copies it
    UnpackResult unpacked = rnc_unpack(data);
    ASSERT_TRUE(unpacked.ok()) << unpacked.error;
    EXPECT_EQ(unpacked.data, original);
}

}  // namespace

TEST_F(FastRun, BinFilesCarryTheirHeaderAndPayloadWithTheRunFlag)
{
    std::vector<std::uint8_t> data = pattern(3000, 1);
    put("game.bin", make_bin(0xC000, 0xC123, data));
    put("more.bin", make_bin(0x9000, 0x9010, {1, 2, 3}));
    Tape tape = run({"4000", "-c", "game.bin", "more.bin", "-n"}, 8, false);
    EXPECT_NE(result.output.find("Converting:  \"game.bin\"\t(BIN,r)... (compression rate: "), std::string::npos);
    EXPECT_NE(result.output.find("Converting:  \"more.bin\"\t(BIN,n)... (compression rate: "), std::string::npos);

    ASSERT_EQ(tape.files.size(), 2u);
    ASSERT_EQ(tape.blocks.size(), 3u);
    EXPECT_EQ(tape.files[0].name, "game.bin    ");
    EXPECT_EQ(tape.files[0].description, std::vector<std::uint8_t>({0xFE, 0x00, 0xC0, 0xB7, 0xCB, 0x23, 0xC1}));
    EXPECT_EQ(tape.files[0].payload, data);
    EXPECT_EQ(tape.files[1].description, std::vector<std::uint8_t>({0xFE, 0x00, 0x90, 0x02, 0x90, 0x00, 0x00}));
    EXPECT_EQ(tape.files[1].payload, std::vector<std::uint8_t>({1, 2, 3}));

    // Lead-in, trailer and closing tone; the pause after a 3007-byte file is 1000 ms
    // (3007 / 22 = 136 is shorter), 40000 samples at 4000 baud.
    EXPECT_EQ(tape.blocks[0].lead_in_cells, 2401);
    EXPECT_EQ(tape.blocks[0].trailer_cells, 10);
    EXPECT_EQ(tape.blocks[1].silence_before, 40000u);
    EXPECT_TRUE(tape.blocks[2].closing_tone);
    EXPECT_EQ(tape.blocks[2].lead_in_cells, 501);
    EXPECT_EQ(tape.blocks[2].silence_before, 400u);
}

TEST_F(FastRun, RankTableFollowsThePayloadCounts)
{
    put("a.bin", make_bin(0xC000, 0xC000, {0, 0, 0, 1}));
    Tape tape = run({"4000", "-c", "a.bin"}, 8, false);
    ASSERT_EQ(tape.files.size(), 1u);
    for (int rank = 0; rank < 256; ++rank)
        EXPECT_EQ(tape.files[0].ranked[rank], rank);
    // Four one-cell units: 0, 0, 0, 1.
    const auto& units = tape.blocks[0].units;
    for (std::size_t i = units.size() - 4; i < units.size(); ++i)
        EXPECT_EQ(units[i].size(), 1u);
    EXPECT_TRUE(units.back()[0]);
    // (2489 + 4 x 2) / (11 x 11 bytes): the framing dominates a tiny file.
    EXPECT_NE(result.output.find("... (compression rate: 2064%) done.\n"), std::string::npos) << result.output;
}

TEST_F(FastRun, BasicProgramsArePackedAbove2048Bytes)
{
    std::vector<std::uint8_t> small = pattern(2048, 2), large = pattern(2049, 3);
    small[0] = large[0] = 0xFF;
    put("small.bas", small);
    put("large.bas", large);
    Tape tape = run({"4000", "-c", "-p", "0", "small.bas", "large.bas"}, 8, false);
    ASSERT_EQ(tape.files.size(), 2u);
    EXPECT_EQ(tape.files[0].description, std::vector<std::uint8_t>({0xFF}));
    EXPECT_EQ(tape.files[0].payload, tail(small, 1));

    std::vector<std::uint8_t> image = get("large.bas.bin");
    EXPECT_NE(result.output.find("(BAS)\nConverted BAS [2049 bytes] -> BIN [" + std::to_string(image.size())
                                 + " bytes]\nCreated packed .bin version: large.bas.bin\nfrom address: "),
              std::string::npos)
        << result.output;
    EXPECT_EQ(tape.files[1].description, std::vector<std::uint8_t>(image.begin(), image.begin() + 7));
    EXPECT_EQ(tape.files[1].payload, tail(image, 7));
    std::vector<std::uint8_t> restored = large;
    restored[0] = 0x00;
    expect_restores(image, restored);
}

TEST_F(FastRun, RomsArePatchedPackedAndSavedWhenTheyLoadHigh)
{
    std::vector<std::uint8_t> rom = rom_image(16384, 0x4010);
    rom[4] = 0xCD, rom[5] = 0x24, rom[6] = 0x00;  // at offset 4: fixed
    rom[2] = 0x10;
    rom[0x200] = 0xCD, rom[0x201] = 0x24, rom[0x202] = 0x00;
    rom[16381] = 0xCD, rom[16382] = 0x24, rom[16383] = 0x00;  // ends on the last byte: left alone
    put("game.rom", rom);
    Tape tape = run({"-cd", "-c", "game.rom"}, 112, true, loader_samples());
    ASSERT_EQ(tape.files.size(), 1u);
    EXPECT_NE(result.output.find("Loader named \"game\"\t(BIN)... done.\nConverting:  \"game.rom\"\t(ROM)\n"
                                 "Looking for checksum "),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("\nPatched 2 occurences of CALL 0024.\n\nConverted ROM [16384 bytes] -> BIN ["),
              std::string::npos);
    ASSERT_TRUE(exists("game.rom.bin"));
    std::vector<std::uint8_t> image = get("game.rom.bin");
    EXPECT_EQ(tape.files[0].description[0], 0x41);
    EXPECT_EQ(std::vector<std::uint8_t>(tape.files[0].description.begin() + 1, tape.files[0].description.end()),
              std::vector<std::uint8_t>(image.begin() + 1, image.begin() + 7));
    EXPECT_EQ(tape.files[0].payload, tail(image, 7));

    std::vector<std::uint8_t> fixed = rom;
    fixed[4] = fixed[5] = 0;
    fixed[0x200] = fixed[0x201] = 0;
    expect_restores(image, fixed);

    // -nofix: no search, no fix.
    Tape plain = run({"-cd", "-c", "-nofix", "game.rom"}, 112, true, loader_samples());
    EXPECT_EQ(result.output.find("Looking for"), std::string::npos);
    EXPECT_EQ(result.output.find("Patched"), std::string::npos);
    expect_restores(get("game.rom.bin"), rom);
}

TEST_F(FastRun, ComProgramsNeedTheirNameAndAnABWithoutBIsACom)
{
    std::vector<std::uint8_t> com = pattern(5000, 4);
    com[0] = 0xC3;
    put("tool.com", com);
    std::vector<std::uint8_t> almost_rom = pattern(3000, 6);
    almost_rom[0] = 'A';
    almost_rom[1] = 'C';
    put("odd.COM", almost_rom);
    Tape tape = run({"4800", "-xp", "tool.com", "odd.COM"}, 6, false);
    ASSERT_EQ(tape.files.size(), 2u);
    EXPECT_NE(result.output.find("Converting:  \"tool.com\"\t(COM)\nConverted COM [5000 bytes] -> BIN ["),
              std::string::npos);
    EXPECT_NE(result.output.find("Converting:  \"odd.COM\"\t(COM)\nConverted COM [3000 bytes]"), std::string::npos);
    EXPECT_EQ(tape.files[0].payload, tail(get("tool.com.bin"), 7));
    expect_restores(get("tool.com.bin"), com);
    expect_restores(get("odd.COM.bin"), almost_rom);
    // Mode 6 leads in with 8-sample cells and trails with its own.
    EXPECT_EQ(tape.blocks[0].lead_in_cells, 2401);
    EXPECT_EQ(tape.blocks[0].trailer_cells, 10);

    put("tool.exe", com);
    const std::vector<std::uint8_t> earlier = get("out.wav");
    RunResult refused = run_tapecast({"4800", "-xp", "tool.exe"}, dir.path());
    EXPECT_EQ(refused.status, 14);
    EXPECT_TRUE(refused.output.ends_with("Converting:  \"tool.exe\"\t\nERROR: STOPPED: Unsupported type of file in "
                                         "this encoding mode\n"));
    EXPECT_TRUE(get("out.wav") == earlier);  // the WAV of the run before is left as it was
}

TEST_F(FastRun, PauseBetweenEntriesGrowsWithTheFileSize)
{
    put("big.bin", make_bin(0xC000, 0xC000, pattern(2193, 7)));    // 2200 bytes: 100 ms
    put("small.bin", make_bin(0xC000, 0xC000, pattern(993, 8)));   // 1000 bytes: 45 ms < 50 ms
    Tape tape = run({"-cd", "-c", "-noldr", "-p", "50", "big.bin", "small.bin", "big.bin"}, 112, true);
    ASSERT_EQ(tape.blocks.size(), 4u);
    // Seconds held in single precision round the sample counts up by one.
    EXPECT_EQ(tape.blocks[1].silence_before, 4411u);
    EXPECT_EQ(tape.blocks[2].silence_before, 2206u);
    EXPECT_EQ(tape.blocks[3].silence_before, 441u);
    EXPECT_TRUE(tape.blocks[3].closing_tone);
}

TEST_F(FastRun, DosModeSendsSelfExtractingImagesWithFlagsAndDosNames)
{
    std::vector<std::uint8_t> com = pattern(6000, 9);
    put("prog.com", com);
    put("data.bin", make_bin(0xC000, 0xC000, pattern(500, 10)));
    Tape tape = run({"4000", "-c", "-dos", "prog.com", "data.bin"}, 8, false, 0, 0);
    ASSERT_EQ(tape.files.size(), 2u);
    EXPECT_EQ(tape.files[0].name, "prog    com");
    EXPECT_EQ(tape.files[0].flags, 1);
    EXPECT_EQ(tape.files[1].flags, 0);
    EXPECT_TRUE(tape.files[0].description.empty());
    EXPECT_NE(result.output.find("Converting:  \"prog    com\"\t(DOS)\nConverted COM [6000 bytes] -> self-extracting "
                                 "COM ["),
              std::string::npos)
        << result.output;
    std::vector<std::uint8_t> sfx = get("prog.com.com");
    EXPECT_EQ(tape.files[0].payload, sfx);
    EXPECT_EQ(sfx[0], 0x21);
    // A file not named .com never leaves a copy.
    EXPECT_NE(result.output.find("Converting:  \"data    bin\"\t(DOS)... "), std::string::npos);
    EXPECT_FALSE(exists("data.bin.com"));

    // Incompressible data: the image is larger than the file, nothing is saved.
    const std::vector<std::uint8_t> noise = seeded_bytes(4000, 77);
    put("noise.com", noise);
    Tape noisy = run({"4000", "-c", "-dos", "noise.com"}, 8, false, 0, 0);
    EXPECT_NE(result.output.find("(DOS)\nSFX COM is not created - packed file (" + std::to_string(noisy.files[0].payload.size())
                                 + ") is bigger than original (4000)\n"),
              std::string::npos)
        << result.output;
    EXPECT_FALSE(exists("noise.com.com"));
}

TEST_F(FastRun, LargeDosFilesGoInPartsWithTheirFlags)
{
    put("huge.dat", pattern(100000, 11));
    Tape tape = run({"4000", "-c", "-dos", "-p", "0", "huge.dat"}, 8, false, 0, 0);
    ASSERT_EQ(tape.files.size(), 3u);
    EXPECT_EQ(tape.files[0].flags, 5);
    EXPECT_EQ(tape.files[1].flags, 7);
    EXPECT_EQ(tape.files[2].flags, 2);
    EXPECT_NE(result.output.find("Converting:  \"huge    dat\"\t(DOS)"), std::string::npos);
    EXPECT_NE(result.output.find("part No.2 of:\"huge    dat\"\t(DOS)"), std::string::npos);
    EXPECT_NE(result.output.find("part No.3 of:\"huge    dat\"\t(DOS)"), std::string::npos);
    // Pauses by part size, in DOS mode time for the checks too: 46080 / 8 =
    // 5760 ms, then 7840 / 8 = 980 ms (40 samples a millisecond).
    EXPECT_EQ(tape.blocks[1].silence_before, 83761u + (5760u - 2094u) * 40u);
    EXPECT_EQ(tape.blocks[2].silence_before, 83761u + (5760u - 2094u) * 40u);
    EXPECT_EQ(tape.blocks[3].silence_before, 14241u + 400u + (980u - 356u) * 40u);
}

TEST_F(FastRun, RamdosSwitchesDosModeOnForTheEntriesAfterIt)
{
    std::vector<std::uint8_t> com = pattern(3000, 12);
    put("a.com", com);
    put("b.com", com);
    Tape tape = run({"-cd", "-c", "-noldr", "RAMDOS", "a.com", "b.com"}, 112, true, 0, 1);
    ASSERT_EQ(tape.files.size(), 3u);
    EXPECT_EQ(tape.files[0].name, "RAMDOS      ");
    EXPECT_EQ(tape.files[0].description[0], 0xFE);
    std::span<const std::uint8_t> ramdos = ramdos_image();
    EXPECT_EQ(tape.files[0].payload, std::vector<std::uint8_t>(ramdos.begin() + 7, ramdos.end()));
    EXPECT_EQ(tape.blocks[1].silence_before, 176400u);  // 4000 ms
    EXPECT_EQ(tape.files[1].name, "a       com");
    EXPECT_EQ(tape.files[1].flags, 1);
    EXPECT_EQ(tape.files[2].flags, 0);
}

TEST_F(FastRun, CdModesWithSineWaves)
{
    std::vector<std::uint8_t> data = pattern(700, 13);
    put("a.bin", make_bin(0xC000, 0xC000, data));
    Tape sine = run({"-cd", "-c", "-sine", "a.bin"}, 212, true, loader_samples());
    ASSERT_EQ(sine.files.size(), 1u);
    EXPECT_EQ(sine.files[0].payload, data);

    // Experimental mode has no sine form: the files stay square, the loader is sine.
    Tape fast = run({"-cd", "-xp", "-sine", "a.bin"}, 108, true, loader_samples(14));
    ASSERT_EQ(fast.files.size(), 1u);
    EXPECT_EQ(fast.files[0].payload, data);
    EXPECT_NE(result.output.find("CD-compatible; using fixed baud rate=5512, experimental mode\n"), std::string::npos);
    auto wav = get("out.wav");
    EXPECT_EQ(std::int16_t(wav[46] | wav[47] << 8), -21062);  // first samples: a 214 sine 1 cell
}

TEST_F(FastRun, RamdosAsTheLastEntryGetsBothGaps)
{
    Tape tape = run({"4000", "-c", "RAMDOS.52"}, 8, false);
    ASSERT_EQ(tape.blocks.size(), 2u);
    EXPECT_EQ(tape.files[0].payload[0], 5);
    EXPECT_EQ(tape.files[0].payload[1], 2);
    EXPECT_TRUE(tape.blocks[1].closing_tone);
    EXPECT_EQ(tape.blocks[1].silence_before, 800u);
}

TEST_F(FastRun, ACopyThatCannotBeWrittenIsReportedAndTheRunGoesOn)
{
    std::vector<std::uint8_t> large = pattern(3000, 14);
    large[0] = 0xFF;
    put("prog.bas", large);
    std::filesystem::create_directory(dir.path() / "prog.bas.bin");
    Tape tape = run({"4000", "-c", "prog.bas"}, 8, false);
    EXPECT_NE(result.output.find("]\nCould not write packed .bin version: prog.bas.bin\n... "), std::string::npos)
        << result.output;
    EXPECT_EQ(tape.files.size(), 1u);
}
