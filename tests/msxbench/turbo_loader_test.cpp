// The turbo mode end to end: tapecast -cd -turbo writes the WAV, the
// emulated BIOS loads the bootstrap with BLOAD"CAS:",R, the bootstrap reads
// and checks the main loader, the main loader reads and checks the files.
#include "loader_harness.h"

#include "asset_turbo_loader_symbols.h"
#include "assets/images.h"
#include "codec/tpk_pack.h"
#include "codec/tpk_unpack.h"
#include "codec/turbo_code.h"
#include "convert/turbo_file.h"

#include <gtest/gtest.h>

#include <cmath>

namespace msxbench {
namespace {

using namespace loader_harness;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t big_start = 0x9000;
constexpr std::uint16_t marker_flag = 0xD000;

// An 8K BIN at 0x9000 whose first bytes store 0x5A at marker_flag and
// return; its bytes drawn from `alphabet` values (few: the file goes in a
// code fitted to it).
Bytes eight_k_bin(unsigned alphabet = 256)
{
    Bytes code = test_support::seeded_bytes(0x2000, 21, alphabet);
    const Bytes head = {0x3E, 0x5A, 0x32, std::uint8_t(marker_flag), std::uint8_t(marker_flag >> 8), 0xC9};
    std::copy(head.begin(), head.end(), code.begin());
    return test_support::make_bin(big_start, big_start, code);
}

Bytes data_of(const Bytes& bin)
{
    return Bytes(bin.begin() + 7, bin.end());
}

// A tokenized BASIC program (0xFF first) for 0x8001: 10 PRINT 1 (or the
// statements `first`), then REM lines up to about `size` bytes.
Bytes basic_program(std::size_t size, const Bytes& first = {0x91, ' ', 0x12})
{
    Bytes program = {0xFF};
    std::uint16_t at = 0x8001;
    auto add = [&](std::uint16_t number, const Bytes& text) {
        const Bytes line = basic_line(at, number, text);
        program.insert(program.end(), line.begin(), line.end());
        at = std::uint16_t(at + line.size());
    };
    add(10, first);
    for (std::uint16_t number = 20; program.size() + 40 < size; number = std::uint16_t(number + 10)) {
        Bytes text = {0x8F};  // REM
        for (char c : " a line of a BASIC program " + std::to_string(number))
            text.push_back(std::uint8_t(c));
        add(number, text);
    }
    program.push_back(0);
    program.push_back(0);
    return program;
}

// A 28K ROM for 0x4000 whose INIT is 0x4010, of bytes that don't pack: it
// goes stored, its image loading from 0x6D00, in page 1.
Bytes stored_rom()
{
    Bytes rom = test_support::seeded_bytes(0x7000, 5);
    const Bytes header = {'A', 'B', 0x10, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::copy(header.begin(), header.end(), rom.begin());
    return rom;
}

// Turns over one half of the signal from `at` on.
void flip_half(WavSignal& signal, std::size_t at)
{
    while ((signal.samples[at] > 0) == (signal.samples[at - 1] > 0))
        ++at;
    for (const bool high = signal.samples[at] > 0; (signal.samples[at] > 0) == high; ++at)
        signal.samples[at] = -signal.samples[at];
}

// Where the last block begins: after the last run of silence before it.
std::size_t last_block_start(const WavSignal& signal)
{
    std::size_t at = signal.samples.size();
    while (at > 0 && signal.samples[at - 1] == 0)
        --at;
    for (std::size_t silent = 0; at > 0 && silent < 100; --at)
        silent = signal.samples[at - 1] == 0 ? silent + 1 : 0;
    return at + 100;
}

class TurboLoader : public ::testing::Test {
protected:
    Workshop shop;

    // Plays `signal` after BLOAD"CAS:",R until the program starts or BASIC
    // is back; returns where it stopped.
    std::uint16_t play_signal(Msx& msx, const WavSignal& signal, std::uint16_t start, double limit = 20)
    {
        msx.insert_tape({signal});
        msx.bload_run();
        const RunResult run = run_to(msx.machine(), {start, basic_return}, seconds(limit));
        EXPECT_EQ(run.reason, Stop::breakpoint) << msx.transcript();
        return run.pc;
    }
};

// A file loaded only (-n) and an 8K file started, in a code fitted to it:
// both stored byte for byte, each shown " <OK>", the last started with the
// tape stopped.
TEST_F(TurboLoader, LoadsBinFilesAndStartsTheLast)
{
    const Bytes big = eight_k_bin(24);
    bool fitted = false;
    turbo_code_for(data_of(big), &fitted);
    ASSERT_TRUE(fitted);
    shop.put("big.bin", big);
    shop.put("data.bin", marker_bin(0xC000, 0x11, 0xD001));
    Msx msx;
    const std::string wav = shop.tapecast({"-cd", "-turbo", "-p", "300", "data.bin", "-n", "big.bin"});
    ASSERT_EQ(play_signal(msx, read_wav(wav), big_start), big_start);
    Machine& m = msx.machine();
    EXPECT_EQ(m.dump(big_start, big.size() - 7), data_of(big));
    EXPECT_EQ(m.dump(0xC000, 6), Bytes({0x3E, 0x11, 0x32, 0x01, 0xD0, 0xC9}));
    EXPECT_EQ(m.read(0xD001), 0);  // loaded only
    EXPECT_EQ(msx.transcript(), " <OK> <OK>");
    EXPECT_FALSE(msx.ppi().motor_on());
    EXPECT_EQ(m.reg(Reg::iff1), 1);
    EXPECT_EQ(m.read_word(m.reg(Reg::sp)), basic_return);
    EXPECT_EQ(run_to(m, {basic_return}, seconds(0.1)).reason, Stop::breakpoint);
    EXPECT_EQ(m.read(marker_flag), 0x5A);
    EXPECT_TRUE(msx.faults().empty());
}

// The main loader builds the uniform code's decode table without its
// description: the three pages it leaves before it builds the reader's
// loops hold what the code's tree gives (the reader's layout: a letter's
// page holds at byte n the node it leads to from node n, 0 for a leaf, and
// at byte 128 + n that leaf's byte).
TEST_F(TurboLoader, BuildsTheUniformCodesTableItself)
{
    const TurboCode& code = TurboCode::uniform();
    Bytes expected(3 * 256, 0);
    for (std::size_t n = 0; n < code.nodes.size(); ++n)
        for (std::size_t letter = 0; letter < 3; ++letter) {
            const int child = code.nodes[n].child[letter];
            if (child < 0)
                expected[256 * letter + 128 + n] = code.leaf_byte[std::size_t(-1 - child)];
            else if (child != TurboCode::kNone)
                expected[256 * letter + n] = std::uint8_t(child);
        }
    Machine m;
    m.install_ram({0, 0});
    const ::TurboLoader loader = turbo_loader();
    m.load(loader.address, loader.image);
    m.write(std::uint16_t(loader.address + loader.image.size()), 0);  // no files
    m.set_reg(Reg::sp, 0xF000);
    m.set_reg(Reg::pc, loader.address);
    m.add_breakpoint(asset_turbo_loader_turbo_loops);
    ASSERT_EQ(m.run(seconds(0.1)).reason, Stop::breakpoint);
    EXPECT_EQ(m.dump(asset_turbo_loader_turbo_table, expected.size()), expected);
}

// A single sample turned over inside a long half of the main loader's block
// (what an MP3's ripple and a DC filter make of it) is no level change: the
// bootstrap looks again past that sample.  Sixteen of them, at every phase
// of its passes.
TEST_F(TurboLoader, TheBootstrapLeavesOutOneSampleGlitches)
{
    shop.put("data.bin", marker_bin(0xC000, 0x11, 0xD001));
    WavSignal signal = read_wav(shop.tapecast({"-cd", "-turbo", "data.bin"}));
    // The main loader's block: the first run of 150 long halves (7 samples).
    std::vector<std::size_t> starts;
    for (std::size_t at = 1; at < signal.samples.size(); ++at)
        if ((signal.samples[at] > 0) != (signal.samples[at - 1] > 0) && signal.samples[at] != 0)
            starts.push_back(at);
    std::size_t half = 0, run = 0;
    for (; half + 1 < starts.size() && run < 150; ++half)
        run = starts[half + 1] - starts[half] == 7 ? run + 1 : 0;
    while (starts[half + 1] - starts[half] == 7)
        ++half;
    ASSERT_EQ(starts[half + 1] - starts[half], 3u);  // the sync
    int glitches = 0;
    for (half += 1000; glitches < 16 && half + 1 < starts.size(); half += 211)
        if (starts[half + 1] - starts[half] == 7) {
            signal.samples[starts[half] + 3] = std::int16_t(-signal.samples[starts[half] + 3]);
            ++glitches;
        }
    ASSERT_EQ(glitches, 16);
    Msx msx;
    EXPECT_EQ(play_signal(msx, signal, 0xC000), 0xC000);
    EXPECT_EQ(msx.transcript(), " <OK>");
}

// One half of the file's data turned over, or the tape cut in the middle of
// the file: " <Err>", back to BASIC, nothing started.
TEST_F(TurboLoader, ADamagedOrCutFileShowsErrAndStartsNothing)
{
    shop.put("big.bin", eight_k_bin());
    const WavSignal written = read_wav(shop.tapecast({"-cd", "-turbo", "big.bin"}));
    // The file's block is the last 2.7 s or so; its middle is well inside it.
    const std::size_t middle = written.samples.size() - 44100;

    WavSignal flipped = written;
    std::size_t at = middle;
    while ((flipped.samples[at] > 0) == (flipped.samples[at - 1] > 0))
        ++at;
    for (const bool high = flipped.samples[at] > 0; (flipped.samples[at] > 0) == high; ++at)
        flipped.samples[at] = -flipped.samples[at];

    WavSignal cut = written;
    cut.samples.resize(middle);

    for (const WavSignal* signal : {&flipped, &cut}) {
        Msx msx;
        EXPECT_EQ(play_signal(msx, *signal, big_start), basic_return);
        EXPECT_EQ(msx.transcript(), " <Err>");
        EXPECT_EQ(msx.machine().read(marker_flag), 0);
        EXPECT_FALSE(msx.ppi().motor_on());
    }
}

// A BASIC program goes to TXTTAB with VARTAB just past it: the last one is
// run by BASIC (its statements walked from 0x8001), one given -n is only
// stored (where TXTTAB says), with no variables or arrays, and BASIC is back.  A data half
// turned over gives " <Err>" and nothing run.
TEST_F(TurboLoader, BasicProgramsAreStoredAtTxttabAndRunByBasic)
{
    const Bytes small = basic_program(60);
    const Bytes large = basic_program(2000);
    ASSERT_LE(large.size(), 2048u);
    shop.put("small.bas", small);
    shop.put("large.bas", large);
    shop.put("data.bin", marker_bin(0xC000, 0x11, 0xD001));
    {
        Msx msx;
        msx.insert_tape({read_wav(shop.tapecast({"-cd", "-turbo", "-p", "300", "data.bin", "-n", "large.bas"}))});
        msx.bload_run();
        Machine& m = msx.machine();
        ASSERT_EQ(run_to(m, {basic_return}, seconds(20)).reason, Stop::requested) << msx.transcript();
        ASSERT_TRUE(msx.basic_run_reached());
        EXPECT_EQ(msx.basic_run_reached()->vartab, 0x8001 + large.size() - 1);
        EXPECT_EQ(m.dump(0x8001, large.size() - 1), Bytes(large.begin() + 1, large.end()));
        EXPECT_EQ(msx.transcript(), " <OK> <OK>");
        EXPECT_FALSE(msx.ppi().motor_on());
        std::vector<Statement> statements;
        msx.run_statements(seconds(1), statements);
        ASSERT_GE(statements.size(), 2u);
        EXPECT_EQ(statements[0].at, 0x8001 + 4);
        EXPECT_EQ(statements[0].token, 0x91);
        EXPECT_EQ(statements[1].token, 0x8F);
        EXPECT_TRUE(msx.faults().empty());
    }
    {
        Msx msx;
        Machine& m = msx.machine();
        m.write_word(txttab, 0x8101);  // program text elsewhere: stored there
        const std::string wav = shop.tapecast({"-cd", "-turbo", "small.bas", "-n"});
        ASSERT_EQ(play_signal(msx, read_wav(wav), basic_return), basic_return);
        EXPECT_FALSE(msx.basic_run_reached());
        EXPECT_EQ(m.dump(0x8101, small.size() - 1), Bytes(small.begin() + 1, small.end()));
        for (std::uint16_t pointer : {vartab, std::uint16_t(vartab + 2), std::uint16_t(vartab + 4)})
            EXPECT_EQ(m.read_word(pointer), 0x8101 + small.size() - 1) << pointer;
        EXPECT_EQ(msx.transcript(), " <OK>");
    }
    WavSignal flipped = read_wav(shop.tapecast({"-cd", "-turbo", "large.bas"}));
    std::size_t at = flipped.samples.size() - 22050;  // inside the program's block
    while ((flipped.samples[at] > 0) == (flipped.samples[at - 1] > 0))
        ++at;
    for (const bool high = flipped.samples[at] > 0; (flipped.samples[at] > 0) == high; ++at)
        flipped.samples[at] = -flipped.samples[at];
    Msx msx;
    EXPECT_EQ(play_signal(msx, flipped, basic_return), basic_return);
    EXPECT_EQ(msx.transcript(), " <Err>");
    EXPECT_FALSE(msx.basic_run_reached());
    EXPECT_FALSE(msx.ppi().motor_on());
}

// A BASIC program run before BIN files keeps the loader as its statement
// hook: its two BLOAD statements load and start the two files, the hook
// goes once the list is served, and a third BLOAD is BASIC's own.  A half
// of the second file turned over: " <Err>", nothing started, the hook gone
// just the same.  A packed BASIC program keeps the hook as well.
TEST_F(TurboLoader, BloadStatementsOfARunBasicProgramLoadTheFilesAfterIt)
{
    shop.put("loads.bas", basic_file({bload_statements(2), bload_statements(1)}));
    shop.put("one.bin", marker_bin(0xC000, 0x11, 0xD001));
    shop.put("big.bin", eight_k_bin());
    const WavSignal written =
        read_wav(shop.tapecast({"-cd", "-turbo", "-p", "300", "loads.bas", "one.bin", "big.bin"}));
    {
        // Packed: its depacker runs it, with the hook in place.
        const Bytes packed = basic_program(6000, bload_statements());
        ASSERT_GT(packed.size(), 2048u);
        shop.put("packed.bas", packed);
        Msx msx;
        msx.insert_tape({read_wav(shop.tapecast({"-cd", "-turbo", "-p", "300", "packed.bas", "one.bin"}))});
        msx.bload_run();
        Machine& m = msx.machine();
        ASSERT_EQ(run_to(m, {basic_return}, seconds(30)).reason, Stop::requested) << msx.transcript();
        ASSERT_TRUE(msx.basic_run_reached());
        EXPECT_EQ(m.dump(0x8001, packed.size() - 1), Bytes(packed.begin() + 1, packed.end()));
        std::vector<Statement> statements;
        msx.run_statements(seconds(10), statements);
        ASSERT_GE(statements.size(), 1u);
        EXPECT_TRUE(statements[0].taken_by_hook);
        EXPECT_EQ(m.read(0xD001), 0x11);
        EXPECT_EQ(m.read(h_gone), 0xC9);
        EXPECT_EQ(msx.transcript(), " <OK> <OK>");
    }
    WavSignal flipped = written;
    flip_half(flipped, flipped.samples.size() - 44100);  // inside big.bin's block
    for (const bool damaged : {false, true}) {
        Msx msx;
        msx.insert_tape({damaged ? flipped : written});
        msx.bload_run();
        Machine& m = msx.machine();
        ASSERT_EQ(run_to(m, {basic_return}, seconds(20)).reason, Stop::requested) << msx.transcript();
        ASSERT_TRUE(msx.basic_run_reached());
        EXPECT_EQ(m.read(h_gone), 0xC3);
        EXPECT_FALSE(msx.ppi().motor_on());

        std::vector<Statement> statements;
        EXPECT_EQ(msx.run_statements(seconds(20), statements).reason, Stop::requested) << msx.transcript();
        ASSERT_EQ(statements.size(), 3u);
        EXPECT_TRUE(statements[0].taken_by_hook);
        EXPECT_TRUE(statements[1].taken_by_hook);
        EXPECT_EQ(statements[1].at, 0x8001 + 4 + bload_statements().size() + 1);
        EXPECT_FALSE(statements[2].taken_by_hook);  // the hook is gone
        EXPECT_EQ(m.read(h_gone), 0xC9);
        EXPECT_EQ(m.read(0xD001), 0x11);
        EXPECT_EQ(m.dump(0xC000, 6), Bytes({0x3E, 0x11, 0x32, 0x01, 0xD0, 0xC9}));
        EXPECT_EQ(m.read(marker_flag), damaged ? 0 : 0x5A);
        if (!damaged) {
            EXPECT_EQ(m.dump(big_start, 0x2000), data_of(eight_k_bin()));
        }
        EXPECT_EQ(msx.transcript(), damaged ? " <OK> <OK> <Err>" : " <OK> <OK> <OK>");
        EXPECT_FALSE(msx.ppi().motor_on());
        EXPECT_EQ(m.reg(Reg::iff1), 1);
        EXPECT_TRUE(msx.faults().empty());
    }
}

// A ROM goes as a packed image with its depacker below the loader: read
// into RAM in page 1 (an MSX2 whose main ROM and RAM sit in expanded
// slots), restored there and its INIT called with that RAM in place.  Given
// -n it is only loaded, and page 1 is back on the main ROM for the next
// file.  A half turned over in its block gives " <Err>", page 1 back on the
// main ROM and BASIC back.
TEST_F(TurboLoader, APackedRomIsReadIntoPage1RamAndStarted)
{
    const Bytes rom = stored_rom();
    shop.put("game.rom", rom);
    const MsxLayout layout = expanded_msx2();
    const WavSignal written = read_wav(shop.tapecast({"-cd", "-turbo", "game.rom"}));
    {
        Msx msx(layout);
        ASSERT_EQ(play_signal(msx, written, 0x4010, 40), 0x4010);
        EXPECT_EQ(msx.machine().slot_of_page(1), layout.ram);
        EXPECT_EQ(msx.machine().dump(0x4000, rom.size()), rom);
        EXPECT_EQ(msx.transcript(), " <OK>");
        EXPECT_FALSE(msx.ppi().motor_on());
        EXPECT_TRUE(msx.faults().empty());
    }
    shop.put("data.bin", marker_bin(0xC000, 0x11, 0xD001));
    {
        Msx msx(layout);
        const WavSignal both = read_wav(shop.tapecast({"-cd", "-turbo", "game.rom", "-n", "data.bin"}));
        ASSERT_EQ(play_signal(msx, both, 0xC000, 40), 0xC000);
        EXPECT_EQ(msx.machine().slot_of_page(1), layout.main_rom);
        EXPECT_EQ(msx.transcript(), " <OK> <OK>");
    }
    WavSignal flipped = written;
    flip_half(flipped, flipped.samples.size() - 44100);
    Msx msx(layout);
    EXPECT_EQ(play_signal(msx, flipped, 0x4010, 40), basic_return);
    EXPECT_EQ(msx.transcript(), " <Err>");
    EXPECT_EQ(msx.machine().slot_of_page(1), layout.main_rom);
    EXPECT_FALSE(msx.ppi().motor_on());
}

// A packed ROM that fills the room below the depacker, with the bytes its
// decoding in place needs past its end and not one more, is restored whole:
// the room the encoder allows is room enough for the decoder on the MSX.
TEST_F(TurboLoader, APackedRomFillingTheRoomBelowTheDepackerIsRestoredWhole)
{
    const auto rom_of = [](std::size_t length) {
        Bytes rom(length, 0x3C);
        const Bytes tail = test_support::seeded_bytes(1024, 12);
        std::copy(tail.begin(), tail.end(), rom.end() - 1024);
        const Bytes header = {'A', 'B', 0x10, 0x40};
        std::copy(header.begin(), header.end(), rom.begin());
        return rom;
    };
    const std::size_t room = turbo_depacker_address() - 0x4000;
    const std::uint32_t leeway = tpk_unpack(tpk_pack(rom_of(room))).leeway_needed;
    const Bytes rom = rom_of(room - leeway);
    ASSERT_EQ(tpk_unpack(tpk_pack(rom)).leeway_needed, leeway);
    shop.put("edge.rom", rom);
    const MsxLayout layout = expanded_msx2();
    Msx msx(layout);
    ASSERT_EQ(play_signal(msx, read_wav(shop.tapecast({"-cd", "-turbo", "-nofix", "edge.rom"})), 0x4010), 0x4010);
    EXPECT_EQ(msx.machine().dump(0x4000, rom.size()), rom);
    EXPECT_EQ(msx.transcript(), " <OK>");
    EXPECT_TRUE(msx.faults().empty());
}

// A BIN file for page 1 goes into the RAM there (an MSX2 whose main ROM and
// RAM sit in expanded slots), and page 1 is back on the main ROM once it is
// checked, for the file after it and for BASIC.
TEST_F(TurboLoader, ABinFileForPage1GoesIntoItsRam)
{
    const Bytes low = test_support::make_bin(0x7F00, 0x7F00, test_support::seeded_bytes(0x200, 9));
    shop.put("low.bin", low);
    shop.put("data.bin", marker_bin(0xC000, 0x11, 0xD001));
    const MsxLayout layout = expanded_msx2();
    Msx msx(layout);
    const WavSignal written = read_wav(shop.tapecast({"-cd", "-turbo", "-p", "300", "low.bin", "-n", "data.bin"}));
    ASSERT_EQ(play_signal(msx, written, 0xC000), 0xC000);
    Machine& m = msx.machine();
    for (std::uint16_t at = 0; at < 0x200; ++at)
        ASSERT_EQ(m.slot_read(layout.ram, std::uint16_t(0x7F00 + at)), low[7 + at]) << at;
    EXPECT_EQ(m.slot_of_page(1), layout.main_rom);
    EXPECT_EQ(msx.transcript(), " <OK> <OK>");
    EXPECT_TRUE(msx.faults().empty());
}

// STOP held while the loader waits for a lead-in gives up as damage does:
// before the first file (STOP held from the start: the bootstrap reads on),
// and for a hooked BLOAD whose file is not on the tape: " <Err>", the hook
// removed, the motor off, nothing started.
TEST_F(TurboLoader, StopWhileWaitingForALeadInGivesUp)
{
    shop.put("data.bin", marker_bin(0xC000, 0x11, 0xD001));
    {
        Msx msx;
        msx.keyboard().hold(key::stop[0], key::stop[1]);
        EXPECT_EQ(play_signal(msx, read_wav(shop.tapecast({"-cd", "-turbo", "data.bin"})), 0xC000), basic_return);
        EXPECT_EQ(msx.transcript(), " <Err>");
        EXPECT_EQ(msx.machine().read(0xC000), 0);
        EXPECT_FALSE(msx.ppi().motor_on());
    }
    shop.put("load.bas", basic_file({bload_statements()}));
    WavSignal signal = read_wav(shop.tapecast({"-cd", "-turbo", "-p", "300", "load.bas", "data.bin"}));
    signal.samples.resize(last_block_start(signal));  // data.bin's block cut off
    Msx msx;
    msx.insert_tape({signal});
    msx.bload_run();
    Machine& m = msx.machine();
    ASSERT_EQ(run_to(m, {basic_return}, seconds(20)).reason, Stop::requested) << msx.transcript();
    ASSERT_TRUE(msx.basic_run_reached());
    msx.keyboard().hold(key::stop[0], key::stop[1], m.cycles() + seconds(1));
    std::vector<Statement> statements;
    EXPECT_EQ(msx.run_statements(seconds(5), statements).reason, Stop::requested) << msx.transcript();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_TRUE(statements[0].taken_by_hook);
    EXPECT_EQ(msx.transcript(), " <OK> <Err>");
    EXPECT_EQ(m.read(h_gone), 0xC9);
    EXPECT_EQ(m.read(0xC000), 0);
    EXPECT_FALSE(msx.ppi().motor_on());
    EXPECT_TRUE(msx.faults().empty());
}

// The bootstrap's check of the main loader takes longer as the list grows:
// with the longest list and the hook's code the first file is still read.
TEST_F(TurboLoader, TheLongestListOfFilesLeavesTheFirstItsLeadIn)
{
    std::vector<std::string> args = {"-cd", "-turbo", "load.bas"};
    shop.put("load.bas", basic_file({bload_statements()}));
    for (std::size_t i = 1; i < turbo_files_at_most(); ++i) {
        args.push_back("f" + std::to_string(i) + ".bin");
        shop.put(args.back(), marker_bin(std::uint16_t(0xC000 + 16 * i), 0x11, 0xD001));
        args.push_back("-n");
    }
    Msx msx;
    msx.insert_tape({read_wav(shop.tapecast(args))});
    msx.bload_run();
    ASSERT_EQ(run_to(msx.machine(), {basic_return}, seconds(20)).reason, Stop::requested) << msx.transcript();
    EXPECT_EQ(msx.transcript(), " <OK>");
}

// A program that ends before its BLOADs are all served leaves the hook in
// place, but a BLOAD typed in direct mode is BASIC's own, not the next file
// of the list.
TEST_F(TurboLoader, ADirectModeBloadIsLeftToBasic)
{
    shop.put("load.bas", basic_file({bload_statements()}));
    shop.put("one.bin", marker_bin(0xC000, 0x11, 0xD001));
    shop.put("two.bin", marker_bin(0xC100, 0x22, 0xD002));
    Msx msx;
    msx.insert_tape({read_wav(shop.tapecast({"-cd", "-turbo", "-p", "300", "load.bas", "one.bin", "two.bin"}))});
    msx.bload_run();
    Machine& m = msx.machine();
    ASSERT_EQ(run_to(m, {basic_return}, seconds(20)).reason, Stop::requested) << msx.transcript();
    std::vector<Statement> statements;
    EXPECT_EQ(msx.run_statements(seconds(5), statements).reason, Stop::requested) << msx.transcript();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_TRUE(statements[0].taken_by_hook);
    EXPECT_EQ(m.read(0xD001), 0x11);
    Statement typed;
    EXPECT_EQ(msx.run_direct(bload_statements(), seconds(5), typed).reason, Stop::breakpoint);
    EXPECT_FALSE(typed.taken_by_hook);
    EXPECT_EQ(m.reg(Reg::hl), kbuf);
    EXPECT_EQ(m.reg(Reg::af) >> 8, 0xCF);
    EXPECT_EQ(m.read(h_gone), 0xC3);  // still the program's, should it go on
    EXPECT_EQ(m.read(0xC100), 0);
    EXPECT_EQ(msx.transcript(), " <OK> <OK>");
    EXPECT_TRUE(msx.faults().empty());
}

// A BASIC program over 2048 bytes goes packed: its depacker restores it
// at TXTTAB - 1 and BASIC runs it with the main ROM in page 1.  A COM
// program is restored at 0x0100 with RAM in page 0 and started there.
TEST_F(TurboLoader, PackedBasicProgramsAndComProgramsAreRestoredAndStarted)
{
    const Bytes program = basic_program(6000);
    ASSERT_GT(program.size(), 2048u);
    shop.put("large.bas", program);
    Bytes com = {0x21, 0x00, 0x01, 0xC9};  // LD HL,0100h / RET
    for (char c : std::string(" an MSX-DOS program restored by the depacker from a turbo tape"))
        com.push_back(std::uint8_t(c));
    shop.put("TOOL.COM", com);
    {
        Msx msx;
        msx.insert_tape({read_wav(shop.tapecast({"-cd", "-turbo", "large.bas"}))});
        msx.bload_run();
        Machine& m = msx.machine();
        ASSERT_EQ(run_to(m, {basic_return}, seconds(20)).reason, Stop::requested) << msx.transcript();
        ASSERT_TRUE(msx.basic_run_reached());
        EXPECT_EQ(msx.basic_run_reached()->vartab, 0x8001 + program.size() - 1);
        EXPECT_EQ(msx.basic_run_reached()->page1, msx.layout().main_rom);
        EXPECT_EQ(m.dump(0x8001, program.size() - 1), Bytes(program.begin() + 1, program.end()));
        EXPECT_EQ(msx.transcript(), " <OK>");
        EXPECT_TRUE(msx.faults().empty());
    }
    Msx msx;
    ASSERT_EQ(play_signal(msx, read_wav(shop.tapecast({"-cd", "-turbo", "TOOL.COM"})), 0x0100), 0x0100);
    EXPECT_EQ(msx.machine().slot_of_page(0), msx.layout().ram);
    EXPECT_EQ(msx.machine().dump(0x0100, com.size()), com);
    EXPECT_EQ(msx.transcript(), " <OK>");
}

}  // namespace
}  // namespace msxbench
