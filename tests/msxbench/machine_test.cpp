// The emulated machine itself: slot selection, the secondary slot register,
// MSX timing, traps and the BIOS slot switch.
#include "machine.h"
#include "msx.h"

#include <gtest/gtest.h>

#include <vector>

namespace msxbench {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t code = 0xC000;
constexpr std::uint16_t done = 0xC800;  // return address of calls, a breakpoint

// Runs `program` at 0xC000 on `msx` until it returns.
RunResult run_program(Msx& msx, const Bytes& program)
{
    msx.machine().load(code, program);
    return msx.machine().call(code, done, 100000);
}

TEST(MachineSlots, PortA8SelectsThePrimarySlotOfEachPage)
{
    Machine m;
    m.install_ram({1, 0}, 0, 4);
    m.install_ram({2, 0}, 0, 4);
    m.slot_write({1, 0}, 0x4000, 0x11);
    m.slot_write({2, 0}, 0x4000, 0x22);
    m.set_primary_register(0xC4);  // page 1 slot 1, page 3 slot 3 (empty), others 0
    EXPECT_EQ(m.read(0x4000), 0x11);
    EXPECT_EQ(m.read(0x8000), 0xFF);  // slot 0 is empty
    m.set_primary_register(0x08);
    EXPECT_EQ(m.read(0x4000), 0x22);
    m.write(0x4001, 0x33);
    EXPECT_EQ(m.slot_read({2, 0}, 0x4001), 0x33);
    EXPECT_EQ(m.slot_read({1, 0}, 0x4001), 0x00);
}

TEST(MachineSlots, RomIgnoresWritesAndZ80SeesPortA8)
{
    Msx msx;
    Machine& m = msx.machine();
    const Bytes rom = {0xAB};
    m.install_rom({1, 0}, 0x4000, rom);
    // IN A,(0A8h) / LD B,A / AND 0F3h / OR 04h / OUT (0A8h),A / LD A,(4000h) / LD (C900h),A /
    // LD A,B / OUT (0A8h),A / RET
    const Bytes program = {0xDB, 0xA8, 0x47, 0xE6, 0xF3, 0xF6, 0x04, 0xD3, 0xA8, 0x3A,
                           0x00, 0x40, 0x32, 0x00, 0xC9, 0x78, 0xD3, 0xA8, 0xC9};
    EXPECT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(m.read(0xC900), 0xAB);
    EXPECT_EQ(m.slot_of_page(1), (Slot{0, 0}));
    m.write(0x0010, 0x00);
    EXPECT_EQ(m.read(0x0010), 0x76);
}

TEST(MachineSlots, SecondaryRegisterReadsBackInvertedOnlyInExpandedSlots)
{
    Machine m;
    m.set_expanded(3, true);
    m.install_ram({3, 1}, 0, 4);
    m.install_ram({2, 0}, 0, 4);
    m.set_primary_register(0xC0);
    m.write(0xFFFF, 0x55);  // pages 0..3 on secondary 1
    EXPECT_EQ(m.secondary_register(3), 0x55);
    EXPECT_EQ(m.read(0xFFFF), 0xAA);
    EXPECT_EQ(m.slot_of_page(3), (Slot{3, 1}));
    m.write(0xFFFE, 0x42);
    EXPECT_EQ(m.slot_read({3, 1}, 0xFFFE), 0x42);

    m.set_primary_register(0x80);  // page 3 on slot 2, not expanded: plain RAM
    m.write(0xFFFF, 0x12);
    EXPECT_EQ(m.read(0xFFFF), 0x12);
    EXPECT_EQ(m.secondary_register(3), 0x55);
}

TEST(MachineTiming, EveryM1CycleCostsOneWaitState)
{
    Msx msx;
    Machine& m = msx.machine();
    struct Case {
        Bytes code;
        std::uint64_t cycles;
    };
    const Case cases[] = {
        {{0x00}, 5},                     // NOP
        {{0x3E, 0x01}, 8},               // LD A,n
        {{0xDD, 0x7E, 0x00}, 21},        // LD A,(IX+0)
        {{0xDD, 0xCB, 0x00, 0x46}, 22},  // BIT 0,(IX+0): two M1 cycles
        {{0xED, 0xA0}, 18},              // LDI
        {{0x18, 0x00}, 13},              // JR
        {{0xE3}, 20},                    // EX (SP),HL
    };
    for (const Case& c : cases) {
        m.load(code, c.code);
        m.write(static_cast<std::uint16_t>(code + c.code.size()), 0x76);  // HALT
        m.set_reg(Reg::pc, code);
        m.set_reg(Reg::ix, 0xD000);
        m.set_reg(Reg::hl, 0xD000);
        m.set_reg(Reg::de, 0xD100);
        m.set_reg(Reg::bc, 1);
        m.set_reg(Reg::iff1, 0);
        m.add_breakpoint(static_cast<std::uint16_t>(code + c.code.size()));
        const RunResult r = m.run(1000);
        m.remove_breakpoint(static_cast<std::uint16_t>(code + c.code.size()));
        EXPECT_EQ(r.cycles, c.cycles) << "opcode " << int(c.code[0]);
    }
    // LDIR: 23 per repeated byte, 18 for the last.
    m.load(code, Bytes{0xED, 0xB0});
    m.set_reg(Reg::pc, code);
    m.set_reg(Reg::bc, 10);
    m.add_breakpoint(code + 2);
    EXPECT_EQ(m.run(1000).cycles, 9 * 23 + 18u);
}

TEST(MachineTiming, PortHandlersSeeTheTimeOfTheirBusCycle)
{
    Msx msx;
    Machine& m = msx.machine();
    std::vector<std::uint64_t> reads;
    m.on_input(0xA2, [&](std::uint8_t) {
        reads.push_back(m.bus_time());
        return std::uint8_t{0};
    });
    // IN A,(0A2h) / NOP / IN A,(0A2h) / RET
    EXPECT_EQ(run_program(msx, {0xDB, 0xA2, 0x00, 0xDB, 0xA2, 0xC9}).reason, Stop::breakpoint);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[1] - reads[0], 12u + 5u);
}

TEST(MachineTraps, FireOnlyWhenThePageIsOnTheirSlot)
{
    Msx msx;
    Machine& m = msx.machine();
    int hits = 0;
    m.add_trap(0x0030, Slot{0, 0}, [&](Machine& machine) {
        ++hits;
        machine.ret();
    });
    EXPECT_EQ(run_program(msx, {0xCD, 0x30, 0x00, 0xC9}).reason, Stop::breakpoint);  // CALL 0030h
    EXPECT_EQ(hits, 1);
    // With page 0 on RAM the code at 0030h is RAM's: a RET put there runs.
    m.set_primary_register(static_cast<std::uint8_t>((m.primary_register() & 0xFC) | 3));
    m.write(0x0030, 0xC9);
    EXPECT_EQ(run_program(msx, {0xCD, 0x30, 0x00, 0xC9}).reason, Stop::breakpoint);
    EXPECT_EQ(hits, 1);
}

// ENASLT on both kinds of machine: main ROM in slot 0, or in expanded 0-0
// with RAM in 0-2.
class EnasltTest : public ::testing::TestWithParam<bool> {
protected:
    static MsxLayout layout(bool expanded)
    {
        MsxLayout l;
        if (expanded) {
            l.expand_rom_slot = true;
            l.expand_ram_slot = true;
            l.ram = {0, 2};
        }
        return l;
    }
    Msx msx{layout(GetParam())};
};

TEST_P(EnasltTest, SwitchesPage1AndKeepsHl)
{
    Machine& m = msx.machine();
    // LD HL,4000h / LD A,id / CALL 0024h / LD (C900h),HL / RET
    const Bytes program = {0x21, 0x00, 0x40, 0x3E, msx.ram_id(), 0xCD, 0x24, 0x00, 0x22, 0x00, 0xC9, 0xC9};
    m.set_reg(Reg::iff1, 1);
    EXPECT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_TRUE(msx.faults().empty());
    EXPECT_EQ(m.slot_of_page(1), msx.layout().ram);
    EXPECT_EQ(m.slot_of_page(0), msx.layout().main_rom);
    EXPECT_EQ(m.read_word(0xC900), 0x4000);
    EXPECT_EQ(m.reg(Reg::iff1), 0);
    if (GetParam()) {
        EXPECT_EQ(m.secondary_register(0), 0xA8);  // pages 3, 2, 1 on 0-2, page 0 on 0-0
        EXPECT_EQ(m.read(slttbl), 0xA8);
    }
    // And back with the main ROM's ID from EXPTBL.
    const Bytes back = {0x21, 0x00, 0x40, 0x3A, 0xC1, 0xFC, 0xCD, 0x24, 0x00, 0xC9};
    EXPECT_EQ(run_program(msx, back).reason, Stop::breakpoint);
    EXPECT_EQ(m.slot_of_page(1), msx.layout().main_rom);
    EXPECT_EQ(msx.enaslt_calls(), 2);
}

TEST_P(EnasltTest, SwitchingPage0CrashesTheMachine)
{
    // LD HL,0000h / LD A,id / CALL 0024h / RET
    const Bytes program = {0x21, 0x00, 0x00, 0x3E, msx.ram_id(), 0xCD, 0x24, 0x00, 0xC9};
    EXPECT_EQ(run_program(msx, program).reason, Stop::requested);
    ASSERT_EQ(msx.faults().size(), 1u);
    EXPECT_NE(msx.faults()[0].find("page 0"), std::string::npos);
}

TEST_P(EnasltTest, CallingItToSwitchTheCallersOwnPageCrashes)
{
    Machine& m = msx.machine();
    const Slot ram = msx.layout().ram;
    m.set_primary_register(static_cast<std::uint8_t>((m.primary_register() & 0xF3) | ram.primary << 2));
    if (m.expanded(ram.primary))
        m.set_secondary_register(
            ram.primary, static_cast<std::uint8_t>((m.secondary_register(ram.primary) & 0xF3) | ram.secondary << 2));
    // At 4000h in RAM: LD HL,4000h / LD A,(EXPTBL) / CALL 0024h / RET
    m.load(0x4000, Bytes{0x21, 0x00, 0x40, 0x3A, 0xC1, 0xFC, 0xCD, 0x24, 0x00, 0xC9});
    EXPECT_EQ(m.call(0x4000, done, 10000).reason, Stop::requested);
    ASSERT_EQ(msx.faults().size(), 1u);
    EXPECT_NE(msx.faults()[0].find("caller"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Layouts, EnasltTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ExpandedSlot0" : "Slot0"; });

}  // namespace
}  // namespace msxbench
