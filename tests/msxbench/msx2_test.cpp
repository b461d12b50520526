// The emulated MSX2: the memory mapper, the V9938's video memory and frame
// interrupt, the BIOS interrupt routine and console input, the start state
// BASIC and the fast loader leave, and the RAM disk dump.
#include "loader_harness.h"
#include "machine.h"
#include "msx.h"
#include "ramdisk/fat12_image.h"

#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "msxbench_ramdisk_sector.h"

namespace msxbench {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t code = 0xC000;
constexpr std::uint16_t done = 0xC800;  // return address of calls, a breakpoint
constexpr std::uint16_t results = 0xC900;

RunResult run_program(Msx& msx, const Bytes& program, std::uint64_t limit = 100000)
{
    msx.machine().load(code, program);
    return msx.machine().call(code, done, limit);
}

// --- Memory mapper.

class MapperTest : public ::testing::TestWithParam<int> {};

TEST_P(MapperTest, PortsSelectSegmentsModuloTheSizeInEveryPage)
{
    const int kb = GetParam();
    const int segments = kb / 16;
    Msx msx(msx2_layout(kb));
    Machine& m = msx.machine();
    ASSERT_EQ(m.mapper_segments(), segments);
    for (int page = 0; page < 4; ++page)
        EXPECT_EQ(m.mapper_register(page), 3 - page);
    m.segment(1)[0] = 0x11;
    const auto alias = static_cast<std::uint8_t>(4 + segments);
    const Bytes program = {
        0xF3,                    // DI
        0x3E, 0x04, 0xD3, 0xFE,  // LD A,4 / OUT (0FEh),A: page 2 = segment 4
        0x3E, 0x44, 0x32, 0x00, 0x80,  // LD A,44h / LD (8000h),A
        0x3E, alias, 0xD3, 0xFE,       // LD A,4+segments / OUT (0FEh),A: the same segment
        0x3A, 0x00, 0x80, 0x32, 0x00, 0xC9,  // LD A,(8000h) / LD (C900h),A
        0x3E, 0x01, 0xD3, 0xFE,              // LD A,1 / OUT (0FEh),A
        0x3A, 0x00, 0x80, 0x32, 0x01, 0xC9,  // LD A,(8000h) / LD (C901h),A
        // Page 1 to slot 3-2 as well: secondary register, then port A8h.
        0x3E, 0xA8, 0x32, 0xFF, 0xFF,        // LD A,0A8h / LD (0FFFFh),A
        0x3A, 0xFF, 0xFF, 0x32, 0x03, 0xC9,  // LD A,(0FFFFh) / LD (C903h),A
        0xDB, 0xA8, 0xF6, 0x0C, 0xD3, 0xA8,  // IN A,(0A8h) / OR 0Ch / OUT (0A8h),A
        0x3E, 0x04, 0xD3, 0xFD,              // LD A,4 / OUT (0FDh),A
        0x3A, 0x00, 0x40, 0x32, 0x02, 0xC9,  // LD A,(4000h) / LD (C902h),A
        0xC9,                                // RET
    };
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(m.read(results), 0x44);
    EXPECT_EQ(m.read(results + 1), 0x11);
    EXPECT_EQ(m.read(results + 2), 0x44);
    EXPECT_EQ(m.read(results + 3), 0x57);  // the secondary register reads inverted
    EXPECT_EQ(m.segment(4)[0], 0x44);
    EXPECT_EQ(m.segment(4 + segments)[0], 0x44);
    EXPECT_EQ(m.segment(0)[0], 0xF3);  // the program itself, page 3 = segment 0
    EXPECT_EQ(m.slot_of_page(1), (Slot{3, 2}));
    EXPECT_EQ(m.mapper_register(1), 4);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MapperTest, ::testing::Values(128, 256, 512),
                         [](const auto& info) { return std::to_string(info.param) + "K"; });

TEST(Mapper, A64KMapperShowsSegment0AsSegment4)
{
    Msx msx(msx2_layout(64));
    Machine& m = msx.machine();
    m.write(0xC003, 0x00);
    // LD A,5 / OUT (0FEh),A / LD A,0A5h / LD (8003h),A / LD A,1 / OUT (0FEh),A / RET: segment 5 = 1
    ASSERT_EQ(run_program(msx, {0x3E, 0x05, 0xD3, 0xFE, 0x3E, 0xA5, 0x32, 0x03, 0x80, 0x3E, 0x01, 0xD3, 0xFE,
                                0xC9})
                  .reason,
              Stop::breakpoint);
    EXPECT_EQ(m.read(0x8003), 0xA5);
    EXPECT_EQ(m.segment(4).data(), m.segment(0).data());
}

TEST(Mapper, RegistersAreSharedAndMatterOnlyForMapperPages)
{
    Machine m;
    m.install_mapper({1, 0}, 8);
    m.install_ram({2, 0}, 0, 4);
    m.set_primary_register(0x10);  // page 2 on the mapper, the rest on slot 0 (empty)
    m.set_mapper_register(2, 6);
    m.write(0x8000, 0x66);
    EXPECT_EQ(m.segment(6)[0], 0x66);
    m.set_primary_register(0x20);  // page 2 on plain RAM: the register does not apply
    m.write(0x8000, 0x22);
    EXPECT_EQ(m.segment(6)[0], 0x66);
    EXPECT_EQ(m.slot_read({2, 0}, 0x8000), 0x22);
    EXPECT_EQ(m.slot_read({1, 0}, 0x8000), 0x66);
}


// --- V9938 video memory.

// Writes four bytes from 0C9E0h to VRAM 3FFEh of the 16 KB page in 0C9F0h
// (R#14), then sets a read address there and reads four bytes to 0C900h:
// both cross a 16 KB boundary.  OUTI / JP NZ keeps 29 T between accesses.
const Bytes vram_across_pages = {
    0xF3,                    // DI
    0x3A, 0xF0, 0xC9,        // LD A,(0C9F0h)
    0xD3, 0x99, 0x3E, 0x8E, 0xD3, 0x99,  // OUT (99h),A / LD A,8Eh / OUT (99h),A: R#14
    0x3E, 0xFE, 0xD3, 0x99, 0x3E, 0x7F, 0xD3, 0x99,  // address 3FFEh, writing
    0x21, 0xE0, 0xC9, 0x06, 0x04, 0x0E, 0x98,        // LD HL,0C9E0h / LD B,4 / LD C,98h
    0xED, 0xA3, 0xC2, 0x19, 0xC0,                    // OUTI / JP NZ,0C019h
    0x3A, 0xF0, 0xC9, 0xD3, 0x99, 0x3E, 0x8E, 0xD3, 0x99,
    0x3E, 0xFE, 0xD3, 0x99, 0x3E, 0x3F, 0xD3, 0x99,  // address 3FFEh, reading
    0x21, 0x00, 0xC9, 0x06, 0x04,                    // LD HL,0C900h / LD B,4
    0xED, 0xA2, 0xC2, 0x34, 0xC0,                    // INI / JP NZ,0C034h
    0xFB, 0xC9,                                      // EI / RET
};

struct VramCase {
    int vram_kb;
    std::uint8_t r0;    // R#0: 04h TEXT2 (an MSX2 mode), 00h TEXT1 with R#1 M1
    int page;           // R#14 written
    std::uint32_t second_half;  // where the last two bytes land
};

class VramTest : public ::testing::TestWithParam<VramCase> {};

TEST_P(VramTest, R14SelectsThePageAndTheCounterCarriesIntoItOnlyInMsx2Modes)
{
    const VramCase c = GetParam();
    Msx msx(msx2_layout(128, c.vram_kb));
    Machine& m = msx.machine();
    Vdp& vdp = msx.vdp();
    EXPECT_EQ(m.read(mode) & 0x06, c.vram_kb == 128 ? 0x04 : 0x02);
    vdp.write(0x99, c.r0, 0);
    vdp.write(0x99, 0x80, 0);
    m.load(0xC9E0, Bytes{0x11, 0x22, 0x33, 0x44});
    m.write(0xC9F0, static_cast<std::uint8_t>(c.page));
    ASSERT_EQ(run_program(msx, vram_across_pages).reason, Stop::breakpoint);
    const std::uint32_t first = std::uint32_t(c.page) * 0x4000 + 0x3FFE;
    EXPECT_EQ(vdp.vram(first), 0x11);
    EXPECT_EQ(vdp.vram(first + 1), 0x22);
    EXPECT_EQ(vdp.vram(c.second_half), 0x33);
    EXPECT_EQ(vdp.vram(c.second_half + 1), 0x44);
    EXPECT_EQ(m.dump(results, 4), (Bytes{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(vdp.reg(14), c.r0 ? (c.page + 1) & 7 : c.page);
    EXPECT_EQ(vdp.close_accesses(), 0);
    if (c.vram_kb == 64) {  // the upper 64 KB are the lower ones again
        EXPECT_EQ(vdp.vram(first % 0x10000), 0x11);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, VramTest,
                         ::testing::Values(VramCase{128, 0x04, 1, 0x8000}, VramCase{128, 0x04, 6, 0x1C000},
                                           VramCase{128, 0x00, 1, 0x4000}, VramCase{64, 0x04, 5, 0x8000},
                                           VramCase{64, 0x00, 2, 0x8000}));

// --- Frame interrupt and the BIOS interrupt routine.

constexpr std::uint16_t keyi_count = 0xD102;
constexpr std::uint16_t timi_status = 0xD100;

// H.KEYI counts its calls at 0D102h, H.TIMI stores A at 0D100h.
void hook_both(Machine& m)
{
    // D000: PUSH HL / LD HL,(0D102h) / INC HL / LD (0D102h),HL / POP HL / RET
    m.load(0xD000, Bytes{0xE5, 0x2A, 0x02, 0xD1, 0x23, 0x22, 0x02, 0xD1, 0xE1, 0xC9});
    // D010: LD (0D100h),A / RET
    m.load(0xD010, Bytes{0x32, 0x00, 0xD1, 0xC9});
    m.load(h_keyi, Bytes{0xC3, 0x00, 0xD0});
    m.load(h_timi, Bytes{0xC3, 0x10, 0xD0});
}

TEST(FrameInterrupt, ReachesTheBiosRoutineEveryFrameWhichCountsJiffyAndCallsTheHooks)
{
    for (bool pal : {true, false}) {
        MsxLayout layout = msx2_layout();
        layout.pal = pal;
        Msx msx(layout);
        Machine& m = msx.machine();
        hook_both(m);
        m.write_word(jiffy, 0xFFFE);
        m.add_breakpoint(keyint);
        // EI / HALT / JR -1
        m.load(code, Bytes{0xFB, 0x76, 0x18, 0xFD});
        m.set_reg(Reg::pc, code);
        std::vector<std::uint64_t> entries;
        for (int i = 0; i < 4; ++i) {
            const RunResult r = m.run(200000);
            ASSERT_EQ(r.reason, Stop::breakpoint);
            ASSERT_EQ(r.pc, keyint);
            EXPECT_EQ(m.slot_of_page(0), (Slot{0, 0}));
            entries.push_back(m.cycles());
        }
        m.remove_breakpoint(keyint);
        m.run(1000);  // the fourth interrupt's routine
        const std::uint64_t frame = pal ? 71364 : 59736;
        EXPECT_NEAR(double(entries[0]), double(frame), 20.0);
        for (int i = 1; i < 4; ++i)
            EXPECT_NEAR(double(entries[i] - entries[i - 1]), double(frame), 8.0) << "PAL " << pal;
        EXPECT_EQ(m.read_word(jiffy), 0x0002);  // 0FFFEh + 4, wrapped
        EXPECT_EQ(m.read_word(keyi_count), 4);
        EXPECT_EQ(m.read(timi_status), 0x80);
        EXPECT_EQ(m.read(statfl), 0x80);
        EXPECT_EQ(m.interrupts_taken(), 4u);
        EXPECT_EQ(msx.vdp().status(m.cycles()) & 0x80, 0);  // the routine's read cleared it
    }
}

TEST(FrameInterrupt, KeepsTheInterruptedProgramsRegisters)
{
    Msx msx(msx2_layout());
    Machine& m = msx.machine();
    // EI / HALT / HALT / DI / RET
    m.load(code, Bytes{0xFB, 0x76, 0x76, 0xF3, 0xC9});
    const std::pair<Reg, std::uint16_t> values[] = {{Reg::bc, 0x1234}, {Reg::de, 0x5678}, {Reg::hl, 0x9ABC},
                                                    {Reg::ix, 0xDEF0}, {Reg::iy, 0x1357}, {Reg::af2, 0x2468},
                                                    {Reg::bc2, 0x369C}, {Reg::de2, 0x48AC},
                                                    {Reg::hl2, 0x5BDF}};
    for (auto [reg, value] : values)
        m.set_reg(reg, value);
    m.set_reg(Reg::af, 0xA5C3);
    const std::uint16_t sp = m.reg(Reg::sp);
    ASSERT_EQ(m.call(code, done, 200000).reason, Stop::breakpoint);
    EXPECT_EQ(m.read_word(jiffy), 2);
    for (auto [reg, value] : values)
        EXPECT_EQ(m.reg(reg), value);
    EXPECT_EQ(m.reg(Reg::af), 0xA5C3);
    EXPECT_EQ(m.reg(Reg::sp), sp);
}

TEST(FrameInterrupt, WaitsForEiAndIeAndTheFlagIsOneBitClearedByReadingStatus)
{
    Msx msx(msx2_layout());
    Machine& m = msx.machine();
    Vdp& vdp = msx.vdp();
    // Two frames with interrupts off, then EI: one interrupt for both.
    m.set_reg(Reg::iff1, 0);
    m.set_reg(Reg::iff2, 0);
    m.load(code, Bytes{0x00, 0x18, 0xFD});  // NOP / JR -3
    m.set_reg(Reg::pc, code);
    m.run(2 * 71364 + 100);
    EXPECT_EQ(m.read_word(jiffy), 0);
    EXPECT_TRUE(vdp.interrupt_line(m.cycles()));
    m.load(code, Bytes{0xFB, 0x00, 0x18, 0xFC});  // EI / NOP / JR -4
    m.set_reg(Reg::pc, code);
    m.run(1000);
    EXPECT_EQ(m.read_word(jiffy), 1);
    EXPECT_FALSE(vdp.interrupt_line(m.cycles()));

    // IE off: the flag is set at each frame but nothing interrupts; IN A,(99h) clears it.
    vdp.write(0x99, 0xD0, m.cycles());
    vdp.write(0x99, 0x81, m.cycles());
    m.set_reg(Reg::pc, code);
    m.run(71364 + 100);
    EXPECT_EQ(m.read_word(jiffy), 1);
    EXPECT_EQ(vdp.status(m.cycles()), 0x80);
    // DI / IN A,(99h) / LD B,A / IN A,(99h) / LD C,A / RET
    ASSERT_EQ(run_program(msx, {0xF3, 0xDB, 0x99, 0x47, 0xDB, 0x99, 0x4F, 0xC9}).reason, Stop::breakpoint);
    EXPECT_EQ(m.reg(Reg::bc), 0x8000);
}

TEST(FrameInterrupt, AnMsx1LayoutLeavesTheLineUnconnectedUnlessAsked)
{
    Msx plain;
    Machine& m = plain.machine();
    m.load(code, Bytes{0xFB, 0x00, 0x18, 0xFD});
    m.set_reg(Reg::pc, code);
    m.run(3 * 71364);
    EXPECT_EQ(m.read_word(jiffy), 0);

    MsxLayout layout;
    layout.frame_interrupt = true;
    layout.pal = false;
    Msx msx1(layout);
    Machine& m1 = msx1.machine();
    m1.load(code, Bytes{0xFB, 0x00, 0x18, 0xFD});
    m1.set_reg(Reg::pc, code);
    m1.run(3 * 59736 + 1000);
    EXPECT_EQ(m1.read_word(jiffy), 3);
}

// --- Console input: CHGET, CHSNS and the keyboard buffer.

// Reads characters with CHGET to 0C900h up to a CR, then CHSNS: its flags
// (F) at 0C980h.
const Bytes read_line = {
    0x21, 0x00, 0xC9,  // LD HL,0C900h
    0xCD, 0x9F, 0x00,  // CALL CHGET
    0x77, 0x23,        // LD (HL),A / INC HL
    0xFE, 0x0D,        // CP 0Dh
    0x20, 0xF7,        // JR NZ,0C003h
    0xCD, 0x9C, 0x00,  // CALL CHSNS
    0xF5, 0xE1,        // PUSH AF / POP HL
    0x22, 0x80, 0xC9,  // LD (0C980h),HL
    0xC9,              // RET
};

bool chsns_empty(const Machine& m)
{
    return (m.read(0xC980) & 0x40) != 0;  // Z
}

TEST(Console, ChgetReturnsTypedKeysInOrderAndStopsTheRunWhenTheBufferIsEmpty)
{
    Msx msx(msx2_layout());
    Machine& m = msx.machine();
    m.load(code, read_line);
    m.push(done);
    m.set_reg(Reg::pc, code);
    m.add_breakpoint(done);
    m.set_reg(Reg::iff1, 0);
    ASSERT_TRUE(msx.type("DIR"));
    RunResult r = m.run(1'000'000);
    EXPECT_EQ(r.reason, Stop::requested);
    EXPECT_TRUE(msx.waiting_for_key());
    EXPECT_EQ(m.reg(Reg::iff1), 1);  // CHGET waits with interrupts on
    EXPECT_EQ(m.dump(results, 3), (Bytes{'D', 'I', 'R'}));
    // Nothing typed: it stops again at once.
    r = m.run(1'000'000);
    EXPECT_TRUE(msx.waiting_for_key());
    EXPECT_LT(r.cycles, 1000u);
    ASSERT_TRUE(msx.type("\rX"));
    r = m.run(1'000'000);
    ASSERT_EQ(r.reason, Stop::breakpoint);
    EXPECT_FALSE(msx.waiting_for_key());
    EXPECT_EQ(m.read(results + 3), 0x0D);
    EXPECT_FALSE(chsns_empty(m));  // "X" is left
    EXPECT_EQ(msx.keybuf_contents(), "X");


    m.load(code, read_line);
    ASSERT_TRUE(msx.type("\r"));
    ASSERT_EQ(m.call(code, done, 1'000'000).reason, Stop::breakpoint);
    EXPECT_EQ(m.dump(results, 2), (Bytes{'X', 0x0D}));
    EXPECT_TRUE(chsns_empty(m));
    EXPECT_EQ(m.reg(Reg::iff1), 1);
}

TEST(Console, KeysHeldOnTheKeyboardReachKeybufThroughTheInterrupt)
{
    Msx msx(msx2_layout());
    Machine& m = msx.machine();
    Keyboard& k = msx.keyboard();
    // "Di" then RETURN: SHIFT+D, i, RETURN, each held for three frames.
    const std::uint64_t frame = 71364;
    k.hold(6, 0, 2 * frame, 5 * frame);  // SHIFT
    k.hold(3, 1, 3 * frame, 6 * frame);  // D
    k.hold(3, 6, 7 * frame, 10 * frame); // I
    k.hold(7, 7, 12 * frame, 15 * frame);  // RETURN
    m.load(code, read_line);
    ASSERT_EQ(m.call(code, done, 20 * frame).reason, Stop::breakpoint);
    EXPECT_EQ(m.dump(results, 3), (Bytes{'D', 'i', 0x0D}));
    EXPECT_GT(m.cycles(), 12 * frame);
    EXPECT_LT(m.cycles(), 14 * frame);
    EXPECT_TRUE(chsns_empty(m));
    EXPECT_EQ(m.read(oldkey + 3), 0xFF);  // all released again by the last scan
    EXPECT_EQ(m.read(intflg), 0);

    // CTRL+C gives 03h; CTRL+STOP gives no character but INTFLG = 3.
    const std::uint64_t now = m.cycles();
    k.hold(6, 1, now, now + 6 * frame);                  // CTRL
    k.hold(3, 0, now + frame, now + 2 * frame);          // C
    k.hold(7, 4, now + 3 * frame, now + 4 * frame);      // STOP
    k.hold(7, 7, now + 7 * frame, now + 8 * frame);      // RETURN
    m.load(code, read_line);
    ASSERT_EQ(m.call(code, done, 10 * frame).reason, Stop::breakpoint);
    EXPECT_EQ(m.dump(results, 2), (Bytes{0x03, 0x0D}));
    EXPECT_EQ(m.read(intflg), 3);
}

TEST(Console, KeybufWrapsAtItsEndAndDropsKeysWhenFull)
{
    Msx msx(msx2_layout());
    Machine& m = msx.machine();
    m.write_word(getpnt, 0xFC15);
    m.write_word(putpnt, 0xFC15);
    ASSERT_TRUE(msx.type("ABCDE\r"));
    EXPECT_EQ(m.read_word(putpnt), 0xFBF3);
    EXPECT_EQ(m.dump(0xFC15, 3), (Bytes{'A', 'B', 'C'}));
    EXPECT_EQ(m.dump(keybuf, 3), (Bytes{'D', 'E', 0x0D}));
    ASSERT_EQ(run_program(msx, read_line).reason, Stop::breakpoint);
    EXPECT_EQ(m.dump(results, 6), (Bytes{'A', 'B', 'C', 'D', 'E', 0x0D}));
    EXPECT_EQ(m.read_word(getpnt), 0xFBF3);

    // Capacity 39: the 40th key would make PUTPNT meet GETPNT.
    EXPECT_FALSE(msx.type(std::string(40, 'K')));
    EXPECT_EQ(msx.keybuf_contents(), std::string(39, 'K'));
    EXPECT_EQ(m.read_word(putpnt), 0xFBF2);

    // The start-up's way of typing: "K7" CR stored at KEYBUF with the pointers set.
    m.load(keybuf, Bytes{'K', '7', 0x0D});
    m.write_word(getpnt, keybuf);
    m.write_word(putpnt, keybuf + 3);
    ASSERT_EQ(run_program(msx, read_line).reason, Stop::breakpoint);
    EXPECT_EQ(m.dump(results, 3), (Bytes{'K', '7', 0x0D}));
}

// --- The start state BASIC and the fast loader leave.

TEST(StartState, Msx2WithTheMapperIn3Dash2AsBasicAndTheLoaderLeaveIt)
{
    for (bool rom_expanded : {false, true}) {
        Msx msx(msx2_layout(128, 128, rom_expanded));
        Machine& m = msx.machine();
        EXPECT_EQ(m.primary_register(), 0xF0);
        EXPECT_EQ(m.secondary_register(3), 0xA0);
        EXPECT_EQ(m.read(0xFFFF), 0x5F);
        EXPECT_EQ(m.slot_of_page(2), (Slot{3, 2}));
        EXPECT_EQ(m.dump(exptbl, 4), (Bytes{std::uint8_t(rom_expanded ? 0x80 : 0x00), 0x00, 0x00, 0x80}));
        EXPECT_EQ(m.read(slttbl + 3), 0xA0);
        EXPECT_EQ(msx.main_rom_id(), rom_expanded ? 0x80 : 0x00);
        EXPECT_EQ(m.read(0xFFF7), msx.main_rom_id());
        EXPECT_EQ(m.read(msx_version), 1);
        EXPECT_EQ(m.read(mode), 0x04);
        EXPECT_EQ(m.read(0xFFE8), 0x02);  // RG9SAV: 50 Hz
        EXPECT_EQ(m.read_word(getpnt), m.read_word(putpnt));
        msx.start(0x8304);
        EXPECT_EQ(m.reg(Reg::pc), 0x8304);
        EXPECT_EQ(m.reg(Reg::sp), 0xF0A0 - 2);
        EXPECT_EQ(m.read_word(0xF09E), basic_return);
        EXPECT_EQ(m.reg(Reg::iff1), 1);
        msx.start(0x8304, false);
        EXPECT_EQ(m.reg(Reg::iff1), 0);
        EXPECT_EQ(m.reg(Reg::sp), 0xF0A0 - 2);
        // A program there that reads the version byte and returns to BASIC.
        m.load(0x8304, Bytes{0x3A, 0x2D, 0x00, 0x32, 0x00, 0xC9, 0xC9});  // LD A,(002Dh) / LD (0C900h),A / RET
        m.add_breakpoint(basic_return);
        ASSERT_EQ(m.run(100000).reason, Stop::breakpoint);
        EXPECT_EQ(m.read(results), 1);
    }
}

TEST(StartState, LeftoversFillWhatAProgramMustNotTrustAndLeftHooksFault)
{
    Msx msx(msx2_layout(256, 128));
    Machine& m = msx.machine();
    msx.leave_leftovers();
    EXPECT_NE(m.segment(4)[0x100], m.segment(5)[0x100]);
    EXPECT_NE(m.segment(15)[0], 0);
    EXPECT_NE(msx.vdp().vram(0x1FFFF) | msx.vdp().vram(0x1FFFE), 0);
    EXPECT_EQ(msx.vdp().vram(0x0000), ' ');  // the screen stays
    EXPECT_EQ(m.segment(3)[0], 0);           // the TPA segments stay
    // The first frame interrupt calls H.KEYI into the lost ROM.
    m.load(code, Bytes{0xFB, 0x76, 0x18, 0xFD});
    m.set_reg(Reg::pc, code);
    EXPECT_EQ(m.run(200000).reason, Stop::requested);
    ASSERT_EQ(msx.faults().size(), 1u);
    EXPECT_NE(msx.faults()[0].find("hook"), std::string::npos);
}

TEST(StartState, Msx1AndSmallMapperLayoutsForTheRequirementCheck)
{
    Msx msx1;
    EXPECT_EQ(msx1.machine().read(msx_version), 0);
    EXPECT_EQ(msx1.machine().mapper_segments(), 0);
    EXPECT_EQ(msx1.vdp().vram_size(), 0x4000u);

    Msx small(msx2_layout(64, 64));
    EXPECT_EQ(small.machine().read(msx_version), 1);
    EXPECT_EQ(small.machine().mapper_segments(), 4);
    EXPECT_EQ(small.machine().read(mode), 0x02);
    EXPECT_EQ(small.vdp().vram_size(), 0x10000u);
}

// --- The RAM disk dump.

struct DiskCase {
    int mapper_kb, vram_kb;
    int ram_pages, vram_pages;
};

class RamDiskDump : public ::testing::TestWithParam<DiskCase> {};

// A FAT12 volume with files across its pages is written sector by sector by
// a Z80 program that lays sectors out as the RAM disk does; the dump gives
// the volume back, and the checker finds it consistent.
TEST_P(RamDiskDump, GivesBackTheSectorsAZ80WriterLaidOut)
{
    const DiskCase c = GetParam();
    Msx msx(msx2_layout(c.mapper_kb, c.vram_kb));
    Machine& m = msx.machine();
    msx.leave_leftovers(7);
    m.write(h_keyi, 0xC9);  // as the disk system's set-up leaves them
    m.write(h_timi, 0xC9);
    const std::vector<std::uint8_t> segment4(m.segment(4).begin(), m.segment(4).end());
    const int pages = c.ram_pages + c.vram_pages;
    std::vector<std::uint8_t> volume = fat12::format_ram_disk(std::uint32_t(32 * pages));
    const std::size_t capacity = std::size_t(32 * pages - 7) * 512;
    std::vector<std::uint8_t> big(capacity - 2048), small(700);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7 + i / 509);
    for (std::size_t i = 0; i < small.size(); ++i)
        small[i] = static_cast<std::uint8_t>(255 - i);
    ASSERT_TRUE(fat12::add_file(volume, "SMALL.TXT", small));
    ASSERT_TRUE(fat12::add_file(volume, "BIG.BIN", big));

    m.load(code, std::span(msxbench_ramdisk_sector, msxbench_ramdisk_sector_size));
    m.write(0xCFF0, static_cast<std::uint8_t>(c.ram_pages));
    m.write(0xCFF1, static_cast<std::uint8_t>(c.vram_kb / 16 - 1));
    constexpr std::uint16_t buffer = 0xD000;
    for (int sector = 0; sector < 32 * pages; ++sector) {
        m.load(buffer, std::span(volume).subspan(std::size_t(sector) * 512, 512));
        m.set_reg(Reg::de, static_cast<std::uint16_t>(sector));
        m.set_reg(Reg::hl, buffer);
        ASSERT_EQ(m.call(code, done, 100000).reason, Stop::breakpoint) << "sector " << sector;
    }
    EXPECT_EQ(msx.vdp().close_accesses(), 0);

    const std::vector<std::uint8_t> dump = msx.ram_disk_image(c.ram_pages, c.vram_pages);
    ASSERT_EQ(dump.size(), volume.size());
    EXPECT_TRUE(dump == volume);
    const fat12::Report report = fat12::check(dump);
    EXPECT_TRUE(report.ok());
    ASSERT_EQ(report.files.size(), 2u);
    EXPECT_EQ(fat12::read_file(dump, "big.bin"), big);
    EXPECT_EQ(fat12::read_file(dump, "SMALL.TXT"), small);
    // What is not the disk stayed: segment 4, the screen in VRAM page 0, the TPA.
    EXPECT_TRUE(std::equal(segment4.begin(), segment4.end(), m.segment(4).begin()));
    EXPECT_EQ(msx.vdp().vram(0x0000), ' ');
    EXPECT_EQ(m.mapper_register(2), 1);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RamDiskDump,
                         ::testing::Values(DiskCase{128, 128, 3, 7}, DiskCase{512, 64, 8, 3}, DiskCase{256, 128, 0, 1},
                                           DiskCase{128, 64, 1, 0}),
                         [](const auto& info) {
                             const DiskCase& c = info.param;
                             return std::to_string(c.ram_pages) + "Ram" + std::to_string(c.vram_pages) + "Vram" +
                                    std::to_string(c.vram_kb) + "K";
                         });

TEST(RamDiskDump, TakesSegmentsFrom5AndVideoPagesFromTheTopDown)
{
    Msx msx(msx2_layout(128, 128));
    Machine& m = msx.machine();
    m.segment(5)[0] = 0x55;
    m.segment(6)[0x3FFF] = 0x66;
    msx.vdp().poke_vram(7 * 0x4000, 0x77);
    msx.vdp().poke_vram(6 * 0x4000 + 1, 0x61);
    const std::vector<std::uint8_t> dump = msx.ram_disk_image(2, 2);
    ASSERT_EQ(dump.size(), 4u * 0x4000);
    EXPECT_EQ(dump[0], 0x55);
    EXPECT_EQ(dump[0x7FFF], 0x66);
    EXPECT_EQ(dump[0x8000], 0x77);
    EXPECT_EQ(dump[0xC001], 0x61);
    EXPECT_THROW(msx.ram_disk_image(4, 0), std::invalid_argument);  // segments 5 to 8 of 8
    EXPECT_THROW(msx.ram_disk_image(0, 8), std::invalid_argument);  // VRAM page 0 is the screen
}

// --- The whole path on the MSX2: BLOAD of the loader by the BIOS, the fast
// loader, a program started at its address, with frame interrupts running.

TEST(Msx2Loading, TheFastLoaderLoadsAndStartsAProgramWhileFrameInterruptsRun)
{
    loader_harness::Workshop shop;
    shop.put("mark.bin", loader_harness::marker_bin(0x9000, 0x5A, 0x9100));
    auto msx = loader_harness::play({shop.tapecast({"-cd", "-c", "mark.bin"})}, msx2_layout());
    ASSERT_TRUE(loader_harness::reach(*msx, {0x9000}, 15, 0x9000));
    Machine& m = msx->machine();
    EXPECT_TRUE(msx->faults().empty());
    EXPECT_GT(m.read_word(jiffy), 0);  // before the tape reading turned them off
    EXPECT_EQ(m.primary_register(), 0xF0);
    EXPECT_EQ(m.slot_of_page(2), (Slot{3, 2}));
    EXPECT_EQ(m.slot_of_page(3), (Slot{3, 2}));
    for (int page = 0; page < 4; ++page)
        EXPECT_EQ(m.mapper_register(page), 3 - page);
    m.run(1000);
    EXPECT_EQ(m.read(0x9100), 0x5A);
}

}  // namespace
}  // namespace msxbench
