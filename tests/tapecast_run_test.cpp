// The tapecast program run as a user runs it: command lines, printed text,
// exit statuses, WAV files left (or not left) behind.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "test_support.h"

namespace {

using namespace test_support;

const std::vector<std::uint8_t> ten_bytes = {0x3E, 0x41, 0xCD, 0xA2, 0x00, 0xC9, 0x00, 0x11, 0x22, 0x33};

std::uint32_t u32_at(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t u16_at(const std::vector<std::uint8_t>& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

// Reads standard bytes of code 8 back from 8-bit samples at `at`: a 0 cell
// is one cycle of 8 samples, a 1 cell two cycles of 4.
std::vector<std::uint8_t> read_std_bytes(const std::vector<std::uint8_t>& wav, std::size_t at, std::size_t count)
{
    auto bit = [&](std::size_t cell) {
        std::size_t s = at + cell * 8;
        return wav.at(s + 2) == 255;  // a 1 cell is high in its third sample
    };
    std::vector<std::uint8_t> bytes;
    for (std::size_t n = 0; n < count; ++n) {
        std::size_t first = n * 11;
        EXPECT_FALSE(bit(first)) << "start bit of byte " << n;
        std::uint8_t value = 0;
        for (int i = 0; i < 8; ++i)
            value |= std::uint8_t(bit(first + 1 + i) << i);
        EXPECT_TRUE(bit(first + 9) && bit(first + 10)) << "stop bits of byte " << n;
        bytes.push_back(value);
    }
    return bytes;
}

// The completed header: RIFF and data sizes from the file's length, one
// channel and the given format.
void expect_header(const std::vector<std::uint8_t>& wav, std::uint32_t rate, std::uint32_t byte_rate,
                   std::uint16_t align, std::uint16_t bits)
{
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(u32_at(wav, 4), wav.size() - 8);
    EXPECT_EQ(u16_at(wav, 22), 1);
    EXPECT_EQ(u32_at(wav, 24), rate);
    EXPECT_EQ(u32_at(wav, 28), byte_rate);
    EXPECT_EQ(u16_at(wav, 32), align);
    EXPECT_EQ(u16_at(wav, 34), bits);
    EXPECT_EQ(u32_at(wav, 40), wav.size() - 44);
}

class TapecastRun : public ::testing::Test {
protected:
    ScratchDir dir;
    RunResult run(const std::vector<std::string>& args) { return run_tapecast(args, dir.path()); }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.path() / name); }
    void put(const std::string& name, const std::vector<std::uint8_t>& bytes) { write_file(dir.file(name), bytes); }
    // The names in the scratch directory, sorted.
    std::vector<std::string> listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

const char* const usage_head = " Usage:\n\n tapecast <baudrate|-cd> [-o wav][-c|-xp][-noldr][-nofix][-p len][-dos]";

// What tapecast writes on standard output alone, standard error discarded.
std::string standard_output(const std::string& args, const std::filesystem::path& cwd)
{
    std::string command = "cd '" + cwd.string() + "' && '" TAPECAST_PATH "' " + args + " 2>/dev/null";
    std::string text;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[4096];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
            text.append(chunk, got);
        ::pclose(pipe);
    }
    return text;
}

}  // namespace

TEST_F(TapecastRun, HelpFormsPrintBannerAndUsageAndSucceed)
{
    for (std::vector<std::string> args : {std::vector<std::string>{}, {"-h"}, {"-?"}, {"/h"}, {"/?"}, {"-h", "x.bin"}}) {
        RunResult result = run(args);
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(result.output.starts_with("\n"));
        std::string rest = after_banner(result.output);
        EXPECT_TRUE(rest.starts_with(usage_head)) << rest;
        EXPECT_TRUE(rest.ends_with("      s-set it to 'n' to ensure that DOS files aren't loaded\n"));
        EXPECT_EQ(rest.find("ERROR"), std::string::npos);
    }
    EXPECT_FALSE(exists("out.wav"));
}

TEST_F(TapecastRun, GnuVersionAndHelpPrintOnStandardOutputAndSucceedWherever)
{
    RunResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.output.starts_with("tapecast (Cassonic) ")) << version.output;
    EXPECT_EQ(std::count(version.output.begin(), version.output.end(), '\n'), 2) << version.output;
    EXPECT_EQ(standard_output("--version", dir.path()), version.output);
    // Later on the line, even where the line would fail.
    EXPECT_EQ(run({"-cd", "-c", "--version", "missing.bin"}).output, version.output);
    EXPECT_EQ(run({"1200", "missing.bin", "--version"}).status, 0);

    RunResult help = run({"-h"});
    for (std::vector<std::string> args : {std::vector<std::string>{"--help"}, {"1200", "--help"}, {"-cd", "-q", "--help"}}) {
        RunResult result = run(args);
        SCOPED_TRACE(args.front());
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, help.output);
    }
    EXPECT_EQ(standard_output("--help", dir.path()), help.output);
    EXPECT_FALSE(exists("out.wav"));
}

TEST_F(TapecastRun, BadCommandLinesGetTheirCodeUsageAndNoFile)
{
    put("a.bin", make_bin(0xC000, 0xC000, ten_bytes));
    struct Case { std::vector<std::string> args; int status; std::string error; };
    const std::vector<Case> cases = {
        {{"1200"}, 2, "Command line is incomplete"},
        {{"-cd"}, 2, "Command line is incomplete"},
        {{"6000", "a.bin"}, 1, "1st argument (6000) is not -cd\nor invalid baud rate: should be > 0, < 6000"},
        {{"0", "a.bin"}, 1, "1st argument (0) is not -cd\n"},
        {{"-c", "a.bin"}, 1, "1st argument (-c) is not -cd\n"},
        {{"-help", "a.bin"}, 1, "1st argument (-help) is not -cd\n"},
        {{"1200", "-q", "a.bin"}, 3, "Unrecognized command line option (-q)"},
        {{"1200", "a.bin", "-o", "x.wav"}, 6, "Command line option (-o) is not expected here"},
        {{"1200", "-o"}, 2, "Command line is incomplete"},
        {{"1200", "-p"}, 2, "Command line is incomplete"},
        {{"1200", "-c"}, 4, "Filename(s) to be encoded are not specified"},
        {{"-cd", "-noldr", "-c"}, 4, "Filename(s) to be encoded are not specified"},
        {{"-cd", "-dos", "-c"}, 4, "Filename(s) to be encoded are not specified"},
    };
    for (const Case& c : cases) {
        RunResult result = run(c.args);
        SCOPED_TRACE(c.args.front() + " ... " + c.args.back());
        EXPECT_EQ(result.status, c.status);
        std::string rest = after_banner(result.output);
        EXPECT_TRUE(rest.starts_with(usage_head));
        EXPECT_NE(rest.find("\n\nERROR: " + c.error), std::string::npos) << rest;
        EXPECT_FALSE(exists("out.wav"));
    }
}

TEST_F(TapecastRun, MoreThanAHundredFilesAreRefusedBeforeAnythingIsWritten)
{
    std::vector<std::string> args = {"1200"};
    for (int i = 0; i < 101; ++i)
        args.push_back("f" + std::to_string(i) + ".bin");
    RunResult result = run(args);
    EXPECT_EQ(result.status, 17);
    EXPECT_NE(result.output.find("\nERROR: Too many files to be encoded (101): no more than 100 are allowed\n"),
              std::string::npos);
    EXPECT_FALSE(exists("out.wav"));
}

// The baud rate and the pause are whole decimal numbers, digits only, in
// range; anything else is refused with its own code before a file is made.
TEST_F(TapecastRun, BaudRateAndPauseAreWholeNumbersInRange)
{
    put("a.bin", make_bin(0xC000, 0xC000, ten_bytes));
    for (std::string rate : {"1", "5999", "01200"}) {
        RunResult result = run({rate, "a.bin"});
        EXPECT_EQ(result.status, 0) << rate;
        std::string expected = std::to_string(std::stoi(rate));
        EXPECT_NE(result.output.find("\nbaud rate=" + expected + "\nOutput file: out.wav\n\n"), std::string::npos);
        auto wav = read_file(dir.file("out.wav"));
        EXPECT_EQ(u32_at(wav, 24), 8u * std::stoul(expected));
    }
    std::filesystem::remove(dir.path() / "out.wav");
    for (std::string rate : {"1200abc", " +300", "+300", "1e3", "-5", "", "99999999999999999999"}) {
        RunResult result = run({rate, "a.bin"});
        EXPECT_EQ(result.status, 1) << rate;
        EXPECT_NE(result.output.find(usage_head), std::string::npos);
        EXPECT_NE(result.output.find("\nERROR: 1st argument (" + rate + ") is not -cd\n"), std::string::npos);
    }
    for (std::string pause : {"abc", "-5000", "12x", " 12", "2147483648", ""}) {
        RunResult result = run({"1200", "-p", pause, "a.bin"});
        EXPECT_EQ(result.status, 19) << pause;
        EXPECT_NE(result.output.find(usage_head), std::string::npos);
        EXPECT_TRUE(result.output.ends_with("\nERROR: Invalid pause length (" + pause
                                            + "): should be a whole number of milliseconds from 0 to 2147483647\n"))
            << result.output;
    }
    EXPECT_FALSE(exists("out.wav"));
    EXPECT_EQ(run({"1200", "-p", "2147483647", "a.bin"}).status, 0);  // one file: the pause is never written
}

// A WAV's header states its sizes in 32 bits: a run whose WAV could pass
// 4 GiB is refused before anything is written, not after writing 4 GB.
TEST_F(TapecastRun, AWavBeyondFourGibIsRefusedBeforeItIsWritten)
{
    put("a.bin", make_bin(0xC000, 0xC000, ten_bytes));
    put("out.wav", {1, 2, 3});
    for (std::vector<std::string> args : {std::vector<std::string>{"1200", "-p", "2147483647", "a.bin", "a.bin"},
                                          {"-cd", "-c", "-p", "50000000", "a.bin", "a.bin"}}) {
        RunResult result = run(args);
        EXPECT_EQ(result.status, 20);
        EXPECT_TRUE(result.output.ends_with(
            "\nERROR: Output file out.wav would be larger than the 4 GiB that a WAV file can hold\n"))
            << result.output;
        EXPECT_EQ(read_file(dir.file("out.wav")), std::vector<std::uint8_t>({1, 2, 3}));
    }
}

TEST_F(TapecastRun, StandardBinAt1200BaudIsExactlyTheDefinedSignal)
{
    put("GAME.BIN", make_bin(0xC000, 0xC000, ten_bytes));
    RunResult result = run({"1200", "GAME.BIN"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(after_banner(result.output),
              "\nbaud rate=1200\nOutput file: out.wav\n\n"
              "Converting:  \"GAME\"\t(BIN)... done.\n"
              "\nEnd of process ! Estimated loading time 0:07 min (7.4 sec)\n");

    auto wav = read_file(dir.file("out.wav"));
    // sync, 16 header bytes, gap, sync, 16 data bytes, then the 10 ms gap.
    const std::size_t samples = 32008 + 16 * 88 + 4000 + 32008 + 16 * 88 + 120;
    ASSERT_EQ(wav.size(), 44 + samples);
    expect_header(wav, 9600, 9600, 1, 8);

    for (std::size_t i = 44; i < 44 + 32008; ++i)
        ASSERT_EQ(wav[i], (i - 44) % 4 < 2 ? 127 : 255) << i;
    std::vector<std::uint8_t> header = read_std_bytes(wav, 44 + 32008, 16);
    EXPECT_EQ(header, std::vector<std::uint8_t>({0xD0, 0xD0, 0xD0, 0xD0, 0xD0, 0xD0, 0xD0, 0xD0, 0xD0, 0xD0,
                                                 'G', 'A', 'M', 'E', ' ', ' '}));
    std::size_t gap = 44 + 32008 + 16 * 88;
    EXPECT_EQ(std::vector<std::uint8_t>(wav.begin() + gap, wav.begin() + gap + 4000),
              std::vector<std::uint8_t>(4000, 127));
    std::vector<std::uint8_t> data = read_std_bytes(wav, gap + 4000 + 32008, 16);
    std::vector<std::uint8_t> expected = make_bin(0xC000, 0xC000, ten_bytes);
    expected.erase(expected.begin());
    EXPECT_EQ(data, expected);
    EXPECT_EQ(std::vector<std::uint8_t>(wav.end() - 120, wav.end()), std::vector<std::uint8_t>(120, 127));
}

TEST_F(TapecastRun, BasicProgramRewritesItsMarkersAndAddsSevenZeroBytes)
{
    std::vector<std::uint8_t> basic = {0xFF, 0x09, 0x80, 0x0A, 0x00, 0x91, 0x20, 0x31, 0x00, 0x00, 0x00};
    put("prog.bas", basic);
    put("prog.bin", make_bin(0x8001, 0, std::vector<std::uint8_t>(basic.begin() + 1, basic.end() - 6)));
    RunResult result = run({"1200", "prog.bas", "-n"});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("Converting:  \"prog\"\t(BAS)... done.\n"), std::string::npos);
    auto wav = read_file(dir.file("out.wav"));
    ASSERT_EQ(wav.size(), 44 + 32008 + 16 * 88 + 4000 + 32008 + (10 + 7) * 88 + 120);
    std::vector<std::uint8_t> header = read_std_bytes(wav, 44 + 32008, 16);
    EXPECT_EQ(std::vector<std::uint8_t>(header.begin(), header.begin() + 10), std::vector<std::uint8_t>(10, 0xD3));
    std::vector<std::uint8_t> data = read_std_bytes(wav, 44 + 32008 + 16 * 88 + 4000 + 32008, 17);
    std::vector<std::uint8_t> expected(basic.begin() + 1, basic.end());
    expected.resize(17, 0x00);
    EXPECT_EQ(data, expected);
}

TEST_F(TapecastRun, CdOutputCompletesTheHeaderForSixteenBitSamples)
{
    put("a.bin", make_bin(0xC000, 0xC000, ten_bytes));
    RunResult result = run({"-cd", "-sine", "-o", "cd.wav", "a.bin"});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("\nCD-compatible; using fixed baud rate=2205\nOutput file: cd.wav\n\n"),
              std::string::npos);
    auto wav = read_file(dir.file("cd.wav"));
    const std::size_t samples = 80020 + 16 * 220 + 4000 + 80020 + 16 * 220 + 441;
    ASSERT_EQ(wav.size(), 44 + 2 * samples);
    expect_header(wav, 44100, 88200, 2, 16);
    // The sine 1 cell of code 220 begins 0, -21062.
    EXPECT_EQ(u16_at(wav, 46), std::uint16_t(-21062));
}

TEST_F(TapecastRun, PausesBetweenFilesAndThePauseLine)
{
    put("a.bin", make_bin(0xC000, 0xC000, ten_bytes));
    const std::size_t one_file = 32008 + 16 * 88 + 4000 + 32008 + 16 * 88;

    RunResult result = run({"1200", "-p", "150", "a.bin", "a.bin"});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("baud rate=1200\nTime of pause between files: 150 ms (0.1 sec)\nOutput file"),
              std::string::npos);
    // 0.15 in single precision is a little above 0.15: 1801 samples, not 1800.
    EXPECT_EQ(read_file(dir.file("out.wav")).size(), 44 + 2 * one_file + 1801 + 120);

    result = run({"1200", "-p", "5", "-p", "0", "a.bin"});
    EXPECT_EQ(result.output.find("Time of pause"), std::string::npos);
    EXPECT_EQ(read_file(dir.file("out.wav")).size(), 44 + one_file + 120);
}

TEST_F(TapecastRun, LoadingTimeRoundsToWholeSeconds)
{
    put("a.bin", make_bin(0xC000, 0xC000, std::vector<std::uint8_t>(6000, 0x55)));
    RunResult result = run({"1200", "a.bin"});
    ASSERT_EQ(result.status, 0);
    // 32008 + 1408 + 4000 + 32008 + 6006 * 88 + 120 = 598072 samples: 62.3 s.
    EXPECT_NE(result.output.find("Estimated loading time 1:02 min (62.3 sec)\n"), std::string::npos);
}

// A failed run writes no WAV, and a WAV of that name from an earlier run is
// left as it was; no temporary file stays behind.
TEST_F(TapecastRun, InputFailuresLeaveNoOutputAndAnEarlierOneAsItWas)
{
    put("seven.bin", {0xFE, 0, 0xC0, 0, 0xC0, 0, 0xC0});
    put("eight.bin", {0xFE, 0, 0xC0, 0, 0xC0, 0, 0xC0, 0xC9});
    std::vector<std::uint8_t> rom(49153, 0);
    rom[0] = 'A';
    rom[1] = 'B';
    put("big.rom", rom);
    std::filesystem::create_directory(dir.path() / "folder");
    const std::vector<std::string> files = {"big.rom", "eight.bin", "folder", "seven.bin"};
    struct Case { std::string file; int status; std::string error; };
    for (const Case& c : {Case{"missing.bin", 9, "Failed to read input file missing.bin"},
                          Case{"folder", 9, "Failed to read input file folder"},
                          Case{"seven.bin", 10, "Input file size is incorrect (seven.bin)"},
                          Case{"big.rom", 10, "Input file size is incorrect (big.rom)"},
                          Case{"RAMDOS.8", 15, "Invalid number of VRAM pages for ramdisk (RAMDOS.8): should be >=0, <=7"},
                          Case{"RAMDOS.70", 16,
                               "Invalid number of RAM  pages for ramdisk (RAMDOS.70): should be >=1, <=3 (8 max)"}}) {
        RunResult result = run({"1200", "eight.bin", c.file});
        EXPECT_EQ(result.status, c.status) << c.file;
        EXPECT_TRUE(result.output.ends_with("\nERROR: " + c.error + "\n")) << result.output;
        EXPECT_EQ(result.output.find("Usage"), std::string::npos);
        EXPECT_EQ(listing(), files) << c.file;

        put("out.wav", {1, 2, 3});
        EXPECT_EQ(run({"1200", "-o", "out.wav", "eight.bin", c.file}).status, c.status);
        EXPECT_EQ(read_file(dir.file("out.wav")), std::vector<std::uint8_t>({1, 2, 3})) << c.file;
        std::filesystem::remove(dir.path() / "out.wav");
    }
    EXPECT_EQ(run({"1200", "eight.bin"}).status, 0);
}

TEST_F(TapecastRun, UnsupportedTypeStopsAfterHeaderAndRemovesOutput)
{
    std::vector<std::uint8_t> rom(16384, 0);
    rom[0] = 'A';
    rom[1] = 'B';
    put("game.rom", rom);
    RunResult result = run({"2400", "game.rom"});
    EXPECT_EQ(result.status, 14);
    EXPECT_TRUE(result.output.ends_with(
        "Converting:  \"game\"\t\nERROR: STOPPED: Unsupported type of file in this encoding mode\n"));
    EXPECT_FALSE(exists("out.wav"));
}

TEST_F(TapecastRun, OutputThatCannotBeCreatedIsCodeFive)
{
    put("a.bin", make_bin(0xC000, 0xC000, ten_bytes));
    RunResult result = run({"1200", "-o", "no/such/dir/x.wav", "a.bin"});
    EXPECT_EQ(result.status, 5);
    EXPECT_TRUE(result.output.ends_with("\nERROR: Failed to create output file 'no/such/dir/x.wav'\n"));
}

TEST_F(TapecastRun, DeviceOutputsAreNeverRemoved)
{
    // Private copies of /dev/null and /dev/full, so a fault can't harm the real ones.
    std::string null_dev = dir.file("null"), full_dev = dir.file("full");
    if (::mknod(null_dev.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0
        || ::mknod(full_dev.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "creating device nodes needs root";
    put("a.bin", make_bin(0xC000, 0xC000, ten_bytes));

    RunResult result = run({"1200", "-o", null_dev, "a.bin", "missing.bin"});
    EXPECT_EQ(result.status, 9);
    EXPECT_TRUE(exists("null"));

    result = run({"1200", "-o", full_dev, "a.bin"});
    EXPECT_EQ(result.status, 12);
    EXPECT_TRUE(result.output.ends_with("\nERROR: Failed to write to output file " + full_dev + "\n"));
    EXPECT_TRUE(exists("full"));
}

TEST_F(TapecastRun, BuiltInImagesAreNamedByKeyword)
{
    RunResult result = run({"1200", "LOADER", "RAMDOS.73n"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Converting:  \"LOADER\"\t(BIN)... done.\nConverting:  \"RAMDOS\"\t(BIN)"),
              std::string::npos);
    // LOADER.BIN and loader are ordinary paths.
    EXPECT_EQ(run({"1200", "LOADER.BIN"}).status, 9);
    EXPECT_EQ(run({"1200", "loader"}).status, 9);
}

TEST_F(TapecastRun, CdCompressedWithoutFilesWritesTheLoaderOnly)
{
    RunResult result = run({"-cd", "-c"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("\nCD-compatible; using fixed baud rate=3675, compressed mode\nOutput file: out.wav\n\n"
                                 "Loader named \"LOADER\"\t(BIN)... done.\n"),
              std::string::npos);
    auto wav = read_file(dir.file("out.wav"));
    // The loader in code 120 then the 10 ms gap; no closing tone.
    EXPECT_EQ(std::vector<std::uint8_t>(wav.end() - 882, wav.end()), std::vector<std::uint8_t>(882, 0));
    EXPECT_NE(wav[wav.size() - 883], 0);
}

// "-timeline" lists the pieces of the tape in playing order, end to end over
// the whole WAV, and changes nothing in it.
TEST_F(TapecastRun, TimelineCoversTheWavInPlayingOrder)
{
    put("a.bin", make_bin(0x9000, 0x9000, ten_bytes));
    put("b.bin", make_bin(0xA000, 0xA000, ten_bytes));
    RunResult plain = run({"-cd", "-c", "-p", "500", "-o", "plain.wav", "a.bin", "b.bin"});
    RunResult timed = run({"-cd", "-c", "-timeline", "-p", "500", "-o", "timed.wav", "a.bin", "b.bin"});
    ASSERT_EQ(plain.status, 0);
    ASSERT_EQ(timed.status, 0) << timed.output;
    const std::vector<std::uint8_t> wav = read_file(dir.file("timed.wav"));
    EXPECT_TRUE(wav == read_file(dir.file("plain.wav")));

    std::size_t at = timed.output.find("\nTimeline:\n");
    ASSERT_NE(at, std::string::npos) << timed.output;
    std::istringstream lines(timed.output.substr(at + 11));
    std::string line;
    std::getline(lines, line);  // the heading
    std::string kinds;
    double end = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        double start = 0, length = 0;
        std::string kind, name;
        fields >> start >> length >> kind >> name;
        EXPECT_NEAR(start, end, 0.0015) << line;
        if (kind == "pause") {  // the "-p" setting between the files, 10 ms elsewhere
            EXPECT_NEAR(length, kinds.ends_with("a.bin") ? 0.5 : 0.01, 0.0015) << line;
        }
        kinds += (kinds.empty() ? "" : " ") + kind + (name.empty() ? "" : ":" + name);
        end = start + length;
    }
    EXPECT_EQ(kinds, "loader:LOADER pause file:a.bin pause file:b.bin pause tone");
    EXPECT_NEAR(end, double(wav.size() - 44) / 88200.0, 0.0015);
}
