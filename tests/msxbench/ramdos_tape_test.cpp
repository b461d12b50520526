// The RAM-disk DOS from the tape to the disk, end to end: each case is one
// tapecast WAV with RAMDOS first, played from its first sample into an
// emulated MSX2.  The BIOS reads the fast loader, the loader loads the
// image, DOS boots with K7 typed, K7 reads the DOS-mode blocks after it and
// writes their files, and the prompt comes back.  The player runs whatever
// the motor does, as a CD or a computer playing the WAV: everything DOS and
// K7 do between two blocks has to fit in the pause the encoder leaves.
#include "loader_harness.h"
#include "ramdisk/fat12_image.h"
#include "ramdos_harness.h"
#include "ramdos_parts.h"
#include "tape_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace msxbench {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The machine after a tape: the first time the shell waits for a key is after
// K7 has ended, since the start-up typed K7 for the first prompt.
class TapeToDisk {
public:
    TapeToDisk(const loader_harness::Workshop& shop, const std::vector<std::string>& args,
               const MsxLayout& layout = msx2_layout())
    {
        TapeOptions free_running;
        free_running.motor_controlled = false;
        msx_ = loader_harness::play({shop.tapecast(args)}, layout, free_running);
        if (!loader_harness::reach(*msx_, {ramdos_harness::image_entry}, 30, ramdos_harness::image_entry)) {
            msx_.reset();
            return;
        }
        msx_->leave_leftovers();
    }

    Msx& msx() { return *msx_; }

    // Runs until the shell waits for a key at its prompt, with no fault on
    // the way.
    bool to_prompt(double seconds_limit)
    {
        if (!msx_)
            return false;
        const RunResult r = msx_->machine().run(seconds(seconds_limit));
        const std::string& t = msx_->transcript();
        const std::string prompt = "\r\nA>";
        const bool ok = msx_->waiting_for_key() && msx_->faults().empty() && t.size() >= prompt.size() &&
                        t.compare(t.size() - prompt.size(), prompt.size(), prompt) == 0;
        EXPECT_TRUE(ok) << "stopped (" << int(r.reason) << ") at " << std::hex << r.pc << "\n"
                        << (msx_->faults().empty() ? "" : msx_->faults().front() + "\n") << t << "\n"
                        << msx_->screen_text();
        return ok;
    }

    // Types a command line; what it printed, the next prompt included.
    std::string command(const std::string& line)
    {
        const std::size_t start = msx_->transcript().size();
        EXPECT_TRUE(msx_->type(line + "\r"));
        return to_prompt(3) ? msx_->transcript().substr(start) : "";
    }

    // K7's "Loading:" rows (the loader's row for the image left out).
    std::vector<std::string> k7_rows() const
    {
        std::vector<std::string> rows;
        for (int row = 0; row < 24; ++row) {
            const std::string text = msx_->screen_row(row);
            if (text.rfind("Loading:", 0) == 0 && text.rfind("Loading:RAMDOS", 0) != 0)
                rows.push_back(text);
        }
        return rows;
    }

    Bytes disk() const { return ramdos_harness::disk_image(*msx_); }

private:
    std::unique_ptr<Msx> msx_;
};

Bytes pseudo_random(std::size_t size, std::uint32_t seed)
{
    return test_support::seeded_bytes(size, seed);
}

Bytes text(std::size_t size, const std::string& line)
{
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = std::uint8_t(line[i % line.size()]);
    return data;
}

// A tokenized BASIC program above 2K: lines of REM with their links.
Bytes basic_program(int lines)
{
    Bytes program = {0xFF};
    std::uint16_t address = 0x8001;
    for (int n = 1; n <= lines; ++n) {
        Bytes line = {0, 0, std::uint8_t(n * 10), std::uint8_t((n * 10) >> 8), 0x8F};  // REM
        for (char c : " a line of a BASIC program long enough to be packed")
            if (c)
                line.push_back(std::uint8_t(c));
        line.push_back(0);
        address = std::uint16_t(address + line.size());
        line[0] = std::uint8_t(address);
        line[1] = std::uint8_t(address >> 8);
        program.insert(program.end(), line.begin(), line.end());
    }
    program.insert(program.end(), {0, 0});
    return program;
}

// A 32K cartridge image with CALL 0024h in its code.
Bytes rom_image()
{
    Bytes rom = text(0x8000, "ROM code and data ");
    const Bytes header = {'A', 'B', 0x10, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0xCD, 0x24, 0x00, 0xC9};  // CALL 0024h / RET at 4010h
    std::copy(header.begin(), header.end(), rom.begin());
    for (std::size_t at = 0x1000; at < rom.size(); at += 0x1000)
        rom[at] = 0xCD, rom[at + 1] = 0x24, rom[at + 2] = 0x00;
    return rom;
}

// What the start-up writes before the tape's files.
std::vector<std::string> system_files()
{
    return {"COMMAND.COM", "MSXDOS.SYS", "K7.COM"};
}

std::vector<std::string> names(const fat12::Report& report)
{
    std::vector<std::string> out;
    for (const fat12::DirEntry& entry : report.files)
        out.push_back(entry.name);
    return out;
}

// Every kind of file the encoder takes arrives as it is: in DOS mode the
// tape carries the file itself (packed with its own unpacker), not what the
// loader would be given, so a BIN keeps its header, a BASIC program above 2K
// stays tokenized BASIC, a ROM is not patched (its CALL 0024h are kept) and a
// COM program is the program.  A lowercase name is upper-cased on the disk;
// a name without an extension keeps a blank one.
TEST(RamdosTape, FilesOfEveryKindArriveByteForByte)
{
    loader_harness::Workshop shop;
    const Bytes bin = test_support::read_file(shop.file("hello.bin"));
    const Bytes small_basic = test_support::read_file(shop.file("hello.bas"));
    const Bytes basic = basic_program(60);
    const Bytes rom = rom_image();
    Bytes com = pseudo_random(3000, 5);
    com[0] = 0xC3;  // JP, as programs start
    const Bytes notes = text(2500, "notes in a plain text file\r\n");
    const Bytes readme = text(300, "a name without an extension\r\n");
    ASSERT_GT(basic.size(), 2048u);
    shop.put("game.bas", basic);
    shop.put("GAME.ROM", rom);
    shop.put("TOOL.COM", com);
    shop.put("notes.txt", notes);
    shop.put("readme", readme);

    TapeToDisk run(shop, {"-cd", "-xp", "RAMDOS", "hello.bin", "hello.bas", "game.bas", "GAME.ROM", "TOOL.COM",
                          "notes.txt", "readme"});
    ASSERT_TRUE(run.to_prompt(200));
    const Bytes disk = run.disk();
    const fat12::Report report = fat12::check(disk);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    std::vector<std::string> expected = system_files();
    expected.insert(expected.end(),
                    {"HELLO.BIN", "HELLO.BAS", "GAME.BAS", "GAME.ROM", "TOOL.COM", "NOTES.TXT", "README"});
    EXPECT_EQ(names(report), expected);
    EXPECT_EQ(fat12::read_file(disk, "HELLO.BIN"), bin);
    EXPECT_EQ(fat12::read_file(disk, "HELLO.BAS"), small_basic);
    EXPECT_EQ(fat12::read_file(disk, "GAME.BAS"), basic);
    EXPECT_EQ(fat12::read_file(disk, "GAME.ROM"), rom);
    EXPECT_EQ(fat12::read_file(disk, "TOOL.COM"), com);
    EXPECT_EQ(fat12::read_file(disk, "NOTES.TXT"), notes);
    EXPECT_EQ(fat12::read_file(disk, "README"), readme);
    EXPECT_EQ(run.k7_rows(),
              (std::vector<std::string>{"Loading:hello   bin <OK>", "Loading:hello   bas <OK>",
                                        "Loading:game    bas <OK>", "Loading:GAME    ROM <OK>",
                                        "Loading:TOOL    COM <OK>", "Loading:notes   txt <OK>",
                                        "Loading:readme      <OK>"}))
        << run.msx().screen_text();
}

// A disk image's root directory after RAMDOS: each file arrives under its
// own name, in directory order, byte for byte, a large one joined from its
// parts; the file after the image follows them.  In a fast mode and in the
// turbo signal.
void files_of_a_disk_image(const char* mode);

TEST(RamdosTape, FilesOfADiskImageArriveUnderTheirNames)
{
    for (const char* mode : {"-xp", "-turbo"}) {
        SCOPED_TRACE(mode);
        files_of_a_disk_image(mode);
    }
}

void files_of_a_disk_image(const char* mode)
{
    loader_harness::Workshop shop;
    const Bytes big = pseudo_random(50000, 3);
    const Bytes notes = text(2500, "notes in a plain text file\r\n");
    const Bytes readme = text(300, "a name without an extension\r\n");
    ASSERT_TRUE(test_support::make_floppy(shop.file("disk.dsk"),
                                          {{"NOTES.TXT", notes}, {"BIG.DAT", big}, {"README", readme}}));
    shop.put("after.txt", readme);

    TapeToDisk run(shop, {"-cd", mode, "RAMDOS", "disk.dsk", "after.txt"});
    ASSERT_TRUE(run.to_prompt(200));
    const Bytes disk = run.disk();
    const fat12::Report report = fat12::check(disk);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    std::vector<std::string> expected = system_files();
    expected.insert(expected.end(), {"NOTES.TXT", "BIG.DAT", "README", "AFTER.TXT"});
    EXPECT_EQ(names(report), expected);
    EXPECT_EQ(fat12::read_file(disk, "NOTES.TXT"), notes);
    EXPECT_EQ(fat12::read_file(disk, "BIG.DAT"), big);
    EXPECT_EQ(fat12::read_file(disk, "README"), readme);
    EXPECT_EQ(fat12::read_file(disk, "AFTER.TXT"), readme);
    EXPECT_EQ(run.k7_rows(),
              (std::vector<std::string>{"Loading:NOTES   TXT <OK>", "Loading:BIG     DAT <OK>", "Loading:BIG     DAT <OK>",
                                        "Loading:README      <OK>", "Loading:after   txt <OK>"}))
        << run.msx().screen_text();
}

// A 100,000-byte file of pseudo-random bytes (its images barely pack, so
// each 46,080-byte part arrives as an image larger than the part) comes in
// three parts, flags 5, 7 and 2, and is joined into one file of its exact
// length.  Between two files of one name, the second replaces the first:
// one entry, the first one's clusters free again.
TEST(RamdosTape, LargeFileJoinedFromItsPartsAndASecondFileOfOneNameReplacesTheFirst)
{
    loader_harness::Workshop shop;
    const Bytes big = pseudo_random(100000, 11);
    const Bytes first = text(6000, "the first file of this name ");
    const Bytes second = text(1500, "THE SECOND FILE OF THIS NAME ");
    shop.put("big.dat", big);
    shop.put("twice.txt", first);
    shop.put("TWICE.TXT", second);

    TapeToDisk run(shop, {"-cd", "-xp", "RAMDOS", "twice.txt", "big.dat", "TWICE.TXT"});
    ASSERT_TRUE(run.to_prompt(400));
    const Bytes disk = run.disk();
    const fat12::Report report = fat12::check(disk);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    std::vector<std::string> expected = system_files();
    expected.insert(expected.end(), {"TWICE.TXT", "BIG.DAT"});
    EXPECT_EQ(names(report), expected);
    EXPECT_EQ(fat12::read_file(disk, "BIG.DAT"), big);
    EXPECT_EQ(fat12::read_file(disk, "TWICE.TXT"), second);
    std::uint32_t used = 0;
    for (const fat12::DirEntry& entry : report.files)
        used += (entry.size + 511) / 512;
    EXPECT_EQ(report.free_clusters, report.clusters - used);
    EXPECT_EQ(run.k7_rows(),
              (std::vector<std::string>{"Loading:twice   txt <OK>", "Loading:big     dat <OK>",
                                        "Loading:big     dat <OK>", "Loading:big     dat <OK>",
                                        "Loading:TWICE   TXT <OK>"}))
        << run.msx().screen_text();
}

// RAMDOS on a turbo tape: the turbo loader loads the image and starts it,
// DOS boots with K7 typed, and K7 reads the files after it in the turbo
// signal, a COM program and a file in two parts, byte for byte.
TEST(RamdosTape, TurboTapeBringsTheDosAndItsFiles)
{
    loader_harness::Workshop shop;
    const Bytes tool = text(5000, "a program for DOS ");
    const Bytes big = pseudo_random(46080 + 2000, 13);
    shop.put("tool.com", tool);
    shop.put("big.dat", big);

    TapeToDisk run(shop, {"-cd", "-turbo", "RAMDOS", "tool.com", "big.dat"});
    ASSERT_TRUE(run.to_prompt(200));
    const Bytes disk = run.disk();
    const fat12::Report report = fat12::check(disk);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    std::vector<std::string> expected = system_files();
    expected.insert(expected.end(), {"TOOL.COM", "BIG.DAT"});
    EXPECT_EQ(names(report), expected);
    EXPECT_EQ(fat12::read_file(disk, "TOOL.COM"), tool);
    EXPECT_EQ(fat12::read_file(disk, "BIG.DAT"), big);
    EXPECT_EQ(run.k7_rows(), (std::vector<std::string>{"Loading:tool    com <OK>", "Loading:big     dat <OK>",
                                                        "Loading:big     dat <OK>"}))
        << run.msx().screen_text();
}

// RAMDOS.01: no video pages, one RAM page, 12,800 bytes of data space, part
// of it taken by the system files.  A file larger than the rest gets what
// fits and K7 reports the error instead of " <OK>" after the write; the file
// is closed, the disk stays consistent, and the shell lists it.
TEST(RamdosTape, FullDiskIsALoadingErrorAndLeavesTheDiskConsistent)
{
    loader_harness::Workshop shop;
    const Bytes data = text(12000, "more than the disk holds ");
    shop.put("large.txt", data);
    shop.put("after.txt", text(100, "never written "));

    TapeToDisk run(shop, {"-cd", "-xp", "RAMDOS.01", "large.txt", "after.txt"});
    ASSERT_TRUE(run.to_prompt(100));
    const Bytes disk = run.disk();
    const fat12::Report report = fat12::check(disk);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    EXPECT_EQ(report.clusters, 25u);
    EXPECT_EQ(report.free_clusters, 0u);
    std::vector<std::string> expected = system_files();
    expected.push_back("LARGE.TXT");
    EXPECT_EQ(names(report), expected);
    std::uint32_t system_clusters = 0;
    for (std::size_t i = 0; i < 3; ++i)
        system_clusters += (report.files[i].size + 511) / 512;
    const std::size_t fitted = (25 - system_clusters) * 512;
    const std::optional<Bytes> written = fat12::read_file(disk, "LARGE.TXT");
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, Bytes(data.begin(), data.begin() + long(fitted)));
    EXPECT_EQ(run.k7_rows(), (std::vector<std::string>{"Loading:large   txt <OK> <Err>"}))
        << run.msx().screen_text();

    char line[40];
    std::snprintf(line, sizeof line, "LARGE    TXT%8zu\r\n", fitted);
    const std::string dir = run.command("DIR");
    EXPECT_NE(dir.find(line), std::string::npos) << dir;
    EXPECT_EQ(run.command("DIR AFTER.TXT"), "DIR AFTER.TXT\r\nFile not found\r\n\r\nA>");
}

// More files than the directory's 64 entries, with no pause between them
// (-p 0: K7 unpacks, creates, writes and closes each during the next
// block's lead-in): the file that finds no entry is a loading error, the
// files before it are all there and the disk stays consistent.
TEST(RamdosTape, FullDirectoryIsALoadingErrorAndNoPauseIsNeeded)
{
    loader_harness::Workshop shop;
    std::vector<std::string> args = {"-cd", "-xp", "-p", "0", "RAMDOS"};
    constexpr int entries_left = 64 - 3;
    for (int i = 0; i <= entries_left; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        shop.put(name, text(std::size_t(10 + i), name + " "));
        args.push_back(name);
    }
    TapeToDisk run(shop, args);
    ASSERT_TRUE(run.to_prompt(200));
    const Bytes disk = run.disk();
    const fat12::Report report = fat12::check(disk);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    ASSERT_EQ(report.files.size(), 64u);
    for (int i = 0; i < entries_left; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        EXPECT_EQ(fat12::read_file(disk, name), text(std::size_t(10 + i), name + " ")) << name;
    }
    EXPECT_EQ(report.files.back().name, "F60.TXT");
    const std::vector<std::string> rows = run.k7_rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "Loading:f61     txt <OK> <Err>") << run.msx().screen_text();
    EXPECT_EQ(run.command("DIR F61.TXT"), "DIR F61.TXT\r\nFile not found\r\n\r\nA>");
}

// The largest disk, RAMDOS.78 on a 512K mapper (8 RAM pages and 7 video
// pages, 480 sectors): a file of exactly the space the system files leave
// arrives in six parts (their data packs well, so each image unpacks far
// beyond its size) and takes the disk to its last cluster without an error.
TEST(RamdosTape, LargestDiskFilledToItsLastCluster)
{
    loader_harness::Workshop shop;
    std::uint32_t system = 0;
    for (std::size_t size : {ramdos_parts::command().size(), ramdos_parts::msxdos().size(), ramdos_parts::k7().size()})
        system += std::uint32_t((size + 511) / 512);
    constexpr std::uint32_t clusters = 15 * 32 - 7;
    Bytes data((clusters - system) * 512);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t("0123456789abcdefghij"[i % 20] + (i / 512) % 7);
    ASSERT_GT(data.size(), 5u * 46080);
    shop.put("whole.dat", data);

    TapeToDisk run(shop, {"-cd", "-xp", "RAMDOS.78", "whole.dat"}, msx2_layout(512));
    ASSERT_TRUE(run.to_prompt(100));
    const Bytes disk = run.disk();
    const fat12::Report report = fat12::check(disk);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    EXPECT_EQ(report.clusters, clusters);
    EXPECT_EQ(report.free_clusters, 0u);
    EXPECT_EQ(fat12::read_file(disk, "WHOLE.DAT"), data);
    EXPECT_EQ(run.k7_rows(), std::vector<std::string>(6, "Loading:whole   dat <OK>")) << run.msx().screen_text();
}

}  // namespace
}  // namespace msxbench
