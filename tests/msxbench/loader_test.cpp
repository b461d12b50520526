// The fast loader end to end: tapecast writes a WAV, the emulated MSX plays
// it from its first sample, its BIOS loads the loader from the standard-format
// block as BLOAD"CAS:",R does, and the loader reads the fast blocks.
#include "loader_harness.h"

#include "assets/images.h"

#include <gtest/gtest.h>

namespace msxbench {
namespace {

using namespace loader_harness;

TEST(StandardBload, TheBiosLoadsTheLoaderFromTheSignalAndStartsIt)
{
    Workshop shop;
    const std::string wav = shop.tapecast({"-cd", "-c", "hello.bin"});
    Msx msx;
    msx.insert_tape({read_wav(wav)});
    msx.bload_run();
    const RunResult run = run_to(msx.machine(), {loader_entry}, seconds(12));
    ASSERT_EQ(run.reason, Stop::breakpoint);
    ASSERT_EQ(run.pc, loader_entry);
    const auto image = loader_image();
    EXPECT_EQ(msx.machine().dump(loader_entry, image.size() - 7),
              std::vector<std::uint8_t>(image.begin() + 7, image.end()));
    EXPECT_EQ(msx.machine().read_word(msx.machine().reg(Reg::sp)), basic_return);
    EXPECT_EQ(msx.machine().reg(Reg::iff1), 1);  // TAPIOF enabled interrupts
    EXPECT_FALSE(msx.ppi().motor_on());
    // Calibrated on the 2205 baud header (cells of 1623 T): a window of 62 T
    // samples that ends well inside a cell, a start-bit threshold between
    // the two half-cycles of a 1 cell and those of a 0 cell (41 T counts).
    const int window = msx.machine().read(winwid) * 62;
    EXPECT_GT(window, 1623 * 6 / 10);
    EXPECT_LT(window, 1623 * 85 / 100);
    EXPECT_GT(msx.machine().read(lowlim) * 41, 1623 / 2);
    EXPECT_LT(msx.machine().read(lowlim) * 41, 1623);
}

}  // namespace
}  // namespace msxbench
