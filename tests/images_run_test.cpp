// tapecast with tape and disk images: CAS images in and out, DSK images in
// DOS mode, as a user runs it.

#include <gtest/gtest.h>

#include <filesystem>

#include "assets/images.h"
#include "test_support.h"

namespace {

using namespace test_support;
using Bytes = std::vector<std::uint8_t>;
using Args = std::vector<std::string>;

Args operator+(Args a, const Args& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes pattern(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t((i * seed) ^ (i >> 5));
    return bytes;
}

// 10 PRINT 1, tokenized, as a disk holds it.
const Bytes small_basic = {0xFF, 0x09, 0x80, 0x0A, 0x00, 0x91, 0x20, 0x31, 0x00, 0x00, 0x00};

class ImagesRun : public ::testing::Test {
protected:
    ScratchDir dir;
    RunResult run(const Args& args) { return run_tapecast(args, dir.path()); }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.path() / name); }
    void put(const std::string& name, const Bytes& bytes) { write_file(dir.file(name), bytes); }
    Bytes get(const std::string& name) { return read_file(dir.file(name)); }

    void expect_error(const Args& args, int status, const std::string& message)
    {
        const RunResult result = run(args);
        EXPECT_EQ(result.status, status) << result.output;
        EXPECT_NE(result.output.find("\nERROR: " + message + "\n"), std::string::npos) << result.output;
        EXPECT_FALSE(exists("out.wav"));
    }
};

}  // namespace

// The CAS image of a standard run holds the blocks its WAV carries (the
// loader's too, named as a file); given to tapecast again it makes that WAV
// byte for byte, and a CAS image of it is the image itself.
TEST_F(ImagesRun, CasImageOfAStandardRunMakesTheSameTapeAgain)
{
    put("a.bin", make_bin(0xC000, 0xC000, pattern(13, 3)));
    put("b.bas", small_basic);
    const Args files = {"a.bin", "b.bas", "LOADER"};
    for (const Args& mode : {Args{"1200"}, Args{"-cd", "-sine", "-p", "300"}}) {
        SCOPED_TRACE(mode.front());
        ASSERT_EQ(run(mode + Args{"-o", "direct.wav"} + files).status, 0);
        const RunResult made = run(mode + Args{"-o", "tape.cas"} + files);
        ASSERT_EQ(made.status, 0) << made.output;
        EXPECT_NE(made.output.find("\nEnd of process ! CAS image of 6 blocks ("), std::string::npos) << made.output;
        ASSERT_EQ(run(mode + Args{"-o", "again.wav", "tape.cas"}).status, 0);
        EXPECT_TRUE(get("direct.wav") == get("again.wav"));
        ASSERT_EQ(run(mode + Args{"-o", "again.cas", "tape.cas"}).status, 0);
        EXPECT_EQ(get("again.cas"), get("tape.cas"));
    }
    // Each block behind its mark at an 8-byte boundary, zeros up to it.
    Bytes data = {0x00, 0xC0, 0x0C, 0xC0, 0x00, 0xC0};
    const Bytes program = pattern(13, 3);
    data.insert(data.end(), program.begin(), program.end());
    const Bytes first = make_cas({cas_descriptor(0xD0, "a"), data});
    const Bytes cas = get("tape.cas");
    ASSERT_GE(cas.size(), first.size() + 5 + 8);
    EXPECT_EQ(Bytes(cas.begin(), cas.begin() + long(first.size())), first);
    EXPECT_EQ(Bytes(cas.begin() + long(first.size()), cas.begin() + long(first.size()) + 5), Bytes(5, 0));
    EXPECT_EQ(Bytes(cas.begin() + long(first.size()) + 5, cas.begin() + long(first.size()) + 13), make_cas({{}}));
}

// The fast formats have no CAS form: refused before anything is written, an
// image of that name left as it was.
TEST_F(ImagesRun, FastModesAreRefusedACasOutput)
{
    put("a.bin", make_bin(0xC000, 0xC000, pattern(13, 3)));
    put("OLD.CAS", {1, 2, 3});
    for (const Args& mode : {Args{"-cd", "-c"}, Args{"-cd", "-xp"}, Args{"3500", "-c"}}) {
        const RunResult result = run(mode + Args{"-o", "new.cas", "a.bin"});
        EXPECT_EQ(result.status, 22);
        EXPECT_NE(result.output.find("\nERROR: A CAS image (new.cas) holds the standard format only: it can't be "
                                     "written with -c or -xp\n"),
                  std::string::npos)
            << result.output;
        EXPECT_FALSE(exists("new.cas"));
    }
    EXPECT_EQ(run({"-cd", "-c", "-o", "OLD.CAS", "a.bin"}).status, 22);
    EXPECT_EQ(get("OLD.CAS"), Bytes({1, 2, 3}));
}

// A damaged CAS image ends the run with the reason, after earlier files had
// been written, and leaves no WAV behind; a DSK image outside DOS mode and a
// CAS image in it are refused likewise.
TEST_F(ImagesRun, DamagedImagesAndImagesOutsideTheirModesAreRefused)
{
    put("a.bin", make_bin(0xC000, 0xC000, pattern(13, 3)));
    put("bad.cas", make_cas({cas_descriptor(0xD0, "GAME")}));
    const std::string no_data = "Input file size is incorrect (bad.cas: the BIN file \"GAME\" (descriptor at byte 0) "
                                "has no data block)";
    expect_error({"1200", "a.bin", "bad.cas"}, 10, no_data);
    expect_error({"-cd", "-c", "a.bin", "bad.cas"}, 10, no_data);

    ASSERT_TRUE(make_floppy(dir.file("disk.dsk"), {{"A.TXT", pattern(100, 1)}}));
    put("empty.dsk", Bytes(737280, 0));
    const std::string outside = "Disk image disk.dsk can only be encoded in DOS mode: -dos with -c or -xp, or after "
                                "RAMDOS";
    expect_error({"1200", "disk.dsk"}, 23, outside);
    expect_error({"-cd", "-dos", "disk.dsk"}, 23, outside);
    expect_error({"-cd", "-c", "disk.dsk", "RAMDOS"}, 23, outside);
    expect_error({"-cd", "-c", "-dos", "empty.dsk"}, 10,
                 "Input file size is incorrect (empty.dsk: neither its boot sector nor its media byte (00h) "
                 "describes a volume of its size)");

    expect_error({"-cd", "-c", "RAMDOS", "bad.cas"}, 24,
                 "CAS image bad.cas can't be encoded in DOS mode (-dos, or after RAMDOS): its files are for BASIC");
}

// Behind RAMDOS.01 (25 clusters of 512 bytes, the system files' taken) the
// second of two 6,000-byte files finds no room: the run says so and goes on.
TEST_F(ImagesRun, FilesThatWillNotFitTheRamDiskChosenAreNamed)
{
    ASSERT_TRUE(make_floppy(dir.file("disk.dsk"), {{"ONE.DAT", pattern(6000, 1)}, {"TWO.DAT", pattern(6000, 2)}}));
    std::uint32_t system = 0;
    for (std::size_t size : ramdos_system_file_sizes())
        system += std::uint32_t((size + 511) / 512) * 512;
    const RunResult small = run({"-cd", "-c", "RAMDOS.01", "disk.dsk"});
    ASSERT_EQ(small.status, 0) << small.output;
    EXPECT_NE(small.output.find("\nNote: TWO.DAT will not fit the RAM disk chosen (RAMDOS.01: 12800 bytes for files, "
                                + std::to_string(system + 6144) + " taken before it, 6144 needed): K7 will stop "
                                "there\nConverting:  \"TWO     DAT\""),
              std::string::npos)
        << small.output;
    const RunResult larger = run({"-cd", "-c", "RAMDOS.03", "disk.dsk"});
    ASSERT_EQ(larger.status, 0);
    EXPECT_EQ(larger.output.find("will not fit"), std::string::npos);
}

// In a fast mode an ASCII file stays in the standard format, which the
// loader can't read: right behind the loader it stops the tape, and the run
// says so; without the loader (a program reads it) nothing is said.
TEST_F(ImagesRun, AStandardFileRightBehindTheLoaderIsWarnedOf)
{
    Bytes last(256, 'b');
    last[9] = 0x1A;
    put("text.cas", make_cas({cas_descriptor(0xEA, "TEXT"), last}));
    const std::string warning = "\nWarning: the loader reads only the fast format, and the next file on the tape is in "
                                "the standard format: loading stops there\nConverting:  \"TEXT\"\t(ASCII)... done.\n";
    const RunResult loader = run({"-cd", "-c", "text.cas"});
    ASSERT_EQ(loader.status, 0);
    EXPECT_NE(loader.output.find(warning), std::string::npos) << loader.output;
    const RunResult without = run({"-cd", "-c", "-noldr", "text.cas"});
    ASSERT_EQ(without.status, 0);
    EXPECT_EQ(without.output.find("Warning"), std::string::npos) << without.output;
}

// A CAS image written over itself would be emptied before it is read:
// refused, the image kept.
TEST_F(ImagesRun, AnOutputThatIsAlsoAnInputIsRefused)
{
    put("a.bin", make_bin(0xC000, 0xC000, pattern(13, 3)));
    ASSERT_EQ(run({"1200", "-o", "tape.cas", "a.bin"}).status, 0);
    const Bytes image = get("tape.cas");
    const RunResult result = run({"1200", "-o", "tape.cas", "a.bin", "./tape.cas"});
    EXPECT_EQ(result.status, 18);
    EXPECT_NE(result.output.find("\nERROR: Output file 'tape.cas' is also an input file\n"), std::string::npos)
        << result.output;
    EXPECT_EQ(get("tape.cas"), image);
}
