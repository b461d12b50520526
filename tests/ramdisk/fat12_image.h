#pragma once
// FAT12 disk images for the tests of the RAM-disk DOS: a checker that reads
// an image as MSX-DOS would and reports everything inconsistent in it, and
// the few writers the tests need to build images of their own.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fat12 {

struct DirEntry {
    std::string name;            // "NAME.EXT", or "NAME" without an extension
    std::uint8_t attributes = 0;
    std::uint16_t first_cluster = 0;
    std::uint32_t size = 0;
};

struct Report {
    std::vector<std::string> problems;  // empty for a consistent image
    std::vector<DirEntry> files;        // in directory order
    std::uint32_t clusters = 0;         // data clusters of the volume
    std::uint32_t free_clusters = 0;
    bool ok() const { return problems.empty(); }
};

// Checks the boot sector's parameters, the FAT copies, every directory entry
// and its cluster chain (in range, not free, no cross-links, length matching
// the size) and that no allocated cluster is lost.
Report check(std::span<const std::uint8_t> image);

// The contents of the file `name` ("NAME.EXT", case ignored), if the image
// holds it with a readable chain.
std::optional<std::vector<std::uint8_t>> read_file(std::span<const std::uint8_t> image, std::string_view name);

// An empty volume of `sectors` 512-byte sectors laid out as the RAM disk is:
// 1 reserved sector, one FAT of 2 sectors, 64 root entries, 1 sector per
// cluster, media 0xF8.
std::vector<std::uint8_t> format_ram_disk(std::uint32_t sectors);

// Adds a file in the first free directory entry and free clusters; false
// when the directory or the volume is full.
bool add_file(std::vector<std::uint8_t>& image, std::string_view name, std::span<const std::uint8_t> data);

}  // namespace fat12
