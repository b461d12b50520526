#include "signal/fast.h"

#include <gtest/gtest.h>

#include "capture.h"
#include "signal/cells.h"
#include "signal/standard.h"

namespace {

// The cells of a unit as text, read from 8-bit mode 8 samples: "s" start
// mark, "e" end mark, "0"/"1" cells.
std::string units8(const std::vector<std::uint8_t>& bytes)
{
    const SignalCells* cells = signal_cells(8);
    auto is = [&](std::size_t at, const Waveform& wave) {
        return at + wave.length <= bytes.size() && std::equal(wave.u8, wave.u8 + wave.length, bytes.begin() + long(at));
    };
    std::string text;
    std::size_t at = 0;
    bool in_unit = false;
    while (at < bytes.size()) {
        if (!in_unit && is(at, cells->start_mark)) {
            text += 's';
            at += cells->start_mark.length;
            in_unit = true;
        } else if (is(at, cells->end_mark)) {
            text += 'e';
            at += cells->end_mark.length;
            in_unit = false;
        } else if (is(at, cells->bit0)) {
            text += '0';
            at += 8;
        } else if (is(at, cells->bit1)) {
            text += '1';
            at += 8;
        } else {
            return text + "?";
        }
    }
    return text;
}

std::string value8(std::uint8_t value)
{
    return units8(capture(false, 1200, [&] { emit_value(value, 8); }));
}

}  // namespace

TEST(ValueCode, SignificantBitsMostSignificantFirstBetweenMarks)
{
    EXPECT_EQ(value8(0), "s0e");
    EXPECT_EQ(value8(1), "s1e");
    EXPECT_EQ(value8(5), "s101e");
    EXPECT_EQ(value8(208), "s11010000e");
    EXPECT_EQ(value8(255), "s11111111e");
}

TEST(RankTable, MostFrequentFirstTiesInByteOrder)
{
    std::vector<std::uint8_t> payload = {7, 3, 3, 9, 7, 200, 9, 3};
    build_rank_table(payload);
    // 3 occurs three times; 7 and 9 twice (7 first); 200 once; then the rest from 0.
    EXPECT_EQ(rank_table[0].byte_value, 3);
    EXPECT_EQ(rank_table[1].byte_value, 7);
    EXPECT_EQ(rank_table[2].byte_value, 9);
    EXPECT_EQ(rank_table[3].byte_value, 200);
    EXPECT_EQ(rank_table[4].byte_value, 0);
    EXPECT_EQ(rank_table[5].byte_value, 1);
    EXPECT_EQ(rank_table[6].byte_value, 2);
    EXPECT_EQ(rank_table[7].byte_value, 4);
    EXPECT_EQ(rank_table[255].byte_value, 255);
    EXPECT_EQ(rank_table[0].count, 3);
    EXPECT_EQ(rank_table[4].count, 0);
}

TEST(RankTable, CodeLengthsAndCodesDependOnTheRankOnly)
{
    build_rank_table(std::vector<std::uint8_t>{0x55});
    struct Expect { int rank, length, code; };
    for (Expect e : {Expect{0, 1, 0}, Expect{1, 1, 1}, Expect{2, 2, 0}, Expect{5, 2, 3}, Expect{6, 3, 0},
                     Expect{13, 3, 7}, Expect{14, 4, 0}, Expect{29, 4, 15}, Expect{30, 5, 0}, Expect{61, 5, 31},
                     Expect{62, 6, 0}, Expect{125, 6, 63}, Expect{126, 7, 0}, Expect{253, 7, 127},
                     Expect{254, 8, 0}, Expect{255, 8, 1}}) {
        EXPECT_EQ(rank_table[e.rank].code_length, e.length) << e.rank;
        EXPECT_EQ(rank_table[e.rank].code, e.code) << e.rank;
    }
}

TEST(RankCode, RanksGoOutWithTheirLengthIncludingLeadingZeros)
{
    std::vector<std::uint8_t> payload;
    // Byte b occurs 300 - b times for b < 8, so rank r holds byte r.
    for (int b = 0; b < 8; ++b)
        payload.insert(payload.end(), 300 - b, std::uint8_t(b));
    build_rank_table(payload);
    auto ranked = [](std::uint8_t byte) { return units8(capture(false, 1200, [&] { emit_ranked_byte(byte, 8); })); };
    EXPECT_EQ(ranked(0), "s0e");
    EXPECT_EQ(ranked(1), "s1e");
    EXPECT_EQ(ranked(5), "s11e");
    EXPECT_EQ(ranked(6), "s000e");
    EXPECT_EQ(ranked(255), "s00000001e");  // rank 255, as the last of the absent bytes
    EXPECT_EQ(rank_code_length(255), 8);
}

TEST(RankTable, CountsOnlyThePayloadItIsGiven)
{
    const std::vector<std::uint8_t> payload = {0x00, 0x00, 0x00, 0x01};
    auto bytes = capture(false, 1200, [&] { emit_rank_table(payload, 8); });
    std::string expected;
    for (int value = 0; value < 256; ++value)
        expected += value8(std::uint8_t(value));
    EXPECT_EQ(units8(bytes), expected);
    EXPECT_EQ(rank_table[0].byte_value, 0);
    EXPECT_EQ(rank_table[1].byte_value, 1);
    EXPECT_EQ(rank_table[1].count, 1);
}

TEST(Marks, EveryFastModeHasMarksOfTheDefinedLength)
{
    struct Case { int mode; std::size_t start, end; };
    for (Case c : {Case{6, 6, 6}, Case{8, 6, 8}, Case{112, 6, 12}, Case{212, 6, 12}, Case{108, 6, 8}}) {
        const SignalCells* cells = signal_cells(c.mode);
        EXPECT_EQ(cells->start_mark.length, c.start) << c.mode;
        EXPECT_EQ(cells->end_mark.length, c.end) << c.mode;
        // The end mark lasts one bit cell.
        EXPECT_EQ(cells->end_mark.length, cells->bit1.length) << c.mode;
    }
    for (int mode : {120, 220, 114, 214})
        EXPECT_EQ(signal_cells(mode)->start_mark.length, 0u) << mode;
}
