#include "convert/pack.h"

#include "assets/images.h"
#include "codec/rnc_pack.h"
#include "codec/rnc_unpack.h"
#include "codec/tpk_unpack.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes text_bytes(std::size_t size)
{
    const std::string words = "10 PRINT \"HELLO\": GOTO 10 ";
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(words[(i * 5) % words.size()]);
    return bytes;
}

unsigned word(const Bytes& bytes, std::size_t at)
{
    return bytes[at] | bytes[at + 1] << 8;
}

// The image of `input` built in a buffer with the usual 1024 spare bytes.
Bytes image_of(const Bytes& input, PackMode mode)
{
    Bytes buffer = input;
    buffer.resize(input.size() + 1024, 0xEE);
    buffer.resize(pack_image(buffer, static_cast<std::uint32_t>(input.size()), mode));
    return buffer;
}

struct BinParts {
    Bytes packed;
    Bytes depacker;
};

BinParts split_bin(const Bytes& image)
{
    const std::size_t depacker_size = bin_depacker_image().size();
    return {Bytes(image.begin() + 7, image.end() - static_cast<std::ptrdiff_t>(depacker_size)),
            Bytes(image.end() - static_cast<std::ptrdiff_t>(depacker_size), image.end())};
}

TEST(PackImageBin, HeaderDepackerAndParameterBlock)
{
    const Bytes input = text_bytes(5000);
    const Bytes image = image_of(input, PackMode::com);
    const auto [packed, depacker] = split_bin(image);
    const unsigned p = static_cast<unsigned>(packed.size());
    const unsigned size = static_cast<unsigned>(bin_depacker_image().size());

    ASSERT_LT(p, input.size());
    EXPECT_EQ(image.size(), 7 + p + size);
    EXPECT_EQ(image[0], 0xFE);
    EXPECT_EQ(word(image, 1), 0xE000 - p);
    EXPECT_EQ(word(image, 3), 0xE000 + size - 1);
    EXPECT_EQ(word(image, 5), 0xE000u);
    EXPECT_EQ(rnc_unpack(packed).data, input);

    Bytes expected(bin_depacker_image().begin(), bin_depacker_image().end());
    expected[2] = 0x00;                          // mode
    expected[3] = static_cast<std::uint8_t>(0xE000 - p);
    expected[4] = static_cast<std::uint8_t>((0xE000 - p) >> 8);
    expected[5] = 0x00;                          // destination 0x0100
    expected[6] = 0x01;
    expected[7] = expected[8] = 0x00;            // R = 0: packed
    expected[9] = expected[10] = 0x00;           // no stored data's CRC
    // Its last word: the CRC of its bytes before it, low byte first.
    const std::uint16_t self = rnc_crc16({expected.data(), size - 2});
    expected[size - 2] = static_cast<std::uint8_t>(self);
    expected[size - 1] = static_cast<std::uint8_t>(self >> 8);
    EXPECT_EQ(depacker, expected);
}

TEST(PackImageBin, DataThatDoesNotShrinkIsStoredWithRSet)
{
    // 0x6000 stored bytes: the largest P whose image still starts at 0x8000.
    const Bytes input = test_support::seeded_bytes(0x6000, 1);
    const Bytes image = image_of(input, PackMode::com);
    const auto [packed, depacker] = split_bin(image);
    EXPECT_EQ(image.size(), input.size() + 7 + bin_depacker_image().size());
    EXPECT_EQ(packed, input);
    EXPECT_EQ(word(image, 1), 0x8000u);
    EXPECT_EQ(word(depacker, 3), 0x8000u);
    EXPECT_EQ(word(depacker, 7), 0x6000u);
    EXPECT_EQ(word(depacker, 9), rnc_crc16(input));
}

TEST(PackImageBin, RomAndBasicDestinationsComeFromInputByte3)
{
    const struct {
        PackMode mode;
        std::uint16_t init;
        std::uint8_t mode_byte, destination_high;
    } cases[] = {
        {PackMode::rom, 0x4010, 0x41, 0x40},
        {PackMode::rom, 0x8010, 0x41, 0x80},
        {PackMode::rom, 0x7FFF, 0x41, 0x40},
        {PackMode::basic, 0x8010, 0xFF, 0x80},
    };
    for (const auto& c : cases) {
        Bytes input = text_bytes(4000);
        input[0] = 'A';
        input[1] = 'B';
        input[2] = static_cast<std::uint8_t>(c.init);
        input[3] = static_cast<std::uint8_t>(c.init >> 8);
        const Bytes depacker = split_bin(image_of(input, c.mode)).depacker;
        EXPECT_EQ(depacker[2], c.mode_byte);
        EXPECT_EQ(depacker[5], 0x00);
        EXPECT_EQ(depacker[6], c.destination_high) << std::hex << c.init;
    }
}

TEST(PackImageBin, EmptyInputIsPackedNotStored)
{
    // Stored empty data would carry R = 0, which means "decode".
    const Bytes image = image_of({}, PackMode::com);
    const auto [packed, depacker] = split_bin(image);
    EXPECT_EQ(word(depacker, 7), 0u);
    const UnpackResult unpacked = rnc_unpack(packed);
    EXPECT_TRUE(unpacked.ok()) << unpacked.error;
    EXPECT_TRUE(unpacked.data.empty());
}

TEST(PackImageBin, GrowsABufferWithoutSpareRoom)
{
    const Bytes input = test_support::seeded_bytes(100, 2);
    Bytes buffer = input;
    const std::uint32_t length = pack_image(buffer, 100, PackMode::com);
    EXPECT_EQ(length, 107 + bin_depacker_image().size());
    ASSERT_GE(buffer.size(), length);
    EXPECT_EQ(Bytes(buffer.begin() + 7, buffer.begin() + 107), input);
}

// The turbo tape's image ends with the depacker built to run below the
// turbo loader, which is the ceiling of the image and of what it restores.
TEST(PackImageBin, TurboImagesEndBelowTheTurboLoader)
{
    const unsigned at = turbo_depacker_address();
    const std::size_t size = turbo_depacker_image(0x00).size();
    const Bytes input = test_support::seeded_bytes(0x3000, 3);  // goes stored
    Bytes image = input;
    image.resize(pack_image(image, 0x3000, PackMode::com, DepackerSite::turbo));
    EXPECT_EQ(word(image, 1), at - 0x3000);
    EXPECT_EQ(word(image, 3), at + size - 1);
    EXPECT_LT(word(image, 3), 0xE000u);
    EXPECT_EQ(word(image, 5), at);
    const Bytes depacker(image.end() - static_cast<std::ptrdiff_t>(size), image.end());
    EXPECT_TRUE(std::equal(depacker.begin() + 11, depacker.end() - 2, turbo_depacker_image(0x00).begin() + 11));
    EXPECT_EQ(word(depacker, 3), at - 0x3000);
    EXPECT_EQ(bin_image_fault(image, PackMode::com, 0x3000, 0, DepackerSite::turbo), "");

    EXPECT_EQ(restore_fault(PackMode::rom, 0x40, at - 0x4000, DepackerSite::turbo), "");
    EXPECT_NE(restore_fault(PackMode::rom, 0x40, at - 0x4000 + 1, DepackerSite::turbo), "");
    EXPECT_EQ(restore_fault(PackMode::rom, 0x40, at - 0x4000 + 1), "");
}

// A ROM for 0x4000 of `length` bytes: zeros, then 1K that does not pack
// at its end, so that decoding it in place needs a few bytes of room.
Bytes rom_ending_unpacked(std::size_t length)
{
    Bytes rom(length, 0);
    const Bytes tail = test_support::seeded_bytes(1024, 7);
    std::copy(tail.begin(), tail.end(), rom.end() - 1024);
    rom[0] = 'A';
    rom[1] = 'B';
    rom[3] = 0x40;
    return rom;
}

// The turbo tape's images carry tpk data, which must fit below the
// depacker with the room its in-place decoding needs, to the byte.
TEST(PackImageBin, TurboImagesCarryTpkDataWithRoomToDecodeInPlace)
{
    const auto turbo_image = [](const Bytes& input) {
        Bytes image = input;
        image.resize(pack_image(image, static_cast<std::uint32_t>(input.size()), PackMode::rom, DepackerSite::turbo));
        return image;
    };
    const auto room = static_cast<std::uint32_t>(turbo_depacker_address() - 0x4000);
    const std::size_t depacker = turbo_depacker_image(0x41).size();
    const auto leeway = [&](const Bytes& image) {
        const TpkUnpackResult result = tpk_unpack({image.data() + 7, image.size() - 7 - depacker});
        EXPECT_TRUE(result.ok()) << result.error;
        return result.leeway_needed;
    };
    const std::uint32_t needed = leeway(turbo_image(rom_ending_unpacked(room)));
    ASSERT_GT(needed, 0u);
    const Bytes edge = rom_ending_unpacked(room - needed);
    const Bytes image = turbo_image(edge);
    ASSERT_EQ(leeway(image), needed);
    EXPECT_EQ(tpk_unpack({image.data() + 7, image.size() - 7 - depacker}).data, edge);
    EXPECT_EQ(word(image, image.size() - depacker + 7), 0u);  // packed, not stored
    EXPECT_EQ(bin_image_fault(image, PackMode::rom, room - needed, 0x40, DepackerSite::turbo), "");

    const Bytes over = turbo_image(rom_ending_unpacked(room - needed + 1));
    ASSERT_EQ(leeway(over), needed);
    EXPECT_NE(bin_image_fault(over, PackMode::rom, room - needed + 1, 0x40, DepackerSite::turbo)
                  .find("decoding them in place needs"),
              std::string::npos);
}

// The largest DOS part that does not pack goes stored: its image must still
// fit where the DOS tape reader takes it, under its limit.
TEST(PackImageSfx, AStoredWholePartFitsTheTapeReadersBuffer)
{
    const Bytes image = image_of(test_support::seeded_bytes(46080, 4), PackMode::sfx);
    EXPECT_EQ(image.size(), 23 + 46080 + sfx_depacker_image().size());
    EXPECT_LE(image.size(), dos_reader_image_room);
}

TEST(PackImageSfx, PrologueMovesTheDepackerTo0xBC00)
{
    for (const Bytes& input : {text_bytes(5000), test_support::seeded_bytes(3000, 3)}) {
        const Bytes image = image_of(input, PackMode::sfx);
        const unsigned size = static_cast<unsigned>(sfx_depacker_image().size());
        const unsigned n = static_cast<unsigned>(image.size());
        const unsigned p = n - 23 - size;
        const bool stored = p == input.size();
        const Bytes packed(image.begin() + 23, image.begin() + 23 + p);
        if (stored) {
            EXPECT_EQ(packed, input);
        } else {
            EXPECT_EQ(rnc_unpack(packed).data, input);
        }
        // The depacker as built, its last word the CRC of the data and of
        // its bytes before it.
        Bytes expected_depacker(sfx_depacker_image().begin(), sfx_depacker_image().end());
        Bytes checked = packed;
        checked.insert(checked.end(), expected_depacker.begin(), expected_depacker.end() - 2);
        expected_depacker[size - 2] = static_cast<std::uint8_t>(rnc_crc16(checked));
        expected_depacker[size - 1] = static_cast<std::uint8_t>(rnc_crc16(checked) >> 8);
        EXPECT_EQ(Bytes(image.end() - size, image.end()), expected_depacker);

        const Bytes prologue(image.begin(), image.begin() + 23);
        const Bytes expected = {
            0x21, 0x00, 0x01,                                                  // LD HL,0x0100
            0xE5,                                                              // PUSH HL
            0x11, static_cast<std::uint8_t>(0xBC00 + size), static_cast<std::uint8_t>((0xBC00 + size) >> 8),
            0x01, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),  // LD BC,N
            0x09, 0xED, 0xB8,                                                  // ADD HL,BC / LDDR
            0xD1,                                                              // POP DE
            0x21, static_cast<std::uint8_t>(0xBC00 - p), static_cast<std::uint8_t>((0xBC00 - p) >> 8),
            0x01, static_cast<std::uint8_t>(stored ? p : 0), static_cast<std::uint8_t>(stored ? p >> 8 : 0),
            0xC3, 0x00, 0xBC,                                                  // JP 0xBC00
        };
        EXPECT_EQ(prologue, expected);
    }
}

}  // namespace
