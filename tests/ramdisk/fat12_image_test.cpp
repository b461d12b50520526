#include "fat12_image.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> bytes(std::size_t size, unsigned seed)
{
    return test_support::seeded_bytes(size, seed);
}

// An image with three files: one of several clusters, one empty, one small.
std::vector<std::uint8_t> sample_image()
{
    std::vector<std::uint8_t> image = fat12::format_ram_disk(320);
    EXPECT_TRUE(fat12::add_file(image, "game.com", bytes(1300, 1)));
    EXPECT_TRUE(fat12::add_file(image, "EMPTY", {}));
    EXPECT_TRUE(fat12::add_file(image, "d.txt", bytes(10, 2)));
    return image;
}

// The FAT entry of cluster n in the image's (single) FAT, at sector 1.
void set_fat(std::vector<std::uint8_t>& image, unsigned n, unsigned value)
{
    std::size_t at = 512 + n * 3 / 2;
    unsigned pair = image[at] | image[at + 1] << 8;
    pair = n % 2 ? (pair & 0x000F) | value << 4 : (pair & 0xF000) | value;
    image[at] = std::uint8_t(pair);
    image[at + 1] = std::uint8_t(pair >> 8);
}

std::size_t entry(unsigned index) { return 3 * 512 + index * 32; }

}  // namespace

TEST(Fat12Image, AnEmptyRamDiskHasEveryDataClusterFree)
{
    for (unsigned sectors : {32u, 320u, 480u}) {
        fat12::Report report = fat12::check(fat12::format_ram_disk(sectors));
        EXPECT_TRUE(report.ok()) << sectors << ": " << (report.problems.empty() ? "" : report.problems[0]);
        EXPECT_EQ(report.clusters, sectors - 7);
        EXPECT_EQ(report.free_clusters, sectors - 7);
        EXPECT_TRUE(report.files.empty());
    }
}

TEST(Fat12Image, FilesReadBackWithTheirNamesUpperCased)
{
    std::vector<std::uint8_t> image = sample_image();
    fat12::Report report = fat12::check(image);
    ASSERT_TRUE(report.ok()) << report.problems[0];
    ASSERT_EQ(report.files.size(), 3u);
    EXPECT_EQ(report.files[0].name, "GAME.COM");
    EXPECT_EQ(report.files[1].name, "EMPTY");
    EXPECT_EQ(report.files[2].name, "D.TXT");
    EXPECT_EQ(report.free_clusters, 313u - 3 - 1);
    EXPECT_EQ(fat12::read_file(image, "Game.Com"), bytes(1300, 1));
    EXPECT_EQ(fat12::read_file(image, "empty"), std::vector<std::uint8_t>());
    EXPECT_EQ(fat12::read_file(image, "d.txt"), bytes(10, 2));
    EXPECT_FALSE(fat12::read_file(image, "none.txt"));
}

TEST(Fat12Image, InconsistenciesAreReported)
{
    auto problems = [](const std::vector<std::uint8_t>& image) {
        fat12::Report report = fat12::check(image);
        std::string all;
        for (const std::string& p : report.problems)
            all += p + "\n";
        return all;
    };
    std::vector<std::uint8_t> image = sample_image();

    std::vector<std::uint8_t> wrong_size = image;
    wrong_size[entry(2) + 28] = 0x00;
    wrong_size[entry(2) + 29] = 0x04;  // 1024 bytes in one cluster
    EXPECT_NE(problems(wrong_size).find("D.TXT: 1 clusters for 1024 bytes"), std::string::npos);

    std::vector<std::uint8_t> cross = image;
    cross[entry(2) + 26] = 3;  // D.TXT starts inside GAME.COM's chain
    EXPECT_NE(problems(cross).find("cross-linked"), std::string::npos);
    EXPECT_NE(problems(cross).find("cluster 5 allocated but in no file"), std::string::npos);

    std::vector<std::uint8_t> broken = image;
    set_fat(broken, 3, 0);  // GAME.COM's chain runs into a free cluster
    EXPECT_NE(problems(broken).find("GAME.COM: broken cluster chain"), std::string::npos);

    std::vector<std::uint8_t> lost = image;
    set_fat(lost, 100, 0xFFF);
    EXPECT_EQ(problems(lost), "cluster 100 allocated but in no file\n");

    std::vector<std::uint8_t> twice = image;
    std::copy_n(twice.begin() + long(entry(0)), 11, twice.begin() + long(entry(2)));
    EXPECT_NE(problems(twice).find("GAME.COM: name used twice"), std::string::npos);

    std::vector<std::uint8_t> bad_boot = image;
    bad_boot[13] = 3;  // 3 sectors per cluster
    EXPECT_NE(problems(bad_boot).find("boot sector parameters"), std::string::npos);

    std::vector<std::uint8_t> bad_media = image;
    bad_media[512] = 0xF9;
    EXPECT_NE(problems(bad_media).find("media byte"), std::string::npos);

    std::vector<std::uint8_t> short_image(image.begin(), image.begin() + 100 * 512);
    EXPECT_NE(problems(short_image).find("does not fit the image"), std::string::npos);
}

TEST(Fat12Image, AFullVolumeTakesNoMore)
{
    std::vector<std::uint8_t> image = fat12::format_ram_disk(32);  // 25 clusters
    EXPECT_TRUE(fat12::add_file(image, "big.dat", bytes(24 * 512, 3)));
    EXPECT_FALSE(fat12::add_file(image, "more.dat", bytes(513, 4)));
    EXPECT_TRUE(fat12::add_file(image, "last.dat", bytes(512, 5)));
    fat12::Report report = fat12::check(image);
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.free_clusters, 0u);
}
