#include "signal/turbo.h"

#include <gtest/gtest.h>

#include "capture.h"
#include "codec/turbo_code.h"

namespace {

// A block is its lead-in, the sync, one half a letter and a closing half;
// the samples alternate levels at every half, and what goes into the WAV
// is those samples, little-endian.
TEST(TurboSignal, BlockHalvesAndTheirSamples)
{
    const std::vector<std::uint8_t> bytes = {0x00, 0x7F, 0xFF};
    std::vector<std::uint8_t> letters;
    TurboCode::uniform().encode(bytes, letters);
    const std::vector<std::uint8_t> halves = turbo_block_halves(bytes, TurboCode::uniform());
    ASSERT_EQ(halves.size(), std::size_t(turbo_lead_in_halves + 2) + letters.size() + 1);
    EXPECT_EQ(std::count(halves.begin(), halves.begin() + turbo_lead_in_halves, 6), turbo_lead_in_halves);
    EXPECT_EQ(halves[turbo_lead_in_halves], 9);
    EXPECT_EQ(halves[turbo_lead_in_halves + 1], 9);
    for (std::size_t i = 0; i < letters.size(); ++i)
        EXPECT_EQ(halves[std::size_t(turbo_lead_in_halves + 2) + i], 3 * (letters[i] + 1));
    EXPECT_EQ(halves.back(), 6);

    const std::vector<std::uint8_t> some = {3, 9, 6};
    const std::int16_t l = turbo_level;
    const std::vector<std::int16_t> square = {l,  l,  l,  -l, -l, -l, -l, -l, -l,
                                              -l, -l, -l, l,  l,  l,  l,  l,  l};
    EXPECT_EQ(turbo_samples(some, TurboEdges::square), square);
    // A file block's halves each begin with a step at a quarter level.
    const std::int16_t q = l / 4;
    const std::vector<std::int16_t> expected = {q,  l,  l,  -q, -l, -l, -l, -l, -l,
                                                -l, -l, -l, q,  l,  l,  l,  l,  l};
    EXPECT_EQ(turbo_samples(some), expected);

    const std::vector<std::uint8_t> file = capture(true, 0, [&] { emit_turbo_halves(some); });
    ASSERT_EQ(file.size(), 2 * expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(std::int16_t(file[2 * i] | file[2 * i + 1] << 8), expected[i]) << i;
}

}  // namespace
