// The turbo tape reader (msx/include/turbo_read.inc) on both emulated MSXs:
// an 8K block of random bytes as written and after a few audio paths must
// arrive byte for byte; as written, every half's count at least two counts
// of 30 T from being read as another letter.
// bench/turbo_signal_bench plays the whole matrix.
#include "codec/turbo_code.h"
#include "test_support.h"
#include "turbo_tape.h"

#include <gtest/gtest.h>

#include <iostream>

namespace {

using robustness::Emulator;
using tools::AudioPath;

std::vector<Emulator> playing_on()
{
#ifdef CASSONIC_SANITIZER_BUILD
    const std::string why = "sanitizer build";
#else
    const std::string why = openmsx::missing();
#endif
    if (why.empty())
        return robustness::emulators();
    std::cout << "openMSX left out: " << why << "\n";
    return {Emulator::msxbench};
}

void expect_read(const tools::AudioCondition& condition, int least_margin)
{
    test_support::ScratchDir dir;
    const std::vector<std::uint8_t> bytes = test_support::seeded_bytes(0x2000, 77);
    const std::vector<Emulator> on = playing_on();
    const std::vector<turbo::Reading> readings = turbo::read_after(bytes, condition, on, dir.path());
    for (std::size_t i = 0; i < on.size(); ++i) {
        const std::string where = tools::label(condition) + ", " + robustness::label(on[i]);
        EXPECT_TRUE(readings[i].finished) << where;
        EXPECT_TRUE(readings[i].intact) << where;
        if (readings[i].intact) {
            EXPECT_GE(readings[i].margin(), least_margin) << where;
        }
    }
}

TEST(TurboReader, ReadsEightKilobytesAsWrittenWithACountToSpare)
{
    expect_read({AudioPath::as_written}, 1);
}

TEST(TurboReader, ReadsThemAfterAudioPaths)
{
    if (!tools::missing_tools().empty())
        GTEST_SKIP() << "audio paths skipped: " << tools::missing_tools();
    for (const AudioPath path : {AudioPath::faster_4, AudioPath::noise_20db, AudioPath::mp3_128})
        expect_read({path, 1}, 1);
}

// A block in a code fitted to its bytes: the reader builds its table from
// the code's description and reads the block with it, as written and
// through an MP3 at 192 kbit/s.  (At 128 kbit/s openMSX misreads it: the
// fitted code's long runs of short halves fare worse there than the
// uniform code's mix; bench/turbo_signal_bench shows the matrix.)
TEST(TurboReader, BuildsAFittedCodesTableFromItsDescription)
{
    test_support::ScratchDir dir;
    const std::vector<std::uint8_t> bytes = robustness::code_rom(0x2000, 5).bytes;
    bool fitted = false;
    const TurboCode code = turbo_code_for(bytes, &fitted);
    ASSERT_TRUE(fitted);
    std::vector<tools::AudioCondition> conditions = {{AudioPath::as_written}};
    if (tools::missing_tools().empty())
        conditions.push_back({AudioPath::mp3_192});
    const std::vector<Emulator> on = playing_on();
    for (const tools::AudioCondition& condition : conditions) {
        const std::vector<turbo::Reading> readings = turbo::read_after(bytes, condition, on, dir.path(), &code);
        for (std::size_t i = 0; i < on.size(); ++i)
            EXPECT_TRUE(readings[i].intact) << tools::label(condition) << ", " << robustness::label(on[i]);
    }
}

// The byte count runs in runs of 256: every length around a run's end
// stores exactly its bytes.
TEST(TurboReader, StoresExactlyTheBytesAskedFor)
{
    test_support::ScratchDir dir;
    for (const std::size_t size : {1u, 255u, 256u, 257u, 513u}) {
        const std::vector<std::uint8_t> bytes = test_support::seeded_bytes(size, std::uint32_t(size));
        const std::filesystem::path wav = dir.path() / "block.wav";
        turbo::write_block_wav(wav, bytes);
        const turbo::Reading reading = turbo::read_block(wav, bytes, Emulator::msxbench, dir.path());
        EXPECT_TRUE(reading.intact) << size;
        EXPECT_TRUE(reading.kept_after) << size;
    }
}

}  // namespace
