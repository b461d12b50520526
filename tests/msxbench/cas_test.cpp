// CAS images played: tapecast turns a CAS image made here into a WAV, and the
// emulated MSX reads it from its first sample.  In the standard format its
// BIOS reads every block back; in the fast modes the loader loads the BIN
// and BASIC files, and the blocks left in the standard format are read by
// the program that wants them, with the BIOS.
#include "loader_harness.h"

#include "msxbench_cas_reader.h"

#include <gtest/gtest.h>

namespace msxbench {
namespace {

using namespace loader_harness;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t tapion = 0x00E1;
constexpr std::uint16_t tapin = 0x00E4;
constexpr std::uint16_t returned = 0xC800;  // where the calls below return

Bytes pattern(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t((i * seed) ^ (i >> 3));
    return bytes;
}

Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Calls a BIOS tape routine as a program does; false when it reports an
// error (carry) or does not return.
bool bios_call(Machine& m, std::uint16_t routine, std::uint8_t& a)
{
    const RunResult run = m.call(routine, returned, seconds(10));
    a = std::uint8_t(m.reg(Reg::af) >> 8);
    return run.reason == Stop::breakpoint && run.pc == returned && (m.reg(Reg::af) & 1) == 0;
}

// The bytes of the block the tape plays next, as TAPION and TAPIN read them.
Bytes read_block(Machine& m, std::size_t length)
{
    std::uint8_t a = 0;
    if (!bios_call(m, tapion, a))
        return {};
    Bytes bytes;
    while (bytes.size() < length && bios_call(m, tapin, a))
        bytes.push_back(a);
    return bytes;
}

// A BIN file's data block: start, end and exec, then the bytes.
Bytes bin_block(std::uint16_t start, const Bytes& data)
{
    Bytes bin = test_support::make_bin(start, start, data);
    return Bytes(bin.begin() + 1, bin.end());
}

// Every kind of block: the MSX's own routines read each one back, as stored,
// in order, through the gaps and tones between them.
TEST(CasStandard, TheBiosReadsEveryBlockBackAsStored)
{
    Bytes ascii_last(256, 'b');
    ascii_last[40] = 0x1A;
    const std::vector<Bytes> blocks = {
        test_support::cas_descriptor(0xD0, "GAME"), bin_block(0xC000, pattern(300, 5)),
        test_support::cas_descriptor(0xD3, "PROG"), concat({0x09, 0x80, 0x0A, 0x00, 0x91, 0x20, 0x31, 0x00}, Bytes(9, 0)),
        test_support::cas_descriptor(0xEA, "TEXT"), Bytes(256, 'a'), ascii_last,
        pattern(200, 3),  // a block without a descriptor
    };
    Workshop shop;
    shop.put("tape.cas", test_support::make_cas(blocks));
    Msx msx;
    msx.insert_tape({read_wav(shop.tapecast({"-cd", "-p", "200", "tape.cas"}))});
    msx.machine().set_reg(Reg::sp, msx.layout().stack);
    for (std::size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(read_block(msx.machine(), blocks[i].size()), blocks[i]) << "block " << i;
    EXPECT_TRUE(msx.faults().empty());
}

// A BASIC program in a CAS image that BLOADs the two BIN files after it:
// the loader loads and runs the program, and each BLOAD statement is served
// by the next fast block through the loader's hook.
TEST(CasFast, ABasicProgramBloadsTheTwoBinFilesAfterIt)
{
    const Bytes line10 = basic_line(0x8001, 10, bload_statements(2));
    const Bytes program = concat(line10, {0, 0, 0, 0, 0, 0, 0, 0, 0});  // end link, seven zeros
    const auto data_of = [](const Bytes& bin) { return Bytes(bin.begin() + 1, bin.end()); };
    Workshop shop;
    shop.put("game.cas", test_support::make_cas({test_support::cas_descriptor(0xD3, "LOADS"), program,
                                                 test_support::cas_descriptor(0xD0, "ONE"),
                                                 data_of(marker_bin(0xC000, 0x11, 0xD000)),
                                                 test_support::cas_descriptor(0xD0, "TWO"),
                                                 data_of(marker_bin(0xC100, 0x22, 0xD001))}));
    auto msx = play({shop.tapecast({"-cd", "-c", "-p", "200", "game.cas"})});
    Machine& m = msx->machine();
    ASSERT_EQ(run_to(m, {}, seconds(15)).reason, Stop::requested);
    ASSERT_TRUE(msx->basic_run_reached());
    EXPECT_EQ(m.dump(0x8001, line10.size() + 2), concat(line10, {0, 0}));

    std::vector<Statement> statements;
    EXPECT_EQ(msx->run_statements(seconds(10), statements).reason, Stop::requested) << msx->screen_text();
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_TRUE(statements[0].taken_by_hook);
    EXPECT_TRUE(statements[1].taken_by_hook);
    EXPECT_EQ(m.read(0xD000), 0x11);
    EXPECT_EQ(m.read(0xD001), 0x22);
    EXPECT_TRUE(on_screen(*msx, "Loading:LOADS        <OK>")) << msx->screen_text();
    EXPECT_TRUE(on_screen(*msx, "Loading:ONE          <OK>")) << msx->screen_text();
    EXPECT_TRUE(on_screen(*msx, "Loading:TWO          <OK>")) << msx->screen_text();
    EXPECT_TRUE(msx->faults().empty());
}

// A program that reads the block after it with the BIOS: the program goes
// fast, the block stays in the standard format, and with the tape running
// on regardless of the motor (a CD, a computer) the program is started and
// waiting for the block before the block's sync tone is over.
TEST(CasFast, AProgramReadsTheStandardBlockAfterItWithTheBios)
{
    const Bytes reader(msxbench_cas_reader, msxbench_cas_reader + msxbench_cas_reader_size);
    const Bytes block = pattern(300, 7);
    Workshop shop;
    shop.put("game.cas", test_support::make_cas({test_support::cas_descriptor(0xD0, "READER"),
                                                 bin_block(0xC000, reader), block}));
    for (const char* mode : {"-c", "-xp"}) {
        SCOPED_TRACE(mode);
        TapeOptions free_running;
        free_running.motor_controlled = false;
        auto msx = play({shop.tapecast({"-cd", mode, "game.cas"})}, {}, free_running);
        ASSERT_TRUE(reach(*msx, {0xC003, 0xC005}, 30, 0xC003));
        EXPECT_EQ(msx->machine().dump(0xD000, block.size()), block);
        EXPECT_TRUE(on_screen(*msx, "Loading:READER       <OK>")) << msx->screen_text();
    }
}

}  // namespace
}  // namespace msxbench
