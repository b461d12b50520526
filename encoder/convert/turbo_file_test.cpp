#include "convert/turbo_file.h"

#include "signal/turbo.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// 4K of random bytes, one in `one_in` of them 0 (the more zeros, the more a
// fitted code saves).
Bytes skewed_bytes(unsigned one_in)
{
    std::mt19937 random(11);
    Bytes bytes(4096);
    for (auto& b : bytes)
        b = random() % one_in == 0 ? 0 : static_cast<std::uint8_t>(random());
    return bytes;
}

std::uint64_t samples(const std::vector<std::uint8_t>& halves)
{
    return std::accumulate(halves.begin(), halves.end(), std::uint64_t(0));
}

// A fitted code goes on the tape only where it makes the tape shorter, the
// lead-in of its description's block counted: a file whose code saves a
// little more than the description's bytes cost, but less than that
// lead-in, stays in the uniform code.
TEST(TurboLastFileCode, AFittedCodeMustPayForItsDescriptionsBlock)
{
    bool seen_marginal = false;
    bool seen_fitted = false;
    for (unsigned one_in = 64; one_in >= 2; --one_in) {
        const Bytes bytes = skewed_bytes(one_in);
        bool by_bytes = false;
        const TurboCode own = turbo_code_for(bytes, &by_bytes);
        bool fitted = false;
        const TurboCode chosen = turbo_last_file_code(bytes, &fitted);
        const std::uint64_t uniform = samples(turbo_block_halves(bytes, TurboCode::uniform()));
        const std::uint64_t two_blocks = samples(turbo_block_halves(own.description(), TurboCode::uniform())) +
                                         samples(turbo_block_halves(bytes, own));
        EXPECT_EQ(fitted, by_bytes && two_blocks < uniform) << one_in;
        EXPECT_EQ(chosen.description(), (fitted ? own : TurboCode::uniform()).description()) << one_in;
        seen_marginal = seen_marginal || (by_bytes && !fitted);
        seen_fitted = seen_fitted || fitted;
    }
    EXPECT_TRUE(seen_marginal);
    EXPECT_TRUE(seen_fitted);
}

}  // namespace
