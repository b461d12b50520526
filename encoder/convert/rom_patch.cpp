#include "convert/rom_patch.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "common/input.h"

namespace {

// Built-in patches: checksum, title padded to 25 characters, patch groups.
constexpr const char* rom_patch_table[] = {
    "d5b97504|Twin Bee (Konami)        |4028:22,00,00;40FB:21,00,00",
    "2546dc60|King's Valley (Konami)   |4040:80;409F:83",
    "8276c17c|King's Valley (Konami)   |4040:80;409F:83",
    "37dc33f9|Knight Mare (Konami)     |4028:22,00,00;4055:22,00,00;40CB:21,00,00",
    "740545f8|Yie Ar Kung-Fu 2 (Konami)|4028:22,00,00;4056:22,00,00;40C3:21,00,00",
    "5dc529b7|Pippols (Konami)         |4033:22,00,00;4076:21,00,00",
};

constexpr std::uint32_t cartridge_base = 0x4000;

std::optional<unsigned> hex_digits(std::string_view text, std::size_t at, std::size_t count)
{
    if (at + count > text.size())
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

struct PatchGroup {
    std::uint16_t address = 0;
    std::vector<std::uint8_t> values;
    std::size_t next = 0;  // where the following group begins
};

// Reads the group at `at`: four address digits, one separator, then values
// of two digits each followed by one separator character, ',' between them.
std::optional<PatchGroup> read_group(std::string_view line, std::size_t at)
{
    PatchGroup group;
    auto address = hex_digits(line, at, 4);
    if (!address || at + 4 >= line.size())
        return std::nullopt;
    group.address = std::uint16_t(*address);
    at += 5;
    while (true) {
        auto value = hex_digits(line, at, 2);
        if (!value)
            return std::nullopt;
        group.values.push_back(std::uint8_t(*value));
        bool more = at + 2 < line.size() && line[at + 2] == ',';
        at += 3;
        if (!more)
            break;
    }
    group.next = at;
    return group;
}

bool fits_image(const PatchGroup& group, std::size_t image_size)
{
    std::uint16_t address = group.address;
    for (std::size_t i = 0; i < group.values.size(); ++i, ++address) {
        if (address < cartridge_base || address - cartridge_base >= image_size)
            return false;
    }
    return true;
}

void remove_line_end(std::string& line)
{
    for (int i = 0; i < 2 && !line.empty() && (line.back() == '\r' || line.back() == '\n'); ++i)
        line.pop_back();
}

// The patch file if it is there and a regular file (a FIFO or a device at
// that name is passed over without waiting on it), else nullptr.
std::FILE* open_patch_file()
{
    int fd = ::open(patch_file_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    std::FILE* file = nullptr;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::fcntl(fd, F_SETFL, 0) == 0)
        file = ::fdopen(fd, "r");
    if (!file)
        ::close(fd);
    return file;
}

bool search_patch_file(std::string_view checksum, std::span<std::uint8_t> image)
{
    std::FILE* file = open_patch_file();
    if (!file)
        return false;
    std::printf("Looking for checksum %s in %s... ", std::string(checksum).c_str(), patch_file_name);
    int found = apply_patch_lines(file, checksum, image);
    std::fclose(file);
    if (found == 0)
        std::printf("not found.\n");
    return true;
}

void search_built_in_table(std::string_view checksum, std::span<std::uint8_t> image)
{
    std::printf("Looking for checksum %s in internal database... ", std::string(checksum).c_str());
    bool found = false;
    for (const char* record : rom_patch_table) {
        if (std::string_view(record).substr(0, 8) != checksum)
            continue;
        found = true;
        std::printf("found !\n");
        apply_patch_line(record, image);
    }
    if (!found)
        std::printf("not found.\n");
}

}  // namespace

std::uint32_t rom_checksum(std::span<const std::uint8_t> image)
{
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < 8192; at += 4) {
        std::uint32_t word = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            if (at + i < image.size())
                word |= std::uint32_t(image[at + i]) << (8 * i);
        }
        sum += word;
    }
    return sum;
}

void apply_patch_line(std::string_view line, std::span<std::uint8_t> image)
{
    std::size_t title_end = line.size() > 9 ? line.find('|', 9) : std::string_view::npos;
    if (title_end == std::string_view::npos) {
        std::printf("Skipped malformed patch line: %s\n", std::string(line).c_str());
        return;
    }
    std::printf("Detected ROM: %s\n", std::string(line.substr(9, title_end - 9)).c_str());

    std::size_t at = title_end + 1;
    while (at < line.size()) {
        std::optional<PatchGroup> group = read_group(line, at);
        if (!group) {
            std::printf("Skipped malformed patch: %s\n", std::string(line.substr(at)).c_str());
            return;
        }
        std::string_view text = line.substr(at, std::min(group->next, line.size()) - at);
        at = group->next;
        if (!fits_image(*group, image.size())) {
            std::printf("Skipped patch outside the ROM image: %s\n", std::string(text).c_str());
            continue;
        }
        std::printf("%04x:", group->address);
        std::uint16_t address = group->address;
        for (std::uint8_t value : group->values) {
            std::uint8_t& byte = image[address - cartridge_base];
            std::printf("%02x(%02x) ", value, byte);
            byte = value;
            ++address;
        }
        std::printf("\n");
    }
}

int apply_patch_lines(std::FILE* file, std::string_view checksum, std::span<std::uint8_t> image)
{
    int found = 0;
    char* buffer = nullptr;
    std::size_t capacity = 0;
    ssize_t length;
    // Each line whole, whatever its length.
    while ((length = ::getline(&buffer, &capacity, file)) >= 0) {
        std::string line(buffer, std::size_t(length));
        std::string_view key = std::string_view(line).substr(0, 8);
        if (key != checksum && key != "00000000")
            continue;
        ++found;
        std::printf("found !\n");
        remove_line_end(line);
        apply_patch_line(line, image);
    }
    std::free(buffer);
    return found;
}

void identify_rom()
{
    std::span<std::uint8_t> image(current_input.data.data(), current_input.size);
    char checksum[9];
    std::snprintf(checksum, sizeof checksum, "%08x", rom_checksum(image));
    std::printf("\n");
    search_patch_file(checksum, image);
    search_built_in_table(checksum, image);
}
