#include "common/disk_image.h"

#include <cstdio>
#include <optional>
#include <strings.h>

namespace {

constexpr std::size_t sector_size = 512;
constexpr std::size_t entry_size = 32;
constexpr std::size_t image_360k = 368640;
constexpr std::size_t image_720k = 737280;
constexpr std::uint32_t max_fat12_clusters = 4084;
constexpr std::uint16_t end_of_chain = 0xFF8;  // this and above end a chain
constexpr std::uint16_t bad_cluster = 0xFF7;
constexpr std::uint8_t attribute_volume = 0x08;
constexpr std::uint8_t attribute_directory = 0x10;

std::uint16_t word_at(std::span<const std::uint8_t> b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

std::uint32_t dword_at(std::span<const std::uint8_t> b, std::size_t at)
{
    return word_at(b, at) | std::uint32_t(word_at(b, at + 2)) << 16;
}

struct Layout {
    std::uint32_t cluster_sectors = 0;
    std::uint32_t fat_start = 0;  // sectors from the start of the volume
    std::uint32_t root_start = 0;
    std::uint32_t root_entries = 0;
    std::uint32_t data_start = 0;
    std::uint32_t clusters = 0;   // data clusters, numbered from 2

    std::uint32_t cluster_bytes() const { return cluster_sectors * sector_size; }
    std::uint32_t last_cluster() const { return clusters + 1; }
};

// The layout these parameters give a volume of `image_size` bytes, if they
// describe one that fits it.
std::optional<Layout> layout_of(std::uint32_t cluster_sectors, std::uint32_t reserved, std::uint32_t fats,
                                std::uint32_t root_entries, std::uint32_t sectors, std::uint32_t fat_sectors,
                                std::size_t image_size)
{
    bool power_of_two = cluster_sectors != 0 && (cluster_sectors & (cluster_sectors - 1)) == 0;
    if (!power_of_two || cluster_sectors > 8 || reserved < 1 || fats < 1 || fats > 2 || root_entries == 0
        || root_entries % (sector_size / entry_size) != 0 || sectors != image_size / sector_size || fat_sectors < 1)
        return std::nullopt;
    Layout l;
    l.cluster_sectors = cluster_sectors;
    l.fat_start = reserved;
    l.root_start = reserved + fats * fat_sectors;
    l.root_entries = root_entries;
    l.data_start = l.root_start + root_entries * entry_size / sector_size;
    if (l.data_start >= sectors)
        return std::nullopt;
    l.clusters = (sectors - l.data_start) / cluster_sectors;
    std::uint32_t fat_bytes_needed = ((l.clusters + 2) * 3 + 1) / 2;
    if (l.clusters == 0 || l.clusters > max_fat12_clusters || fat_bytes_needed > fat_sectors * sector_size)
        return std::nullopt;
    return l;
}

// The boot sector's parameters; where they describe no volume of the
// image's size, the standard layout of the media byte that opens the FAT,
// as MSX-DOS 1 itself takes it.
std::optional<Layout> read_layout(std::span<const std::uint8_t> image)
{
    if (word_at(image, 11) == sector_size) {
        if (auto l = layout_of(image[13], word_at(image, 14), image[16], word_at(image, 17), word_at(image, 19),
                               word_at(image, 22), image.size()))
            return l;
    }
    std::uint8_t media = image[sector_size];
    if (media == 0xF8)  // one side, 80 tracks, 9 sectors
        return layout_of(2, 1, 2, 112, 720, 2, image.size());
    if (media == 0xF9)  // two sides
        return layout_of(2, 1, 2, 112, 1440, 3, image.size());
    return std::nullopt;
}

std::uint16_t fat_entry(std::span<const std::uint8_t> image, const Layout& l, std::uint32_t cluster)
{
    std::size_t at = l.fat_start * sector_size + cluster * 3 / 2;
    std::uint16_t pair = word_at(image, at);
    return cluster % 2 == 0 ? pair & 0x0FFF : pair >> 4;
}

// The file's data along its cluster chain, or why it can't be read.
std::string read_chain(std::span<const std::uint8_t> image, const Layout& l, std::uint16_t first, std::uint32_t size,
                       std::vector<std::uint8_t>& data)
{
    if (size == 0)
        return {};
    std::uint32_t needed = (size + l.cluster_bytes() - 1) / l.cluster_bytes();
    if (needed > l.clusters)
        return "its size (" + std::to_string(size) + " bytes) is more than the volume holds";
    std::vector<bool> seen(l.last_cluster() + 1, false);
    std::uint32_t cluster = first;
    for (std::uint32_t n = 0; n < needed; ++n) {
        if (n > 0) {
            std::uint16_t next = fat_entry(image, l, cluster);
            if (next >= end_of_chain)
                return "its cluster chain ends after " + std::to_string(n) + " clusters, its size ("
                       + std::to_string(size) + " bytes) needs " + std::to_string(needed);
            if (next == 0)
                return "its cluster chain runs into free cluster 0 after cluster " + std::to_string(cluster);
            if (next == bad_cluster)
                return "its cluster chain runs into a cluster marked bad after cluster " + std::to_string(cluster);
            cluster = next;
        }
        if (cluster < 2 || cluster > l.last_cluster())
            return "cluster " + std::to_string(cluster) + " of its chain is outside the volume (clusters 2 to "
                   + std::to_string(l.last_cluster()) + ")";
        if (seen[cluster])
            return "its cluster chain loops back to cluster " + std::to_string(cluster);
        seen[cluster] = true;
        std::size_t at = (l.data_start + (cluster - 2) * l.cluster_sectors) * sector_size;
        std::uint32_t take = std::min(l.cluster_bytes(), size - n * l.cluster_bytes());
        data.insert(data.end(), image.begin() + std::ptrdiff_t(at), image.begin() + std::ptrdiff_t(at + take));
    }
    return {};
}

DiskImage failed(std::string reason)
{
    return {{}, {}, std::move(reason)};
}

}  // namespace

DiskImage read_disk_image(std::span<const std::uint8_t> image)
{
    if (image.size() != image_360k && image.size() != image_720k)
        return failed("a 360K or 720K disk image has 368640 or 737280 bytes, this one has "
                      + std::to_string(image.size()));
    std::optional<Layout> layout = read_layout(image);
    if (!layout) {
        char media[8];
        std::snprintf(media, sizeof media, "%02Xh", image[sector_size]);
        return failed(std::string("neither its boot sector nor its media byte (") + media
                      + ") describes a volume of its size");
    }
    const Layout& l = *layout;
    DiskImage result;
    for (std::uint32_t e = 0; e < l.root_entries; ++e) {
        std::size_t at = l.root_start * sector_size + e * entry_size;
        std::uint8_t first = image[at];
        std::uint8_t attributes = image[at + 11];
        if (first == 0x00)
            break;  // never used: the end of the directory
        if (first == 0xE5 || (attributes & attribute_volume))
            continue;  // deleted, or the volume's label
        std::string name(image.begin() + std::ptrdiff_t(at), image.begin() + std::ptrdiff_t(at + 11));
        if (first == 0x05)
            name[0] = char(0xE5);  // a name that really begins with E5h
        if (attributes & attribute_directory) {
            result.skipped.push_back(disk_display_name(name));
            continue;
        }
        DiskFile file{name, {}};
        std::string problem = read_chain(image, l, word_at(image, at + 26), dword_at(image, at + 28), file.data);
        if (!problem.empty())
            return failed("the file " + disk_display_name(name) + ": " + problem);
        result.files.push_back(std::move(file));
    }
    return result;
}

std::string disk_display_name(std::string_view entry_name)
{
    auto trimmed = [](std::string_view part) {
        std::size_t end = part.find_last_not_of(' ');
        return std::string(end == std::string_view::npos ? std::string_view() : part.substr(0, end + 1));
    };
    std::string name = trimmed(entry_name.substr(0, 8));
    std::string extension = trimmed(entry_name.substr(8, 3));
    return extension.empty() ? name : name + "." + extension;
}

bool is_disk_name(std::string_view path)
{
    return path.size() >= 4 && ::strcasecmp(std::string(path.substr(path.size() - 4)).c_str(), ".dsk") == 0;
}
