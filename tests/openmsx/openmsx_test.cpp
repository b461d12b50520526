// openMSX with C-BIOS as a second emulated MSX, kind by kind, on an MSX1
// and an MSX2.  C-BIOS reads no tape, so the loader comes from the first
// block of the WAV itself, read back here, and the rest of the WAV plays
// from where the loader meets it.  C-BIOS has no BASIC either: a BASIC
// program is followed up to the point where it is handed to BASIC's run
// entry.  DOS mode needs MSX-DOS, which C-BIOS cannot start: K7 runs under
// a stand-in (k7_host.asm) that gives it RAM in page 0 and a DOS entry.
#include "child_process.h"
#include "openmsx_run.h"
#include "robustness.h"
#include "standard_tape.h"

#include "assets/images.h"
#include "k7_host.h"
#include "loader_harness.h"
#include "ramdos_k7.h"
#include "tape.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using Bytes = std::vector<std::uint8_t>;
using loader_harness::Workshop;

constexpr std::uint16_t txttab = 0xF676;
constexpr std::uint16_t vartab = 0xF6C2;
constexpr std::uint16_t basic_run = 0x73AC;

// The tape after its first block, and the program of that block.
struct Cut {
    openmsx::TapeBin loader;
    std::filesystem::path rest;
};

Cut cut(const Workshop& shop, const std::string& wav)
{
    Cut c{openmsx::read_first_bin(wav), shop.file("rest.wav")};
    openmsx::write_wav_from(wav, c.rest, c.loader.end_sample);
    return c;
}

Bytes tail(const Bytes& bytes, std::size_t from)
{
    return Bytes(bytes.begin() + std::ptrdiff_t(from), bytes.end());
}

TEST(StandardTape, TheFirstBlockOfALoaderRecordingIsTheLoader)
{
    Workshop shop;
    const auto image = loader_image();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-cd", "-c", "hello.bin"}, {"-cd", "-xp", "-sine", "hello.bin"}, {"2400", "LOADER"}}) {
        const std::string wav = shop.tapecast(args);
        const openmsx::TapeBin bin = openmsx::read_first_bin(wav);
        EXPECT_EQ(bin.start, image[1] | image[2] << 8) << args[1];
        EXPECT_EQ(bin.end, image[3] | image[4] << 8) << args[1];
        EXPECT_EQ(bin.exec, image[5] | image[6] << 8) << args[1];
        EXPECT_EQ(bin.program, Bytes(image.begin() + 7, image.end())) << args[1];
    }
}

// The cut falls right after the last cell: the 10 ms gap before the first
// fast block is what the loader meets first.
TEST(StandardTape, TheRestStartsWithTheGapAfterTheLoader)
{
    Workshop shop;
    const Cut c = cut(shop, shop.tapecast({"-cd", "-c", "hello.bin"}));
    const msxbench::WavSignal rest = msxbench::read_wav(c.rest.string());
    ASSERT_GT(rest.samples.size(), 441u);
    for (std::size_t i = 0; i < 441; ++i)
        ASSERT_EQ(rest.samples[i], 0.0f) << i;
    const msxbench::WavSignal whole = msxbench::read_wav(shop.file("out.wav"));
    EXPECT_GT(whole.samples[c.loader.end_sample - 1], 0.5f);  // the last stop bit's high half
}

// Arguments reach the program as they are (no shell between), the options'
// variables replace ours, and a program that overruns its limit is stopped.
TEST(ChildProcess, PassesArgumentsAsTheyAreAndStopsAtTheLimit)
{
    EXPECT_EQ(tools::run_child({"printf", "%s|", "a b", "$HOME;x", "'"}).output, "a b|$HOME;x|'|");
    ::setenv("CASSONIC_CHILD_TEST", "ours", 1);
    tools::ChildOptions options;
    options.environment = {"CASSONIC_CHILD_TEST=set"};
    const tools::ChildResult env = tools::run_child({"printenv", "CASSONIC_CHILD_TEST"}, options);
    EXPECT_EQ(env.output, "set\n");
    EXPECT_EQ(env.status, 0);
    options.timeout_seconds = 1;
    const tools::ChildResult slow = tools::run_child({"sleep", "20"}, options);
    EXPECT_TRUE(slow.timed_out);
    EXPECT_THROW(tools::run_child({"cassonic-no-such-program"}), std::runtime_error);
}

// A cell's outcome from what the MSX showed: the program's start decides;
// before it, a damaged block handed over (unless the program refused it and
// came back), then the loader's verdict on the first file.
TEST(RobustnessMatrix, ClassifiesWhatTheMsxShowed)
{
    using robustness::Outcome;
    using robustness::Verdict;
    const auto outcome = [](bool started, bool intact, bool handed_over, bool image_intact, bool came_back,
                            Verdict verdict) {
        return robustness::classify({started, intact, handed_over, image_intact, came_back, verdict});
    };
    EXPECT_EQ(outcome(true, true, true, true, false, Verdict::ok), Outcome::loads);
    EXPECT_EQ(outcome(true, false, true, true, false, Verdict::ok), Outcome::started_damaged);
    EXPECT_EQ(outcome(false, false, true, false, false, Verdict::ok), Outcome::started_damaged);
    EXPECT_EQ(outcome(false, false, true, false, true, Verdict::ok), Outcome::error);
    EXPECT_EQ(outcome(false, false, false, false, false, Verdict::ok), Outcome::started_damaged);
    EXPECT_EQ(outcome(false, false, false, false, false, Verdict::error), Outcome::error);
    EXPECT_EQ(outcome(false, false, true, true, false, Verdict::ok), Outcome::other);
    EXPECT_EQ(outcome(false, false, false, false, false, Verdict::none), Outcome::other);

    EXPECT_EQ(robustness::first_verdict("  Loading:random.bin   <OK>\n  Loading:"), Verdict::ok);
    EXPECT_EQ(robustness::first_verdict("Loading:random.bin   <Err>"), Verdict::error);
    EXPECT_EQ(robustness::first_verdict("Loading:random.bin"), Verdict::none);
    // The turbo loader prints no name: its first verdict counts.
    EXPECT_EQ(robustness::turbo_verdict(" <OK> <Err>"), Verdict::ok);
    EXPECT_EQ(robustness::turbo_verdict(" <Err>"), Verdict::error);
    EXPECT_EQ(robustness::turbo_verdict(""), Verdict::none);
}

class OpenMsx : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (const std::string why = openmsx::missing(); !why.empty())
            GTEST_SKIP() << "openMSX tests skipped: " << why;
    }

    // Plays `wav` into the machine under test as it would be after
    // BLOAD"CAS:",R has loaded its first block.
    openmsx::Report play(const std::string& wav, std::vector<openmsx::Breakpoint> stops,
                         std::vector<openmsx::MemoryRange> dumps, std::vector<openmsx::Breakpoint> checks = {})
    {
        const Cut c = cut(shop_, wav);
        openmsx::Job job;
        job.machine = GetParam();
        job.start = c.loader.start;
        job.exec = c.loader.exec;
        job.program = c.loader.program;
        job.pokes = {{txttab, {0x01, 0x80}}, {0x8000, {0x00, 0x00, 0x00}}};
        job.tape = c.rest;
        job.seconds = 40;
        job.stops = std::move(stops);
        job.checks = std::move(checks);
        job.dumps = std::move(dumps);
        return openmsx::run(job, shop_.file("work"));
    }

    Workshop shop_;
};

TEST_P(OpenMsx, StartsABinFile)
{
    const openmsx::Report report = play(shop_.tapecast({"-cd", "-c", "hello.bin"}), {{0xC000}}, {{0xC000, 35}});
    ASSERT_EQ(report.reason, openmsx::StopReason::entry) << report.printed;
    EXPECT_EQ(report.stop.memory.at(0xC000), tail(test_support::read_file(shop_.file("hello.bin")), 7));
    EXPECT_NE(report.printed.find("\r\nLoading:"), std::string::npos) << report.printed;
    EXPECT_NE(report.verdict.find("Loading:hello.bin    <OK>"), std::string::npos) << report.verdict;
}

// The turbo mode: the bootstrap of the first block reads and checks the
// main loader, which reads, checks and starts an 8K BIN (of few values: in
// a code fitted to it, whose description comes first).
TEST_P(OpenMsx, StartsATurboBinFile)
{
    const Bytes data = test_support::seeded_bytes(0x2000, 21, 24);
    shop_.put("big.bin", test_support::make_bin(0x9000, 0x9000, data));
    const openmsx::Report report = play(shop_.tapecast({"-cd", "-turbo", "big.bin"}), {{0x9000}}, {{0x9000, 0x2000}});
    ASSERT_EQ(report.reason, openmsx::StopReason::entry) << report.printed;
    EXPECT_EQ(report.stop.memory.at(0x9000), data);
    EXPECT_EQ(report.printed, " <OK>");
}

// A turbo ROM that does not pack goes stored behind its depacker, from
// 0x6D00 on: read into RAM in page 1, restored and started at its INIT
// address.
TEST_P(OpenMsx, StartsATurboRomReadIntoPage1)
{
    Bytes rom = test_support::seeded_bytes(0x7000, 5);
    const Bytes header = {'A', 'B', 0x10, 0x40};
    std::copy(header.begin(), header.end(), rom.begin());
    shop_.put("game.rom", rom);
    const openmsx::Report report = play(shop_.tapecast({"-cd", "-turbo", "game.rom"}), {{0x4010}}, {{0x4000, 0x7000}});
    ASSERT_EQ(report.reason, openmsx::StopReason::entry) << report.printed;
    EXPECT_EQ(report.stop.memory.at(0x4000), rom);
    EXPECT_EQ(report.printed, " <OK>");
}

// A BIN given with -n is stored and not started; the loader goes on to the
// next file.
TEST_P(OpenMsx, LoadsABinGivenWithNAndGoesOn)
{
    const Bytes data = loader_harness::marker_bin(0xA000, 0x11, 0xD000);
    shop_.put("data.bin", data);
    const openmsx::Report report = play(shop_.tapecast({"-cd", "-xp", "data.bin", "-n", "hello.bin"}), {{0xC000}},
                                        {{0xA000, std::uint16_t(data.size() - 7)}, {0xD000, 1}});
    ASSERT_EQ(report.reason, openmsx::StopReason::entry) << report.printed;
    EXPECT_EQ(report.stop.memory.at(0xA000), tail(data, 7));
    EXPECT_NE(report.stop.memory.at(0xD000)[0], 0x11);
}

// A ROM goes packed behind its depacker: the loader starts the depacker
// with the image as sent, and the depacker the ROM at its INIT address.
TEST_P(OpenMsx, StartsAPackedRomThroughItsDepacker)
{
    const robustness::Program rom = robustness::code_rom(0x2000, 5);
    shop_.put(rom.file, rom.bytes);
    const std::string wav = shop_.tapecast({"-cd", "-xp", rom.file});
    const Bytes copy = test_support::read_file(shop_.file(rom.file + ".bin"));
    const std::uint16_t start = copy[1] | copy[2] << 8, exec = copy[5] | copy[6] << 8;
    const openmsx::Report report = play(wav, {{0x4010}}, {{start, std::uint16_t(copy.size() - 7)}, {0x4000, 0x2000}},
                                        {{exec}});
    ASSERT_EQ(report.reason, openmsx::StopReason::entry) << report.printed;
    ASSERT_EQ(report.checks.count(exec), 1u);
    EXPECT_EQ(report.checks.at(exec).memory.at(start), tail(copy, 7));
    EXPECT_EQ(report.stop.memory.at(0x4000), rom.bytes);
}

TEST_P(OpenMsx, StartsAComProgramAt0100)
{
    Bytes com = robustness::random_bin(0x800, 9).bytes;
    com.erase(com.begin(), com.begin() + 7);
    com[0] = 0xC3;  // JP: a COM program, by name only
    shop_.put("prog.com", com);
    const openmsx::Report report = play(shop_.tapecast({"-cd", "-c", "prog.com"}), {{0x0100}}, {{0x0100, 0x800}});
    ASSERT_EQ(report.reason, openmsx::StopReason::entry) << report.printed;
    EXPECT_EQ(report.stop.memory.at(0x0100), com);
}

// BASIC programs are stored at TXTTAB and handed to BASIC's run entry (in
// ROM), small ones by the loader, large ones by their depacker.
TEST_P(OpenMsx, HandsBasicProgramsToBasic)
{
    Bytes large = {0xFF};
    std::uint16_t at = 0x8001;
    for (std::uint16_t number = 10; large.size() < 3000; number += 10) {
        const Bytes text = {0x91, ' ', '"', 'L', 'i', 'n', 'e', ' ', std::uint8_t('0' + number % 7), '"'};
        const Bytes line = loader_harness::basic_line(at, number, text);
        large.insert(large.end(), line.begin(), line.end());
        at = std::uint16_t(at + line.size());
    }
    large.insert(large.end(), {0, 0});
    shop_.put("large.bas", large);
    // VARTAB: past the loader's end pointer; past the depacker's last byte.
    for (const auto& [name, vartab_after] : {std::pair{"hello.bas", 1}, std::pair{"large.bas", 0}}) {
        const Bytes program = tail(test_support::read_file(shop_.file(name)), 1);
        const openmsx::Report report = play(shop_.tapecast({"-cd", "-c", name}), {{basic_run, false}},
                                            {{0x8001, std::uint16_t(program.size())}, {vartab, 2}});
        ASSERT_EQ(report.reason, openmsx::StopReason::entry) << name << "\n" << report.printed;
        EXPECT_EQ(report.stop.memory.at(0x8001), program) << name;
        const Bytes end = report.stop.memory.at(vartab);
        EXPECT_EQ(end[0] | end[1] << 8, 0x8001 + int(program.size()) + vartab_after) << name;
    }
}

TEST_P(OpenMsx, ADamagedPayloadEndsWithErrAndStartsNothing)
{
    shop_.put("big.bin", robustness::random_bin(1500, 3).bytes);
    const std::string wav = shop_.tapecast({"-cd", "-c", "big.bin"});
    Bytes bytes = test_support::read_file(wav);
    loader_harness::damage_last_payload(bytes);
    test_support::write_file(wav, bytes);
    const openmsx::Report report = play(wav, {{0x9000}}, {});
    EXPECT_EQ(report.reason, openmsx::StopReason::returned) << report.printed;
    EXPECT_NE(report.verdict.find("Loading:big.bin      <Err>"), std::string::npos) << report.verdict;
}

// K7 on openMSX's model of the cassette input: a turbo DOS-mode file, its
// lead-in told from a fast one's, read and checked, is in K7's buffer with
// its name in the FCB when K7 writes it.
TEST(OpenMsxK7, ReadsATurboDosModeFile)
{
    if (const std::string why = openmsx::missing(); !why.empty())
        GTEST_SKIP() << "openMSX tests skipped: " << why;
    constexpr std::uint16_t host = 0xD000;
    constexpr std::uint16_t host_write = 0xD00A;
    Workshop shop;
    const Bytes data = test_support::seeded_bytes(3000, 9);
    shop.put("one.bin", data);
    openmsx::Job job;
    job.machine = openmsx::msx2;
    job.start = host;
    job.exec = host;
    job.program.assign(k7_host, k7_host + k7_host_size);
    job.program.insert(job.program.end(), ramdos_k7, ramdos_k7 + ramdos_k7_size);
    job.tape = shop.tapecast({"-cd", "-turbo", "-dos", "one.bin"});
    job.seconds = 20;
    job.stops = {{host_write}};
    job.dumps = {{0x0400, std::uint16_t(data.size())}, {0x005D, 11}};
    const openmsx::Report report = openmsx::run(job, shop.file("work"));
    ASSERT_EQ(report.reason, openmsx::StopReason::entry) << report.screen;
    EXPECT_EQ(report.stop.memory.at(0x0400), data);
    const Bytes name = report.stop.memory.at(0x005D);
    EXPECT_EQ(std::string(name.begin(), name.end()), "one     bin");
}

INSTANTIATE_TEST_SUITE_P(CBios, OpenMsx, ::testing::Values(openmsx::msx1, openmsx::msx2),
                         [](const auto& info) { return std::string(info.param).substr(7); });

}  // namespace
