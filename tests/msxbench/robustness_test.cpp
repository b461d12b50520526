// How the fast modes stand up to real audio paths (sox, lame) on both
// emulated MSXs: msxbench (AC-coupled input, the whole WAV from its first
// sample) and openMSX with C-BIOS, MSX1 and MSX2 (DC filter and sign; its
// BIOS reads no tape, so there the loader block is not spoiled).
// bench/robustness_bench prints the whole matrix; these tests assert what
// must hold on a part of it: every mode loads as written, the cells below
// that load today keep loading (noise over three seeds), CD -turbo loads in
// every cell, and a noisy pause between two files is not taken for a
// lead-in.
#include "loader_harness.h"
#include "robustness.h"

#include <gtest/gtest.h>

#include <iostream>

namespace msxbench {
namespace {

using namespace robustness;
using tools::AudioPath;

// Turn on once the depackers check what they restore: then no packed
// program may start damaged in the cells below.  (A BIN file carries no
// check in these formats.)
constexpr bool no_damaged_packed_program = true;

#ifdef CASSONIC_SANITIZER_BUILD
// Under the sanitizers the openMSX cells would only run the same external
// program again: msxbench alone.
constexpr bool sanitizer_build = true;
#else
constexpr bool sanitizer_build = false;
#endif

// The emulators to play on here: msxbench alone when openMSX is left out
// (and then says why).
std::vector<Emulator> playing_on()
{
    const std::string why = sanitizer_build ? "sanitizer build" : openmsx::missing();
    if (why.empty())
        return emulators();
    std::cout << "openMSX cells left out: " << why << "\n";
    return {Emulator::msxbench};
}

// The bench's programs: the cells below are cells of its matrix.
Matrix& matrix()
{
    static Matrix shared(matrix_programs());
    return shared;
}

const Mode& mode(const std::string& label)
{
    for (const Mode& m : modes())
        if (m.label == label)
            return m;
    throw std::invalid_argument("no mode " + label);
}

// Plays `program` in `mode` after `condition` on `on`: every cell must
// load.
void check(const Mode& mode, const Program& program, const tools::AudioCondition& condition,
           const std::vector<Emulator>& on)
{
    const std::vector<Cell> cells = matrix().run(mode, program, condition, on);
    for (std::size_t i = 0; i < on.size(); ++i)
        EXPECT_EQ(cells[i].outcome, Outcome::loads) << mode.label << ", " << tools::label(condition) << ", "
                                                    << program.label << ", " << label(on[i]) << ": "
                                                    << label(cells[i].outcome);
}

bool have_tools()
{
    return tools::missing_tools().empty();
}

// Every mode as written, every program it takes.  The one exception: CD -xp sine's
// loader block (3150 baud sine cells, read by the BIOS) is misread by
// msxbench's BIOS once its level changes fall where the signal crosses
// rather than on the next sample; openMSX does not read that block.
class AsWritten : public ::testing::TestWithParam<Mode> {};

TEST_P(AsWritten, LoadsOnEveryEmulator)
{
    std::vector<Emulator> on = playing_on();
    if (GetParam().label == "CD -xp sine")
        std::erase(on, Emulator::msxbench);
    if (on.empty())
        GTEST_SKIP() << "no emulator left for this mode";
    for (const Program& program : matrix().programs())
        if (takes(GetParam(), program))
            check(GetParam(), program, {AudioPath::as_written}, on);
}

INSTANTIATE_TEST_SUITE_P(Robustness, AsWritten, ::testing::ValuesIn(modes()), [](const auto& info) {
    std::string name = info.param.label;
    std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
    return name;
});

// The cells of each audio path that load today on every emulator, with the
// BIN file (a part of them: the suite must stay fast); noise with three
// seeds.
struct Keeps {
    AudioPath path;
    std::vector<const char*> modes;
    std::uint32_t seed = 1;  // of the noise
};

void PrintTo(const Keeps& keeps, std::ostream* out)
{
    *out << tools::label({keeps.path, keeps.seed});
}

class AfterAudioPath : public ::testing::TestWithParam<Keeps> {};

TEST_P(AfterAudioPath, TodaysLoadingCellsKeepLoading)
{
    if (!have_tools())
        GTEST_SKIP() << "audio paths skipped: " << tools::missing_tools();
    const Keeps& keeps = GetParam();
    const std::vector<Emulator> on = playing_on();
    for (const char* label : keeps.modes)
        check(mode(label), matrix().programs()[0], {keeps.path, keeps.seed}, on);
}

INSTANTIATE_TEST_SUITE_P(
    Robustness, AfterAudioPath,
    ::testing::Values(Keeps{AudioPath::slower_4, {"CD -xp", "-c 5500"}}, Keeps{AudioPath::faster_4, {"CD -c"}},
                      Keeps{AudioPath::quarter_amplitude, {"CD -c sine", "-xp 5500"}},
                      Keeps{AudioPath::inverted, {"CD -xp", "-c 3500"}},
                      Keeps{AudioPath::noise_20db, {"CD -c", "CD -xp"}, 1},
                      Keeps{AudioPath::noise_20db, {"CD -c", "CD -xp"}, 2},
                      Keeps{AudioPath::noise_20db, {"CD -c", "CD -xp"}, 3},
                      Keeps{AudioPath::resampled_48k, {"CD -c sine", "-xp 4500"}},
                      Keeps{AudioPath::mp3_128, {"CD -c"}}, Keeps{AudioPath::mp3_192, {"CD -c sine"}}),
    [](const auto& info) {
        std::string name = tools::label({info.param.path, info.param.seed});
        std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
        return name;
    });

// The turbo mode loads in every cell on every emulator, noise with three
// seeds.  All three programs go in the uniform code: on a program of 2K a
// fitted code does not pay for its description's block (the reader and
// loader tests read fitted blocks).
class TurboAfterAudioPath : public ::testing::TestWithParam<tools::AudioCondition> {};

TEST_P(TurboAfterAudioPath, LoadsEveryProgram)
{
    if (!have_tools() && GetParam().path != AudioPath::as_written)
        GTEST_SKIP() << "audio paths skipped: " << tools::missing_tools();
    const std::vector<Emulator> on = playing_on();
    for (const Program& program : matrix().programs())
        if (takes(mode("CD -turbo"), program))
            check(mode("CD -turbo"), program, GetParam(), on);
}

INSTANTIATE_TEST_SUITE_P(Robustness, TurboAfterAudioPath, ::testing::ValuesIn(conditions(3)), [](const auto& info) {
    std::string name = tools::label(info.param);
    std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
    return name;
});

// The cells where bench/robustness_bench saw its packed ROM start damaged
// (bytes that arrived wrong, no " <Err>"): they run once the switch above
// is on.
TEST(Robustness, NoCellStartsADamagedPackedProgram)
{
    if (!no_damaged_packed_program)
        GTEST_SKIP() << "waits for the depackers' checks (no_damaged_packed_program)";
    if (!have_tools())
        GTEST_SKIP() << "audio paths skipped: " << tools::missing_tools();
    Matrix& bench = matrix();
    const std::vector<std::pair<AudioPath, std::vector<const char*>>> seen = {
        {AudioPath::slower_4, {"-c 3500"}},
        {AudioPath::faster_4, {"CD -c sine"}},
        {AudioPath::resampled_48k, {"-c 3500", "-xp 5500"}},
        {AudioPath::mp3_128, {"CD -c", "CD -c sine", "-c 3500"}},
        {AudioPath::mp3_192, {"-c 3500"}},
    };
    const std::vector<Emulator> on = playing_on();
    for (const auto& [path, labels] : seen)
        for (const char* label : labels)
            for (const Cell& cell : bench.run(mode(label), bench.programs()[1], {path}, on))
                EXPECT_NE(cell.outcome, Outcome::started_damaged) << label << ", " << tools::label({path});
    for (const Cell& cell : bench.run(mode("-xp 5500"), bench.programs()[1], {AudioPath::noise_20db, 3}, on))
        EXPECT_NE(cell.outcome, Outcome::started_damaged) << "-xp 5500, noise seed 3";
}

// In the pause between two files a noisy tape flickers: the loader must not
// take that for the next lead-in.
TEST(Robustness, NoiseInThePauseBeforeTheNextFile)
{
    loader_harness::Workshop shop;
    shop.put("data.bin", loader_harness::marker_bin(0xA000, 0x11, 0xD000));
    TapeOptions options;
    options.conditions.noise_snr_db = 20;
    auto msx = loader_harness::play({shop.tapecast({"-cd", "-c", "-p", "300", "data.bin", "-n", "hello.bin"})}, {},
                                    options);
    ASSERT_TRUE(loader_harness::reach(*msx, {0xC000, 0xA000}, 15, 0xC000));
    EXPECT_EQ(msx->machine().dump(0xC000, 3), (std::vector<std::uint8_t>{0x21, 0x0C, 0xC0}));
    EXPECT_EQ(msx->machine().read(0xA000), 0x3E);
}

}  // namespace
}  // namespace msxbench
