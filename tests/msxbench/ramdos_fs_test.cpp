// The RAM-disk DOS's file system: the kernel alone in an emulated MSX2,
// formatted over R mapper pages and V video pages, driven through its
// function entry as DOS programs drive it; the disk is then read back
// from the machine's memory and checked as a FAT12 volume.
#include "machine.h"
#include "msx.h"
#include "ramdisk/fat12_image.h"
#include "test_support.h"
#include "ramdos_parts.h"

#include <gtest/gtest.h>

#include <cstdint>
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
    return test_support::seeded_bytes(size, seed);
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

// A full disk stops the write where the clusters run out: A = 1, HL = the
// whole records written, and the file's size, chain and FCB agree.
TEST(FsWrite, AFullDiskStopsTheWriteAndLeavesItConsistent)
{
    Dos dos(0, 1);  // 25 clusters, 12,800 bytes
    const Bytes data = pattern(20000, 11);
    dos.m().load(0x0400, data);
    dos.call(0x1A, 0x0400);
    dos.set_fcb(fcb, "FULL    BIN");
    ASSERT_EQ(dos.call(0x16, fcb).a, 0);
    dos.set_record_size(fcb, 1);
    Result r = dos.call(0x26, fcb, 20000);
    EXPECT_EQ(r.a, 1);
    EXPECT_EQ(r.hl, 12800);
    EXPECT_EQ(dos.m().read_word(fcb + 16), 12800);
    EXPECT_EQ(dos.m().read_word(fcb + 33), 12800);
    EXPECT_EQ(dos.call(0x10, fcb).a, 0);
    dos.set_fcb(fcb2, "EMPTY   BIN");
    ASSERT_EQ(dos.call(0x16, fcb2).a, 0);
    dos.set_record_size(fcb2, 1);
    r = dos.call(0x26, fcb2, 10);
    EXPECT_EQ(r.a, 1);
    EXPECT_EQ(r.hl, 0);
    EXPECT_EQ(dos.call(0x10, fcb2).a, 0);
    fat12::Report report = dos.check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
    EXPECT_EQ(report.free_clusters, 0u);
    EXPECT_EQ(dos.file("FULL.BIN"), Bytes(data.begin(), data.begin() + 12800));
    EXPECT_EQ(dos.file("EMPTY.BIN"), Bytes());

    // Records of 1000 bytes: the thirteenth only partly fits.
    dos.set_fcb(fcb, "FULL    BIN");
    ASSERT_EQ(dos.call(0x13, fcb).a, 0);
    ASSERT_EQ(dos.call(0x16, fcb2).a, 0);
    dos.set_record_size(fcb2, 1000);
    r = dos.call(0x26, fcb2, 20);
    EXPECT_EQ(r.a, 1);
    EXPECT_EQ(r.hl, 12);
    EXPECT_EQ(dos.m().read_word(fcb2 + 33), 12);
    EXPECT_EQ(dos.call(0x10, fcb2).a, 0);
    report = dos.check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
    ASSERT_EQ(names(report), std::vector<std::string>{"EMPTY.BIN"});
    EXPECT_EQ(dos.file("EMPTY.BIN"), Bytes(data.begin(), data.begin() + std::ptrdiff_t(report.files[0].size)));
}

// 0x26 with no records sets the size to the position: a shorter file gives
// clusters back, a longer one takes them, unless the disk cannot hold it.
TEST(FsWrite, NoRecordsSetTheFileSizeToThePosition)
{
    Dos dos(1, 0);  // 25 clusters
    const Bytes data = pattern(3000, 25);
    dos.write_file("SIZE    BIN", data);
    const auto resize = [&](std::uint8_t records_of_100) {
        dos.set_record_size(fcb, 100);
        dos.m().load(fcb + 33, Bytes{records_of_100, 0, 0, 0});
        const Result r = dos.call(0x26, fcb, 0);
        EXPECT_EQ(r.hl, 0);
        EXPECT_EQ(dos.call(0x10, fcb).a, 0);
        const fat12::Report report = dos.check();
        EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
        return r.a;
    };
    EXPECT_EQ(resize(10), 0);
    EXPECT_EQ(dos.file("SIZE.BIN"), Bytes(data.begin(), data.begin() + 1000));
    EXPECT_EQ(dos.check().free_clusters, 23u);
    EXPECT_EQ(resize(50), 0);
    EXPECT_EQ(dos.check().files[0].size, 5000u);
    EXPECT_EQ(dos.check().free_clusters, 15u);
    EXPECT_EQ(dos.file("SIZE.BIN")->size(), 5000u);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 1000, dos.file("SIZE.BIN")->begin()));
    EXPECT_EQ(resize(200), 1);  // 20,000 bytes do not fit
    EXPECT_EQ(dos.check().files[0].size, 5000u);
    EXPECT_EQ(dos.check().free_clusters, 15u);
    EXPECT_EQ(resize(0), 0);
    EXPECT_EQ(dos.check().files[0].first_cluster, 0);
    EXPECT_EQ(dos.check().free_clusters, 25u);
}

// An FCB whose cluster fields point off the disk (a program's own, never
// opened) makes the transfer fail instead of reaching memory beyond the FAT;
// a stale last-cluster field alone is passed over.
TEST(FsWrite, AnFcbPointingOffTheDiskIsRefused)
{
    Dos dos(1, 0);
    const Bytes data = pattern(2000, 26);
    dos.write_file("KEEP    BIN", data);
    const Bytes variables = dos.m().dump(kernel_symbol("fs_vars"), 256);
    dos.m().write_word(fcb + 26, 0x0FF0);
    dos.set_record_size(fcb, 1);
    dos.m().load(fcb + 33, Bytes(4, 0));
    Result r = dos.call(0x26, fcb, 100);
    EXPECT_EQ(r.a, 1);
    EXPECT_EQ(r.hl, 0);
    r = dos.call(0x27, fcb, 100);
    EXPECT_EQ(r.a, 1);
    EXPECT_EQ(r.hl, 0);
    const Bytes after = dos.m().dump(kernel_symbol("fs_vars"), 256);
    const std::uint16_t dpb = kernel_symbol("dpb") - kernel_symbol("fs_vars");
    EXPECT_TRUE(std::equal(variables.begin() + dpb, variables.begin() + dpb + 21, after.begin() + dpb));
    EXPECT_TRUE(dos.check().ok());
    EXPECT_EQ(dos.file("KEEP.BIN"), data);

    dos.m().write_word(fcb + 26, dos.check().files[0].first_cluster);
    dos.m().write_word(fcb + 28, 0x0800);
    dos.m().write_word(fcb + 30, 1);
    dos.m().load(fcb + 33, Bytes{0xD0, 0x07, 0, 0});  // 2000: the 4th cluster, reached from the first
    const Bytes more = pattern(100, 27);
    dos.m().load(0x0400, more);
    dos.call(0x1A, 0x0400);
    r = dos.call(0x26, fcb, 100);
    EXPECT_EQ(r.a, 0);
    EXPECT_EQ(dos.call(0x10, fcb).a, 0);
    Bytes both = data;
    both.insert(both.end(), more.begin(), more.end());
    EXPECT_EQ(dos.file("KEEP.BIN"), both);
    EXPECT_TRUE(dos.check().ok());
}

// --- Directory functions.

TEST(FsDirectory, DeleteWithWildcardsFreesTheClustersAndTheEntries)
{
    Dos dos(3, 0);
    dos.write_file("A1      TXT", pattern(1500, 6));
    dos.write_file("B       TXT", pattern(700, 7));
    dos.write_file("A2      TXT", pattern(5000, 8));
    dos.write_file("A3      BIN", pattern(100, 9));
    dos.set_fcb(fcb, "a?      TXT");
    EXPECT_EQ(dos.call(0x13, fcb).a, 0);
    fat12::Report report = dos.check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
    EXPECT_EQ(names(report), (std::vector<std::string>{"B.TXT", "A3.BIN"}));
    EXPECT_EQ(report.free_clusters, report.clusters - 3);
    EXPECT_EQ(dos.call(0x13, fcb).a, 0xFF);  // nothing left to delete
    dos.set_fcb(fcb, "A3      BIN", 2);
    EXPECT_EQ(dos.call(0x13, fcb).a, 0xFF);  // drive B: is not there

    const Bytes c = pattern(2000, 10);
    dos.write_file("C       TXT", c);  // takes the first deleted entry
    report = dos.check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
    EXPECT_EQ(names(report), (std::vector<std::string>{"C.TXT", "B.TXT", "A3.BIN"}));
    EXPECT_EQ(dos.file("C.TXT"), c);
}

TEST(FsDirectory, RenameKeepsTheDataAndRefusesANameInUse)
{
    Dos dos(1, 0);
    const Bytes x = pattern(900, 12), y = pattern(300, 13);
    dos.write_file("X       TXT", x);
    dos.write_file("Y       TXT", y);
    const auto rename = [&](std::string_view from, std::string_view to) {
        dos.set_fcb(fcb, from);
        dos.m().load(fcb + 17, Bytes(to.begin(), to.end()));
        return dos.call(0x17, fcb).a;
    };
    EXPECT_EQ(rename("X       TXT", "Y       TXT"), 0xFF);
    EXPECT_EQ(rename("X       TXT", "z       TXT"), 0);
    EXPECT_EQ(names(dos.check()), (std::vector<std::string>{"Z.TXT", "Y.TXT"}));
    EXPECT_EQ(dos.file("Z.TXT"), x);
    EXPECT_EQ(rename("X       TXT", "W       TXT"), 0xFF);  // no such file any more
    // Wildcards: "?" in the new name keeps the file's own character.
    EXPECT_EQ(rename("?       TXT", "?       DOC"), 0);
    const fat12::Report report = dos.check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
    EXPECT_EQ(names(report), (std::vector<std::string>{"Z.DOC", "Y.DOC"}));
    EXPECT_EQ(dos.file("Y.DOC"), y);
}

TEST(FsDirectory, SearchFirstAndNextFindTheMatchingEntriesInOrder)
{
    Dos dos(1, 1);
    dos.write_file("GAME    COM", pattern(3000, 14));
    dos.write_file("GAME    BIN", pattern(10, 15));
    dos.write_file("TOOL    COM", pattern(1, 16));
    dos.set_fcb(fcb, "GAME    BIN");
    ASSERT_EQ(dos.call(0x13, fcb).a, 0);
    constexpr std::uint16_t found = 0xD600;
    dos.call(0x1A, found);
    dos.set_fcb(fcb, "????????com", 1);
    Result r = dos.call(0x11, fcb);
    EXPECT_EQ(r.a, 0);
    const Bytes first = dos.m().dump(found, 33);
    EXPECT_EQ(first[0], 1);  // the search FCB's drive byte, then the entry
    EXPECT_EQ(std::string(first.begin() + 1, first.begin() + 12), "GAME    COM");
    EXPECT_EQ(first[1 + 28] | first[1 + 29] << 8, 3000);
    EXPECT_EQ(first[1 + 24], 0x21);  // 1980-01-01
    r = dos.call(0x12);
    EXPECT_EQ(r.a, 0);
    EXPECT_EQ(dos.m().dump(found + 1, 11), Bytes(std::begin("TOOL    COM"), std::end("TOOL    COM") - 1));
    EXPECT_EQ(dos.call(0x12).a, 0xFF);
    EXPECT_EQ(dos.call(0x12).a, 0xFF);
    dos.set_fcb(fcb, "???????????");
    EXPECT_EQ(dos.call(0x11, fcb).a, 0);
    EXPECT_EQ(dos.call(0x12).a, 0);
    EXPECT_EQ(dos.call(0x12).a, 0xFF);
    dos.set_fcb(fcb, "???????????", 2);
    EXPECT_EQ(dos.call(0x11, fcb).a, 0xFF);
}

// --- Reading.

TEST(FsRead, OpenFillsTheFcbAndABlockReadPadsThePartialLastRecord)
{
    Dos dos(2, 1);
    dos.write_file("FIRST   TXT", pattern(700, 17));
    const Bytes data = pattern(1000, 18);
    dos.write_file("DATA    BIN", data);
    const fat12::Report report = dos.check();
    ASSERT_EQ(report.files.size(), 2u);

    Bytes unopened(37, 0x77);
    unopened[0] = 0;
    const std::string name = "data    bin";
    std::copy(name.begin(), name.end(), unopened.begin() + 1);
    dos.m().load(fcb, unopened);
    ASSERT_EQ(dos.call(0x0F, fcb).a, 0);
    const Bytes opened = dos.m().dump(fcb, 37);
    EXPECT_EQ(std::string(opened.begin() + 1, opened.begin() + 12), "DATA    BIN");
    EXPECT_EQ(Bytes(opened.begin() + 12, opened.begin() + 16), Bytes(4, 0x77));  // block, record size: the caller's
    EXPECT_EQ(dos.m().read_word(fcb + 16), 1000);
    EXPECT_EQ(dos.m().read_word(fcb + 18), 0);
    EXPECT_EQ(dos.m().read_word(fcb + 20), 0x0021);
    EXPECT_EQ(opened[24], 0x40);
    EXPECT_EQ(opened[25], 1);
    EXPECT_EQ(dos.m().read_word(fcb + 26), report.files[1].first_cluster);
    EXPECT_EQ(Bytes(opened.begin() + 32, opened.end()), Bytes(5, 0x77));  // current and random record: the caller's

    constexpr std::uint16_t dma = 0x4000;
    dos.call(0x1A, dma);
    dos.m().load(dma, Bytes(1400, 0xEE));
    dos.set_record_size(fcb, 300);
    dos.m().load(fcb + 33, Bytes(4, 0));
    Result r = dos.call(0x27, fcb, 5);
    EXPECT_EQ(r.a, 1);
    EXPECT_EQ(r.hl, 3);
    EXPECT_EQ(dos.m().read_word(fcb + 33), 3);
    Bytes expected = data;
    expected.resize(1200, 0);  // the partial fourth record, padded with zeros
    expected.resize(1400, 0xEE);
    EXPECT_EQ(dos.m().dump(dma, 1400), expected);
    r = dos.call(0x27, fcb, 1);
    EXPECT_EQ(r.a, 1);
    EXPECT_EQ(r.hl, 0);

    dos.set_record_size(fcb, 0);  // 0 stands for 128
    dos.m().load(fcb + 33, Bytes{2, 0, 0, 0x55});  // the fourth byte is not used at 128
    r = dos.call(0x27, fcb, 2);
    EXPECT_EQ(r.a, 0);
    EXPECT_EQ(r.hl, 2);
    EXPECT_EQ(dos.m().read_word(fcb + 14), 128);
    EXPECT_EQ(dos.m().dump(dma, 256), Bytes(data.begin() + 256, data.begin() + 512));
    EXPECT_EQ(dos.m().read(fcb + 33), 4);
    EXPECT_EQ(dos.m().read(fcb + 36), 0x55);

    dos.set_record_size(fcb, 1);
    dos.m().load(fcb + 33, Bytes(4, 0));
    r = dos.call(0x27, fcb, 1000);
    EXPECT_EQ(r.a, 0);
    EXPECT_EQ(r.hl, 1000);
    EXPECT_EQ(dos.m().dump(dma, 1000), data);
    EXPECT_EQ(dos.call(0x10, fcb).a, 0);
    EXPECT_EQ(dos.file("DATA.BIN"), data);

    dos.set_fcb(fcb, "NONE    BIN");
    EXPECT_EQ(dos.call(0x0F, fcb).a, 0xFF);
    EXPECT_EQ(dos.call(0x10, fcb).a, 0xFF);  // never opened
    dos.set_fcb(fcb, "DATA    BIN", 3);
    EXPECT_EQ(dos.call(0x0F, fcb).a, 0xFF);
    dos.set_fcb(fcb, "DAT?    BIN", 1);
    EXPECT_EQ(dos.call(0x0F, fcb).a, 0);
    EXPECT_EQ(dos.m().read(fcb + 25), 1);
}

// Sequential and random record functions, set random record and file size.
TEST(FsRead, RecordFunctionsMoveOneRecordOfTheFile)
{
    Dos dos(1, 1);
    constexpr std::uint16_t dma = 0x4000;
    dos.call(0x1A, dma);
    const Bytes data = pattern(6 * 128, 19);
    dos.set_fcb(fcb, "REC     DAT");
    ASSERT_EQ(dos.call(0x16, fcb).a, 0);
    for (int i = 0; i < 3; ++i) {
        dos.m().load(dma, Bytes(data.begin() + i * 128, data.begin() + (i + 1) * 128));
        EXPECT_EQ(dos.call(0x15, fcb).a, 0);
    }
    EXPECT_EQ(dos.m().read(fcb + 32), 3);
    dos.m().load(dma, Bytes(data.begin() + 5 * 128, data.end()));
    dos.m().load(fcb + 33, Bytes{5, 0, 0, 0});
    EXPECT_EQ(dos.call(0x22, fcb).a, 0);  // leaves records 3 and 4 unwritten
    EXPECT_EQ(dos.m().read_word(fcb + 16), 768);
    EXPECT_EQ(dos.m().read(fcb + 33), 5);
    EXPECT_EQ(dos.call(0x10, fcb).a, 0);
    EXPECT_TRUE(dos.check().ok());

    dos.set_fcb(fcb2, "REC     DAT");
    EXPECT_EQ(dos.call(0x23, fcb2).a, 0);
    EXPECT_EQ(dos.m().dump(fcb2 + 33, 4), (Bytes{6, 0, 0, 0}));

    dos.set_fcb(fcb, "REC     DAT");
    ASSERT_EQ(dos.call(0x0F, fcb).a, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dos.call(0x14, fcb).a, 0);
        EXPECT_EQ(dos.m().dump(dma, 128), Bytes(data.begin() + i * 128, data.begin() + (i + 1) * 128));
    }
    dos.m().load(fcb + 33, Bytes{5, 0, 0, 0});
    EXPECT_EQ(dos.call(0x21, fcb).a, 0);
    EXPECT_EQ(dos.m().dump(dma, 128), Bytes(data.begin() + 5 * 128, data.end()));
    dos.m().load(fcb + 33, Bytes{6, 0, 0, 0});
    EXPECT_EQ(dos.call(0x21, fcb).a, 1);

    dos.m().write_word(fcb + 12, 2);
    dos.m().write(fcb + 32, 5);
    EXPECT_EQ(dos.call(0x24, fcb).a, 0);
    EXPECT_EQ(dos.m().dump(fcb + 33, 4), (Bytes{5, 1, 0, 0}));  // 2 * 128 + 5

    // A partial last record reads padded with zeros; the next is the end.
    const Bytes tail = pattern(200, 20);
    dos.write_file("TAIL    TXT", tail);
    dos.call(0x1A, dma);
    dos.set_fcb(fcb, "TAIL    TXT");
    ASSERT_EQ(dos.call(0x0F, fcb).a, 0);
    EXPECT_EQ(dos.call(0x14, fcb).a, 0);
    EXPECT_EQ(dos.call(0x14, fcb).a, 0);
    Bytes last(tail.begin() + 128, tail.end());
    last.resize(128, 0);
    EXPECT_EQ(dos.m().dump(dma, 128), last);
    EXPECT_EQ(dos.call(0x14, fcb).a, 1);
    EXPECT_EQ(dos.m().read(fcb + 32), 2);
}

// --- Disk functions.

TEST(FsSystem, DiskInformationAbsoluteSectorsAndTheSmallFunctions)
{
    Dos dos(3, 7);
    constexpr std::uint16_t dma = 0x4000;
    dos.call(0x1A, dma);
    ASSERT_EQ(dos.call(0x2F, 1, 0x0200).a, 0);  // the empty FAT, 2 sectors from sector 1
    const Bytes empty_fat = dos.m().dump(dma, 1024);
    dos.write_file("FOUR    BIN", pattern(2000, 21));

    Result r = dos.call(0x1B, 0, 0);
    EXPECT_EQ(r.a, 1);
    EXPECT_EQ(r.bc, 512);
    EXPECT_EQ(r.de, 313);
    EXPECT_EQ(r.hl, 309);
    EXPECT_EQ(r.ix, kernel_symbol("dpb"));
    EXPECT_EQ(r.iy, kernel_symbol("fat_cache"));
    EXPECT_EQ(dos.m().read_word(r.ix + 14), 315);  // highest cluster + 1
    EXPECT_EQ(dos.m().read_word(r.ix + 19), r.iy);
    EXPECT_EQ(dos.call(0x1B, 2).a, 0xFF);

    dos.call(0x1A, dma);
    const Bytes image = dos.image();
    ASSERT_EQ(dos.call(0x2F, 0, 0x0800).a, 0);  // from mapper and video sectors alike
    EXPECT_EQ(dos.m().dump(dma, 8 * 512), Bytes(image.begin(), image.begin() + 8 * 512));
    ASSERT_EQ(dos.call(0x2F, 318, 0x0200).a, 0);
    EXPECT_EQ(dos.m().dump(dma, 1024), Bytes(image.begin() + 318 * 512, image.begin() + 320 * 512));
    EXPECT_EQ(dos.call(0x2F, 319, 0x0200).a, 1);  // past the end
    EXPECT_EQ(dos.call(0x30, 0xFFFF, 0x0200).a, 1);  // and not wrapping to sector 0
    EXPECT_EQ(dos.call(0x2F, 0, 0x0101).a, 1);    // drive B:

    // Writing the empty FAT and directory back empties the disk for the kernel too.
    dos.m().load(dma, empty_fat);
    dos.m().load(dma + 1024, Bytes(512, 0));
    ASSERT_EQ(dos.call(0x30, 1, 0x0300).a, 0);
    EXPECT_EQ(dos.call(0x1B, 1).hl, 313);
    const Bytes other = pattern(1500, 22);
    dos.write_file("OTHER   BIN", other);
    fat12::Report report = dos.check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems[0]);
    EXPECT_EQ(names(report), std::vector<std::string>{"OTHER.BIN"});
    EXPECT_EQ(dos.file("OTHER.BIN"), other);

    EXPECT_EQ(dos.call(0x0C).hl, 0x0022);
    EXPECT_EQ(dos.call(0x19).a, 0);
    r = dos.call(0x2A);
    EXPECT_EQ(r.hl, 1980);
    EXPECT_EQ(r.de, 0x0101);
    r = dos.call(0x50, 0x1111, 0x2222);
    EXPECT_EQ(r.a, 0);
    EXPECT_EQ(r.hl, 0);
    dos.call(0x0D);  // disk reset: the DMA back at 0x0080
    dos.set_fcb(fcb, "OTHER   BIN");
    ASSERT_EQ(dos.call(0x11, fcb).a, 0);
    EXPECT_EQ(dos.m().dump(0x0081, 11), Bytes(std::begin("OTHER   BIN"), std::end("OTHER   BIN") - 1));
}

// --- One K7 part (46,080 bytes from 0x0400, running into page 2) written in
// one call, to mapper sectors and to video sectors.  What it costs is
// measured by bench/ramdos_bench.
TEST(FsLargeWrite, OneK7PartToMapperAndToVideoSectors)
{
    const Bytes data = pattern(46080, 23);
    for (bool vram : {false, true}) {
        Dos dos(vram ? 1 : 8, vram ? 7 : 0, 512);
        if (vram)
            dos.write_file("FILLER  BIN", pattern(12800, 24));  // the mapper's clusters
        dos.m().load(0x0400, data);
        dos.call(0x1A, 0x0400);
        dos.set_fcb(fcb, "PART    BIN");
        ASSERT_EQ(dos.call(0x16, fcb).a, 0);
        dos.set_record_size(fcb, 1);
        const Result r = dos.call(0x26, fcb, 46080);
        ASSERT_EQ(r.a, 0);
        ASSERT_EQ(dos.call(0x10, fcb).a, 0);
        EXPECT_EQ(dos.file("PART.BIN"), data);
    }
}

}  // namespace
}  // namespace msxbench
