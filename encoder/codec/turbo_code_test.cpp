#include "codec/turbo_code.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<std::uint8_t> all_bytes()
{
    std::vector<std::uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i)
        bytes[std::size_t(i)] = std::uint8_t(i);
    return bytes;
}

// No word is a prefix of another, every byte has one, and a node's
// cheapest letter leads to the most leaves.
void expect_prefix_code(const TurboCode& code)
{
    for (int a = 0; a < 256; ++a) {
        ASSERT_FALSE(code.words[std::size_t(a)].empty()) << a;
        for (int b = 0; b < 256; ++b) {
            const auto& x = code.words[std::size_t(a)];
            const auto& y = code.words[std::size_t(b)];
            if (a != b && x.size() <= y.size()) {
                EXPECT_FALSE(std::equal(x.begin(), x.end(), y.begin())) << a << " prefixes " << b;
            }
        }
    }
}

TEST(TurboCode, UniformTreeIsTheCheapestAndFitsTheReadersTable)
{
    const TurboCode& code = TurboCode::uniform();
    expect_prefix_code(code);
    // 28.04 samples a byte at 3 samples a unit.
    EXPECT_EQ(code.units(all_bytes()), 2393u);
    EXPECT_LE(code.nodes.size(), 128u);
    for (const auto& node : code.nodes)
        EXPECT_NE(node.child[1], TurboCode::kNone);
}

TEST(TurboCode, RoundTripsAndRejectsBrokenLetters)
{
    const std::vector<std::uint8_t> bytes = [] {
        std::mt19937 random(7);
        std::vector<std::uint8_t> b(5000);
        for (auto& x : b)
            x = std::uint8_t(random() % 7 == 0 ? random() : random() % 5);
        return b;
    }();
    for (const TurboCode& code : {TurboCode::uniform(), TurboCode::fitted(turbo_byte_counts(bytes))}) {
        std::vector<std::uint8_t> letters;
        code.encode(bytes, letters);
        EXPECT_EQ(code.decode(letters), bytes);
        EXPECT_EQ(letters.size() > 0, true);
        letters.pop_back();
        EXPECT_THROW(code.decode(letters), std::invalid_argument);
    }
    EXPECT_THROW(TurboCode::uniform().decode(std::vector<std::uint8_t>{3}), std::invalid_argument);
}

TEST(TurboCode, FittedCodeOnlyWhenItPaysForItsDescription)
{
    std::vector<std::uint8_t> skewed(4000, 0x00);
    for (std::size_t i = 0; i < skewed.size(); i += 3)
        skewed[i] = 0xFF;
    skewed[7] = 0x41;
    bool fitted = false;
    const TurboCode own = turbo_code_for(skewed, &fitted);
    EXPECT_TRUE(fitted);
    expect_prefix_code(own);
    // The most frequent byte on the cheapest word, the next on the second.
    EXPECT_EQ(own.cost[0x00], 1u);
    EXPECT_EQ(own.cost[0xFF], 2u);
    EXPECT_LT(own.units(skewed), TurboCode::uniform().units(skewed) / 5);

    const std::vector<std::uint8_t> flat = all_bytes();
    turbo_code_for(flat, &fitted);
    EXPECT_FALSE(fitted);
}

TEST(TurboCode, DescriptionTellsTheCodeAndRefusesWhatIsNone)
{
    std::vector<std::uint8_t> text(3000);
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = std::uint8_t("the quick brown fox jumps "[i % 26]);
    for (const TurboCode& code : {TurboCode::uniform(), TurboCode::fitted(turbo_byte_counts(text))}) {
        const std::vector<std::uint8_t> told = code.description();
        ASSERT_EQ(told.size(), 512u);
        const TurboCode back = TurboCode::from_description(told);
        EXPECT_EQ(back.words, code.words);
        EXPECT_EQ(back.nodes.size(), 128u);
    }
    std::vector<std::uint8_t> twice = TurboCode::uniform().description();
    twice[300] = twice[301];
    EXPECT_THROW(TurboCode::from_description(twice), std::invalid_argument);
    std::vector<std::uint8_t> unsplit = TurboCode::uniform().description();
    unsplit[0] = 0;
    EXPECT_THROW(TurboCode::from_description(unsplit), std::invalid_argument);
}

}  // namespace

// The CRC-16 the turbo loaders check: the catalogue's check value of
// "123456789" for polynomial 1021h from FFFFh, and one bit changed anywhere
// changes it.
TEST(TurboCrc, IsTheCcittCrcFromFfff)
{
    const std::string text = "123456789";
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    EXPECT_EQ(turbo_crc16(bytes), 0x29B1);
    EXPECT_EQ(turbo_crc16({}), 0xFFFF);
    bytes[4] ^= 0x10;
    EXPECT_NE(turbo_crc16(bytes), 0x29B1);
}
