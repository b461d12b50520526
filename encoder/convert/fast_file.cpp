#include "convert/fast_file.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <strings.h>

#include "assets/images.h"
#include "common/errors.h"
#include "common/input.h"
#include "common/names.h"
#include "common/settings.h"
#include "convert/pack.h"
#include "convert/rom_patch.h"
#include "signal/cells.h"
#include "signal/fast.h"
#include "signal/standard.h"

namespace {

constexpr int lead_in_cells = 2401;
constexpr int trailer_cells = 10;
constexpr std::uint8_t sync_value = 0xD0;
// Values in front of the data, at most: two sync values, the DOS flags, the
// name, the rank table, the type and three addresses.
constexpr int values_before_data = 2 + 1 + 12 + 256 + 7;
// BASIC programs up to this size go on tape as they are; larger ones packed.
constexpr std::uint32_t max_plain_basic = 2048;
// The compression statistic starts with the cost of what frames the data.
constexpr float statistic_start = 2489.0f;

bool ends_with_ignoring_case(std::string_view text, const char* suffix)
{
    std::size_t length = std::char_traits<char>::length(suffix);
    return text.size() >= length && ::strcasecmp(std::string(text.substr(text.size() - length)).c_str(), suffix) == 0;
}

std::uint16_t image_word(std::size_t at)
{
    return std::uint16_t(current_input.data[at] | current_input.data[at + 1] << 8);
}

// A program that can't be loaded and restored on the MSX ends the run with
// status 10, saying why.
void refuse_if(std::string_view path, const std::string& fault)
{
    if (!fault.empty())
        fatal_error(err_input_size, std::string(path) + ": " + fault);
}

// Packs the current input in place and reports the sizes before and after.
// A program too large for the memory it is restored to is refused before
// packing, and the packed image is checked against the MSX's memory.
void pack_current(std::string_view path, PackMode mode, const char* kind, DepackerSite site = DepackerSite::fast)
{
    std::uint32_t before = current_input.size;
    std::uint8_t byte3 = current_input.data[3];
    refuse_if(path, restore_fault(mode, byte3, before, site));
    current_input.size = pack_image(current_input.data, before, mode, site);
    current_input.position = 0;
    refuse_if(path, bin_image_fault({current_input.data.data(), current_input.size}, mode, before, byte3, site));
    std::printf("\nConverted %s [%d bytes] -> BIN [%d bytes]\n", kind, int(before), int(current_input.size));
}

// A packed image is saved beside the input when it loads at 0x8000 or above.
void save_if_high(std::string_view path)
{
    if (image_word(1) >= 0x8000)
        write_packed_copy(path, ".bin");
}

// Replaces every CALL 0024h (CD 24 00) by three NOPs, leaving the first four
// bytes and a pattern ending on the last byte alone.
void fix_call_0024()
{
    std::uint8_t* data = current_input.data.data();
    int count = 0;
    for (std::uint32_t i = 4; i + 4 <= current_input.size; ++i) {
        if (data[i] == 0xCD && data[i + 1] == 0x24 && data[i + 2] == 0x00) {
            data[i] = 0x00;
            data[i + 1] = 0x00;
            ++count;
        }
    }
    if (count > 0)
        std::printf("\nPatched %d occurences of CALL 0024.\n", count);
}

// The fixes a ROM gets before packing, unless they are turned off.
void patch_rom()
{
    if (settings.patch_roms) {
        identify_rom();
        fix_call_0024();
    }
}

// The current input's bytes from `first` to its end: what the rank table
// of a file is counted over.
std::span<const std::uint8_t> payload_from(std::uint32_t first)
{
    std::uint32_t begin = std::min(first, current_input.size);
    return {current_input.data.data() + begin, current_input.size - begin};
}

void emit_image_values(std::uint32_t from, std::uint32_t to, int mode)
{
    for (std::uint32_t at = from; at < to; ++at)
        emit_value(current_input.data[at], mode);
}

// Sends a packed or BIN image's header: the type, start, end and exec.
void emit_bin_description(std::uint8_t type, int mode)
{
    emit_rank_table(payload_from(7), mode);
    emit_value(type, mode);
    emit_image_values(1, 7, mode);
    current_input.position = 7;
}

void handle_bin(char run_flag, int mode)
{
    std::printf("(BIN%s", run_flag == 'n' ? ",n)" : ",r)");
    emit_rank_table(payload_from(7), mode);
    emit_value(0xFE, mode);
    emit_image_values(1, 5, mode);
    if (run_flag == 'n') {
        emit_value(0, mode);
        emit_value(0, mode);
    } else {
        emit_image_values(5, 7, mode);
    }
    current_input.position = 7;
}

void handle_basic(std::string_view path, int mode)
{
    std::printf("(BAS)");
    if (current_input.size <= max_plain_basic) {
        emit_rank_table(payload_from(1), mode);
        emit_value(0xFF, mode);
        current_input.position = 1;
        return;
    }
    current_input.data[0] = 0x00;
    pack_current(path, PackMode::basic, "BAS");
    write_packed_copy(path, ".bin");
    emit_bin_description(current_input.data[0], mode);
}

void handle_rom(std::string_view path, int mode)
{
    std::printf("(ROM)");
    patch_rom();
    pack_current(path, PackMode::rom, "ROM");
    save_if_high(path);
    emit_bin_description(0x41, mode);
}

void handle_com(std::string_view path, std::string_view name, int mode)
{
    if (!ends_with_ignoring_case(name, ".COM"))
        fatal_error(err_unsupported_type);
    std::printf("(COM)");
    pack_current(path, PackMode::com, "COM");
    save_if_high(path);
    emit_bin_description(current_input.data[0], mode);
}

// DOS mode: every file becomes a self-extracting COM program.
void handle_dos(std::string_view path, bool sfx_allowed, int mode)
{
    std::printf("(DOS)");
    std::uint32_t before = current_input.size;
    std::uint32_t after = pack_for_dos(path, dos_reader_image_room);
    if (ends_with_ignoring_case(path, ".com") && sfx_allowed) {
        if (after < before) {
            std::printf("\nConverted COM [%d bytes] -> self-extracting COM [%d bytes]\n", int(before), int(after));
            write_packed_copy(path, ".com");
        } else {
            std::printf("\nSFX COM is not created - packed file (%d) is bigger than original (%d)\n", int(after),
                        int(before));
        }
    }
    emit_rank_table(payload_from(0), mode);
    current_input.position = 0;
}

}  // namespace

std::uint32_t pack_for_dos(std::string_view path, std::uint32_t room)
{
    std::uint32_t after = pack_image(current_input.data, current_input.size, PackMode::sfx);
    current_input.size = after;
    current_input.position = 0;
    if (after > room)
        refuse_if(path, "its self-extracting image of " + std::to_string(after) + " bytes would not fit in the "
                            + std::to_string(room) + " bytes where the DOS tape reader takes it");
    return after;
}

PackedKind pack_for_turbo(std::string_view path, std::string_view name)
{
    const std::uint8_t first = current_input.size > 0 ? current_input.data[0] : 0;
    if (first == 0xFF && current_input.size > max_plain_basic) {
        current_input.data[0] = 0x00;
        pack_current(path, PackMode::basic, "BAS", DepackerSite::turbo);
        return PackedKind::basic;
    }
    if (current_input.size >= 2 && first == 'A' && current_input.data[1] == 'B') {
        patch_rom();
        pack_current(path, PackMode::rom, "ROM", DepackerSite::turbo);
        return PackedKind::rom;
    }
    // As in the fast modes, a first byte of 'A' without 'B' is no ROM.
    if (first != 0xFE && first != 0xFF && ends_with_ignoring_case(name, ".COM")) {
        pack_current(path, PackMode::com, "COM", DepackerSite::turbo);
        return PackedKind::com;
    }
    return PackedKind::none;
}

void encode_fast_file(std::string_view path, char run_flag, int fast_wave_mode, std::uint8_t dos_flags,
                      bool sfx_allowed, int part, std::optional<std::string_view> msx_name)
{
    const int mode = fast_wave_mode;
    current_input.position = 0;
    float statistic = statistic_start;

    int lead_mode = (mode == 6 || mode == 8) ? 8 : mode;
    for (int i = 0; i < lead_in_cells; ++i)
        emit_bit1(lead_mode);
    emit_end_mark(mode);
    emit_value(sync_value, mode);
    emit_value(sync_value, mode);
    if (settings.dos_mode)
        emit_value(dos_flags, mode);

    std::string name = msx_name ? std::string(*msx_name) : msx_file_name(path);
    if (part <= 1)
        std::printf("Converting:  \"%s\"\t", name.c_str());
    else
        std::printf("part No.%d of:\"%s\"\t", part, name.c_str());
    for (char c : pad_name(name, settings.dos_mode ? 11 : 12))
        emit_value(std::uint8_t(c), mode);

    if (settings.dos_mode) {
        handle_dos(path, sfx_allowed, mode);
    } else {
        std::uint8_t first = current_input.next();
        if (first == 0xFE)
            handle_bin(run_flag, mode);
        else if (first == 0xFF)
            handle_basic(path, mode);
        else if (first == 'A' && current_input.data[1] == 'B')
            handle_rom(path, mode);
        else  // a first byte of 'A' without 'B' is no ROM: it takes the COM road
            handle_com(path, name, mode);
    }
    std::printf("... ");

    while (!current_input.at_end()) {
        std::uint8_t byte = current_input.next();
        emit_ranked_byte(byte, mode);
        statistic += float(rank_code_length(byte) + 1);
    }
    float rate = 100.0f * statistic / (11.0f * float(current_input.size));
    std::printf("(compression rate: %2.0f%%)", double(rate));

    for (int i = 0; i < trailer_cells; ++i)
        emit_bit1(mode);
    emit_end_mark(mode);
    std::printf(" done.\n");
}

std::uint64_t fast_file_bytes_at_most(std::uint64_t input_size, int fast_wave_mode)
{
    const SignalCells* cells = signal_cells(fast_wave_mode);
    const SignalCells* lead = signal_cells(fast_wave_mode == 6 ? 8 : fast_wave_mode);
    if (!cells || !lead)
        return 0;
    std::uint64_t cell = std::max(cells->bit0.bytes(), cells->bit1.bytes());
    std::uint64_t marks = cells->start_mark.bytes() + cells->end_mark.bytes();
    std::uint64_t unit = marks + 8 * cell;  // a value or a rank code of at most 8 cells
    // Conversion adds a header and a depacker to the data.
    std::uint64_t growth = std::max(bin_header_length + bin_depacker_image().size(),
                                    sfx_header_length + sfx_depacker_image().size());
    return lead_in_cells * lead->bit1.bytes() + (values_before_data + input_size + growth) * unit
           + trailer_cells * cell + marks;
}
