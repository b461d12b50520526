#include "common/input.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "assets/images.h"
#include "common/errors.h"
#include "common/settings.h"
#include "common/staged_files.h"

LoadedFile current_input;

BinHeader BinHeader::read(const std::uint8_t* bytes)
{
    auto word = [bytes](int at) { return std::uint16_t(bytes[at] | bytes[at + 1] << 8); };
    return {word(1), word(3), word(5)};
}

namespace {

// Offsets of the RAM-disk parameters in the RAMDOS image (addresses 0x8300 to 0x8302).
constexpr std::size_t ramdos_vram_pages = 7;
constexpr std::size_t ramdos_ram_pages = 8;
constexpr std::size_t ramdos_load_files = 9;

void load_image(std::string_view text, std::span<const std::uint8_t> image)
{
    try {
        current_input.data.assign(image.begin(), image.end());
    } catch (const std::bad_alloc&) {
        fatal_error(err_no_memory, text);
    }
    current_input.size = std::uint32_t(image.size());
}

// The suffix of a RAMDOS keyword, read by position: the seventh character is
// not looked at, the eighth gives the video RAM pages, the ninth the RAM
// pages, and an 'n' as the tenth keeps the DOS system files off the disk.
void apply_ramdos_suffix(std::string_view text)
{
    std::uint8_t* data = current_input.data.data();
    if (text.size() > 7) {
        int vram = text[7] - '0';
        if (vram < 0 || vram > 7)
            fatal_error(err_vram_pages, text);
        data[ramdos_vram_pages] = std::uint8_t(vram);
    }
    if (text.size() > 8) {
        int ram = text[8] - '0';
        if (ram < 1 || ram > 8)
            fatal_error(err_ram_pages, text);
        data[ramdos_ram_pages] = std::uint8_t(ram);
    }
    if (text.size() > 9 && text[9] == 'n')
        data[ramdos_load_files] = 0;
}

void load_disk_file(std::string_view text)
{
    std::string path(text);
    // Opened without waiting: opening a FIFO for reading would otherwise
    // wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        fatal_error(err_read_input, text);
    current_input.handle = fd;

    // Only regular files: a directory, a device or a pipe has no size to
    // take, and reading one could block forever.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0)
        fatal_error(err_read_input, text);
    off_t length = info.st_size;
    if (length > off_t(0xFFFFFFFFu - input_spare_bytes))
        fatal_error(err_input_size, text);
    std::uint32_t size = std::uint32_t(length);

    try {
        current_input.data.assign(std::size_t(size) + input_spare_bytes, 0);
    } catch (const std::bad_alloc&) {
        fatal_error(err_no_memory, text);
    }
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = ::read(fd, current_input.data.data() + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            fatal_error(err_read_input, text);
        done += std::size_t(got);
    }
    current_input.size = size;

    if (size <= 7)
        fatal_error(err_input_size, text);
    bool rom = current_input.data[0] == 'A' && current_input.data[1] == 'B';
    if (size > max_rom_size && rom && !settings.dos_mode)
        fatal_error(err_input_size, text);
}

std::vector<std::string> protected_inputs;
std::string protected_output;

// Why a copy may not be written under `name`, or nullptr when it may.
const char* protected_role(const std::string& name)
{
    for (const std::string& input : protected_inputs) {
        if (same_file(name, input))
            return "an input";
    }
    if (!protected_output.empty() && same_file(name, protected_output))
        return "the output";
    return nullptr;
}

// A rename replaces a file or a link, not a folder, and a device or a FIFO
// at that name is left alone.
bool replaceable(const std::string& name)
{
    struct stat info {};
    return ::lstat(name.c_str(), &info) != 0 || S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
}

struct PendingCopy {
    int staged;
    std::string name;
    std::string extension;
};
std::vector<PendingCopy> pending_copies;

void report_unwritten(const std::string& extension, const std::string& name)
{
    std::printf("Could not write packed %s version: %s\n", extension.c_str(), name.c_str());
}

}  // namespace

bool is_ramdos_keyword(std::string_view text)
{
    if (!text.starts_with("RAMDOS"))
        return false;
    std::string_view suffix = text.substr(6);
    if (suffix.empty())
        return true;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return suffix[0] == '.' && suffix.size() <= 4 && (suffix.size() < 2 || digit(suffix[1]))
           && (suffix.size() < 3 || digit(suffix[2])) && (suffix.size() < 4 || suffix[3] == 'n');
}

bool is_keyword(std::string_view text) { return text == "LOADER" || is_ramdos_keyword(text); }

void load_input(std::string_view text)
{
    release_input();
    current_input.loaded = true;
    if (text == "LOADER") {
        load_image(text, loader_image());
    } else if (is_ramdos_keyword(text)) {
        load_image(text, ramdos_image());
        apply_ramdos_suffix(text);
    } else {
        load_disk_file(text);
    }
    current_input.position = 0;
}

void release_input()
{
    if (current_input.loaded) {
        current_input.data.clear();
        current_input.data.shrink_to_fit();
        current_input.size = 0;
        current_input.position = 0;
        current_input.loaded = false;
    }
    if (current_input.handle >= 0) {
        ::close(current_input.handle);
        current_input.handle = -1;
    }
}

void protect_run_files(std::vector<std::string> inputs, std::string output)
{
    protected_inputs = std::move(inputs);
    protected_output = std::move(output);
}

void write_packed_copy(std::string_view base, std::string_view extension_text)
{
    std::string name = std::string(base) + std::string(extension_text);
    std::string extension(extension_text);
    if (const char* role = protected_role(name)) {
        std::printf("Skipped packed %s version: %s is %s of this run\n", extension.c_str(), name.c_str(), role);
        return;
    }
    int fd = -1;
    int staged = replaceable(name) ? stage_file(name, fd) : -1;
    if (staged < 0) {
        report_unwritten(extension, name);
        return;
    }
    bool written = write_all(fd, current_input.data.data(), current_input.size);
    written = ::close(fd) == 0 && written;
    if (!written) {
        discard_staged_file(staged);
        report_unwritten(extension, name);
        return;
    }
    pending_copies.push_back({staged, name, extension});
    std::printf("Created packed %s version: %s\n", extension.c_str(), name.c_str());
    if (::strcasecmp(std::string(extension).c_str(), ".bin") == 0) {
        BinHeader header = BinHeader::read(current_input.data.data());
        std::printf("from address: %x, to address: %x, exec address: %x\n", header.start, header.end, header.exec);
    }
}

void commit_packed_copies()
{
    for (const PendingCopy& copy : pending_copies) {
        if (!commit_staged_file(copy.staged))
            report_unwritten(copy.extension, copy.name);
    }
    pending_copies.clear();
}
