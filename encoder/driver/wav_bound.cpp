#include "driver/wav_bound.h"

#include <algorithm>
#include <sys/stat.h>

#include "assets/images.h"
#include "common/input.h"
#include "common/settings.h"
#include "convert/fast_file.h"
#include "convert/pack.h"
#include "convert/standard_file.h"
#include "convert/turbo_file.h"
#include "signal/cells.h"
#include "signal/standard.h"
#include "signal/wav.h"

namespace {

std::uint64_t input_size(const std::string& text)
{
    if (text == "LOADER")
        return loader_image().size();
    if (is_ramdos_keyword(text))
        return ramdos_image().size();
    struct stat info {};
    if (::stat(text.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        return std::uint64_t(info.st_size);
    return 0;
}

std::uint64_t pause_bytes(int ms)
{
    return std::uint64_t(pause_samples(ms)) * (settings.cd_mode ? 2 : 1);
}

// The silence after a fast-mode entry or part of `size` bytes: the longest
// of the rules that may apply, and the gap that may follow it.
std::uint64_t pause_after_at_most(std::uint64_t size)
{
    int by_size = int(std::min<std::uint64_t>(size / dos_entry_pause_divisor, 0x7FFFFFFF));  // the longer rule
    return std::max({pause_bytes(pause_setting), pause_bytes(by_size), pause_bytes(ramdos_boot_pause_ms)})
           + pause_bytes(short_gap);
}

// A fast-mode entry and the silence after it; `more` when entries follow.
std::uint64_t fast_entry_at_most(std::uint64_t size, int mode, bool more)
{
    std::uint64_t whole = fast_file_bytes_at_most(size, mode) + (more ? pause_after_at_most(size) : pause_bytes(short_gap));
    if (size <= dos_part_size)
        return whole;
    // In DOS mode the entry goes in parts, each followed by its pause.
    std::uint64_t parts = size / dos_part_size;
    std::uint64_t rest = size % dos_part_size;
    std::uint64_t split = parts * (fast_file_bytes_at_most(dos_part_size, mode) + pause_after_at_most(dos_part_size));
    if (rest > 0)
        split += fast_file_bytes_at_most(rest, mode) + pause_after_at_most(rest);
    return std::max(whole, split);
}

}  // namespace

std::uint64_t wav_size_at_most(const CommandLine& line)
{
    std::uint64_t total = wav_header_size;
    if (settings.turbo) {
        std::uint64_t data = 0;
        std::size_t loaded = 0;
        // A packed image may be its input stored whole, with a depacker.
        std::uint64_t growth = 0;
        for (const PackMode mode : {PackMode::com, PackMode::rom, PackMode::basic})
            growth = std::max<std::uint64_t>(growth, bin_depacker_for(DepackerSite::turbo, mode).size());
        bool dos = settings.dos_mode;
        for (std::size_t i = 0; i < line.files.size(); ++i) {
            const std::uint64_t input = input_size(line.files[i].text);
            if (dos) {
                // A DOS-mode file for K7, in parts above the part size.
                for (std::uint64_t done = 0; done == 0 || done < input; done += dos_part_size) {
                    const std::uint64_t part = std::min<std::uint64_t>(dos_part_size, input - done);
                    total += turbo_dos_file_bytes_at_most(part) + pause_after_at_most(part);
                    if (input == 0)
                        break;
                }
                continue;
            }
            const std::uint64_t size = input + growth;
            data += size;
            ++loaded;
            if (i + 1 < line.files.size())
                total += pause_after_at_most(size);
            dos = is_ramdos_keyword(line.files[i].text);
        }
        if (loaded > 0)
            total += turbo_tape_bytes_at_most(loaded, data);
        return total;
    }
    if (line.fast_wave_mode == 0) {
        int mode = settings.cd_mode ? settings.standard_wave_mode : 8;
        for (std::size_t i = 0; i < line.files.size(); ++i) {
            bool more = i + 1 < line.files.size();
            total += standard_file_bytes_at_most(input_size(line.files[i].text), mode)
                     + pause_bytes(more ? pause_setting : short_gap);
        }
        return total;
    }
    if (settings.attach_loader)
        total += standard_file_bytes_at_most(loader_image().size(), settings.standard_wave_mode)
                 + pause_bytes(short_gap);
    for (std::size_t i = 0; i < line.files.size(); ++i)
        total += fast_entry_at_most(input_size(line.files[i].text), line.fast_wave_mode, i + 1 < line.files.size());
    const SignalCells* tone = signal_cells(line.fast_wave_mode == 6 ? 8 : line.fast_wave_mode);
    if (tone)
        total += pause_bytes(short_gap) + closing_tone_cells * tone->bit1.bytes();
    return total;
}
