// The patch-file reader on arbitrary text, applied to a ROM image: it
// changes nothing outside the image, and applies every line whose key
// matches once, no line more often and no piece of a line as a line.
//
// Input: two bytes for the image size (1 to 48K), then the file's text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "convert/rom_patch.h"
#include "fuzz_check.h"

namespace {

constexpr std::size_t guard = 64;

// The lines getline gives for `text`, counted when their key matches.
int matching_lines(std::string_view text, std::string_view checksum)
{
    int count = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        std::string_view key = line.substr(0, 8);
        count += key == checksum || key == "00000000";
        text.remove_prefix(line.size());
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // What the reader prints is not looked at.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::size_t image_size = 1 + (data[0] | std::size_t(data[1]) << 8) % 0xC000;
    std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    std::vector<std::uint8_t> memory(guard + image_size + guard);
    for (std::size_t i = 0; i < memory.size(); ++i)
        memory[i] = std::uint8_t(i * 7 + 3);
    const std::vector<std::uint8_t> before = memory;
    std::span<std::uint8_t> image(memory.data() + guard, image_size);
    char checksum[9];
    std::snprintf(checksum, sizeof checksum, "%08x", rom_checksum(image));

    int applied = 0;
    if (!text.empty()) {
        std::FILE* file = ::fmemopen(const_cast<char*>(text.data()), text.size(), "r");
        FUZZ_CHECK(file != nullptr);
        applied = apply_patch_lines(file, checksum, image);
        std::fclose(file);
    }
    FUZZ_CHECK(applied == matching_lines(text, checksum));
    FUZZ_CHECK(std::equal(memory.begin(), memory.begin() + guard, before.begin()));
    FUZZ_CHECK(std::equal(memory.end() - guard, memory.end(), before.end() - guard));
    return 0;
}
