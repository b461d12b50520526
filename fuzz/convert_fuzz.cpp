// Input classification and conversion on arbitrary file contents: the file
// is loaded from disk as tapecast loads it and encoded in the mode that the
// first byte chooses.  Every outcome is either a clean fatal error (which
// here comes back as an exception instead of ending the process) or an
// image that the MSX can load and that restores the file.
//
// Input: one byte of choices, then the file.
//   bits 0-2: signal mode (standard 8, fast 6, 8, 108, 112, 212, standard
//             120, standard 220); bit 3: DOS mode; bit 4: ROM patches;
//   bits 5-6: the file's name (.com, .rom, .bas, .COM).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "assets/images.h"
#include "codec/rnc_unpack.h"
#include "common/errors.h"
#include "common/input.h"
#include "common/settings.h"
#include "common/staged_files.h"
#include "convert/fast_file.h"
#include "convert/pack.h"
#include "convert/standard_file.h"
#include "fuzz_check.h"
#include "signal/wav.h"

namespace {

struct FatalError {};

std::string folder;

void throw_fatal_error() { throw FatalError{}; }

std::uint16_t word(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return std::uint16_t(bytes[at] | bytes[at + 1] << 8);
}

// What `packed` bytes of an image from `offset` restore: the bytes
// themselves when `stored`, else what they decode to.
std::vector<std::uint8_t> restored(const std::vector<std::uint8_t>& image, std::size_t offset, std::size_t packed,
                                   bool stored)
{
    std::vector<std::uint8_t> data(image.begin() + long(offset), image.begin() + long(offset + packed));
    if (stored)
        return data;
    UnpackResult result = rnc_unpack(data);
    FUZZ_CHECK(result.ok());
    return result.data;
}

// A packed BIN image (COM, ROM, BASIC) as the loader gets it: it loads no
// lower than the MSX takes it, the program fits below the depacker, and the
// packed data restores the file (unless ROM patches changed it).
void check_bin_image(const std::vector<std::uint8_t>& input, const std::vector<std::uint8_t>& image,
                     PackMode mode, bool patched)
{
    const std::size_t depacker = bin_depacker_image().size();
    FUZZ_CHECK(image.size() >= 7 + depacker);
    const std::size_t packed = image.size() - 7 - depacker;
    FUZZ_CHECK(image[0] == 0xFE && word(image, 5) == 0xE000);
    FUZZ_CHECK(packed <= 0xE000);
    const std::uint32_t start = 0xE000 - std::uint32_t(packed);
    FUZZ_CHECK(word(image, 1) == start);
    FUZZ_CHECK(start >= (mode == PackMode::basic ? 0x8000u : 0x4000u));
    const std::uint32_t destination = restore_address(mode, input[3]);
    FUZZ_CHECK(destination >= 0x0100 && destination + input.size() <= 0xE000);
    std::vector<std::uint8_t> expected = input;
    if (mode == PackMode::basic)
        expected[0] = 0;
    std::vector<std::uint8_t> got = restored(image, 7, packed, word(image, 7 + packed + 7) != 0);
    FUZZ_CHECK(got.size() == expected.size());
    FUZZ_CHECK(patched || got == expected);
}

// A self-extracting image (DOS mode) restores the file.
void check_sfx_image(const std::vector<std::uint8_t>& input, const std::vector<std::uint8_t>& image)
{
    const std::size_t depacker = sfx_depacker_image().size();
    FUZZ_CHECK(image.size() >= 23 + depacker);
    const std::size_t packed = image.size() - 23 - depacker;
    FUZZ_CHECK(word(image, 8) == std::uint16_t(image.size()));
    FUZZ_CHECK(restored(image, 23, packed, word(image, 18) != 0) == input);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char name[] = "/tmp/cassonic-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(name) != nullptr);
    folder = name;
    FUZZ_CHECK(std::freopen("/dev/null", "w", stdout) != nullptr);
    on_fatal_error(release_input);
    on_fatal_error(wav_abandon);
    on_fatal_error(discard_staged_files);
    on_fatal_error(throw_fatal_error);
    std::atexit([] {
        std::string command = "rm -rf '" + folder + "'";
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", folder.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > 65536 + 1)
        return 0;
    static const int modes[] = {8, 6, 8, 108, 112, 212, 120, 220};
    static const char* const names[] = {"file.com", "file.rom", "file.bas", "FILE.COM"};
    const std::uint8_t choice = data[0];
    const int mode = modes[choice & 7];
    const bool fast = (choice & 7) >= 1 && (choice & 7) <= 5;
    const std::vector<std::uint8_t> input(data + 1, data + size);
    const std::string path = folder + "/" + names[(choice >> 5) & 3];

    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(input.data(), 1, input.size(), file) == input.size());
    FUZZ_CHECK(std::fclose(file) == 0);

    settings = EncoderSettings{};
    settings.cd_mode = mode >= 100;
    settings.baud_rate = settings.cd_mode ? 3675 : 3500;
    settings.dos_mode = fast && (choice & 8);
    settings.patch_roms = choice & 16;
    settings.output_path = "/dev/null";
    FUZZ_CHECK(wav_create(settings.output_path));
    try {
        if (!fast) {
            encode_standard_file(path, mode);
        } else {
            load_input(path);
            encode_fast_file(path, 'r', mode, 0, true, -1);
            std::vector<std::uint8_t> image(current_input.data.begin(),
                                            current_input.data.begin() + current_input.size);
            bool rom = input[0] == 'A' && input[1] == 'B';
            if (settings.dos_mode)
                check_sfx_image(input, image);
            else if (input[0] == 0xFF && input.size() > 2048)
                check_bin_image(input, image, PackMode::basic, false);
            else if (rom)
                check_bin_image(input, image, PackMode::rom, settings.patch_roms);
            else if (input[0] != 0xFE && input[0] != 0xFF)
                check_bin_image(input, image, PackMode::com, false);
            else
                FUZZ_CHECK(image == input);
        }
    } catch (const FatalError&) {
    }
    release_input();
    wav_abandon();
    discard_staged_files();
    return 0;
}
