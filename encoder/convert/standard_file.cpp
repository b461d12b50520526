#include "convert/standard_file.h"

#include <cstdio>

#include "common/errors.h"
#include "common/input.h"
#include "common/names.h"
#include "signal/standard.h"
#include "signal/wav.h"

namespace {

constexpr int marker_count = 10;
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
    for (char c : pad_name(name, 6))
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
