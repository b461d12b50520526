// The RAM-disk DOS's console, interrupt handler and boot on the emulated
// MSX2: the kernel is put in place as the disk system's INIT does, then
// started at cold as the start-up program does; and the shell on the DOS
// that a tapecast WAV brings up.
#include "loader_harness.h"
#include "machine.h"
#include "msx.h"
#include "ramdisk/fat12_image.h"
#include "ramdos_harness.h"
#include "ramdos_parts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "msxbench_ramdos_hello.h"

namespace msxbench {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ramdos_parts::kernel_symbol;

constexpr std::uint16_t returned = 0xC000;  // return address of direct calls, page 3 TPA
constexpr std::uint16_t call_stack = 0xB000;
constexpr std::uint64_t second = 3'580'000;

struct SlotCase {
    const char* name;
    MsxLayout layout;
    std::uint8_t dos_primary;    // port A8h with RAM in every page
    std::uint8_t dos_secondary;  // RAM's secondary register then
};

void PrintTo(const SlotCase& c, std::ostream* os)
{
    *os << c.name;
}

SlotCase ram_in_3_2()
{
    return {"RamIn3_2", msx2_layout(), 0xFF, 0xAA};
}

// The BIOS in 0-0 and the mapper in 0-2: page 0 is switched through the
// secondary register that page 3's RAM hangs on.
SlotCase rom_and_ram_in_slot_0()
{
    MsxLayout layout = msx2_layout(128, 128, true);
    layout.ram = {0, 2};
    return {"RomAndRamInSlot0", layout, 0x00, 0xAA};
}

// A kernel installed as INIT leaves it (R = 3, V = 7), started at cold from
// the start-up's state: page 0 the BIOS, page 1 segment 4, interrupts off.
class Dos {
public:
    explicit Dos(const SlotCase& c) : msx_(c.layout), slots_(c)
    {
        Machine& m = msx_.machine();
        msx_.leave_leftovers();
        for (std::uint8_t& byte : m.segment(3))  // page 0 under DOS
            byte = 0xE5;
        const auto kernel = ramdos_parts::kernel();
        m.load(sym("K0"), kernel);
        for (std::uint32_t a = sym("bss_start"); a < sym("bss_end"); ++a)
            m.write(static_cast<std::uint16_t>(a), 0);
        m.write(sym("bp_ram_pages"), 3);
        m.write(sym("bp_vram_pages"), 7);
        m.write(sym("bp_top_vram"), 7);
        m.write(sym("bp_slot_pa"), c.dos_primary);
        m.write(sym("bp_slot_ps"), c.dos_secondary);
        const std::uint16_t bdos = sym("bdos");
        m.load(0xF37D, Bytes{0xC3, std::uint8_t(bdos), std::uint8_t(bdos >> 8)});
        m.write(h_keyi, 0xC9);
        m.write(h_timi, 0xC9);
        // Page 1 on RAM, segment 4, as the start-up leaves it.
        const int ram = c.layout.ram.primary;
        m.set_primary_register(static_cast<std::uint8_t>((m.primary_register() & 0xF3) | ram << 2));
        m.set_secondary_register(ram, static_cast<std::uint8_t>((m.secondary_register(ram) & 0xF3) |
                                                                c.layout.ram.secondary << 2));
        m.set_mapper_register(1, 4);
        m.set_reg(Reg::iff1, 0);
        m.set_reg(Reg::iff2, 0);
        m.set_reg(Reg::sp, 0xF0A0);
        startup_secondary_ = m.secondary_register(ram);
        startup_primary_ = m.primary_register();
        EXPECT_EQ(m.call(sym("sys_setup"), returned, 10000).reason, Stop::breakpoint);
    }

    static std::uint16_t sym(const char* name) { return kernel_symbol(name); }
    Msx& msx() { return msx_; }
    Machine& m() { return msx_.machine(); }
    const SlotCase& slots() const { return slots_; }
    std::uint8_t startup_primary() const { return startup_primary_; }
    std::uint8_t startup_secondary() const { return startup_secondary_; }

    // Runs until PC reaches `address`.
    bool run_to(std::uint16_t address, std::uint64_t limit = second)
    {
        m().add_breakpoint(address);
        const RunResult r = m().run(limit);
        m().remove_breakpoint(address);
        EXPECT_EQ(r.reason, Stop::breakpoint) << "at " << std::hex << r.pc;
        return r.reason == Stop::breakpoint && r.pc == address;
    }

    bool cold_to_shell()
    {
        m().set_reg(Reg::pc, sym("cold"));
        return run_to(sym("shell"));
    }

    // Calls a kernel routine with the registers given (A = E, as the
    // function entry passes them); true when it returned.
    bool call(const char* routine, std::uint16_t de = 0, std::uint16_t hl = 0)
    {
        m().set_reg(Reg::sp, call_stack);
        m().set_reg(Reg::de, de);
        m().set_reg(Reg::hl, hl);
        m().set_reg(Reg::af, static_cast<std::uint16_t>(de << 8));
        return m().call(sym(routine), returned, second).reason == Stop::breakpoint && m().reg(Reg::pc) == returned;
    }

    std::uint8_t a() { return static_cast<std::uint8_t>(m().reg(Reg::af) >> 8); }

    bool dos_slots()
    {
        const int ram = slots_.layout.ram.primary;
        return m().primary_register() == slots_.dos_primary && m().secondary_register(ram) == slots_.dos_secondary &&
               m().read(static_cast<std::uint16_t>(slttbl + ram)) == slots_.dos_secondary;
    }

private:
    Msx msx_;
    SlotCase slots_;
    std::uint8_t startup_primary_ = 0, startup_secondary_ = 0;
};

class RamdosBoot : public ::testing::TestWithParam<SlotCase> {};

TEST_P(RamdosBoot, ColdBootSetsUpDosKeepsKeybufAndWarmBootsRestoreIt)
{
    Dos dos(GetParam());
    Machine& m = dos.m();
    // The start-up types K7 before it jumps to cold.
    m.load(keybuf, Bytes{'K', '7', 0x0D});
    m.write_word(getpnt, keybuf);
    m.write_word(putpnt, keybuf + 3);
    ASSERT_TRUE(dos.cold_to_shell());
    EXPECT_EQ(dos.msx().transcript(), "\r\nCassonic RAM-disk DOS, 160K RAM disk");
    EXPECT_EQ(dos.msx().keybuf_contents(), "K7\r");
    EXPECT_TRUE(dos.dos_slots());
    for (int page = 0; page < 4; ++page)
        EXPECT_EQ(m.mapper_register(page), 3 - page);
    EXPECT_EQ(m.reg(Reg::iff1), 1);
    const std::uint16_t k0 = Dos::sym("K0");
    EXPECT_EQ(m.read(0x0000), 0xC3);
    EXPECT_EQ(m.read_word(0x0001), Dos::sym("wboot"));
    EXPECT_EQ(m.read(0x0005), 0xC3);
    EXPECT_EQ(m.read_word(0x0006), k0);
    EXPECT_EQ(Dos::sym("bdos"), k0);
    EXPECT_EQ(m.read(0x0038), 0xC3);
    EXPECT_EQ(m.read_word(0x0039), Dos::sym("inth"));
    EXPECT_EQ(m.dump(0x005C, 0xA4), Bytes(0xA4, 0));
    EXPECT_EQ(m.read(0x0100), 0xE5);  // the programs' memory is left alone

    // A program that maps page 2 elsewhere, scribbles on page 0 and jumps
    // to 0000h gets DOS back, without the banner.
    const Bytes program = {
        0x31, 0x00, 0x40,        // LD SP,4000h
        0x3E, 0x06, 0xD3, 0xFE,  // LD A,6 / OUT (0FEh),A
        0x3E, 0x55, 0x32, 0x5C, 0x00,  // LD A,55h / LD (005Ch),A
        0xC3, 0x00, 0x00,        // JP 0000h
    };
    m.load(0x0100, program);
    m.set_reg(Reg::pc, 0x0100);
    const std::size_t transcript = dos.msx().transcript().size();
    ASSERT_TRUE(dos.run_to(Dos::sym("shell")));
    EXPECT_EQ(dos.msx().transcript().size(), transcript);
    EXPECT_EQ(m.mapper_register(2), 1);
    EXPECT_EQ(m.read(0x005C), 0);
    EXPECT_TRUE(dos.dos_slots());
    EXPECT_EQ(m.reg(Reg::sp), Dos::sym("sstack_top"));
    EXPECT_TRUE(dos.msx().faults().empty());
}

// Frame interrupts while a program waits with its stack in page 0: each one
// goes through 0038h in RAM to the ROM's routine, which runs with page 0 on
// the BIOS, and the program finds its registers and slots as they were.
TEST_P(RamdosBoot, InterruptsReachTheBiosRoutineWithPage0OnTheBios)
{
    Dos dos(GetParam());
    Machine& m = dos.m();
    ASSERT_TRUE(dos.cold_to_shell());
    const Bytes program = {
        0x31, 0x00, 0x04,  // LD SP,0400h
        0x06, 0x0A,        // LD B,10
        0xFB,              // EI
        0x76,              // HALT
        0x10, 0xFD,        // DJNZ HALT
        0xF3,              // DI
        0x18, 0xFE,        // JR $
    };
    m.load(0x0100, program);
    m.set_reg(Reg::pc, 0x0100);
    m.set_reg(Reg::de, 0x1234);
    m.set_reg(Reg::hl, 0x5678);
    m.set_reg(Reg::ix, 0x9ABC);
    m.set_reg(Reg::iy, 0xDEF0);
    m.set_reg(Reg::hl2, 0x4321);
    const std::uint16_t jiffy_before = m.read_word(jiffy);
    m.add_breakpoint(keyint);
    m.add_breakpoint(0x0109);
    int through_vector = 0, in_rom = 0;
    for (;;) {
        const RunResult r = m.run(20 * 71364);
        ASSERT_EQ(r.reason, Stop::breakpoint) << dos.msx().faults().size();
        if (r.pc == 0x0109)
            break;
        if (m.slot_of_page(0) == GetParam().layout.main_rom) {
            ++in_rom;
            EXPECT_GE(m.reg(Reg::sp), 0xC000) << "the ROM's routine runs on a page-3 stack";
        } else {
            ++through_vector;
        }
    }
    EXPECT_EQ(through_vector, 10);
    EXPECT_EQ(in_rom, 10);
    EXPECT_EQ(m.read_word(jiffy), jiffy_before + 10);
    EXPECT_EQ(m.reg(Reg::sp), 0x0400);
    EXPECT_EQ(m.reg(Reg::de), 0x1234);
    EXPECT_EQ(m.reg(Reg::hl), 0x5678);
    EXPECT_EQ(m.reg(Reg::ix), 0x9ABC);
    EXPECT_EQ(m.reg(Reg::iy), 0xDEF0);
    EXPECT_EQ(m.reg(Reg::hl2), 0x4321);
    EXPECT_TRUE(dos.dos_slots());
    EXPECT_TRUE(dos.msx().faults().empty());
}

// The start-up calls the kernel through 0F37Dh with the BIOS in page 0 and
// interrupts off: printing leaves both so.
TEST_P(RamdosBoot, PrintingFromTheStartUpStateKeepsItsSlotsAndInterruptsOff)
{
    Dos dos(GetParam());
    Machine& m = dos.m();
    m.load(0x9000, Bytes{'R', 'A', 'M', '$'});
    m.set_reg(Reg::bc, 0x0009);
    ASSERT_TRUE(dos.call("bdos", 0x9000));
    EXPECT_EQ(dos.msx().transcript(), "RAM");
    EXPECT_EQ(m.reg(Reg::iff1), 0);
    EXPECT_EQ(m.primary_register(), dos.startup_primary());
    EXPECT_EQ(m.secondary_register(GetParam().layout.ram.primary), dos.startup_secondary());
}

// A program with its stack in page 0 calls the BIOS through RDSLT (000Ch),
// CALSLT (001Ch) and CALLF (RST 30h): the ROM's routines run with page 0
// on the BIOS and a stack in page 3, registers pass both ways, and the
// program gets page 0 and its interrupt state back.
TEST_P(RamdosBoot, SlotVectorsRunTheRomsRoutinesWithRegistersPassedThrough)
{
    Dos dos(GetParam());
    Machine& m = dos.m();
    ASSERT_TRUE(dos.cold_to_shell());
    const Slot rom = GetParam().layout.main_rom;
    struct Seen {
        std::uint16_t entry, af, bc, de, hl, ix, iy, sp;
        bool bios;
    };
    std::vector<Seen> seen;
    for (std::uint16_t entry : {std::uint16_t(0x000C), std::uint16_t(0x001C)}) {
        m.add_trap(entry, rom, [&seen, rom, entry](Machine& mm) {
            seen.push_back({entry, mm.reg(Reg::af), mm.reg(Reg::bc), mm.reg(Reg::de), mm.reg(Reg::hl),
                            mm.reg(Reg::ix), mm.reg(Reg::iy), mm.reg(Reg::sp), mm.slot_of_page(0) == rom});
            mm.set_reg(Reg::af, static_cast<std::uint16_t>((0x40 + seen.size()) << 8));
            mm.set_reg(Reg::bc, 0xBBBB);
            mm.set_reg(Reg::de, 0xDDDD);
            mm.set_reg(Reg::hl, static_cast<std::uint16_t>(0x5A50 + seen.size()));
            mm.set_reg(Reg::iff1, 0);  // the ROM's routines leave interrupts off
            mm.set_reg(Reg::iff2, 0);
            mm.ret();
        });
    }
    const Bytes program = {
        0x31, 0x00, 0x04,        // LD SP,0400h
        0xFB,                    // EI
        0x3E, 0x8B,              // LD A,8Bh
        0x01, 0x0C, 0x0B,        // LD BC,0B0Ch
        0x11, 0x0E, 0x0D,        // LD DE,0D0Eh
        0x21, 0x34, 0x12,        // LD HL,1234h
        0xCD, 0x0C, 0x00,        // CALL 000Ch
        0x32, 0x00, 0x03,        // LD (0300h),A
        0xDD, 0x21, 0x00, 0x40,  // LD IX,4000h
        0xFD, 0x21, 0xFF, 0x8B,  // LD IY,8BFFh
        0x3E, 0x77,              // LD A,77h
        0xCD, 0x1C, 0x00,        // CALL 001Ch
        0x32, 0x01, 0x03,        // LD (0301h),A
        0xF7, 0x80, 0x21, 0x43,  // RST 30h / DB 80h / DW 4321h
        0x32, 0x02, 0x03,        // LD (0302h),A
        0x22, 0x04, 0x03,        // LD (0304h),HL
        0x18, 0xFE,              // JR $
    };
    m.load(0x0100, program);
    m.set_reg(Reg::pc, 0x0100);
    const std::uint16_t end = 0x0100 + std::uint16_t(program.size() - 2);
    ASSERT_TRUE(dos.run_to(end));
    ASSERT_EQ(seen.size(), 3u);
    for (const Seen& s : seen) {
        EXPECT_TRUE(s.bios) << s.entry;
        EXPECT_GE(s.sp, 0xC000) << s.entry;
    }
    EXPECT_EQ(seen[0].entry, 0x000C);
    EXPECT_EQ(seen[0].af >> 8, 0x8B);
    EXPECT_EQ(seen[0].bc, 0x0B0C);
    EXPECT_EQ(seen[0].de, 0x0D0E);
    EXPECT_EQ(seen[0].hl, 0x1234);
    EXPECT_EQ(seen[1].entry, 0x001C);
    EXPECT_EQ(seen[1].af >> 8, 0x77);
    EXPECT_EQ(seen[1].bc, 0xBBBB);
    EXPECT_EQ(seen[1].de, 0xDDDD);
    EXPECT_EQ(seen[1].hl, 0x5A51);
    EXPECT_EQ(seen[1].ix, 0x4000);
    EXPECT_EQ(seen[1].iy, 0x8BFF);
    EXPECT_EQ(seen[2].entry, 0x001C);
    EXPECT_EQ(seen[2].af >> 8, 0x42);
    EXPECT_EQ(seen[2].hl, 0x5A52);
    EXPECT_EQ(seen[2].ix, 0x4321);
    EXPECT_EQ(seen[2].iy >> 8, 0x80);
    EXPECT_EQ(m.dump(0x0300, 3), (Bytes{0x41, 0x42, 0x43}));
    EXPECT_EQ(m.read_word(0x0304), 0x5A53);
    EXPECT_EQ(m.reg(Reg::sp), 0x0400);
    EXPECT_EQ(m.reg(Reg::iff1), 1);
    EXPECT_TRUE(dos.dos_slots());
    EXPECT_TRUE(dos.msx().faults().empty());
}

INSTANTIATE_TEST_SUITE_P(Slots, RamdosBoot, ::testing::Values(ram_in_3_2(), rom_and_ram_in_slot_0()),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Console functions, called as the function entry calls them, with the
// buffers and texts in page 0.

TEST(RamdosConsole, LineInputEditsEchoesAndStopsAtCr)
{
    Dos dos(ram_in_3_2());
    Machine& m = dos.m();
    ASSERT_TRUE(dos.cold_to_shell());
    Msx& msx = dos.msx();
    const std::size_t start = msx.transcript().size();
    constexpr std::uint16_t buffer = 0x0200;
    m.write(buffer, 5);
    m.load(buffer + 1, Bytes(8, 0xEE));
    // BS on an empty line does nothing; ^A is ignored; BS and DEL erase;
    // keys past the capacity are dropped; what follows CR stays in KEYBUF.
    ASSERT_TRUE(msx.type("\x08" "ab\x01" "c\x08\x7f" "xyz123\rREST"));
    ASSERT_TRUE(dos.call("con_line", buffer));
    EXPECT_EQ(m.read(buffer + 1), 5);
    EXPECT_EQ(m.dump(buffer + 2, 6), (Bytes{'a', 'x', 'y', 'z', '1', 0xEE}));
    EXPECT_EQ(msx.transcript().substr(start), "abc\x08 \x08\x08 \x08xyz1\r\n");
    EXPECT_EQ(msx.keybuf_contents(), "REST");
    EXPECT_EQ(m.reg(Reg::iff1), 1);

    // Waiting for more keys, then an empty line.
    m.write(buffer, 10);
    m.set_reg(Reg::sp, call_stack);
    m.push(returned);
    m.set_reg(Reg::de, buffer);
    m.set_reg(Reg::pc, Dos::sym("con_line"));
    m.add_breakpoint(returned);
    EXPECT_EQ(m.run(second).reason, Stop::requested);
    EXPECT_TRUE(msx.waiting_for_key());
    ASSERT_TRUE(msx.type("\x7f\x7f\x7f\x7f\x7f\r"));
    ASSERT_EQ(m.run(second).reason, Stop::breakpoint);
    EXPECT_EQ(m.read(buffer + 1), 0);
    EXPECT_TRUE(dos.dos_slots());
}

TEST(RamdosConsole, CtrlCInLineInputPrintsItAndWarmBoots)
{
    Dos dos(ram_in_3_2());
    Machine& m = dos.m();
    ASSERT_TRUE(dos.cold_to_shell());
    m.write(0x0200, 20);
    ASSERT_TRUE(dos.msx().type("DIR\x03"));
    m.set_reg(Reg::sp, call_stack);
    m.push(returned);
    m.set_reg(Reg::de, 0x0200);
    m.set_reg(Reg::pc, Dos::sym("con_line"));
    ASSERT_TRUE(dos.run_to(Dos::sym("shell")));
    const std::string& t = dos.msx().transcript();
    EXPECT_EQ(t.substr(t.size() - 5), "DIR^C");
    EXPECT_EQ(m.reg(Reg::sp), Dos::sym("sstack_top"));
}

TEST(RamdosConsole, CharacterFunctions)
{
    Dos dos(ram_in_3_2());
    Machine& m = dos.m();
    ASSERT_TRUE(dos.cold_to_shell());
    Msx& msx = dos.msx();
    const std::size_t start = msx.transcript().size();

    // 0Bh and 06h input see no key and do not wait.
    ASSERT_TRUE(dos.call("con_status"));
    EXPECT_EQ(dos.a(), 0x00);
    ASSERT_TRUE(dos.call("con_direct", 0x00FF));
    EXPECT_EQ(dos.a(), 0x00);

    ASSERT_TRUE(msx.type("qrs"));
    ASSERT_TRUE(dos.call("con_status"));
    EXPECT_EQ(dos.a(), 0xFF);
    ASSERT_TRUE(dos.call("con_direct", 0x00FF));  // no echo
    EXPECT_EQ(dos.a(), 'q');
    ASSERT_TRUE(dos.call("con_in"));  // echoed
    EXPECT_EQ(dos.a(), 'r');
    ASSERT_TRUE(dos.call("con_raw_in"));  // no echo
    EXPECT_EQ(dos.a(), 's');
    ASSERT_TRUE(dos.call("con_out", '!'));
    ASSERT_TRUE(dos.call("con_direct", '?'));
    m.load(0x0300, Bytes{'O', 'K', '$', 'X'});
    ASSERT_TRUE(dos.call("con_string", 0x0300));
    EXPECT_EQ(msx.transcript().substr(start), "r!?OK");
    EXPECT_EQ(m.reg(Reg::iff1), 1);
    EXPECT_TRUE(dos.dos_slots());
}

// --- The shell on the DOS that the tape brings up (RAM 3 pages, video 7).

class TapeDos {
public:
    explicit TapeDos(const std::vector<std::string>& args, const MsxLayout& layout = msx2_layout())
    {
        shop_.put("hello.com", Bytes(msxbench_ramdos_hello, msxbench_ramdos_hello + msxbench_ramdos_hello_size));
        msx_ = ramdos_harness::start_image(shop_, args, layout);
    }

    Msx& msx() { return *msx_; }
    Machine& m() { return msx_->machine(); }

    // Runs until the shell waits for a key.
    bool to_prompt(double seconds_limit)
    {
        if (!msx_)
            return false;
        const RunResult r = m().run(seconds(seconds_limit));
        const bool ok = msx_->waiting_for_key() && msx_->faults().empty();
        EXPECT_TRUE(ok) << "stopped (" << int(r.reason) << ") at " << std::hex << r.pc << "\n"
                        << msx_->transcript();
        return ok;
    }

    // Types a command line and returns what it printed up to the next
    // prompt, which is not included.
    std::string command(const std::string& line, double seconds_limit = 3)
    {
        const std::size_t start = msx_->transcript().size();
        EXPECT_TRUE(msx_->type(line + "\r"));
        if (!to_prompt(seconds_limit))
            return "";
        std::string out = msx_->transcript().substr(start);
        const std::string prompt = "\r\nA>";
        EXPECT_GE(out.size(), prompt.size());
        if (out.size() >= prompt.size() && out.compare(out.size() - prompt.size(), prompt.size(), prompt) == 0)
            out.resize(out.size() - prompt.size());
        else
            ADD_FAILURE() << "no prompt after " << line << ": " << out;
        return out;
    }

    fat12::Report disk() { return fat12::check(ramdos_harness::disk_image(*msx_)); }
    std::optional<Bytes> file(const char* name) { return fat12::read_file(ramdos_harness::disk_image(*msx_), name); }

private:
    loader_harness::Workshop shop_;
    std::unique_ptr<Msx> msx_;
};

std::string dir_line(const std::string& name, const std::string& ext, std::size_t size)
{
    char line[40];
    std::snprintf(line, sizeof line, "%-8s %-3s%8zu\r\n", name.c_str(), ext.c_str(), size);
    return line;
}

class RamdosShellOn : public ::testing::TestWithParam<SlotCase> {};

TEST_P(RamdosShellOn, EmptyDiskAnswersUnknownCommandsBadDrivesAndCtrlC)
{
    TapeDos dos({"-cd", "-c", "RAMDOS.73n"}, GetParam().layout);
    ASSERT_TRUE(dos.to_prompt(30));
    const std::string& t = dos.msx().transcript();
    EXPECT_NE(t.find("\r\nCassonic RAM-disk DOS, 160K RAM disk\r\nA>"), std::string::npos) << t;
    const std::uint16_t jiffy_at_prompt = dos.m().read_word(jiffy);
    const std::uint64_t interrupts_at_prompt = dos.m().interrupts_taken();
    const std::uint64_t cycles_at_prompt = dos.m().cycles();

    EXPECT_EQ(dos.command("DIR"), "DIR\r\nFile not found\r\n");
    EXPECT_EQ(dos.command("  dir   *.*"), "  dir   *.*\r\nFile not found\r\n");
    EXPECT_EQ(dos.command("FOO"), "FOO\r\nBad command or file name\r\n");
    EXPECT_EQ(dos.command("k7 x"), "k7 x\r\nBad command or file name\r\n");
    EXPECT_EQ(dos.command("FOO.BAT"), "FOO.BAT\r\nBad command or file name\r\n");
    EXPECT_EQ(dos.command("B:"), "B:\r\nInvalid drive\r\n");
    EXPECT_EQ(dos.command("DIR B:"), "DIR B:\r\nInvalid drive\r\n");
    EXPECT_EQ(dos.command("a:"), "a:\r\n");
    EXPECT_EQ(dos.command(""), "\r\n");
    EXPECT_EQ(dos.command("TYPE X.TXT"), "TYPE X.TXT\r\nFile not found\r\n");
    EXPECT_EQ(dos.command("DEL *.*"), "DEL *.*\r\nFile not found\r\n");
    EXPECT_EQ(dos.command("REN A.TXT B.TXT"), "REN A.TXT B.TXT\r\nRename failed\r\n");
    // CTRL+C drops the line and warm boots to the prompt.
    ASSERT_TRUE(dos.msx().type("DIR\x03"));
    ASSERT_TRUE(dos.to_prompt(3));
    EXPECT_EQ(t.substr(t.size() - 9), "DIR^C\r\nA>");

    // Frame interrupts throughout, each one reaching the BIOS's routine.
    const std::uint64_t frames = (dos.m().cycles() - cycles_at_prompt) / 71364;
    const std::uint64_t taken = dos.m().interrupts_taken() - interrupts_at_prompt;
    EXPECT_GE(frames, 5u);
    EXPECT_GE(taken + 1, frames);
    EXPECT_EQ(dos.m().read_word(jiffy) - jiffy_at_prompt, taken);
    EXPECT_TRUE(dos.msx().faults().empty());
    const fat12::Report disk = dos.disk();
    EXPECT_TRUE(disk.ok());
    EXPECT_TRUE(disk.files.empty());
    EXPECT_EQ(disk.free_clusters, 313u);
}

INSTANTIATE_TEST_SUITE_P(Slots, RamdosShellOn, ::testing::Values(ram_in_3_2(), rom_and_ram_in_slot_0()),
                         [](const auto& info) { return std::string(info.param.name); });

// K7 reads HELLO.COM from the tape; from the prompt it runs with its
// arguments and writes OUT.TXT; DIR, TYPE, REN and DEL work on the files.
TEST(RamdosShell, RunsAComProgramFromTheTapeAndTheBuiltInsWorkOnItsFiles)
{
    TapeDos dos({"-cd", "-c", "RAMDOS", "hello.com"});
    ASSERT_TRUE(dos.to_prompt(60));
    ASSERT_EQ(dos.file("HELLO.COM"), Bytes(msxbench_ramdos_hello, msxbench_ramdos_hello + msxbench_ramdos_hello_size));
    const std::uint32_t free_before = dos.disk().free_clusters;

    const std::string dir = dos.command("DIR");
    for (const std::string& line :
         {dir_line("COMMAND", "COM", ramdos_parts::command().size()), dir_line("MSXDOS", "SYS", ramdos_parts::msxdos().size()),
          dir_line("K7", "COM", ramdos_parts::k7().size()), dir_line("HELLO", "COM", msxbench_ramdos_hello_size)})
        EXPECT_NE(dir.find(line), std::string::npos) << line << " in\n" << dir;
    EXPECT_EQ(dos.command("DIR *.COM").size(), std::string("DIR *.COM\r\n").size() + 3 * dir_line("", "", 0).size());
    EXPECT_EQ(dos.command("DIR K?.*"), "DIR K?.*\r\n" + dir_line("K7", "COM", ramdos_parts::k7().size()));

    // FCB 1 and 2 from the arguments, the tail after the command word,
    // SP = K0 - 2 with 0000h on top.  0080h, the last byte of FCB 1's
    // random record, holds what the last command left there.
    for (std::size_t a = 0x80; a < 0x100; ++a)
        dos.m().segment(3)[a] = 0x55;  // page 0 (the shell waits in the BIOS)
    EXPECT_EQ(dos.command("hello b:one.txt  *.c"), "hello b:one.txt  *.c\r\nHELLO\r\n");
    const std::optional<Bytes> out = dos.file("OUT.TXT");
    std::string lines = "Written by HELLO.COM\r\n";
    for (int i = 0; i < 12; ++i)
        lines += "0123456789";
    lines += "\r\n";
    const std::string text = lines + "\x1a";
    ASSERT_TRUE(out);
    ASSERT_EQ(out->size(), text.size() + 4 + 0xA4);
    EXPECT_EQ(std::string(out->begin(), out->begin() + long(text.size())), text);
    const auto word = [&](std::size_t at) { return (*out)[at] | (*out)[at + 1] << 8; };
    EXPECT_EQ(word(text.size()), kernel_symbol("K0") - 2);
    EXPECT_EQ(word(text.size() + 2), 0x0000);
    const auto page0 = [&](std::uint16_t from, std::size_t n) {
        const std::size_t at = text.size() + 4 + (from - 0x5C);
        return Bytes(out->begin() + long(at), out->begin() + long(at + n));
    };
    const auto bytes = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    EXPECT_EQ(page0(0x5C, 16), bytes(std::string("\x02ONE     TXT\0\0\0\0", 16)));
    EXPECT_EQ(page0(0x6C, 20), bytes(std::string("\0????????C  \0\0\0\0\0\0\0\0", 20)));
    const std::string tail = " B:ONE.TXT  *.C";
    EXPECT_EQ(page0(0x80, tail.size() + 2), bytes(char(tail.size()) + tail + std::string(1, '\0')));

    EXPECT_EQ(dos.command("TYPE OUT.TXT"), "TYPE OUT.TXT\r\n" + lines);
    EXPECT_EQ(dos.command("REN OUT.TXT X.TXT"), "REN OUT.TXT X.TXT\r\n");
    EXPECT_EQ(dos.command("REN OUT.TXT Y.TXT"), "REN OUT.TXT Y.TXT\r\nRename failed\r\n");
    EXPECT_EQ(dos.command("REN X.TXT"), "REN X.TXT\r\nRename failed\r\n");
    EXPECT_EQ(dos.command("DIR X.TXT"), "DIR X.TXT\r\n" + dir_line("X", "TXT", out->size()));
    EXPECT_EQ(dos.disk().free_clusters, free_before - 1);
    EXPECT_EQ(dos.command("ERA X.TXT"), "ERA X.TXT\r\n");
    EXPECT_EQ(dos.command("DEL X.TXT"), "DEL X.TXT\r\nFile not found\r\n");
    EXPECT_EQ(dos.disk().free_clusters, free_before);

    // A program that does not fit below K0 is not loaded.
    const std::size_t big = kernel_symbol("K0") - 0x100 + 1;
    EXPECT_EQ(dos.command("HELLO BIG.COM", 10), "HELLO BIG.COM\r\nHELLO\r\n");
    EXPECT_EQ(dos.command("DIR BIG.COM"), "DIR BIG.COM\r\n" + dir_line("BIG", "COM", big));
    EXPECT_EQ(dos.command("BIG"), "BIG\r\nNot enough memory\r\n");

    const fat12::Report disk = dos.disk();
    EXPECT_TRUE(disk.ok());
    EXPECT_TRUE(dos.msx().faults().empty());
}

}  // namespace
}  // namespace msxbench
