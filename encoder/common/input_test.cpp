#include "common/input.h"

#include <gtest/gtest.h>

#include "assets/images.h"

namespace {

// The three RAM-disk parameters after loading `keyword`.
std::vector<int> ramdos_parameters(const char* keyword)
{
    load_input(keyword);
    std::vector<int> parameters = {current_input.data[7], current_input.data[8], current_input.data[9]};
    release_input();
    return parameters;
}

}  // namespace

TEST(LoadInput, RamdosSuffixSetsThePagesByPosition)
{
    EXPECT_EQ(ramdos_parameters("RAMDOS"), std::vector<int>({7, 3, 1}));
    EXPECT_EQ(ramdos_parameters("RAMDOS."), std::vector<int>({7, 3, 1}));
    EXPECT_EQ(ramdos_parameters("RAMDOS.0"), std::vector<int>({0, 3, 1}));
    EXPECT_EQ(ramdos_parameters("RAMDOS.78"), std::vector<int>({7, 8, 1}));
    EXPECT_EQ(ramdos_parameters("RAMDOS.73n"), std::vector<int>({7, 3, 0}));
    EXPECT_EQ(ramdos_parameters("RAMDOS.51n"), std::vector<int>({5, 1, 0}));
}

// Only RAMDOS with its digits is the keyword; other names that begin with
// it are files.
TEST(LoadInput, RamdosKeywordIsExact)
{
    for (const char* keyword : {"RAMDOS", "RAMDOS.", "RAMDOS.7", "RAMDOS.73", "RAMDOS.73n", "RAMDOS.8", "RAMDOS.90"})
        EXPECT_TRUE(is_ramdos_keyword(keyword)) << keyword;
    for (const char* path : {"RAMDOS.COM", "RAMDOS.73x", "RAMDOSX73", "RAMDOS.73nn", "RAMDOS.7a", "RAMDOS..",
                             "ramdos", "RAMDOS/x.bin", "RAMDOS.bin"})
        EXPECT_FALSE(is_ramdos_keyword(path)) << path;
    EXPECT_TRUE(is_keyword("LOADER"));
    EXPECT_FALSE(is_keyword("LOADER.BIN"));
}

TEST(LoadInput, BuiltInImagesAreTakenWholeAndUnchanged)
{
    load_input("LOADER");
    std::span<const std::uint8_t> loader = loader_image();
    EXPECT_EQ(current_input.size, loader.size());
    EXPECT_TRUE(std::equal(loader.begin(), loader.end(), current_input.data.begin()));
    EXPECT_EQ(current_input.position, 0u);
    EXPECT_EQ(current_input.handle, -1);
    BinHeader header = BinHeader::read(current_input.data.data());
    EXPECT_EQ(header.start, 0xE400);
    EXPECT_EQ(header.exec, 0xE400);
    EXPECT_EQ(header.end, 0xE400 + loader.size() - 8);
    release_input();
    EXPECT_FALSE(current_input.loaded);

    load_input("RAMDOS");
    header = BinHeader::read(current_input.data.data());
    EXPECT_EQ(header.start, 0x8300);
    EXPECT_EQ(header.exec, 0x8304);
    EXPECT_EQ(current_input.size, ramdos_image().size());
    release_input();
}
