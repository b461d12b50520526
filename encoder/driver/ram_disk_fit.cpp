#include "driver/ram_disk_fit.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <string>

#include "assets/images.h"
#include "common/disk_image.h"

namespace {

// The RAM disk: 16K pages of 32 sectors, one sector per cluster, seven of
// them for the boot sector, the FAT and the 64 directory entries.
constexpr std::uint32_t cluster_bytes = 512;
constexpr std::uint32_t clusters_per_page = 32;
constexpr std::uint32_t system_sectors = 7;
constexpr std::uint32_t directory_entries = 64;

struct RamDisk {
    bool chosen = false;
    std::string keyword;
    std::uint32_t clusters = 0;
    std::uint32_t system_clusters = 0;
    std::uint32_t system_entries = 0;
    std::map<std::string, std::uint32_t> files;  // name -> clusters
    bool noted = false;
};
RamDisk disk;

std::uint32_t clusters_of(std::size_t size)
{
    return std::uint32_t((size + cluster_bytes - 1) / cluster_bytes);
}

}  // namespace

void ram_disk_chosen(std::string_view keyword, std::span<const std::uint8_t> image)
{
    // Data bytes 0 to 2 of the image: video RAM pages, RAM pages, system files.
    disk = RamDisk{};
    disk.chosen = true;
    disk.keyword = std::string(keyword);
    std::uint32_t pages = std::uint32_t(image[7]) + image[8];
    disk.clusters = pages * clusters_per_page - system_sectors;
    if (image[9] != 0) {
        for (std::size_t size : ramdos_system_file_sizes())
            disk.system_clusters += clusters_of(size);
        disk.system_entries = std::uint32_t(ramdos_system_file_sizes().size());
    }
}

void ram_disk_add_file(std::string_view dos_name, std::uint32_t size)
{
    if (!disk.chosen || disk.noted)
        return;
    std::string name(dos_name);
    for (char& c : name)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    disk.files.erase(name);
    std::uint32_t before = disk.system_clusters;
    for (const auto& file : disk.files)
        before += file.second;
    std::uint32_t entries = disk.system_entries + std::uint32_t(disk.files.size()) + 1;
    std::uint32_t needed = clusters_of(size);
    disk.files[name] = needed;

    std::string shown = disk_display_name(name);
    if (before + needed > disk.clusters) {
        std::printf("\nNote: %s will not fit the RAM disk chosen (%s: %u bytes for files, %u taken before it, "
                    "%u needed): K7 will stop there\n",
                    shown.c_str(), disk.keyword.c_str(), disk.clusters * cluster_bytes, before * cluster_bytes,
                    needed * cluster_bytes);
        disk.noted = true;
    } else if (entries > directory_entries) {
        std::printf("\nNote: %s will not fit the RAM disk chosen (%s: %u directory entries, all taken before it): "
                    "K7 will stop there\n",
                    shown.c_str(), disk.keyword.c_str(), directory_entries);
        disk.noted = true;
    }
}
