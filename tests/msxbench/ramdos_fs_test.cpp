// The RAM-disk DOS's file system: the kernel alone in an emulated MSX2,
// formatted over R mapper pages and V video pages, driven through its
// function entry as MSX-DOS programs drive it; the disk is then read back
// from the machine's memory and checked as a FAT12 volume.
#include "machine.h"
#include "msx.h"
#include "ramdisk/fat12_image.h"
#include "ramdos_parts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace msxbench {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ramdos_parts::kernel_symbol;

constexpr std::uint16_t fcb = 0xD700;      // FCBs and the tests' own data, below the kernel
constexpr std::uint16_t fcb2 = 0xD740;
constexpr std::uint16_t returned = 0xD7F0;  // return address of calls, a breakpoint
constexpr std::uint16_t caller_stack = 0xD7E0;

Bytes pattern(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

struct Result {
    std::uint8_t a = 0;
    std::uint16_t hl = 0, bc = 0, de = 0, ix = 0, iy = 0;
    std::uint64_t cycles = 0;
};

// The kernel loaded at its address, its boot parameters set and the disk
// formatted.  With `dos_pages` pages 0 and 1 are RAM (segments 3 and 2) as
// under DOS; else they stay on the BIOS and BASIC as the start-up sees them.
class Dos {
public:
    Dos(int ram_pages, int vram_pages, int mapper_kb = 128, int vram_kb = 128, bool dos_pages = true)
        : msx_(msx2_layout(mapper_kb, vram_kb)), m_(msx_.machine()), ram_pages_(ram_pages), vram_pages_(vram_pages)
    {
        msx_.leave_leftovers(3);
        m_.load(kernel_symbol("bdos"), ramdos_parts::kernel());
        m_.load(kernel_symbol("fs_vars"), pattern(256, 99));  // nothing relies on zeroed variables
        m_.write(kernel_symbol("bp_ram_pages"), static_cast<std::uint8_t>(ram_pages));
        m_.write(kernel_symbol("bp_vram_pages"), static_cast<std::uint8_t>(vram_pages));
        m_.write(kernel_symbol("bp_top_vram"), static_cast<std::uint8_t>(vram_kb / 16 - 1));
        if (dos_pages) {
            m_.set_secondary_register(3, 0xAA);
            m_.set_primary_register(0xFF);
        }
        m_.set_reg(Reg::iff1, 0);
        m_.set_reg(Reg::iff2, 0);
        m_.set_reg(Reg::sp, caller_stack);
        const RunResult r = m_.call(kernel_symbol("fs_format"), returned, 2000000);
        EXPECT_EQ(r.reason, Stop::breakpoint);
    }

    Msx& msx() { return msx_; }
    Machine& m() { return m_; }
    int sectors() const { return 32 * (ram_pages_ + vram_pages_); }

    Result call(std::uint8_t c, std::uint16_t de = 0, std::uint16_t hl = 0)
    {
        m_.set_reg(Reg::bc, c);
        m_.set_reg(Reg::de, de);
        m_.set_reg(Reg::hl, hl);
        m_.set_reg(Reg::ix, 0x1234);
        m_.set_reg(Reg::iy, 0x5678);
        m_.set_reg(Reg::sp, caller_stack);
        const RunResult r = m_.call(kernel_symbol("bdos"), returned, 50000000);
        EXPECT_EQ(r.reason, Stop::breakpoint) << "function " << int(c);
        EXPECT_EQ(m_.reg(Reg::sp), caller_stack);
        EXPECT_EQ(m_.mapper_register(2), 1) << "function " << int(c);
        Result out;
        out.a = static_cast<std::uint8_t>(m_.reg(Reg::af) >> 8);
        out.hl = m_.reg(Reg::hl);
        out.bc = m_.reg(Reg::bc);
        out.de = m_.reg(Reg::de);
        out.ix = m_.reg(Reg::ix);
        out.iy = m_.reg(Reg::iy);
        out.cycles = r.cycles;
        if (c != 0x1B) {
            EXPECT_EQ(out.ix, 0x1234);
            EXPECT_EQ(out.iy, 0x5678);
        }
        return out;
    }

    // An unopened FCB: drive, the name in its 11-character form, zeros.
    void set_fcb(std::uint16_t at, std::string_view name11, std::uint8_t drive = 0)
    {
        Bytes bytes(37, 0);
        bytes[0] = drive;
        for (std::size_t i = 0; i < 11; ++i)
            bytes[1 + i] = i < name11.size() ? static_cast<std::uint8_t>(name11[i]) : ' ';
        m_.load(at, bytes);
    }
    void set_record_size(std::uint16_t at, std::uint16_t size) { m_.write_word(at + 14, size); }

    // Create, one or more random block writes from `dma`, close, as K7 does.
    void write_file(std::string_view name11, const Bytes& data, std::uint16_t dma = 0x0400,
                    std::vector<std::size_t> parts = {})
    {
        if (parts.empty())
            parts.push_back(data.size());
        set_fcb(fcb, name11);
        ASSERT_EQ(call(0x16, fcb).a, 0);
        std::size_t done = 0;
        for (std::size_t part : parts) {
            m_.load(dma, Bytes(data.begin() + std::ptrdiff_t(done), data.begin() + std::ptrdiff_t(done + part)));
            call(0x1A, dma);
            set_record_size(fcb, 1);
            const Result r = call(0x26, fcb, static_cast<std::uint16_t>(part));
            ASSERT_EQ(r.a, 0);
            ASSERT_EQ(r.hl, part);
            done += part;
        }
        ASSERT_EQ(call(0x10, fcb).a, 0);
    }

    Bytes image() const { return msx_.ram_disk_image(ram_pages_, vram_pages_); }
    fat12::Report check() const { return fat12::check(image()); }
    std::optional<Bytes> file(std::string_view name) const { return fat12::read_file(image(), name); }

private:
    Msx msx_;
    Machine& m_;
    int ram_pages_, vram_pages_;
};

std::vector<std::string> names(const fat12::Report& report)
{
    std::vector<std::string> out;
    for (const auto& f : report.files)
        out.push_back(f.name);
    return out;
}

// --- Format and a file across the disk's pages.

struct Geometry {
    int mapper_kb, vram_kb, ram_pages, vram_pages;
};

class FsGeometry : public ::testing::TestWithParam<Geometry> {};

// The volume is empty and consistent, and a file that fills most of it,
// written in one call from page 0 and page 2 and read back, spans the
// mapper pages and the video pages; nothing outside the disk changes.
TEST_P(FsGeometry, FormatsAndHoldsAFileAcrossItsPages)
{
    const Geometry g = GetParam();
    Dos dos(g.ram_pages, g.vram_pages, g.mapper_kb, g.vram_kb);
    Machine& m = dos.m();
    const Bytes segment4(m.segment(4).begin(), m.segment(4).end());
    std::vector<Bytes> beyond;  // segments after the disk's
    for (int s = 5 + g.ram_pages; s < m.mapper_segments(); ++s)
        beyond.emplace_back(m.segment(s).begin(), m.segment(s).end());
    Bytes vram_below;
    const std::uint32_t vram_disk_start = std::uint32_t(g.vram_kb / 16 - g.vram_pages) * 0x4000;
    for (std::uint32_t a = 0; a < vram_disk_start; a += 97)
        vram_below.push_back(dos.msx().vdp().vram(a));

    const fat12::Report empty = dos.check();
    EXPECT_TRUE(empty.ok()) << (empty.problems.empty() ? "" : empty.problems[0]);
    EXPECT_EQ(empty.clusters, std::uint32_t(dos.sectors() - 7));
    EXPECT_EQ(empty.free_clusters, empty.clusters);
    EXPECT_TRUE(empty.files.empty());
    EXPECT_EQ(dos.image()[0], 0xEB);

    // Up to 0xD6FF from 0x0100, or what the disk holds less a few sectors.
    const std::size_t size = std::min<std::size_t>(0xD600, (dos.sectors() - 7 - 3) * 512 + 300);
    const Bytes data = pattern(size, 1);
    dos.write_file("SPAN    BIN", data, 0x0100);
    const fat12::Report report = dos.check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
    ASSERT_EQ(names(report), std::vector<std::string>{"SPAN.BIN"});
    EXPECT_EQ(report.files[0].size, size);
    EXPECT_EQ(dos.file("SPAN.BIN"), data);
    EXPECT_EQ(report.free_clusters, report.clusters - (size + 511) / 512);

    EXPECT_TRUE(std::equal(segment4.begin(), segment4.end(), m.segment(4).begin()));
    for (int s = 5 + g.ram_pages; s < m.mapper_segments(); ++s)
        EXPECT_TRUE(std::equal(beyond[std::size_t(s - 5 - g.ram_pages)].begin(),
                               beyond[std::size_t(s - 5 - g.ram_pages)].end(), m.segment(s).begin()))
            << "segment " << s;
    Bytes vram_after;
    for (std::uint32_t a = 0; a < vram_disk_start; a += 97)
        vram_after.push_back(dos.msx().vdp().vram(a));
    EXPECT_EQ(vram_after, vram_below);
    EXPECT_EQ(dos.msx().vdp().reg(14), 0);
    EXPECT_EQ(dos.msx().vdp().close_accesses(), 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, FsGeometry,
                         ::testing::Values(Geometry{128, 128, 3, 7}, Geometry{128, 128, 1, 2},
                                           Geometry{512, 128, 8, 0}, Geometry{256, 128, 0, 1},
                                           Geometry{128, 64, 2, 3}),
                         [](const auto& info) {
                             const Geometry& g = info.param;
                             return std::to_string(g.ram_pages) + "Ram" + std::to_string(g.vram_pages) + "Vram" +
                                    std::to_string(g.mapper_kb) + "K";
                         });

// --- Writing.

// The start-up's way: BIOS in page 0, interrupts on, the FCB and the data in
// page 2; a split file appended by several calls at odd sizes, as K7 does.
TEST(FsWrite, AppendsInSeveralCallsFromPage2WithInterruptsOn)
{
    Dos dos(1, 2, 128, 128, false);
    Machine& m = dos.m();
    m.write(h_keyi, 0xC9);
    m.write(h_timi, 0xC9);
    m.set_reg(Reg::iff1, 1);
    m.set_reg(Reg::iff2, 1);
    const Bytes data = pattern(27500, 2);
    constexpr std::uint16_t start_fcb = 0x82D0, buffer = 0x9FE5;
    dos.set_fcb(start_fcb, "big     dat");
    ASSERT_EQ(dos.call(0x16, start_fcb).a, 0);
    dos.set_record_size(start_fcb, 1);
    std::size_t done = 0;
    for (std::size_t part : {700u, 12289u, 512u, 13999u}) {
        m.load(buffer, Bytes(data.begin() + std::ptrdiff_t(done), data.begin() + std::ptrdiff_t(done + part)));
        dos.call(0x1A, buffer);
        const Result r = dos.call(0x26, start_fcb, static_cast<std::uint16_t>(part));
        EXPECT_EQ(r.a, 0);
        EXPECT_EQ(r.hl, part);
        done += part;
        EXPECT_EQ(m.read_word(start_fcb + 33), done);  // the random record advances
        EXPECT_EQ(m.read_word(start_fcb + 16), done);  // and the size grows
        EXPECT_EQ(m.reg(Reg::iff1), 1);
    }
    EXPECT_EQ(dos.call(0x10, start_fcb).a, 0);
    EXPECT_GT(m.interrupts_taken(), 0u);
    const fat12::Report report = dos.check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
    ASSERT_EQ(names(report), std::vector<std::string>{"BIG.DAT"});  // the name upper-cased
    EXPECT_EQ(dos.file("BIG.DAT"), data);
    EXPECT_TRUE(dos.msx().faults().empty());
}

// Creating an existing name with FCB+12 = 0 empties it and reuses its entry:
// one file with the second contents and no cluster lost.
TEST(FsWrite, CreatingAnExistingNameReplacesIt)
{
    Dos dos(3, 0);
    dos.write_file("GAME    COM", pattern(10000, 3));
    dos.write_file("OTHER   TXT", pattern(600, 4));
    const Bytes second = pattern(3000, 5);
    dos.write_file("GAME    COM", second);
    const fat12::Report report = dos.check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
    EXPECT_EQ(names(report), (std::vector<std::string>{"GAME.COM", "OTHER.TXT"}));
    EXPECT_EQ(dos.file("GAME.COM"), second);
    EXPECT_EQ(report.free_clusters, report.clusters - 6 - 2);
}

}  // namespace
}  // namespace msxbench
