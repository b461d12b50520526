// DSK images made with mtools, laid out as MSX-DOS 1 formats its floppies,
// read back for the files of their root directory.

#include <gtest/gtest.h>

#include "common/disk_image.h"
#include "test_support.h"

namespace {

using namespace test_support;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t fat_at = 512;  // the first FAT, after the boot sector
constexpr std::size_t root_at = 7 * 512;  // 720K: boot sector, two FATs of three sectors

Bytes pattern(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t((i * seed) ^ (i >> 7));
    return bytes;
}

class DiskImageTest : public ::testing::Test {
protected:
    ScratchDir dir;
    const Bytes big = pattern(50000, 7);  // 49 clusters of 1K
    const Bytes notes = pattern(700, 3);

    void mtools(const std::string& command) { ASSERT_TRUE(run_shell(command, dir.path())) << command; }

    // A formatted floppy with a label, a large file, an empty one, a
    // subdirectory, a small file and a deleted one; its bytes.
    Bytes make_disk(bool two_sides)
    {
        const std::string geometry = two_sides ? "-f 720" : "-t 80 -h 1 -s 9 -c 2 -r 7 -L 2 -m 0xF8";
        write_file(dir.file("big.dat"), big);
        write_file(dir.file("notes.txt"), notes);
        write_file(dir.file("empty"), {});
        mtools("rm -f disk.dsk && mformat -C -i disk.dsk " + geometry + " -v VOLUME ::");
        mtools("mcopy -i disk.dsk big.dat ::BIG.DAT && mcopy -i disk.dsk notes.txt ::GONE.TXT");
        mtools("mcopy -i disk.dsk empty ::EMPTY && mmd -i disk.dsk ::SUB && mcopy -i disk.dsk notes.txt ::NOTES.TXT");
        mtools("mdel -i disk.dsk ::GONE.TXT");
        return read_file(dir.file("disk.dsk"));
    }
};

std::string error_of(const Bytes& image)
{
    const DiskImage read = read_disk_image(image);
    EXPECT_TRUE(read.files.empty());
    return read.error;
}

void set_fat(Bytes& image, std::uint32_t cluster, std::uint16_t value)
{
    std::size_t at = fat_at + cluster * 3 / 2;
    if (cluster % 2 == 0) {
        image[at] = std::uint8_t(value);
        image[at + 1] = std::uint8_t((image[at + 1] & 0xF0) | (value >> 8));
    } else {
        image[at] = std::uint8_t((image[at] & 0x0F) | (value << 4));
        image[at + 1] = std::uint8_t(value >> 4);
    }
}

}  // namespace

// Both sizes: the files in directory order under their 11-character names,
// byte for byte; the label and the deleted file are no files, the
// subdirectory is passed over and said so.  A boot sector without its
// parameters leaves the layout to the media byte, as MSX-DOS 1 does.
TEST_F(DiskImageTest, RootDirectoryFilesInDirectoryOrder)
{
    for (bool two_sides : {true, false}) {
        SCOPED_TRACE(two_sides ? "720K" : "360K");
        Bytes image = make_disk(two_sides);
        ASSERT_EQ(image.size(), two_sides ? 737280u : 368640u);
        for (bool parameters : {true, false}) {
            if (!parameters)
                std::fill(image.begin() + 11, image.begin() + 30, 0);
            const DiskImage read = read_disk_image(image);
            ASSERT_EQ(read.error, "");
            ASSERT_EQ(read.files.size(), 3u);
            EXPECT_EQ(read.files[0].name, "BIG     DAT");
            EXPECT_EQ(read.files[0].data, big);
            EXPECT_EQ(read.files[1].name, "EMPTY      ");
            EXPECT_EQ(read.files[1].data, Bytes());
            EXPECT_EQ(read.files[2].name, "NOTES   TXT");
            EXPECT_EQ(read.files[2].data, notes);
            EXPECT_EQ(read.skipped, std::vector<std::string>{"SUB"});
        }
    }
}

// BIG.DAT begins at cluster 2; each damage is refused with what it is.
TEST_F(DiskImageTest, MalformedImagesAreRefused)
{
    const Bytes image = make_disk(true);
    auto damaged = [&](auto change) {
        Bytes copy = image;
        change(copy);
        return error_of(copy);
    };
    EXPECT_EQ(damaged([](Bytes& d) { d.resize(d.size() - 512); }),
              "a 360K or 720K disk image has 368640 or 737280 bytes, this one has 736768");
    EXPECT_EQ(damaged([](Bytes& d) { std::fill(d.begin() + 11, d.begin() + 30, 0), d[fat_at] = 0xF0; }),
              "neither its boot sector nor its media byte (F0h) describes a volume of its size");
    EXPECT_EQ(damaged([](Bytes& d) { set_fat(d, 3, 2); }),
              "the file BIG.DAT: its cluster chain loops back to cluster 2");
    EXPECT_EQ(damaged([](Bytes& d) { set_fat(d, 2, 0x800); }),
              "the file BIG.DAT: cluster 2048 of its chain is outside the volume (clusters 2 to 714)");
    EXPECT_EQ(damaged([](Bytes& d) { set_fat(d, 2, 0xFFF); }),
              "the file BIG.DAT: its cluster chain ends after 1 clusters, its size (50000 bytes) needs 49");
    EXPECT_EQ(damaged([](Bytes& d) { set_fat(d, 2, 0); }),
              "the file BIG.DAT: its cluster chain runs into free cluster 0 after cluster 2");
    EXPECT_EQ(damaged([](Bytes& d) { set_fat(d, 2, 0xFF7); }),
              "the file BIG.DAT: its cluster chain runs into a cluster marked bad after cluster 2");
    // The label takes entry 0, BIG.DAT entry 1: its first cluster, its size.
    EXPECT_EQ(damaged([](Bytes& d) { d[root_at + 32 + 26] = 0, d[root_at + 32 + 27] = 0; }),
              "the file BIG.DAT: cluster 0 of its chain is outside the volume (clusters 2 to 714)");
    EXPECT_EQ(damaged([](Bytes& d) { d[root_at + 32 + 30] = 0x20; }),
              "the file BIG.DAT: its size (2147152 bytes) is more than the volume holds");
}
