// The fast loader end to end: tapecast writes a WAV, the emulated MSX plays
// it from its first sample, its BIOS loads the loader from the standard-format
// block as BLOAD"CAS:",R does, and the loader reads the fast blocks.  Baud
// rate modes carry no loader: their tests play the loader's own WAV (2400
// baud) first.
#include "loader_harness.h"

#include "assets/images.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace msxbench {
namespace {

using namespace loader_harness;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t hello_start = 0xC000;

Bytes file_data(const std::string& path, std::size_t skip)
{
    const Bytes bytes = test_support::read_file(path);
    return Bytes(bytes.begin() + std::ptrdiff_t(skip), bytes.end());
}

TEST(StandardBload, TheBiosLoadsTheLoaderFromTheSignalAndStartsIt)
{
    Workshop shop;
    const std::string wav = shop.tapecast({"-cd", "-c", "hello.bin"});
    Msx msx;
    msx.insert_tape({read_wav(wav)});
    msx.bload_run();
    const RunResult run = run_to(msx.machine(), {loader_entry}, seconds(12));
    ASSERT_EQ(run.reason, Stop::breakpoint);
    ASSERT_EQ(run.pc, loader_entry);
    const auto image = loader_image();
    EXPECT_EQ(msx.machine().dump(loader_entry, image.size() - 7),
              std::vector<std::uint8_t>(image.begin() + 7, image.end()));
    EXPECT_EQ(msx.machine().read_word(msx.machine().reg(Reg::sp)), basic_return);
    EXPECT_EQ(msx.machine().reg(Reg::iff1), 1);  // TAPIOF enabled interrupts
    EXPECT_FALSE(msx.ppi().motor_on());
    // Calibrated on the 2205 baud header (cells of 1623 T): a window of 62 T
    // samples that ends well inside a cell, a start-bit threshold between
    // the two half-cycles of a 1 cell and those of a 0 cell (41 T counts).
    const int window = msx.machine().read(winwid) * 62;
    EXPECT_GT(window, 1623 * 6 / 10);
    EXPECT_LT(window, 1623 * 85 / 100);
    EXPECT_GT(msx.machine().read(lowlim) * 41, 1623 / 2);
    EXPECT_LT(msx.machine().read(lowlim) * 41, 1623);
}

// The emulated CLOAD and RUN (for the loading-time comparison): a BASIC
// program in the standard format goes to TXTTAB, VARTAB three bytes past
// its end link, as an MSX1 leaves it.
TEST(StandardCload, TheBiosLoadsABasicProgramAndRunsIt)
{
    Workshop shop;
    const std::string wav = shop.tapecast({"2400", "hello.bas"});
    Msx msx;
    msx.insert_tape({read_wav(wav)});
    msx.cload_run();
    EXPECT_EQ(run_to(msx.machine(), {}, seconds(12)).reason, Stop::requested);
    ASSERT_TRUE(msx.basic_run_reached());
    const Bytes program = file_data(shop.file("hello.bas"), 1);
    EXPECT_EQ(msx.machine().dump(0x8001, program.size()), program);
    EXPECT_EQ(msx.basic_run_reached()->vartab, 0x8001 + program.size() - 2 + 3);
}

// One fast mode: tapecast's arguments, and whether the loader comes on a
// WAV of its own.
struct Mode {
    const char* name;
    std::vector<std::string> args;
    bool separate_loader;
};

std::ostream& operator<<(std::ostream& out, const Mode& mode)
{
    return out << mode.name;
}

class EveryMode : public ::testing::TestWithParam<Mode> {
protected:
    Workshop shop;

    // The recordings that load `files` (tapecast arguments) in this mode.
    std::vector<std::string> tape(const std::vector<std::string>& files)
    {
        std::vector<std::string> args = GetParam().args;
        args.insert(args.end(), files.begin(), files.end());
        if (!GetParam().separate_loader)
            return {shop.tapecast(args)};
        return {shop.tapecast({"2400", "LOADER"}, "loader.wav"), "", shop.tapecast(args)};
    }
};

// A BIN file is stored, shown by name, started with the BIOS and BASIC in
// pages 0 and 1; when it returns the loader waits for the next file.
TEST_P(EveryMode, LoadsABinFileAndStartsIt)
{
    auto msx = play(tape({"hello.bin"}));
    Machine& m = msx->machine();
    ASSERT_TRUE(reach(*msx, {hello_start}, 25, hello_start));
    const Bytes data = file_data(shop.file("hello.bin"), 7);
    EXPECT_EQ(m.dump(hello_start, data.size()), data);
    EXPECT_TRUE(on_screen(*msx, "Loading:hello.bin    <OK>")) << msx->screen_text();
    EXPECT_EQ(m.slot_of_page(0), msx->layout().main_rom);
    EXPECT_EQ(m.slot_of_page(1), msx->layout().main_rom);
    EXPECT_FALSE(msx->ppi().motor_on());
    run_to(m, {}, seconds(0.5));  // its text goes on at the cursor, after the name
    EXPECT_TRUE(on_screen(*msx, "Loading:hello.bin   Hello from Cas")) << msx->screen_text();
    EXPECT_TRUE(on_screen(*msx, "Loading:")) << msx->screen_text();
    EXPECT_TRUE(msx->faults().empty());
    EXPECT_EQ(msx->vdp().close_accesses(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Loader, EveryMode,
    ::testing::Values(Mode{"CdCompressed", {"-cd", "-c"}, false}, Mode{"CdCompressedSine", {"-cd", "-c", "-sine"}, false},
                      Mode{"CdExperimental", {"-cd", "-xp"}, false},
                      Mode{"CdExperimentalSine", {"-cd", "-xp", "-sine"}, false},
                      Mode{"Compressed3500", {"3500", "-c"}, true}, Mode{"Compressed4500", {"4500", "-c"}, true},
                      Mode{"Compressed5500", {"5500", "-c"}, true}, Mode{"Experimental4500", {"4500", "-xp"}, true},
                      Mode{"Experimental5000", {"5000", "-xp"}, true},
                      Mode{"Experimental5500", {"5500", "-xp"}, true}),
    [](const ::testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });

class LoaderRun : public ::testing::Test {
protected:
    Workshop shop;
};

// -n: the first file is stored but not started; the loader goes on to the
// next block, here a BASIC program stored at TXTTAB and run by BASIC.
TEST_F(LoaderRun, SeveralFilesInARowWithPauses)
{
    shop.put("data.bin", marker_bin(0xA000, 0x11, 0xD000));
    shop.put("more.bin", marker_bin(0xB000, 0x22, 0xD001));
    auto msx = play({shop.tapecast({"-cd", "-c", "-p", "300", "data.bin", "-n", "more.bin", "hello.bas"})});
    Machine& m = msx->machine();
    ASSERT_TRUE(reach(*msx, {0xA000, 0xB000}, 15, 0xB000));
    const Bytes data = file_data(shop.file("data.bin"), 7);
    EXPECT_EQ(m.dump(0xA000, data.size()), data);
    const RunResult run = run_to(m, {0xA000}, seconds(5));
    EXPECT_EQ(run.reason, Stop::requested);  // BASIC's run entry
    EXPECT_EQ(m.read(0xD001), 0x22);
    EXPECT_EQ(m.read(0xD000), 0x00);
    ASSERT_TRUE(msx->basic_run_reached());
    const Bytes program = file_data(shop.file("hello.bas"), 1);
    EXPECT_EQ(m.dump(0x8001, program.size()), program);
    EXPECT_EQ(msx->basic_run_reached()->vartab, 0x8001 + program.size() + 1);
    EXPECT_EQ(msx->basic_run_reached()->page1, msx->layout().main_rom);
    for (const char* name : {"data.bin", "more.bin", "hello.bas"})
        EXPECT_TRUE(on_screen(*msx, std::string("Loading:") + name)) << msx->screen_text();
}

// Every byte value in a file: rank codes of all lengths, the eight-cell ones
// (0000000x, ranks 254 and 255) too, come out as the bytes they stand for.
TEST_F(LoaderRun, EveryRankCodeLengthReadsBack)
{
    Bytes data;
    for (int value = 0; value < 256; ++value)
        for (int n = 0; n < 1 + (value * 37 % 256) / 40; ++n)
            data.push_back(std::uint8_t(value));
    data.front() = 0xC9;  // RET
    shop.put("all.bin", test_support::make_bin(0x9000, 0x9000, data));
    for (const char* mode : {"-c", "-xp"}) {
        auto msx = play({shop.tapecast({"-cd", mode, "all.bin"})});
        ASSERT_TRUE(reach(*msx, {0x9000}, 20, 0x9000));
        EXPECT_EQ(msx->machine().dump(0x9000, data.size()), data) << mode;
    }
}

// A BASIC program larger than 2 KB goes packed, with the BIN depacker in
// BASIC mode: restored at TXTTAB and run with the main ROM in page 1.
TEST_F(LoaderRun, LargeBasicProgramIsRestoredAndRun)
{
    Bytes program = {0xFF};
    std::uint16_t at = 0x8001;
    for (int number = 10; number <= 600; number += 10) {
        Bytes text = {0x8F};  // REM
        for (char c : " line " + std::to_string(number) + " of a BASIC program restored by the depacker")
            text.push_back(std::uint8_t(c));
        const Bytes line = basic_line(at, std::uint16_t(number), text);
        program.insert(program.end(), line.begin(), line.end());
        at = std::uint16_t(at + line.size());
    }
    program.push_back(0);
    program.push_back(0);
    ASSERT_GT(program.size(), 2049u);
    shop.put("long.bas", program);
    auto msx = play({shop.tapecast({"-cd", "-c", "long.bas"})});
    EXPECT_EQ(run_to(msx->machine(), {}, seconds(25)).reason, Stop::requested);
    ASSERT_TRUE(msx->basic_run_reached());
    EXPECT_EQ(msx->machine().dump(0x8001, program.size() - 1), Bytes(program.begin() + 1, program.end()));
    EXPECT_EQ(msx->basic_run_reached()->page1, msx->layout().main_rom);
    EXPECT_TRUE(msx->faults().empty());
}

// A 16 KB ROM goes through the packer and the BIN depacker: restored into
// RAM in page 1 (on an MSX2 whose main ROM and RAM sit in expanded slots)
// and started at its INIT address.
TEST_F(LoaderRun, RomRestoredIntoPage1RamAndItsInitCalled)
{
    Bytes rom(0x4000);
    const std::string text = "MSX cartridge in RAM, loaded from tape by the fast loader. ";
    for (std::size_t i = 0; i < rom.size(); ++i)
        rom[i] = std::uint8_t(text[i % text.size()] + (i / 1024));
    const Bytes header = {'A', 'B', 0x10, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::copy(header.begin(), header.end(), rom.begin());
    shop.put("game.rom", rom);
    const MsxLayout layout = expanded_msx2();
    auto msx = play({shop.tapecast({"-cd", "-c", "game.rom"})}, layout);
    ASSERT_TRUE(reach(*msx, {0x4010}, 20, 0x4010));
    EXPECT_EQ(msx->machine().slot_of_page(1), layout.ram);
    EXPECT_EQ(msx->machine().dump(0x4000, rom.size()), rom);
    EXPECT_TRUE(msx->faults().empty());
}

// One byte of a packed ROM arriving wrong in a way the loader can't see (a
// 0 cell read as a 1 cell), in its packed data or in its depacker: the
// depacker says " <Err>" and starts nothing, and the loader stops as on a
// read error: back to BASIC without its BLOAD hook.  (Undamaged, it starts:
// the test above.)
TEST_F(LoaderRun, APackedRomThatArrivesDamagedIsNotStarted)
{
    Bytes rom(0x4000);
    const std::string text = "MSX cartridge in RAM, loaded from tape by the fast loader. ";
    for (std::size_t i = 0; i < rom.size(); ++i)
        rom[i] = std::uint8_t(text[i % text.size()] + (i / 1024));
    const Bytes header = {'A', 'B', 0x10, 0x40};
    std::copy(header.begin(), header.end(), rom.begin());
    shop.put("game.rom", rom);
    const Bytes wav = test_support::read_file(shop.tapecast({"-cd", "-c", "game.rom"}));
    for (const std::size_t cells : {std::size_t(300), std::size_t(9000)}) {  // depacker, packed data
        Bytes damaged = wav;
        ASSERT_TRUE(flip_payload_cell(damaged, cells)) << cells;
        test_support::write_file(shop.file("damaged.wav"), damaged);
        auto msx = play({shop.file("damaged.wav")});
        const RunResult run = run_to(msx->machine(), {0x4010}, seconds(30));
        EXPECT_NE(run.reason, Stop::breakpoint) << cells << "\n" << msx->screen_text();
        EXPECT_NE(msx->transcript().find(" <Err>"), std::string::npos) << cells << "\n" << msx->screen_text();
        EXPECT_EQ(msx->transcript().rfind("Loading:"), msx->transcript().find("Loading:")) << cells;
        EXPECT_EQ(msx->machine().read(h_gone), 0xC9) << cells;
        EXPECT_TRUE(msx->faults().empty()) << cells;
    }
}

// A rank-table value misread turns every byte that has its rank into
// another, which nothing else on the tape of a plain BIN file would catch:
// the table must hold every byte value once, or the file ends " <Err>".
TEST_F(LoaderRun, AMisreadRankTableEndsWithErr)
{
    shop.put("data.bin", test_support::make_bin(0x9000, 0x9000, test_support::seeded_bytes(600, 5)));
    Bytes wav = test_support::read_file(shop.tapecast({"-cd", "-c", "data.bin"}));
    ASSERT_TRUE(damage_rank_table(wav));
    test_support::write_file(shop.file("damaged.wav"), wav);
    auto msx = play({shop.file("damaged.wav")});
    const RunResult run = run_to(msx->machine(), {0x9000, basic_return}, seconds(30));
    EXPECT_EQ(run.pc, basic_return) << msx->screen_text();
    EXPECT_NE(msx->screen_text().find("data.bin     <Err>"), std::string::npos) << msx->screen_text();
}

// A COM program is restored at 0x0100 with RAM in page 0 and started there.
TEST_F(LoaderRun, ComRestoredAt0100AndStarted)
{
    Bytes com = {0x21, 0x00, 0x01, 0xC9};  // LD HL,0100h / RET
    for (char c : std::string(" an MSX-DOS program restored by the BIN depacker"))
        com.push_back(std::uint8_t(c));
    shop.put("TOOL.COM", com);
    auto msx = play({shop.tapecast({"-cd", "-xp", "TOOL.COM"})});
    ASSERT_TRUE(reach(*msx, {0x0100}, 15, 0x0100));
    EXPECT_EQ(msx->machine().slot_of_page(0), msx->layout().ram);
    EXPECT_EQ(msx->machine().dump(0x0100, com.size()), com);
}


// A BASIC program loaded by the loader loads the next blocks with its own
// BLOAD statements: the interpreter calls the statement hook before each
// statement, and each BLOAD is served by one block from the tape.
TEST_F(LoaderRun, BloadStatementsOfALoadedProgramGoThroughTheHook)
{
    shop.put("loads.bas", basic_file({bload_statements(2), {0x91, ' ', 0x12}}));  // 20 PRINT 1
    shop.put("one.bin", marker_bin(0xC000, 0x11, 0xD000));
    shop.put("two.bin", marker_bin(0xC100, 0x22, 0xD001));
    auto msx = play({shop.tapecast({"-cd", "-c", "-p", "200", "loads.bas", "one.bin", "two.bin"})});
    Machine& m = msx->machine();
    ASSERT_EQ(run_to(m, {}, seconds(15)).reason, Stop::requested);
    ASSERT_TRUE(msx->basic_run_reached());
    EXPECT_EQ(m.read(h_gone), 0xC3);

    std::vector<Statement> statements;
    const RunResult run = msx->run_statements(seconds(10), statements);
    EXPECT_EQ(run.reason, Stop::requested) << msx->screen_text();
    ASSERT_EQ(statements.size(), 3u);
    EXPECT_TRUE(statements[0].taken_by_hook);
    EXPECT_TRUE(statements[1].taken_by_hook);
    EXPECT_FALSE(statements[2].taken_by_hook);  // PRINT: the interpreter's
    EXPECT_EQ(statements[1].at, 0x8001 + 4 + bload_statements().size() + 1);
    EXPECT_EQ(m.read(0xD000), 0x11);
    EXPECT_EQ(m.read(0xD001), 0x22);
    EXPECT_TRUE(on_screen(*msx, "Loading:one.bin      <OK>")) << msx->screen_text();
    EXPECT_TRUE(on_screen(*msx, "Loading:two.bin      <OK>")) << msx->screen_text();
    EXPECT_TRUE(msx->faults().empty());
}

// Keys held before the tape starts choose the window: CTRL 12 sampling
// periods, F2 8, F3 6; the file loads with it.
TEST_F(LoaderRun, KeysOverrideTheWindow)
{
    for (auto [args, key, window] : {std::tuple{std::vector<std::string>{"-cd", "-c", "hello.bin"}, key::ctrl, 12},
                                     std::tuple{std::vector<std::string>{"-cd", "-xp", "hello.bin"}, key::f2, 8},
                                     std::tuple{std::vector<std::string>{"-cd", "-xp", "hello.bin"}, key::f3, 6}}) {
        auto msx = play({shop.tapecast(args)});
        msx->keyboard().hold(key[0], key[1]);
        ASSERT_TRUE(reach(*msx, {hello_start}, 15, hello_start));
        EXPECT_EQ(msx->machine().read(winwid), window);
        EXPECT_TRUE(on_screen(*msx, "Loading:hello.bin    <OK>")) << msx->screen_text();
    }
}

// SHIFT flips the 50/60 Hz bit of an MSX2's video register 9 through its
// copy at RG9SAV; an MSX1 gets no register write from the loader at all.
TEST_F(LoaderRun, ShiftTogglesTheFrequencyOnlyOnAnMsx2)
{
    const std::string wav = shop.tapecast({"-cd", "-c", "hello.bin"});
    for (bool msx2 : {false, true}) {
        MsxLayout layout;
        layout.msx2 = msx2;
        layout.width = msx2 ? 80 : 37;
        auto msx = play({wav}, layout);
        msx->keyboard().hold(key::shift[0], key::shift[1]);  // from before the loader starts
        const std::size_t writes_before = msx->vdp().register_writes().size();
        ASSERT_TRUE(reach(*msx, {hello_start}, 15, hello_start));
        EXPECT_TRUE(on_screen(*msx, "Loading:hello.bin    <OK>")) << msx->screen_text();
        const auto& writes = msx->vdp().register_writes();
        if (msx2) {
            EXPECT_EQ(msx->machine().read(rg9sav), 0x00);
            EXPECT_EQ(msx->vdp().reg(9), 0x00);
            EXPECT_EQ(msx->machine().read(rg10sa), 0x00);
            for (std::size_t i = writes_before; i < writes.size(); ++i)
                EXPECT_TRUE(writes[i].reg == 9 || (writes[i].reg == 14 && writes[i].value == 0));
        } else {
            EXPECT_EQ(writes.size(), writes_before);
        }
    }
}

// STOP while the loader waits for the tape: " <Err>", the hook removed, and
// back into BASIC.
TEST_F(LoaderRun, StopGivesAnErrorAndRemovesTheHook)
{
    auto msx = play({shop.tapecast({"-cd", "-c", "hello.bin"})});
    msx->keyboard().hold(key::stop[0], key::stop[1]);
    ASSERT_TRUE(reach(*msx, {basic_return, hello_start}, 15, basic_return));
    EXPECT_TRUE(on_screen(*msx, " <Err>")) << msx->screen_text();
    EXPECT_EQ(msx->machine().read(h_gone), 0xC9);
    EXPECT_FALSE(msx->ppi().motor_on());
}

// A payload unit that runs on into a stretch of alternating cells is no
// rank code and not the trailer: " <Err>", the hook removed, the program
// not started.
TEST_F(LoaderRun, ADamagedPayloadUnitGivesAnError)
{
    Bytes data(1500);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t((i * 7) ^ (i >> 3));
    shop.put("big.bin", test_support::make_bin(0x9000, 0x9000, data));
    Bytes wav = test_support::read_file(shop.tapecast({"-cd", "-c", "big.bin"}));
    loader_harness::damage_last_payload(wav);
    test_support::write_file(shop.file("damaged.wav"), wav);
    auto msx = play({shop.file("damaged.wav")});
    ASSERT_TRUE(reach(*msx, {basic_return, 0x9000}, 20, basic_return));
    EXPECT_TRUE(on_screen(*msx, "Loading:big.bin      <Err>")) << msx->screen_text();
    EXPECT_EQ(msx->machine().read(h_gone), 0xC9);
}

// The recording cut at the start of its first stretch of `pause` seconds of
// silence: the loader's block, and the rest.
std::pair<WavSignal, WavSignal> cut_at_first_pause(const WavSignal& wav, double pause)
{
    const auto run = std::size_t(pause * wav.rate);
    std::size_t quiet = 0;
    for (std::size_t i = 0; i < wav.samples.size(); ++i) {
        quiet = wav.samples[i] == 0.0f ? quiet + 1 : 0;
        if (quiet == run) {
            const auto cut = wav.samples.begin() + std::ptrdiff_t(i + 1 - run);
            return {WavSignal{wav.rate, std::vector<float>(wav.samples.begin(), cut)},
                    WavSignal{wav.rate, std::vector<float>(cut, wav.samples.end())}};
        }
    }
    ADD_FAILURE() << "no pause on the tape";
    return {wav, {}};
}

// Where the loader's loops meet the tape's edges depends on how long the
// tape paused before the block, so a reading that works at one phase may
// fail at another, and a misread rank is a wrong byte that nothing else on
// the tape catches.  Each mode, played at the speed given, loads a file of
// pseudo-random bytes (every rank in use) byte for byte at 12 phases 0.25 ms
// apart: the pause after the loader's block grows.
TEST_F(LoaderRun, ReadsAtEveryPhaseOfTheTape)
{
    Bytes data = test_support::seeded_bytes(1500, 17);
    data.front() = 0xC9;  // RET
    shop.put("phase.bin", test_support::make_bin(0x9000, 0x9000, data));
    const WavSignal loader = read_wav(shop.tapecast({"2400", "LOADER"}, "loader.wav"));
    for (const auto& [args, speed] : {std::tuple{std::vector<std::string>{"-cd", "-c"}, 0.92},
                                      std::tuple{std::vector<std::string>{"-cd", "-c"}, 1.04},
                                      std::tuple{std::vector<std::string>{"-cd", "-xp"}, 1.04},
                                      std::tuple{std::vector<std::string>{"5500", "-c"}, 0.96},
                                      std::tuple{std::vector<std::string>{"4500", "-xp"}, 1.0}}) {
        std::vector<std::string> command = args;
        command.push_back("phase.bin");
        const WavSignal wav = read_wav(shop.tapecast(command, "phase.wav"));
        // A CD mode's loader comes first on its own recording.
        const auto [first, rest] =
            args[0] == "-cd" ? cut_at_first_pause(wav, 0.005) : std::pair{loader, wav};
        std::string phases;
        for (int phase = 0; phase < 12; ++phase) {
            Msx msx;
            TapeOptions options;
            options.conditions.speed = speed;
            msx.insert_tape({first, silence(0.01 + phase * 0.00025), rest}, options);
            msx.bload_run();
            const RunResult run = run_to(msx.machine(), {0x9000, basic_return}, seconds(20));
            const bool read = run.reason == Stop::breakpoint && run.pc == 0x9000 &&
                              msx.machine().dump(0x9000, data.size()) == data;
            phases += read ? 'y' : 'n';
        }
        EXPECT_EQ(phases, std::string(12, 'y')) << args[0] << " " << args[1] << " at " << speed;
    }
}

}  // namespace
}  // namespace msxbench
