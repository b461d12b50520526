#include "driver/images.h"

#include <cstdio>
#include <string>
#include <vector>

#include "common/cas_image.h"
#include "common/disk_image.h"
#include "common/errors.h"
#include "common/input.h"
#include "convert/cas_file.h"
#include "convert/fast_file.h"
#include "convert/turbo_file.h"
#include "driver/ram_disk_fit.h"
#include "driver/run.h"
#include "signal/standard.h"

namespace {

std::vector<std::uint8_t> read_whole(const std::string& path)
{
    load_input(path);
    std::vector<std::uint8_t> bytes(current_input.data.begin(), current_input.data.begin() + current_input.size);
    release_input();
    return bytes;
}

[[noreturn]] void damaged(const std::string& path, const std::string& reason)
{
    fatal_error(err_input_size, path + ": " + reason);
}

CasImage read_cas(const std::string& path)
{
    CasImage image = read_cas_image(read_whole(path));
    if (!image.error.empty())
        damaged(path, image.error);
    return image;
}

// Makes `bytes` the current input, as load_input leaves a file from disk.
void hold_as_input(const std::vector<std::uint8_t>& bytes)
{
    release_input();
    current_input.data.assign(bytes.begin(), bytes.end());
    current_input.data.resize(bytes.size() + input_spare_bytes, 0);
    current_input.size = std::uint32_t(bytes.size());
    current_input.position = 0;
    current_input.loaded = true;
}

// A name for the copies saved beside the image (a packed BASIC program's
// BIN): the image's path, then the file's name, kept to letters, digits, '-'
// and '_' so that a name from inside the image can't reach another folder.
std::string copy_base(const std::string& image_path, const CasFile& file, std::size_t index)
{
    std::string name;
    for (char c : cas_display_name(file)) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
                     || c == '_';
        name += plain ? c : '_';
    }
    if (name.empty())
        name = "file" + std::to_string(index + 1);
    return image_path + "." + name;
}

std::string piece_name(const std::string& image_path, const CasFile& file)
{
    if (file.kind == CasKind::headerless)
        return image_path + " (block at byte " + std::to_string(file.offset) + ")";
    return image_path + " (" + cas_display_name(file) + ")";
}

void encode_fast_cas(const InputEntry& entry, std::uint8_t fast_mode, bool more_entries, bool after_loader)
{
    if (settings.dos_mode)
        fatal_error(err_cas_in_dos_mode, entry.text);
    const CasImage image = read_cas(entry.text);
    const int standard_mode = settings.cd_mode ? settings.standard_wave_mode : 8;
    for (std::size_t i = 0; i < image.files.size(); ++i) {
        const CasFile& file = image.files[i];
        bool more = i + 1 < image.files.size() || more_entries;
        timeline_mark("file", piece_name(entry.text, file));
        if (file.kind == CasKind::bin || file.kind == CasKind::basic) {
            const std::vector<std::uint8_t> contents = cas_file_contents(file);
            hold_as_input(contents);
            encode_fast_file(copy_base(entry.text, file, i), entry.run_flag, fast_mode, 0, true, -1,
                             cas_display_name(file));
            release_input();
            if (more) {
                timeline_mark("pause");
                emit_entry_pause(std::uint32_t(contents.size()));
            }
            continue;
        }
        if (i == 0 && after_loader)
            std::printf("\nWarning: the loader reads only the fast format, and the next file on the tape is in the "
                        "standard format: loading stops there\n");
        encode_standard_cas_file(file, standard_mode);
        if (more) {
            timeline_mark("pause");
            emit_pause(pause_setting);
        }
    }
}

void encode_disk_image(const InputEntry& entry, std::uint8_t fast_mode, bool more_entries)
{
    if (!settings.dos_mode)
        fatal_error(err_disk_outside_dos, entry.text);
    const DiskImage image = read_disk_image(read_whole(entry.text));
    if (!image.error.empty())
        damaged(entry.text, image.error);
    if (image.files.empty())
        damaged(entry.text, "no files in its root directory");
    for (const std::string& name : image.skipped)
        std::printf("Not on tape: %s of %s is a directory\n", name.c_str(), entry.text.c_str());
    for (std::size_t i = 0; i < image.files.size(); ++i) {
        const DiskFile& file = image.files[i];
        bool more = i + 1 < image.files.size() || more_entries;
        const std::uint32_t size = std::uint32_t(file.data.size());
        const InputEntry piece{entry.text + " (" + disk_display_name(file.name) + ")", entry.run_flag};
        ram_disk_add_file(file.name, size);
        hold_as_input(file.data);
        if (size > dos_part_size) {
            encode_in_parts(piece, fast_mode, more, file.name);
        } else {
            timeline_mark("file", piece.text);
            if (settings.turbo)
                encode_turbo_dos_file(entry.text, more ? 1 : 0, -1, file.name);
            else
                encode_fast_file(entry.text, entry.run_flag, fast_mode, more ? 1 : 0, false, -1, file.name);
            if (more) {
                timeline_mark("pause");
                emit_entry_pause(size);
            }
        }
        release_input();
    }
}

}  // namespace

bool is_image_entry(const InputEntry& entry)
{
    return is_cas_name(entry.text) || is_disk_name(entry.text);
}

void encode_standard_image(const InputEntry& entry, int standard_mode)
{
    if (is_disk_name(entry.text))
        fatal_error(err_disk_outside_dos, entry.text);
    const CasImage image = read_cas(entry.text);
    for (std::size_t i = 0; i < image.files.size(); ++i) {
        if (i > 0) {
            timeline_mark("pause");
            emit_pause(pause_setting);
        }
        timeline_mark("file", piece_name(entry.text, image.files[i]));
        encode_standard_cas_file(image.files[i], standard_mode);
    }
}

void encode_fast_image(const InputEntry& entry, std::uint8_t fast_mode, bool more_entries, bool after_loader)
{
    if (is_disk_name(entry.text))
        encode_disk_image(entry, fast_mode, more_entries);
    else
        encode_fast_cas(entry, fast_mode, more_entries, after_loader);
}
