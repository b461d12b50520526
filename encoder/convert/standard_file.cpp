#include "convert/standard_file.h"

#include <algorithm>
#include <cstdio>

#include "common/errors.h"
#include "common/input.h"
#include "common/names.h"
#include "signal/cells.h"
#include "signal/standard.h"
#include "signal/wav.h"

namespace {

constexpr int marker_count = 10;
constexpr int name_length = 6;
constexpr std::uint8_t bin_marker = 0xD0;
constexpr std::uint8_t basic_marker = 0xD3;
constexpr int basic_trailer_bytes = 7;

void emit_markers(std::uint8_t marker, int mode)
{
    for (int i = 0; i < marker_count; ++i)
        emit_std_byte(marker, mode);
}

}  // namespace

void encode_standard_file(std::string_view path, int standard_mode, std::optional<std::string_view> label)
{
    load_input(path);
    emit_sync_tone(standard_mode);

    // The markers say BIN until the first byte has been read; a BASIC
    // program's markers are written over later, at the same signal length.
    std::uint64_t header_at = wav_tell();
    emit_markers(bin_marker, standard_mode);

    std::string name = tape_name(msx_file_name(label ? *label : path));
    if (label)
        std::printf("Loader named \"%s\"\t", name.c_str());
    else
        std::printf("Converting:  \"%s\"\t", name.c_str());
    for (char c : pad_name(name, name_length))
        emit_std_byte(std::uint8_t(c), standard_mode);

    emit_block_gap();
    emit_sync_tone(standard_mode);

    std::uint8_t type = current_input.at_end() ? 0 : current_input.next();
    bool basic = false;
    if (type == 0xFE) {
        std::printf("(BIN)");
    } else if (type == 0xFF) {
        std::printf("(BAS)");
        basic = true;
        std::uint64_t end = wav_tell();
        wav_seek(header_at);
        emit_markers(basic_marker, standard_mode);
        wav_seek(end);
    } else {
        fatal_error(err_unsupported_type);
    }
    std::printf("... ");

    while (!current_input.at_end())
        emit_std_byte(current_input.next(), standard_mode);
    if (basic) {
        for (int i = 0; i < basic_trailer_bytes; ++i)
            emit_std_byte(0x00, standard_mode);
    }
    release_input();
    std::printf("done.\n");
}

std::uint64_t standard_file_bytes_at_most(std::uint64_t file_size, int standard_mode)
{
    const SignalCells* cells = signal_cells(standard_mode);
    if (!cells)
        return 0;
    std::uint64_t cell = std::max(cells->bit0.bytes(), cells->bit1.bytes());
    std::uint64_t sample = cells->bit0.s16 ? 2 : 1;
    // Both sync tones, the header's bytes, the data with a BASIC program's
    // zero bytes (its type byte is not sent, so this counts one more).
    std::uint64_t bytes = marker_count + name_length + file_size + basic_trailer_bytes;
    return (2 * std::uint64_t(sync_tone_cells) + 11 * bytes) * cell + block_gap_samples * sample;
}
