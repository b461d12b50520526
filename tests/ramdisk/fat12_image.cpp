#include "fat12_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace fat12 {

namespace {

constexpr std::uint32_t entry_size = 32;
constexpr std::uint16_t end_of_chain = 0xFF8;  // this and above end a chain
constexpr std::uint16_t bad_cluster = 0xFF7;

std::uint16_t word(std::span<const std::uint8_t> b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }
std::uint32_t dword(std::span<const std::uint8_t> b, std::size_t at)
{
    return word(b, at) | std::uint32_t(word(b, at + 2)) << 16;
}

// The volume's geometry, from the boot sector's parameter block.
struct Layout {
    std::uint32_t sector_size = 0;
    std::uint32_t cluster_sectors = 0;
    std::uint32_t fat_start = 0;    // in sectors
    std::uint32_t fat_count = 0;
    std::uint32_t fat_sectors = 0;
    std::uint32_t root_start = 0;
    std::uint32_t root_entries = 0;
    std::uint32_t data_start = 0;
    std::uint32_t sectors = 0;
    std::uint32_t clusters = 0;
    std::uint8_t media = 0;

    std::size_t offset(std::uint32_t sector) const { return std::size_t(sector) * sector_size; }
    std::size_t cluster_offset(std::uint32_t cluster) const
    {
        return offset(data_start + (cluster - 2) * cluster_sectors);
    }
    std::uint32_t cluster_bytes() const { return cluster_sectors * sector_size; }
};

std::optional<Layout> read_layout(std::span<const std::uint8_t> image, std::vector<std::string>& problems)
{
    if (image.size() < 512) {
        problems.push_back("image smaller than one sector");
        return std::nullopt;
    }
    Layout l;
    l.sector_size = word(image, 11);
    l.cluster_sectors = image[13];
    l.fat_start = word(image, 14);
    l.fat_count = image[16];
    l.root_entries = word(image, 17);
    l.sectors = word(image, 19);
    if (l.sectors == 0)
        l.sectors = dword(image, 32);
    l.media = image[21];
    l.fat_sectors = word(image, 22);
    if (!(image[0] == 0xEB || image[0] == 0xE9))
        problems.push_back("boot sector does not start with a jump");
    if (l.sector_size != 512 || l.cluster_sectors == 0 || (l.cluster_sectors & (l.cluster_sectors - 1)) != 0
        || l.fat_start == 0 || l.fat_count == 0 || l.fat_sectors == 0 || l.root_entries == 0
        || l.root_entries % 16 != 0) {
        problems.push_back("boot sector parameters are not those of a FAT12 volume");
        return std::nullopt;
    }
    l.root_start = l.fat_start + l.fat_count * l.fat_sectors;
    l.data_start = l.root_start + l.root_entries * entry_size / l.sector_size;
    if (l.sectors <= l.data_start || l.offset(l.sectors) > image.size()) {
        problems.push_back("volume size does not fit the image");
        return std::nullopt;
    }
    l.clusters = (l.sectors - l.data_start) / l.cluster_sectors;
    if (l.clusters >= 4085 || (l.clusters + 2) * 3 / 2 > l.fat_sectors * l.sector_size) {
        problems.push_back("FAT too small for the volume, or not FAT12");
        return std::nullopt;
    }
    return l;
}

std::uint16_t fat_entry(std::span<const std::uint8_t> image, const Layout& l, std::uint32_t n)
{
    std::size_t at = l.offset(l.fat_start) + n * 3 / 2;
    std::uint16_t pair = word(image, at);
    return n % 2 ? std::uint16_t(pair >> 4) : std::uint16_t(pair & 0xFFF);
}

void set_fat_entry(std::vector<std::uint8_t>& image, const Layout& l, std::uint32_t n, std::uint16_t value)
{
    for (std::uint32_t copy = 0; copy < l.fat_count; ++copy) {
        std::size_t at = l.offset(l.fat_start + copy * l.fat_sectors) + n * 3 / 2;
        std::uint16_t pair = std::uint16_t(image[at] | image[at + 1] << 8);
        pair = n % 2 ? std::uint16_t((pair & 0x000F) | value << 4) : std::uint16_t((pair & 0xF000) | value);
        image[at] = std::uint8_t(pair);
        image[at + 1] = std::uint8_t(pair >> 8);
    }
}

std::string entry_name(std::span<const std::uint8_t> entry)
{
    auto trimmed = [&](std::size_t from, std::size_t length) {
        std::string text(reinterpret_cast<const char*>(entry.data()) + from, length);
        text.erase(text.find_last_not_of(' ') + 1);
        return text;
    };
    std::string name = trimmed(0, 8), extension = trimmed(8, 3);
    return extension.empty() ? name : name + "." + extension;
}

// The 11 bytes of a directory entry's name for "NAME.EXT", upper-cased.
std::optional<std::string> directory_form(std::string_view name)
{
    std::string form(11, ' ');
    std::size_t dot = name.find('.');
    std::string_view stem = name.substr(0, dot);
    std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (stem.empty() || stem.size() > 8 || extension.size() > 3)
        return std::nullopt;
    for (std::size_t i = 0; i < stem.size(); ++i)
        form[i] = char(std::toupper(static_cast<unsigned char>(stem[i])));
    for (std::size_t i = 0; i < extension.size(); ++i)
        form[8 + i] = char(std::toupper(static_cast<unsigned char>(extension[i])));
    return form;
}

bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// Walks a chain; the clusters in order, or nothing when it leaves the volume
// or runs into a free or bad cluster or into itself.
std::optional<std::vector<std::uint16_t>> chain(std::span<const std::uint8_t> image, const Layout& l,
                                                std::uint16_t first)
{
    std::vector<std::uint16_t> clusters;
    std::vector<bool> seen(l.clusters + 2, false);
    for (std::uint16_t c = first; c < end_of_chain; c = fat_entry(image, l, c)) {
        if (c < 2 || c >= l.clusters + 2 || c == bad_cluster || seen[c])
            return std::nullopt;
        seen[c] = true;
        clusters.push_back(c);
    }
    return clusters;
}

}  // namespace

Report check(std::span<const std::uint8_t> image)
{
    Report report;
    std::optional<Layout> layout = read_layout(image, report.problems);
    if (!layout)
        return report;
    const Layout& l = *layout;
    report.clusters = l.clusters;

    if (fat_entry(image, l, 0) != (0xF00 | l.media) || fat_entry(image, l, 1) != 0xFFF)
        report.problems.push_back("FAT does not begin with the media byte and 0xFFF");
    for (std::uint32_t copy = 1; copy < l.fat_count; ++copy) {
        std::size_t size = l.offset(l.fat_sectors);
        if (!std::equal(image.begin() + long(l.offset(l.fat_start)), image.begin() + long(l.offset(l.fat_start) + size),
                        image.begin() + long(l.offset(l.fat_start + copy * l.fat_sectors))))
            report.problems.push_back("FAT copy " + std::to_string(copy + 1) + " differs from the first");
    }

    std::vector<int> owner(l.clusters + 2, -1);  // directory index using each cluster
    for (std::uint32_t i = 0; i < l.root_entries; ++i) {
        std::span<const std::uint8_t> entry = image.subspan(l.offset(l.root_start) + i * entry_size, entry_size);
        if (entry[0] == 0x00)
            break;
        if (entry[0] == 0xE5 || (entry[11] & 0x08))
            continue;  // deleted, or the volume label
        DirEntry file{entry_name(entry), entry[11], word(entry, 26), dword(entry, 28)};
        for (const DirEntry& other : report.files)
            if (same_name(other.name, file.name))
                report.problems.push_back(file.name + ": name used twice");
        std::uint32_t wanted = (file.size + l.cluster_bytes() - 1) / l.cluster_bytes();
        if (file.size == 0 && file.first_cluster == 0) {
            report.files.push_back(file);
            continue;
        }
        std::optional<std::vector<std::uint16_t>> clusters = chain(image, l, file.first_cluster);
        if (!clusters) {
            report.problems.push_back(file.name + ": broken cluster chain");
        } else {
            if (clusters->size() != wanted)
                report.problems.push_back(file.name + ": " + std::to_string(clusters->size()) + " clusters for "
                                          + std::to_string(file.size) + " bytes");
            for (std::uint16_t c : *clusters) {
                if (owner[c] >= 0)
                    report.problems.push_back(file.name + ": cluster " + std::to_string(c) + " cross-linked");
                owner[c] = int(i);
            }
        }
        report.files.push_back(file);
    }

    for (std::uint32_t c = 2; c < l.clusters + 2; ++c) {
        std::uint16_t value = fat_entry(image, l, c);
        if (value == 0)
            ++report.free_clusters;
        else if (owner[c] < 0 && value != bad_cluster)
            report.problems.push_back("cluster " + std::to_string(c) + " allocated but in no file");
    }
    return report;
}

std::optional<std::vector<std::uint8_t>> read_file(std::span<const std::uint8_t> image, std::string_view name)
{
    std::vector<std::string> problems;
    std::optional<Layout> layout = read_layout(image, problems);
    if (!layout)
        return std::nullopt;
    const Layout& l = *layout;
    for (std::uint32_t i = 0; i < l.root_entries; ++i) {
        std::span<const std::uint8_t> entry = image.subspan(l.offset(l.root_start) + i * entry_size, entry_size);
        if (entry[0] == 0x00)
            break;
        if (entry[0] == 0xE5 || (entry[11] & 0x08) || !same_name(entry_name(entry), name))
            continue;
        std::uint32_t size = dword(entry, 28);
        std::vector<std::uint8_t> data;
        if (size == 0)
            return data;
        std::optional<std::vector<std::uint16_t>> clusters = chain(image, l, word(entry, 26));
        if (!clusters || std::size_t(clusters->size()) * l.cluster_bytes() < size)
            return std::nullopt;
        for (std::uint16_t c : *clusters) {
            std::size_t at = l.cluster_offset(c);
            std::size_t take = std::min<std::size_t>(l.cluster_bytes(), size - data.size());
            data.insert(data.end(), image.begin() + long(at), image.begin() + long(at + take));
            if (data.size() == size)
                break;
        }
        return data;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> format_ram_disk(std::uint32_t sectors)
{
    std::vector<std::uint8_t> image(std::size_t(sectors) * 512, 0);
    const std::uint8_t boot[] = {0xEB, 0xFE, 0x90, 'C', 'A', 'S', 'S', 'O', 'N', 'I', 'C',
                                 0x00, 0x02,  // 512 bytes per sector
                                 0x01,        // 1 sector per cluster
                                 0x01, 0x00,  // 1 reserved sector
                                 0x01,        // 1 FAT
                                 0x40, 0x00,  // 64 root entries
                                 std::uint8_t(sectors), std::uint8_t(sectors >> 8),
                                 0xF8,        // media
                                 0x02, 0x00,  // 2 sectors per FAT
                                 0x20, 0x00,  // 32 sectors per track
                                 0x01, 0x00,  // 1 head
                                 0x00, 0x00}; // no hidden sectors
    std::copy(std::begin(boot), std::end(boot), image.begin());
    image[512] = 0xF8;
    image[513] = 0xFF;
    image[514] = 0xFF;
    return image;
}

bool add_file(std::vector<std::uint8_t>& image, std::string_view name, std::span<const std::uint8_t> data)
{
    std::vector<std::string> problems;
    std::optional<Layout> layout = read_layout(image, problems);
    std::optional<std::string> form = directory_form(name);
    if (!layout || !form)
        return false;
    const Layout& l = *layout;
    std::size_t slot = 0;
    for (; slot < l.root_entries; ++slot) {
        std::uint8_t first = image[l.offset(l.root_start) + slot * entry_size];
        if (first == 0x00 || first == 0xE5)
            break;
    }
    if (slot == l.root_entries)
        return false;

    std::uint32_t wanted = std::uint32_t((data.size() + l.cluster_bytes() - 1) / l.cluster_bytes());
    std::vector<std::uint16_t> clusters;
    for (std::uint16_t c = 2; c < l.clusters + 2 && clusters.size() < wanted; ++c)
        if (fat_entry(image, l, c) == 0)
            clusters.push_back(c);
    if (clusters.size() < wanted)
        return false;
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        set_fat_entry(image, l, clusters[i], i + 1 < clusters.size() ? clusters[i + 1] : 0xFFF);
        std::size_t from = i * l.cluster_bytes();
        std::size_t take = std::min<std::size_t>(l.cluster_bytes(), data.size() - from);
        std::copy_n(data.begin() + long(from), take, image.begin() + long(l.cluster_offset(clusters[i])));
    }

    std::uint8_t* entry = &image[l.offset(l.root_start) + slot * entry_size];
    std::memset(entry, 0, entry_size);
    std::memcpy(entry, form->data(), 11);
    entry[24] = 0x21;  // date 1980-01-01
    std::uint16_t first = clusters.empty() ? 0 : clusters.front();
    entry[26] = std::uint8_t(first);
    entry[27] = std::uint8_t(first >> 8);
    for (int i = 0; i < 4; ++i)
        entry[28 + i] = std::uint8_t(data.size() >> (8 * i));
    return true;
}

}  // namespace fat12
