// The RAMDOS image end to end: tapecast writes the WAV, the emulated MSX's
// BIOS loads the fast loader from it, the loader loads the image and starts
// it.  The image unpacks the disk system, whose INIT installs the kernel and
// formats the RAM disk; then the DOS files are written onto the disk, "K7"
// is typed and DOS starts.
#include "ramdos_harness.h"

#include "ramdisk/fat12_image.h"
#include "ramdos_parts.h"
#include "tape_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace msxbench {
namespace {

using namespace ramdos_harness;
using ramdos_parts::kernel_symbol;
using ramdos_parts::startup_symbol;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t bdos_far = 0xF37D;
constexpr std::uint16_t drives = 0xF347;
constexpr std::uint16_t ramad0 = 0xF341;

Bytes as_bytes(std::span<const std::uint8_t> s)
{
    return Bytes(s.begin(), s.end());
}

std::uint8_t boot_parameter(const Msx& msx, const char* name)
{
    return msx.machine().read(kernel_symbol(name));
}

// Addresses from `from` to `to` (exclusive) whose bytes differ from `before`.
std::vector<std::uint16_t> changed(const Machine& m, const Bytes& before, std::uint16_t from, std::uint32_t to)
{
    std::vector<std::uint16_t> addresses;
    for (std::uint32_t a = from; a < to; ++a)
        if (m.read(std::uint16_t(a)) != before[a - from])
            addresses.push_back(std::uint16_t(a));
    return addresses;
}

bool in(std::uint16_t a, std::uint16_t first, std::uint16_t last)
{
    return a >= first && a <= last;
}

std::vector<std::string> file_names(const fat12::Report& report)
{
    std::vector<std::string> names;
    for (const fat12::DirEntry& entry : report.files)
        names.push_back(entry.name);
    return names;
}

struct SlotCase {
    const char* name;
    MsxLayout layout;
    std::uint8_t slot_pa, slot_ps;  // the slot register values under DOS
};

void PrintTo(const SlotCase& c, std::ostream* os)
{
    *os << c.name;
}

class RamdosFromTape : public ::testing::TestWithParam<SlotCase> {};

// The whole boot with the files: from the image's start, nothing of the
// image before the unpack buffer and nothing of the BIOS's work area but the
// keyboard buffer, its pointers, the slot table copies and the two hooks is
// written; the image never returns into the loader; at the DOS start the
// kernel sits at K0 with its entries and boot parameters, the disk holds
// the three files exactly, "K7" waits in the keyboard buffer, and DOS runs
// K7 from the disk.  With the mapper in its own slot, and sharing the main
// ROM's primary slot.
TEST_P(RamdosFromTape, WritesTheDosFilesTypesK7AndStartsIt)
{
    const SlotCase c = GetParam();
    loader_harness::Workshop shop;
    auto msx = start_image(shop, {"-cd", "-c", "RAMDOS"}, c.layout);
    ASSERT_TRUE(msx);
    Machine& m = msx->machine();
    const std::uint16_t buffer = startup_symbol("unpack_buffer");
    const Bytes image = m.dump(image_entry, buffer - image_entry);
    const Bytes work_area = m.dump(0xF380, 0xFFFF - 0xF380);
    // The loader stays until INIT puts the kernel over it.
    const std::uint16_t into_loader = m.read_word(m.reg(Reg::sp));
    ASSERT_EQ(run_to(m, {startup_symbol("ds_init"), into_loader}, seconds(1)).pc, startup_symbol("ds_init"));
    ASSERT_TRUE(run_to_kernel(*msx, "cold"));

    EXPECT_TRUE(changed(m, image, image_entry, buffer).empty());
    for (std::uint16_t a : changed(m, work_area, 0xF380, 0xFFFF))
        EXPECT_TRUE(in(a, putpnt, getpnt + 1) || in(a, keybuf, keybuf_end - 1) || in(a, slttbl, slttbl + 3) ||
                    in(a, h_keyi, h_keyi + 4) || in(a, h_timi, h_timi + 4))
            << std::hex << a << " written";
    EXPECT_EQ(m.dump(h_keyi, 10), Bytes(10, 0xC9));

    const std::uint16_t k0 = kernel_symbol("K0");
    EXPECT_EQ(m.dump(k0, ramdos_parts::kernel().size()), as_bytes(ramdos_parts::kernel()));
    EXPECT_EQ(m.read(bdos_far), 0xC3);
    EXPECT_EQ(m.read_word(bdos_far + 1), kernel_symbol("bdos"));
    EXPECT_EQ(m.read(drives), 1);
    EXPECT_EQ(m.dump(ramad0, 4), Bytes(4, msx->ram_id()));
    EXPECT_EQ(boot_parameter(*msx, "bp_ram_pages"), 3);
    EXPECT_EQ(boot_parameter(*msx, "bp_vram_pages"), 7);
    EXPECT_EQ(boot_parameter(*msx, "bp_top_vram"), 7);
    EXPECT_EQ(boot_parameter(*msx, "bp_slot_pa"), c.slot_pa);
    EXPECT_EQ(boot_parameter(*msx, "bp_slot_ps"), c.slot_ps);
    EXPECT_EQ(msx->keybuf_contents(), "K7\r");
    EXPECT_EQ(m.reg(Reg::iff1), 0);
    EXPECT_EQ(m.mapper_register(1), 4);
    EXPECT_EQ(m.mapper_register(2), 1);

    const Bytes disk = disk_image(*msx);
    const fat12::Report report = fat12::check(disk);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    EXPECT_EQ(file_names(report), (std::vector<std::string>{"COMMAND.COM", "MSXDOS.SYS", "K7.COM"}));
    EXPECT_EQ(fat12::read_file(disk, "COMMAND.COM"), as_bytes(ramdos_parts::command()));
    EXPECT_EQ(fat12::read_file(disk, "MSXDOS.SYS"), as_bytes(ramdos_parts::msxdos()));
    EXPECT_EQ(fat12::read_file(disk, "K7.COM"), as_bytes(ramdos_parts::k7()));

    const RunResult run = run_to(m, {0x0100}, seconds(5));
    ASSERT_EQ(run.pc, 0x0100) << msx->screen_text() << "\n[" << msx->transcript() << "]";
    EXPECT_EQ(m.dump(0x0100, ramdos_parts::k7().size()), as_bytes(ramdos_parts::k7()));
    EXPECT_NE(msx->transcript().find("A>K7\r\n"), std::string::npos) << msx->transcript();
    EXPECT_TRUE(msx->faults().empty());
}

MsxLayout rom_and_ram_in_slot_0()
{
    MsxLayout layout = msx2_layout(128, 128, true);
    layout.ram = {0, 2};
    return layout;
}

INSTANTIATE_TEST_SUITE_P(Slots, RamdosFromTape,
                         ::testing::Values(SlotCase{"RamIn3_2", msx2_layout(), 0xFF, 0xAA},
                                           SlotCase{"RomAndRamInSlot0", rom_and_ram_in_slot_0(), 0x00, 0xAA}),
                         [](const auto& info) { return std::string(info.param.name); });

// RAMDOS.73n: the disk stays empty, nothing is typed, and DOS waits at its
// prompt.
TEST(RamdosStartUp, WithoutTheFilesDosWaitsAtThePromptOnAnEmptyDisk)
{
    loader_harness::Workshop shop;
    auto msx = start_image(shop, {"-cd", "-c", "RAMDOS.73n"});
    ASSERT_TRUE(msx);
    ASSERT_TRUE(run_to_kernel(*msx, "cold"));
    EXPECT_EQ(msx->keybuf_contents(), "");
    const fat12::Report report = fat12::check(disk_image(*msx));
    EXPECT_TRUE(report.ok()) << report.problems.front();
    EXPECT_TRUE(report.files.empty());
    EXPECT_EQ(report.free_clusters, 32u * 10 - 7);

    msx->machine().run(seconds(3));
    EXPECT_TRUE(msx->waiting_for_key()) << msx->screen_text();
    EXPECT_TRUE(msx->faults().empty());
    const std::string& shown = msx->transcript();
    EXPECT_TRUE(shown.ends_with("\r\nA>") && shown.find("A>") == shown.size() - 2) << shown;
}

// RAM in a slot below the DOS's, such as a cartridge's, keeps what it
// holds: the disk system goes into the slot of page 3, whose RAM DOS has in
// every page.
TEST(RamdosStartUp, RamInAnotherSlotIsLeftAlone)
{
    loader_harness::Workshop shop;
    auto msx = start_image(shop, {"-cd", "-c", "RAMDOS"});
    ASSERT_TRUE(msx);
    Machine& m = msx->machine();
    const Slot cartridge{1, 0};
    m.install_ram(cartridge, 1, 1);
    for (std::uint16_t a = 0x4000; a < 0x8000; ++a)
        m.slot_write(cartridge, a, std::uint8_t(a * 5 + 1));
    ASSERT_TRUE(run_to_kernel(*msx, "cold"));
    std::uint32_t kept = 0;
    for (std::uint16_t a = 0x4000; a < 0x8000; ++a)
        kept += m.slot_read(cartridge, a) == std::uint8_t(a * 5 + 1);
    EXPECT_EQ(kept, 0x4000u);
    EXPECT_EQ(m.slot_of_page(1), msx->layout().ram);
    EXPECT_EQ(m.read(startup_symbol("slot_probe")), msx->ram_id());
}

struct LimitCase {
    const char* name;
    int mapper_kb, vram_kb;
    const char* keyword;
    int ram_pages, vram_pages, top_vram;
};

void PrintTo(const LimitCase& c, std::ostream* os)
{
    *os << c.name;
}

class RamdosLimits : public ::testing::TestWithParam<LimitCase> {};

// The pages the tape asks for, fitted to the machine: RAM pages to the
// mapper's segments from 5 on, video pages to those above page 0, the
// screen's.  Video memory the disk does not take keeps what it held.
TEST_P(RamdosLimits, TheDiskTakesNoMorePagesThanTheMachineHas)
{
    const LimitCase c = GetParam();
    loader_harness::Workshop shop;
    auto msx = start_image(shop, {"-cd", "-c", c.keyword}, msx2_layout(c.mapper_kb, c.vram_kb));
    ASSERT_TRUE(msx);
    const Vdp& vdp = msx->vdp();
    std::vector<std::uint8_t> vram(vdp.vram_size());
    for (std::uint32_t a = 0; a < vram.size(); ++a)
        vram[a] = vdp.vram(a);
    ASSERT_TRUE(run_to_kernel(*msx, "cold"));
    EXPECT_EQ(boot_parameter(*msx, "bp_ram_pages"), c.ram_pages);
    EXPECT_EQ(boot_parameter(*msx, "bp_vram_pages"), c.vram_pages);
    if (c.vram_pages > 0) {
        EXPECT_EQ(boot_parameter(*msx, "bp_top_vram"), c.top_vram);
    }
    const std::uint32_t disk_start = std::uint32_t(c.top_vram + 1 - c.vram_pages) * 0x4000;
    std::uint32_t kept = 0;
    for (std::uint32_t a = 0; a < disk_start; ++a)
        kept += vdp.vram(a) == vram[a];
    EXPECT_EQ(kept, disk_start);
    const fat12::Report report = fat12::check(disk_image(*msx));
    EXPECT_TRUE(report.ok()) << report.problems.front();
    EXPECT_EQ(report.clusters, std::uint32_t(32 * (c.ram_pages + c.vram_pages) - 7));
    EXPECT_EQ(report.files.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Machines, RamdosLimits,
    ::testing::Values(LimitCase{"EightRamPagesOn128KMapper", 128, 128, "RAMDOS.78", 3, 7, 7},
                      LimitCase{"SevenVideoPagesOn64KVram", 128, 64, "RAMDOS.73", 3, 3, 3},
                      LimitCase{"NoVideoPagesEightRamPagesOn512KMapper", 512, 128, "RAMDOS.08", 8, 0, 7}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    MsxLayout layout;
};

void PrintTo(const RefusedCase& c, std::ostream* os)
{
    *os << c.name;
}

class RamdosRefused : public ::testing::TestWithParam<RefusedCase> {};

// A machine that cannot run the DOS: the message on the screen and back to
// BASIC as the loader was started from, with page 1 on BASIC again, the
// loader's BLOAD hook gone and no byte of the RAM changed but those of the
// image's parameters and its stack.
TEST_P(RamdosRefused, TellsWhatItNeedsAndGoesBackToBasic)
{
    const RefusedCase c = GetParam();
    loader_harness::Workshop shop;
    auto msx = start_image(shop, {"-cd", "-c", "RAMDOS", "hello.bin"}, c.layout);
    ASSERT_TRUE(msx);
    Machine& m = msx->machine();
    for (std::uint16_t hook : {h_keyi, h_timi})  // under BASIC they lead where they should
        m.write(hook, 0xC9);
    const std::uint16_t stack_floor = std::uint16_t(kernel_symbol("K0") - 0x40);
    std::vector<Bytes> ram;
    const Slot slot = msx->layout().ram;
    for (std::uint32_t a = 0; a < 0x10000; a += 0x4000) {
        Bytes page(0x4000);
        for (std::uint32_t i = 0; i < 0x4000; ++i)
            page[i] = m.slot_read(slot, std::uint16_t(a + i));
        ram.push_back(page);
    }

    const RunResult run = run_to(m, {basic_return, kernel_symbol("cold")}, seconds(5));
    ASSERT_EQ(run.pc, basic_return);
    EXPECT_TRUE(msx->faults().empty());
    EXPECT_NE(msx->transcript().find("\r\nRAM-disk DOS needs an MSX2\r\nwith 128K of mapper RAM\r\n"),
              std::string::npos)
        << msx->transcript();
    EXPECT_TRUE(loader_harness::on_screen(*msx, "with 128K of mapper RAM")) << msx->screen_text();
    EXPECT_EQ(m.reg(Reg::sp), msx->layout().stack);
    EXPECT_EQ(m.slot_of_page(1), msx->layout().main_rom);
    EXPECT_EQ(m.read(h_gone), 0xC9);
    int changed_bytes = 0;
    for (std::uint32_t a = 0; a < 0x10000; ++a) {
        const auto address = std::uint16_t(a);
        if (m.slot_read(slot, address) == ram[a / 0x4000][a % 0x4000] || address == startup_symbol("slot_probe") ||
            in(address, stack_floor, kernel_symbol("K0") - 1) || address >= 0xF380)
            continue;
        ++changed_bytes;
        ADD_FAILURE() << std::hex << address << " changed";
        if (changed_bytes > 5)
            break;
    }
}

// The image loaded by a BASIC program's BLOAD statement through the loader's
// hook, on an MSX1: told, and the program goes on with its next statement,
// which the interpreter now carries out itself.
TEST(RamdosRefusedFromBasic, TheProgramGoesOnAfterItsBload)
{
    loader_harness::Workshop shop;
    Bytes program = {0xFF};
    Bytes bload = {0xCF};  // BLOAD"CAS:",R
    for (char c : std::string("\"CAS:\",R"))
        bload.push_back(std::uint8_t(c));
    const Bytes line10 = loader_harness::basic_line(0x8001, 10, bload);
    program.insert(program.end(), line10.begin(), line10.end());
    const Bytes line20 = loader_harness::basic_line(std::uint16_t(0x8001 + line10.size()), 20, {0x91, ' ', 0x12});  // PRINT 1
    program.insert(program.end(), line20.begin(), line20.end());
    program.insert(program.end(), {0, 0});
    shop.put("loads.bas", program);
    auto msx = loader_harness::play({shop.tapecast({"-cd", "-c", "loads.bas", "RAMDOS"})});
    Machine& m = msx->machine();
    ASSERT_EQ(run_to(m, {}, seconds(15)).reason, Stop::requested);
    ASSERT_TRUE(msx->basic_run_reached());

    std::vector<Statement> statements;
    EXPECT_EQ(msx->run_statements(seconds(30), statements).reason, Stop::requested) << msx->screen_text();
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_TRUE(statements[0].taken_by_hook);
    EXPECT_FALSE(statements[1].taken_by_hook);
    EXPECT_TRUE(loader_harness::on_screen(*msx, "with 128K of mapper RAM")) << msx->screen_text();
    EXPECT_EQ(m.read(h_gone), 0xC9);
    EXPECT_TRUE(msx->faults().empty());
}

MsxLayout msx1_layout()
{
    return MsxLayout{};
}

INSTANTIATE_TEST_SUITE_P(Machines, RamdosRefused,
                         ::testing::Values(RefusedCase{"Msx1", msx1_layout()},
                                           RefusedCase{"Msx2With64KMapper", msx2_layout(64, 128)}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace msxbench
