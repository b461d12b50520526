// tapecast under bad input and faults: nothing of the user's is lost, every
// failure is a clean ERROR with its status, and what can't work on the MSX is
// refused.  Grouped as the faults were found.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "convert/rom_patch.h"
#include "test_support.h"

namespace {

using namespace test_support;
namespace fs = std::filesystem;

std::vector<std::uint8_t> noise(std::size_t size, unsigned seed) { return seeded_bytes(size, seed); }

// Bytes that pack well: a few values, some repeats.
std::vector<std::uint8_t> pattern(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> bytes = noise(size, seed);
    for (auto& b : bytes)
        b = b % 7 == 0 ? b : b % 5;
    return bytes;
}

std::vector<std::uint8_t> rom_image(std::size_t size, std::uint16_t init, unsigned seed = 5)
{
    std::vector<std::uint8_t> rom = pattern(size, seed);
    rom[0] = 'A';
    rom[1] = 'B';
    rom[2] = std::uint8_t(init);
    rom[3] = std::uint8_t(init >> 8);
    return rom;
}

const std::vector<std::uint8_t> small_bin = make_bin(0xC000, 0xC000, {0x3E, 0x41, 0xCD, 0xA2, 0x00, 0xC9});

class BadInput : public ::testing::Test {
protected:
    ScratchDir dir;
    RunResult run(const std::vector<std::string>& args) { return run_tapecast(args, dir.path()); }
    void put(const std::string& name, const std::vector<std::uint8_t>& bytes) { write_file(dir.file(name), bytes); }
    std::vector<std::uint8_t> get(const std::string& name) const { return read_file(dir.file(name)); }
    bool exists(const std::string& name) const { return fs::exists(fs::symlink_status(dir.path() / name)); }
    std::vector<std::string> listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static bool ends_with_error(const RunResult& result, const std::string& error)
    {
        return result.output.ends_with("\nERROR: " + error + "\n");
    }
};

}  // namespace

// 1. An output that is one of the inputs is refused before it is created or
// truncated, whatever name reaches it.
TEST_F(BadInput, OutputNamingAnInputIsRefusedBeforeItIsTouched)
{
    put("game.bin", small_bin);
    put("prog.com", pattern(3000, 1));
    fs::create_symlink("game.bin", dir.path() / "link.wav");
    fs::create_hard_link(dir.path() / "game.bin", dir.path() / "hard.wav");
    for (std::vector<std::string> args : {std::vector<std::string>{"1200", "-o", "game.bin", "game.bin"},
                                          {"3500", "-c", "-o", "prog.com", "game.bin", "prog.com"},
                                          {"1200", "-o", "link.wav", "game.bin"},
                                          {"1200", "-o", "hard.wav", "game.bin"},
                                          {"1200", "-o", "./missing.bin", "missing.bin"}}) {
        RunResult result = run(args);
        EXPECT_EQ(result.status, 18) << args[2];
        EXPECT_TRUE(ends_with_error(result, "Output file '" + args[args[1] == "-c" ? 3 : 2]
                                                + "' is also an input file"))
            << result.output;
    }
    EXPECT_EQ(get("game.bin"), small_bin);
    EXPECT_EQ(get("prog.com"), pattern(3000, 1));
    EXPECT_EQ(listing(), std::vector<std::string>({"game.bin", "hard.wav", "link.wav", "prog.com"}));
}

// The WAV goes to a temporary beside it: an existing WAV is replaced only by
// a finished one, keeps its permissions, and an output reached through a
// link is written where the link points.
TEST_F(BadInput, TheWavReplacesAnOlderOneOnlyWhenFinished)
{
    put("a.bin", small_bin);
    put("old.wav", {1, 2, 3});
    ::chmod(dir.file("old.wav").c_str(), 0640);
    fs::create_symlink("old.wav", dir.path() / "link.wav");
    EXPECT_EQ(run({"1200", "-o", "link.wav", "a.bin", "missing.bin"}).status, 9);
    EXPECT_EQ(get("old.wav"), std::vector<std::uint8_t>({1, 2, 3}));

    ASSERT_EQ(run({"1200", "-o", "link.wav", "a.bin"}).status, 0);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.wav"));
    EXPECT_GT(get("old.wav").size(), 44u);
    struct stat info {};
    ::stat(dir.file("old.wav").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(listing(), std::vector<std::string>({"a.bin", "link.wav", "old.wav"}));
}

// 2. Packed copies go to a temporary and are renamed into place when the
// whole run has succeeded.
TEST_F(BadInput, APackedCopyReplacesALinkInsteadOfWritingThroughIt)
{
    put("game.rom", rom_image(16384, 0x4010));
    put("victim.txt", {'k', 'e', 'e', 'p'});
    fs::create_symlink("victim.txt", dir.path() / "game.rom.bin");
    RunResult result = run({"3500", "-c", "game.rom"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(get("victim.txt"), std::vector<std::uint8_t>({'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.path() / "game.rom.bin")));
    EXPECT_EQ(get("game.rom.bin")[0], 0xFE);
}

TEST_F(BadInput, APackedCopyNamedLikeAFileOfTheRunIsSkipped)
{
    put("game.rom", rom_image(16384, 0x4010));
    put("game.rom.bin", small_bin);
    RunResult result = run({"3500", "-c", "game.rom", "game.rom.bin"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("\nSkipped packed .bin version: game.rom.bin is an input of this run\n"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(get("game.rom.bin"), small_bin);

    fs::copy_file(dir.path() / "game.rom", dir.path() / "new.rom");
    result = run({"3500", "-c", "-o", "new.rom.bin", "new.rom"});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("Skipped packed .bin version: new.rom.bin is the output of this run\n"),
              std::string::npos);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(get("new.rom.bin").data()), 4), "RIFF");
}

TEST_F(BadInput, AFailedRunLeavesEveryOlderCopyAsItWasAndNoTemporaries)
{
    put("game.rom", rom_image(16384, 0x4010));
    put("other.rom", rom_image(16384, 0x4010, 9));
    put("other.rom.bin", {9, 9, 9});
    put("tool.exe", pattern(3000, 2));
    RunResult result = run({"3500", "-c", "game.rom", "other.rom", "tool.exe"});
    EXPECT_EQ(result.status, 14);
    EXPECT_NE(result.output.find("Created packed .bin version: game.rom.bin"), std::string::npos);
    EXPECT_EQ(get("other.rom.bin"), std::vector<std::uint8_t>({9, 9, 9}));
    EXPECT_EQ(listing(), std::vector<std::string>({"game.rom", "other.rom", "other.rom.bin", "tool.exe"}));

    // A full disk (here a file size limit): the copy and then the WAV can't
    // be written; the older copy is untouched.
    RunResult full = run_command({"sh", "-c", "trap '' XFSZ; ulimit -f 16; exec \"$0\" \"$@\"", TAPECAST_PATH,
                                  "3500", "-c", "other.rom"},
                                 dir.path());
    EXPECT_EQ(full.status, 12) << full.output;
    EXPECT_NE(full.output.find("Could not write packed .bin version: other.rom.bin"), std::string::npos);
    EXPECT_EQ(get("other.rom.bin"), std::vector<std::uint8_t>({9, 9, 9}));
    EXPECT_EQ(listing(), std::vector<std::string>({"game.rom", "other.rom", "other.rom.bin", "tool.exe"}));
}

// 3. What can't be loaded and restored in the MSX's memory is refused with
// status 10 and the reason, before the packer is given a file too large.
TEST_F(BadInput, ProgramsBeyondTheMemoryTheyAreRestoredToAreRefused)
{
    put("random.com", noise(60001, 1));
    put("huge.com", pattern(3'300'000, 2));
    std::vector<std::uint8_t> basic = pattern(3'300'000, 3);
    basic[0] = 0xFF;
    put("huge.bas", basic);
    put("low.rom", rom_image(16384, 0x0010));
    put("high.rom", rom_image(32768, 0x8010));
    struct Case { std::string file; std::string why; };
    for (const Case& c : {
             Case{"random.com", "60001 bytes restored at 0x0100 would reach past 0xDFFF, where the depacker runs (57088 "
                                "bytes fit)"},
             Case{"huge.com", "3300000 bytes restored at 0x0100 would reach past 0xDFFF"},
             Case{"huge.bas", "3300000 bytes restored at 0x8000 would reach past 0xDFFF"},
             Case{"low.rom", "its INIT address 0x00xx lies below 0x4000"},
             Case{"high.rom", "32768 bytes restored at 0x8000 would reach past 0xDFFF"},
         }) {
        RunResult result = run({"3500", "-c", c.file});
        EXPECT_EQ(result.status, 10) << c.file;
        EXPECT_NE(result.output.find("\nERROR: Input file size is incorrect (" + c.file + ": " + c.why),
                  std::string::npos)
            << result.output;
        EXPECT_FALSE(exists(c.file + ".bin"));
        EXPECT_FALSE(exists("out.wav"));
    }
}

// A COM image loads from 0xE000 less its packed length, at or above where
// its depacker's helper ends (0x4013); stored data needs all of its bytes
// there.  A packed BASIC program must load in page 2 and be restored below
// the depacker from 0x8000.
TEST_F(BadInput, PackedImagesLoadNoLowerThanTheMsxTakesThem)
{
    put("fits.com", noise(0xE000 - 0x4013, 4));
    put("below.com", noise(0xE000 - 0x4013 + 1, 4));
    std::vector<std::uint8_t> basic = noise(0x6000, 5);
    basic[0] = 0xFF;
    put("fits.bas", basic);
    basic.push_back(0);
    put("long.bas", basic);
    EXPECT_EQ(run({"3500", "-c", "fits.com"}).status, 0);
    RunResult result = run({"3500", "-c", "below.com"});
    EXPECT_EQ(result.status, 10);
    EXPECT_TRUE(ends_with_error(result, "Input file size is incorrect (below.com: the packed image would load from "
                                        "0x4012, below 0x4013 where the MSX can take it)"))
        << result.output;
    EXPECT_EQ(run({"3500", "-c", "fits.bas"}).status, 0);
    result = run({"3500", "-c", "long.bas"});
    EXPECT_EQ(result.status, 10);
    EXPECT_NE(result.output.find("(long.bas: 24577 bytes restored at 0x8000 would reach past 0xDFFF"),
              std::string::npos);
}

// 4. A FIFO or a device as input is refused at once, without reading it.
TEST_F(BadInput, FifosAndDevicesAsInputAreRefusedWithoutWaiting)
{
    ASSERT_EQ(::mkfifo(dir.file("pipe.bin").c_str(), 0600), 0);
    for (std::string input : {"pipe.bin", "/dev/zero"}) {
        RunResult result = run_command({"timeout", "20", TAPECAST_PATH, "1200", input}, dir.path());
        EXPECT_EQ(result.status, 9) << input;
        EXPECT_TRUE(ends_with_error(result, "Failed to read input file " + input)) << result.output;
    }
    EXPECT_FALSE(exists("out.wav"));
}

// 7. A ROM is "AB", both bytes: a large COM that begins with 'A' is a COM.
TEST_F(BadInput, AnABWithoutBAboveFortyEightKIsACom)
{
    std::vector<std::uint8_t> com = pattern(50000, 6);
    com[0] = 'A';
    com[1] = 'C';
    put("big.COM", com);
    RunResult result = run({"3500", "-c", "big.COM"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("(COM)\nConverted COM [50000 bytes]"), std::string::npos);
}

// 9. "--" ends the options; a RAMDOS name other than the keyword is a file;
// names keep whole characters.
TEST_F(BadInput, FileNamesThatLookLikeOptionsOrKeywords)
{
    put("-x.bin", small_bin);
    RunResult result = run({"1200", "--", "-x.bin"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Converting:  \"-x\"\t(BIN)"), std::string::npos);
    result = run({"1200", "-x.bin"});
    EXPECT_EQ(result.status, 3);
    result = run({"1200", "-x.bin", "-n"});
    EXPECT_EQ(result.status, 3);
    result = run({"1200", "--", "-x.bin", "-n"});  // after "--" every argument is a file
    EXPECT_TRUE(ends_with_error(result, "Failed to read input file -n"));

    put("RAMDOS.COM", small_bin);
    result = run({"1200", "RAMDOS.COM"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("Converting:  \"RAMDOS\"\t(BIN)... done."), std::string::npos);
    EXPECT_LT(get("out.wav").size(), 100'000u);  // the file, not the 21K RAM-disk DOS

    put("aéééé.bin", small_bin);
    result = run({"1200", "aéééé.bin"});
    EXPECT_NE(result.output.find("Converting:  \"aéé\"\t(BIN)"), std::string::npos) << result.output;
}

// 9. SIGINT, SIGTERM, SIGHUP or SIGPIPE during a run: the unfinished WAV and
// the copies' temporaries are removed, an older WAV is left as it was, and
// the process ends by the signal.  The run is held in the middle by its own
// output: a patch file makes it print far more than the pipe holds.
TEST_F(BadInput, ASignalRemovesTheUnfinishedFiles)
{
    std::vector<std::uint8_t> first = rom_image(16384, 0x4010, 7), second = rom_image(16384, 0x4010, 8);
    put("first.rom", first);
    put("second.rom", second);
    char key[9];
    std::snprintf(key, sizeof key, "%08x", rom_checksum(second));
    std::string patches;
    for (int i = 0; i < 20000; ++i)
        patches += std::string(key) + "|Many|4010:00\n";
    put("tapecast.ptc", std::vector<std::uint8_t>(patches.begin(), patches.end()));
    put("out.wav", {1, 2, 3});
    const std::vector<std::string> before = listing();

    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        int pipe_fds[2];
        ASSERT_EQ(::pipe(pipe_fds), 0);
        pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(dir.path().c_str()) != 0)
                ::_exit(127);
            ::dup2(pipe_fds[1], 1);
            ::close(pipe_fds[0]);
            ::close(pipe_fds[1]);
            ::execl(TAPECAST_PATH, "tapecast", "3500", "-c", "first.rom", "second.rom", nullptr);
            ::_exit(127);
        }
        ::close(pipe_fds[1]);
        // Wait for the WAV's and the first copy's temporaries.
        auto temporaries = [&] {
            int count = 0;
            for (const std::string& name : listing())
                count += name.starts_with(".tapecast-");
            return count;
        };
        for (int i = 0; i < 1000 && temporaries() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(temporaries(), 2);

        std::string output;
        if (sig == SIGPIPE) {
            ::close(pipe_fds[0]);
        } else {
            ::kill(pid, sig);
            char chunk[4096];
            ssize_t got;
            while ((got = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0)
                output.append(chunk, std::size_t(got));
            ::close(pipe_fds[0]);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        if (sig != SIGPIPE) {
            const char* name = sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : "SIGHUP";
            EXPECT_TRUE(output.ends_with(std::string("\nERROR: Interrupted by ") + name
                                         + "; unfinished files removed\n"));
        }
        EXPECT_EQ(listing(), before) << sig;
        EXPECT_EQ(get("out.wav"), std::vector<std::uint8_t>({1, 2, 3}));
    }
}

// -turbo: only after -cd and without the other modes' options, the kinds
// it takes only, a BASIC program or ROM to run only last, none over the
// turbo loader, none shorter than its header says, no ROM that can't be
// restored below the depacker under the loader (40K at 0x4000 reaches
// 0xE000, which the fast modes take); each refused with its status before
// anything is written.
TEST_F(BadInput, TurboRunsOutsideItsReachAreRefusedBeforeAnythingIsWritten)
{
    put("small.bin", small_bin);
    std::vector<std::uint8_t> basic = pattern(2049, 6);
    basic[0] = 0xFF;
    put("prog.bas", basic);  // more than the 2048 bytes sent unpacked: packed
    std::vector<std::uint8_t> other = noise(300, 8);
    other[0] = 0xC9;  // neither BIN, BASIC nor ROM
    put("notes.txt", other);
    put("tool.com", other);
    basic.resize(300);
    put("small.bas", basic);
    put("over.bin", make_bin(0xD000, 0xD000, noise(0x1001, 4)));  // reaches 0xE000
    put("top.bin", make_bin(0xED5B, 0xED5B, noise(1, 4)));  // the loader's last byte
    std::vector<std::uint8_t> short_bin = small_bin;
    short_bin.pop_back();
    put("short.bin", short_bin);
    std::vector<std::uint8_t> rom = noise(0xA000, 7);
    rom[0] = 'A';
    rom[1] = 'B';
    rom[3] = 0x40;
    put("big.rom", rom);
    rom.resize(0x4000);
    put("game.rom", rom);
    struct Case { std::vector<std::string> args; int status; std::string error; };
    for (const Case& c : {
             Case{{"2400", "-turbo", "small.bin"}, 25, "(2400)"},
             Case{{"-cd", "-c", "-turbo", "small.bin"}, 25, "(-c)"},
             Case{{"-cd", "-turbo", "-noldr", "small.bin"}, 25, "(-noldr)"},
             Case{{"-cd", "-turbo", "-o", "out.cas", "small.bin"}, 25, "(out.cas)"},
             Case{{"-cd", "-turbo", "small.bin", "notes.txt"}, 26, "notes.txt is not one"},
             Case{{"-cd", "-turbo", "prog.bas", "small.bin", "game.rom", "-n"}, 28, "give prog.bas last"},
             Case{{"-cd", "-turbo", "tool.com", "small.bin"}, 29, "give tool.com last"},
             Case{{"-cd", "-turbo", "LOADER"}, 26, "LOADER is not one"},
             Case{{"-cd", "-turbo", "small.bas", "small.bin", "prog.bas", "-n"}, 28, "give small.bas last"},
             Case{{"-cd", "-turbo", "over.bin"}, 27, "BIN file over.bin would load over the turbo loader"},
             Case{{"-cd", "-turbo", "top.bin"}, 27, "top.bin would load over the turbo loader (E000h to ED5Bh)"},
             Case{{"-cd", "-turbo", "short.bin"}, 10, "Input file size is incorrect (short.bin)"},
             Case{{"-cd", "-turbo", "game.rom", "small.bin"}, 29, "give game.rom last"},
             Case{{"-cd", "-turbo", "big.rom"}, 10, "would reach past 0xDCFF"},
         }) {
        const RunResult result = run(c.args);
        EXPECT_EQ(result.status, c.status) << c.args[2];
        EXPECT_NE(result.output.find("\nERROR: "), std::string::npos);
        EXPECT_NE(result.output.find(c.error), std::string::npos) << result.output;
        EXPECT_FALSE(exists("out.wav"));
        EXPECT_FALSE(exists("out.cas"));
    }
}
