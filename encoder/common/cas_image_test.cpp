#include "common/cas_image.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes cas(const std::vector<Bytes>& blocks, std::uint8_t filler = 0x00)
{
    return test_support::make_cas(blocks, filler);
}

Bytes descriptor(std::uint8_t type, const std::string& name)
{
    return test_support::cas_descriptor(type, name);
}

Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes bin_data = {0x00, 0xC0, 0x02, 0xC0, 0x00, 0xC0, 0xC9, 0x01, 0x02};  // 0xC000-0xC002
const Bytes basic_text = {0x09, 0x80, 0x0A, 0x00, 0x91, 0x20, 0x31, 0x00, 0x00, 0x00};

Bytes ascii_block(char fill, bool last)
{
    Bytes block(256, std::uint8_t(fill));
    if (last)
        block[100] = 0x1A;
    return block;
}

std::string error_of(const Bytes& image)
{
    CasImage read = read_cas_image(image);
    EXPECT_TRUE(read.files.empty());
    return read.error;
}

}  // namespace

// Files of every kind in tape order.  A BIN or BASIC data block ends where
// the MSX stops reading it; the filler up to the next mark is no part of it.
TEST(CasImage, FilesOfEveryKindInTapeOrder)
{
    const Bytes basic_block = concat(basic_text, Bytes(7, 0x00));
    const Bytes headerless = {1, 2, 3, 4, 5};
    const Bytes image = cas({descriptor(0xD0, "GAME"), bin_data, descriptor(0xD3, "PROG"), basic_block,
                             descriptor(0xEA, "TEXT"), ascii_block('a', false), ascii_block('b', true), headerless},
                            0xEE);
    const CasImage read = read_cas_image(image);
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.files.size(), 4u);

    EXPECT_EQ(read.files[0].kind, CasKind::bin);
    EXPECT_EQ(read.files[0].name, "GAME  ");
    EXPECT_EQ(cas_display_name(read.files[0]), "GAME");
    EXPECT_EQ(read.files[0].blocks, (std::vector<Bytes>{descriptor(0xD0, "GAME"), bin_data}));
    EXPECT_EQ(cas_file_contents(read.files[0]), concat({0xFE}, bin_data));

    EXPECT_EQ(read.files[1].kind, CasKind::basic);
    EXPECT_EQ(read.files[1].blocks.at(1), basic_block);
    EXPECT_EQ(cas_file_contents(read.files[1]), concat({0xFF}, basic_text));

    EXPECT_EQ(read.files[2].kind, CasKind::ascii);
    EXPECT_EQ(read.files[2].blocks.size(), 3u);
    EXPECT_EQ(read.files[2].offset, 104u);

    EXPECT_EQ(read.files[3].kind, CasKind::headerless);
    EXPECT_EQ(read.files[3].blocks, std::vector<Bytes>{headerless});
    EXPECT_EQ(cas_display_name(read.files[3]), "");

    // Eight or more bytes past the end are not filler: they stay, as stored.
    const Bytes longer = concat(bin_data, Bytes(8, 0x55));
    EXPECT_EQ(read_cas_image(cas({descriptor(0xD0, "GAME"), longer})).files.at(0).blocks.at(1), longer);
}

TEST(CasImage, DamagedImagesSayWhatIsWrong)
{
    EXPECT_EQ(error_of({}), "no block mark at its start");
    EXPECT_EQ(error_of(concat(Bytes(8, 0), cas({bin_data}))), "no block mark at its start");
    EXPECT_EQ(error_of(cas({{}})), "the block at byte 0 is empty");
    EXPECT_EQ(error_of(cas({Bytes(12, 0xD0)})),
              "the block at byte 0 is cut short: a file descriptor needs 16 bytes, it holds 12");
    EXPECT_EQ(error_of(cas({descriptor(0xD0, "GAME")})),
              "the BIN file \"GAME\" (descriptor at byte 0) has no data block");
    EXPECT_EQ(error_of(cas({descriptor(0xD3, "PROG"), descriptor(0xD0, "GAME"), bin_data})),
              "the BASIC program \"PROG\" (descriptor at byte 0) has no data block");
    EXPECT_EQ(error_of(cas({descriptor(0xD0, "GAME"), Bytes(bin_data.begin(), bin_data.end() - 1)})),
              "the block at byte 24 is cut short: the BIN file \"GAME\" needs 9 bytes, it holds 8");
    EXPECT_EQ(error_of(cas({descriptor(0xD0, "GAME"), {0x00, 0xC0}})),
              "the block at byte 24 is cut short: the BIN file \"GAME\" needs 6 bytes, it holds 2");
    EXPECT_EQ(error_of(cas({descriptor(0xD3, "PROG"), basic_text})),
              "the block at byte 24 is cut short: the BASIC program \"PROG\" has no end (ten 00h bytes)");
    EXPECT_EQ(error_of(cas({descriptor(0xEA, "TEXT"), Bytes(255, 'a')})),
              "the block at byte 24 is cut short: the ASCII file \"TEXT\" needs 256 bytes in each block, it holds 255");
    EXPECT_EQ(error_of(cas({descriptor(0xEA, "TEXT"), ascii_block('a', false), descriptor(0xD0, "GAME"), bin_data})),
              "the ASCII file \"TEXT\" (descriptor at byte 0) ends without its end-of-file mark (1Ah)");
}
