// How the loader copes with a worn recording: the same WAVs played 4%
// slower and faster, with white noise at 20 dB signal-to-noise ratio, at 25%
// amplitude and with the polarity turned over, through the AC-coupled input.
// One test per condition runs every mode and compares with the table of
// what loads; the table is printed for the README.
#include "loader_harness.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>

namespace msxbench {
namespace {

using namespace loader_harness;

struct Mode {
    const char* name;
    std::vector<std::string> args;
    bool separate_loader;
};

const std::vector<Mode>& modes()
{
    static const std::vector<Mode> all = {
        {"CD compressed", {"-cd", "-c"}, false},        {"CD compressed sine", {"-cd", "-c", "-sine"}, false},
        {"CD experimental", {"-cd", "-xp"}, false},     {"CD experimental sine", {"-cd", "-xp", "-sine"}, false},
        {"-c 3500", {"3500", "-c"}, true},              {"-c 5500", {"5500", "-c"}, true},
        {"-xp 4500", {"4500", "-xp"}, true},            {"-xp 5500", {"5500", "-xp"}, true},
    };
    return all;
}

// The WAVs of every mode, made once: a BIN file (hello.bin) in each, and the
// loader alone at 2400 baud for the modes that do not carry it.
class Recordings {
public:
    static Recordings& get()
    {
        static Recordings recordings;
        return recordings;
    }
    std::vector<std::string> tape(const Mode& mode) const
    {
        const std::string& fast = fast_.at(mode.name);
        if (!mode.separate_loader)
            return {fast};
        return {loader_, "", fast};
    }

private:
    Recordings()
    {
        loader_ = shop_.tapecast({"2400", "LOADER"}, "loader.wav");
        int n = 0;
        for (const Mode& mode : modes()) {
            std::vector<std::string> args = mode.args;
            args.push_back("hello.bin");
            fast_[mode.name] = shop_.tapecast(args, "mode" + std::to_string(n++) + ".wav");
        }
    }
    Workshop shop_;
    std::string loader_;
    std::map<std::string, std::string> fast_;
};

// Whether hello.bin loads and starts under `conditions`.
bool loads(const Mode& mode, const TapeConditions& conditions)
{
    TapeOptions options;
    options.conditions = conditions;
    auto msx = play(Recordings::get().tape(mode), {}, options);
    const RunResult run = run_to(msx->machine(), {0xC000}, seconds(25));
    return run.reason == Stop::breakpoint && run.pc == 0xC000 &&
           msx->machine().dump(0xC000, 3) == std::vector<std::uint8_t>{0x21, 0x0C, 0xC0};
}

// Runs every mode under `conditions` and checks the outcome against
// `expected` (one character per mode: 'y' loads, 'n' does not).
void check_row(const char* condition, const TapeConditions& conditions, const std::string& expected)
{
    std::string row = std::string("| ") + condition;
    for (std::size_t i = 0; i < modes().size(); ++i) {
        const bool ok = loads(modes()[i], conditions);
        row += ok ? " | loads" : " | fails";
        EXPECT_EQ(ok, expected[i] == 'y') << modes()[i].name << " " << condition;
    }
    std::cout << row << " |\n";
}

TEST(Robustness, Header)
{
    std::string header = "| condition";
    for (const Mode& mode : modes())
        header += std::string(" | ") + mode.name;
    std::cout << header << " |\n";
    check_row("as written", {}, "yyyyyyyy");
}

TEST(Robustness, FourPercentSlower)
{
    TapeConditions conditions;
    conditions.speed = 0.96;
    check_row("4% slower", conditions, "yyyyyyyy");
}

TEST(Robustness, FourPercentFaster)
{
    TapeConditions conditions;
    conditions.speed = 1.04;
    // The experimental mode's cells at 5720 baud (469 T) leave no whole
    // number of 65 T sampling periods that both reaches an end mark's fourth
    // level change and leaves time to wait for the next cell.
    check_row("4% faster", conditions, "yyyyyyyn");
}

TEST(Robustness, NoiseAt20dB)
{
    TapeConditions conditions;
    conditions.noise_snr_db = 20;
    // The sine modes' loader block, in the standard format, has samples at
    // zero where its cells change: the noise makes extra level changes
    // there, which the BIOS's bit windows count.
    check_row("noise, 20 dB SNR", conditions, "ynynyyyy");
}

// In the pause between two files a noisy tape flickers: the loader must not
// take that for the next lead-in.
TEST(Robustness, NoiseInThePauseBeforeTheNextFile)
{
    Workshop shop;
    shop.put("data.bin", marker_bin(0xA000, 0x11, 0xD000));
    TapeOptions options;
    options.conditions.noise_snr_db = 20;
    auto msx = play({shop.tapecast({"-cd", "-c", "-p", "300", "data.bin", "-n", "hello.bin"})}, {}, options);
    ASSERT_TRUE(reach(*msx, {0xC000, 0xA000}, 15, 0xC000));
    EXPECT_EQ(msx->machine().dump(0xC000, 3), (std::vector<std::uint8_t>{0x21, 0x0C, 0xC0}));
    EXPECT_EQ(msx->machine().read(0xA000), 0x3E);
}

TEST(Robustness, QuarterAmplitude)
{
    TapeConditions conditions;
    conditions.amplitude = 0.25;
    check_row("25% amplitude", conditions, "yyyyyyyy");
}

TEST(Robustness, InvertedPolarity)
{
    TapeConditions conditions;
    conditions.inverted = true;
    check_row("inverted", conditions, "yyyyyyyy");
}

}  // namespace
}  // namespace msxbench
