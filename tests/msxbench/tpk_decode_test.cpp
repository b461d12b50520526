#include "corpus.h"
#include "depack.h"

#include "codec/tpk_pack.h"
#include "codec/tpk_unpack.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The Z80 decoder restores `input` both from data below it and in place,
// with the reference decoder's leeway.
void expect_z80_restores(const Bytes& input)
{
    const Bytes packed = tpk_pack(input);
    const TpkUnpackResult reference = tpk_unpack(packed);
    ASSERT_TRUE(reference.ok()) << reference.error;
    const msxbench::Z80Restore apart = msxbench::tpk_restore_on_z80(packed);
    ASSERT_TRUE(apart.returned);
    EXPECT_EQ(apart.data, input);
    const auto leeway = static_cast<std::uint16_t>(reference.leeway_needed);
    const msxbench::Z80Restore in_place = msxbench::tpk_restore_on_z80(packed, 0x0200, leeway);
    ASSERT_TRUE(in_place.returned);
    EXPECT_EQ(in_place.data, input);
}

TEST(TpkZ80Decoder, RestoresEdgeCases)
{
    std::mt19937 rng(9);
    Bytes random(3000);
    for (auto& b : random)
        b = static_cast<std::uint8_t>(rng());
    // Far matches: a block repeated 20,000 bytes later, beyond any 8-bit
    // high part of a short code.
    Bytes far = random;
    far.resize(23000, 0x55);
    far.insert(far.end(), random.begin(), random.end());
    for (const Bytes& input : {Bytes{}, Bytes{0x42}, random, Bytes(20000, 0xFF), far})
        expect_z80_restores(input);
}

TEST(TpkZ80Decoder, RestoresRealPrograms)
{
    if (!msxbench::cbios_installed())
        CBIOS_SKIP();
    for (const msxbench::CorpusFile& file : msxbench::load_corpus(EXAMPLES_DIR))
        if (file.name == "cbios_main_msx1.rom" || file.name == "cbios_music.rom")
            expect_z80_restores(file.bytes);
}

}  // namespace
