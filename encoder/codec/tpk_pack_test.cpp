#include "codec/rnc_pack.h"
#include "codec/tpk_pack.h"
#include "codec/tpk_unpack.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include <random>
#include <stdexcept>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Pieces copied from near and far back (beyond 4096 too), literals between.
Bytes patchwork(std::size_t size, unsigned seed)
{
    return test_support::seeded_patchwork(size, seed, SIZE_MAX);
}

Bytes round_trip(const Bytes& input)
{
    const Bytes packed = tpk_pack(input);
    const TpkUnpackResult result = tpk_unpack(packed);
    EXPECT_TRUE(result.ok()) << result.error;
    return result.data;
}

TEST(TpkPack, RoundTripsEdgeCasesAndMixedData)
{
    for (const Bytes& input : {Bytes{}, Bytes{0x42}, Bytes{1, 2}, Bytes(5000, 0xFF), Bytes(tpk_max_input, 0),
                               test_support::seeded_bytes(3000, 1), patchwork(20000, 2), patchwork(tpk_max_input, 3)})
        EXPECT_EQ(round_trip(input), input) << input.size() << " bytes";
}

TEST(TpkPack, SizesOfKnownShapes)
{
    // One literal, one match with offset 1 for the rest and the end code.
    EXPECT_EQ(tpk_pack(Bytes(tpk_max_input, 0xFF)).size(), tpk_header_size + 10);
    // Incompressible data grows by the header and a few bytes of codes only.
    EXPECT_LE(tpk_pack(test_support::seeded_bytes(4096, 4)).size(), 4096 + tpk_header_size + 7);
    // A repeat of the last offset after a literal: ABCxABCy...
    Bytes pattern;
    for (int i = 0; i < 64; ++i)
        pattern.insert(pattern.end(), {1, 2, 3, 4, 5, 6, static_cast<std::uint8_t>(100 + i)});
    const std::vector<TpkToken> tokens = tpk_parse(pattern);
    int repeats = 0;
    for (const TpkToken& t : tokens)
        repeats += t.kind == TpkTokenKind::repeat;
    EXPECT_GT(repeats, 50);
}

TEST(TpkPack, RefusesInputAboveTheLimit)
{
    EXPECT_THROW(tpk_pack(Bytes(tpk_max_input + 1)), std::length_error);
}

TEST(TpkUnpack, RejectsDamage)
{
    const Bytes input = patchwork(2000, 5);
    const Bytes packed = tpk_pack(input);
    ASSERT_TRUE(tpk_unpack(packed).ok());

    Bytes flipped = packed;
    flipped[packed.size() / 2] ^= 0x10;
    EXPECT_EQ(tpk_unpack(flipped).error, "stream CRC mismatch");

    Bytes longer = packed;
    longer[0] = static_cast<std::uint8_t>(longer[0] + 1);
    EXPECT_FALSE(tpk_unpack(longer).ok());

    const Bytes truncated(packed.begin(), packed.end() - 1);
    EXPECT_FALSE(tpk_unpack(truncated).ok());
    EXPECT_FALSE(tpk_unpack(Bytes(packed.begin(), packed.begin() + 5)).ok());

    // Damage behind a stream CRC made to fit: caught by the token checks or
    // the unpacked CRC, never read or written out of bounds (the sanitizer
    // build watches that).
    std::mt19937 rng(6);
    for (int round = 0; round < 300; ++round) {
        Bytes damaged = packed;
        const std::size_t at = tpk_header_size + rng() % (damaged.size() - tpk_header_size);
        damaged[at] = static_cast<std::uint8_t>(damaged[at] ^ 1u << rng() % 8);
        const std::uint16_t crc = rnc_crc16(std::span(damaged).subspan(tpk_header_size));
        damaged[4] = static_cast<std::uint8_t>(crc);
        damaged[5] = static_cast<std::uint8_t>(crc >> 8);
        const TpkUnpackResult result = tpk_unpack(damaged);
        if (result.ok()) {
            EXPECT_EQ(result.data, input);
        }
    }
}

TEST(TpkWrite, RefusesTokensOutsideTheGrammar)
{
    const Bytes input = {7, 7, 7, 7};
    const std::vector<TpkToken> repeat_first = {{TpkTokenKind::repeat, 4, 1}};
    EXPECT_THROW(tpk_write(input, repeat_first), std::logic_error);
    const std::vector<TpkToken> too_far = {{TpkTokenKind::literals, 1, 0}, {TpkTokenKind::match, 3, 2}};
    EXPECT_THROW(tpk_write(input, too_far), std::logic_error);
    const std::vector<TpkToken> short_of_input = {{TpkTokenKind::literals, 1, 0}, {TpkTokenKind::match, 2, 1}};
    EXPECT_THROW(tpk_write(input, short_of_input), std::logic_error);
}

}  // namespace
