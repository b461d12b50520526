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
    // Calibrated on the 2205 baud header: about 1.5 short cycles.
    EXPECT_NEAR(msx.machine().read(winwid), 24, 2);
    EXPECT_NEAR(msx.machine().read(lowlim), 34, 2);
}

}  // namespace
}  // namespace msxbench
