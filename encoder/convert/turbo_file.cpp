#include "convert/turbo_file.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string_view>

#include "assets/images.h"
#include "codec/turbo_code.h"
#include "common/errors.h"
#include "common/input.h"
#include "common/names.h"
#include "common/settings.h"
#include "convert/fast_file.h"
#include "convert/pack.h"
#include "signal/standard.h"
#include "signal/turbo.h"
#include "signal/wav.h"

namespace {

// The standard block is written with the cells of code 118 (2450 baud, 18
// samples a cell, every half a whole number of samples) and sync tones of
// 800 cells (1600 cycles; the BIOS wants some 1400).  On the emulated MSX
// the BIOS reads it played 10% slow or fast; cells of 16 samples
// (2756 baud) fail once played 4% fast, and the BIOS's reading of 3150 baud
// cells (code 114) fails played 4% fast, resampled or noisy.
constexpr int boot_cells = 118;
constexpr int boot_cell_samples = 18;
constexpr int boot_sync_cells = 800;
// Silence between its header block and its data block: half the standard
// format's.  BASIC shows "Found:" and the name and calls the BIOS for the
// next block within a few milliseconds, and the 200 cycles that sync tone
// has beyond the BIOS's need leave 40 ms more.
constexpr std::uint32_t boot_gap_samples = 2000;
constexpr std::size_t entry_size = 9;
// The largest BASIC program taken (its 0xFF included), as the fast modes
// send one unpacked; it is stored from the start of program text, 8001h
// on a usual MSX.
constexpr std::size_t max_basic = 2048;
constexpr std::uint16_t basic_text = 0x8001;
// BASIC's entry that runs the program in memory: the start of a BASIC
// program's entry, which the main loader jumps to.
constexpr std::uint16_t basic_run = 0x73AC;
// Silence after the main loader while the bootstrap checks it (its CRC
// takes about 210 T a byte) and the main loader builds its table and loops:
// the first file's lead-in must still have 300 halves to go when the reader
// starts.  On the emulated MSX the CRC's time and 15 ms are enough, the
// CRC's time and 10 ms are not (85 ms fails a 1301-byte loader, 90 ms
// reads it); a long list of files lengthens the CRC.  Never below 100 ms.
int loader_check_ms(std::size_t loader_bytes)
{
    constexpr std::size_t crc_t_per_byte = 210;
    constexpr std::size_t t_per_ms = 3580;  // 3.58 MHz
    constexpr std::size_t set_up_ms = 30;
    return int(std::max<std::size_t>(100, (loader_bytes * crc_t_per_byte + t_per_ms - 1) / t_per_ms + set_up_ms));
}

// A BASIC program, stored or packed, that BASIC runs once it is loaded.
bool runs_basic(const TurboFile& file)
{
    return file.run && std::string_view(file.kind) == "BAS";
}

void put_word(std::vector<std::uint8_t>& bytes, std::uint16_t word)
{
    bytes.push_back(std::uint8_t(word));
    bytes.push_back(std::uint8_t(word >> 8));
}

// The standard-format BIN file that BLOAD"CAS:",R reads: header block with
// the tape name, data block with the bootstrap.
void emit_boot_block(const std::vector<std::uint8_t>& boot, std::uint16_t address, const std::string& name)
{
    for (int i = 0; i < boot_sync_cells; ++i)
        emit_bit1(boot_cells);
    for (int i = 0; i < 10; ++i)
        emit_std_byte(0xD0, boot_cells);
    for (char c : pad_name(name, 6))
        emit_std_byte(std::uint8_t(c), boot_cells);
    emit_silence(boot_gap_samples);
    for (int i = 0; i < boot_sync_cells; ++i)
        emit_bit1(boot_cells);
    std::vector<std::uint8_t> data;
    put_word(data, address);
    put_word(data, std::uint16_t(address + boot.size() - 1));
    put_word(data, address);
    data.insert(data.end(), boot.begin(), boot.end());
    for (std::uint8_t byte : data)
        emit_std_byte(byte, boot_cells);
}

// The main loader with its list of files.
std::vector<std::uint8_t> loader_with_list(const std::vector<TurboFile>& files, bool last_fitted)
{
    const TurboLoader loader = turbo_loader();
    const bool hooked = std::any_of(files.begin(), files.end() - 1, runs_basic);
    std::vector<std::uint8_t> bytes(loader.image.begin(), loader.image.end());
    if (!hooked) {
        // The hook's code stays off the tape; the list starts where it would.
        bytes.resize(std::size_t(loader.hook_part - loader.address));
        bytes[std::size_t(loader.list_at - loader.address)] = std::uint8_t(loader.hook_part);
        bytes[std::size_t(loader.list_at - loader.address) + 1] = std::uint8_t(loader.hook_part >> 8);
    }
    for (const TurboFile& file : files) {
        bytes.push_back(std::uint8_t((file.run ? 3 : 1) | (&file == &files.back() && last_fitted ? 4 : 0) |
                                     (file.basic ? 8 : 0) | (file.page1_ram ? 16 : 0) |
                                     (file.page1_ram && !(file.keep_page1_ram && file.run) ? 32 : 0) |
                                     (runs_basic(file) && &file != &files.back() ? 64 : 0)));
        put_word(bytes, file.start);
        put_word(bytes, std::uint16_t(file.data.size()));
        put_word(bytes, file.exec);
        put_word(bytes, turbo_crc16(file.data));
    }
    bytes.push_back(0);
    if (loader.address + bytes.size() > loader.list_end)
        fatal_error(err_internal, "the turbo loader's list of files does not fit");
    return bytes;
}

// The current input as a packed image: a ROM, a COM program or a BASIC
// program too large to go as it is.
TurboFile read_packed_file(const std::string& path, char run_flag)
{
    const PackedKind kind = pack_for_turbo(path, msx_file_name(path));
    if (kind == PackedKind::none)
        fatal_error(err_turbo_not_bin, path);
    const BinHeader header = BinHeader::read(current_input.data.data());
    TurboFile file;
    file.label = path;
    file.kind = kind == PackedKind::rom ? "ROM" : kind == PackedKind::com ? "COM" : "BAS";
    file.start = header.start;
    file.exec = header.exec;
    file.run = run_flag != 'n';
    file.packed = true;
    // As the fast loader: RAM in page 1 while the image arrives (it may
    // load there), and for a ROM while it is restored and started.
    file.page1_ram = true;
    file.keep_page1_ram = kind == PackedKind::rom;
    file.data.assign(current_input.data.begin() + 7, current_input.data.begin() + current_input.size);
    release_input();
    return file;
}

}  // namespace

std::size_t turbo_files_at_most()
{
    const TurboLoader loader = turbo_loader();
    return (loader.list_end - loader.address - loader.image.size() - 1) / entry_size;
}

TurboFile read_turbo_file(const std::string& path, char run_flag, std::size_t files_before)
{
    if (is_keyword(path))
        fatal_error(err_turbo_not_bin, path);
    if (files_before >= turbo_files_at_most())
        fatal_error(err_too_many_files, std::to_string(files_before + 1));
    load_input(path);
    if (current_input.size >= 2 && current_input.size <= max_basic && current_input.data[0] == 0xFF) {
        TurboFile file;
        file.label = path;
        file.run = run_flag != 'n';
        file.kind = "BAS";
        file.start = basic_text;
        file.exec = basic_run;
        file.basic = true;
        file.data.assign(current_input.data.begin() + 1, current_input.data.begin() + current_input.size);
        release_input();
        return file;
    }
    if (current_input.size == 0 || current_input.data[0] != BinHeader::type)
        return read_packed_file(path, run_flag);
    if (current_input.size < 7)
        fatal_error(err_turbo_not_bin, path);
    const BinHeader header = BinHeader::read(current_input.data.data());
    const std::uint32_t length = header.end >= header.start ? std::uint32_t(header.end - header.start + 1) : 0;
    if (length == 0 || length == 0x10000 || current_input.size - 7 < length)
        fatal_error(err_input_size, path);
    const TurboLoader loader = turbo_loader();
    if (header.start < loader.busy_end && header.end >= loader.busy_start)
        fatal_error(err_turbo_overlap, path);
    TurboFile file;
    file.label = path;
    file.start = header.start;
    file.exec = header.exec;
    file.run = run_flag != 'n';
    // As the fast loader: a file that reaches into 0x4000-0x7FFF goes into
    // the RAM of page 1, and the main ROM is back there once it is checked.
    file.page1_ram = header.start <= 0x7FFF && header.end >= 0x4000;
    file.data.assign(current_input.data.begin() + 7, current_input.data.begin() + 7 + length);
    release_input();
    return file;
}

void check_turbo_order(const std::vector<TurboFile>& files)
{
    // A BASIC program run before the last file leaves the files after it
    // to its BLOAD statements, which take plain BIN files only.
    for (std::size_t i = 0; i + 1 < files.size(); ++i) {
        if (runs_basic(files[i])) {
            for (std::size_t j = i + 1; j < files.size(); ++j)
                if (files[j].basic || files[j].packed)
                    fatal_error(err_turbo_basic_order, files[i].label);
            return;
        }
        if (files[i].run && files[i].packed)
            fatal_error(err_turbo_start_order, files[i].label);
    }
}

TurboCode turbo_last_file_code(std::span<const std::uint8_t> bytes, bool* fitted)
{
    const auto samples = [](const std::vector<std::uint8_t>& halves) {
        return std::accumulate(halves.begin(), halves.end(), std::uint64_t(0));
    };
    const TurboCode& uniform = TurboCode::uniform();
    bool gains = false;
    TurboCode code = turbo_code_for(bytes, &gains);
    gains = gains && bytes.size() >= 512 &&
            samples(turbo_block_halves(code.description(), uniform)) + samples(turbo_block_halves(bytes, code)) <
                samples(turbo_block_halves(bytes, uniform));
    *fitted = gains;
    return gains ? code : uniform;
}

void encode_turbo_tape(const std::vector<TurboFile>& files,
                       void (*mark)(const std::string& kind, const std::string& name), int last_pause_ms)
{
    const TurboBoot boot = turbo_boot();
    // Only the last file may come in a code fitted to it: the code stays on
    // the MSX, and no file after it needs the uniform code back.
    bool last_fitted = false;
    const TurboCode last_code = turbo_last_file_code(files.back().data, &last_fitted);
    const std::vector<std::uint8_t> loader = loader_with_list(files, last_fitted);
    std::vector<std::uint8_t> boot_bytes(boot.image.begin(), boot.image.end());
    const std::uint16_t crc = turbo_crc16(loader);
    boot_bytes[boot.length_offset] = std::uint8_t(loader.size());
    boot_bytes[boot.length_offset + 1] = std::uint8_t(loader.size() >> 8);
    boot_bytes[boot.crc_offset] = std::uint8_t(crc);
    boot_bytes[boot.crc_offset + 1] = std::uint8_t(crc >> 8);

    const std::string name = tape_name(msx_file_name(files.front().label));
    std::printf("Loader named \"%s\"\t(turbo)... ", name.c_str());
    mark("loader", "LOADER");
    emit_boot_block(boot_bytes, boot.address, name);
    emit_pause(short_gap);
    emit_turbo_halves(turbo_boot_halves(loader), TurboEdges::square);
    mark("pause", "");
    emit_pause(loader_check_ms(loader.size()));
    std::printf("done.\n");

    for (std::size_t i = 0; i < files.size(); ++i) {
        const TurboFile& file = files[i];
        std::printf("Converting:  \"%s\"\t(%s, turbo)... ",
                    tape_name(msx_file_name(file.label)).c_str(), file.kind);
        mark("file", file.label);
        if (i + 1 == files.size() && last_fitted) {
            emit_turbo_halves(turbo_block_halves(last_code.description(), TurboCode::uniform()));
            emit_turbo_halves(turbo_block_halves(file.data, last_code));
        } else {
            emit_turbo_halves(turbo_block_halves(file.data, TurboCode::uniform()));
        }
        mark("pause", "");
        if (i + 1 < files.size()) {
            // The fast modes' rule between entries.
            const int by_size = int(file.data.size() / 22);
            emit_pause(by_size > settings.pause_ms ? by_size : pause_setting);
        } else {
            emit_pause(last_pause_ms);
        }
        std::printf("done.\n");
    }
}

void encode_turbo_dos_file(std::string_view path, std::uint8_t flags, int part,
                           std::optional<std::string_view> msx_name)
{
    const std::string name = msx_name ? std::string(*msx_name) : msx_file_name(path);
    if (part <= 1)
        std::printf("Converting:  \"%s\"\t(DOS, turbo)... ", name.c_str());
    else
        std::printf("part No.%d of:\"%s\"\t(DOS, turbo)... ", part, name.c_str());
    // The image and the CRC after it stay below K7's top.
    const std::uint32_t size = pack_for_dos(path, dos_reader_image_room - 2);
    std::vector<std::uint8_t> header{flags};
    for (char c : pad_name(name, 11))
        header.push_back(std::uint8_t(c));
    put_word(header, std::uint16_t(size));
    std::vector<std::uint8_t> image(current_input.data.begin(), current_input.data.begin() + size);
    std::vector<std::uint8_t> checked = header;
    checked.insert(checked.end(), image.begin(), image.end());
    put_word(image, turbo_crc16(checked));

    std::vector<std::uint8_t> halves(std::size_t(turbo_dos_lead_in_halves - turbo_lead_in_halves),
                                     turbo_half_samples[1]);
    const std::vector<std::uint8_t> header_halves = turbo_block_halves(header, TurboCode::uniform());
    halves.insert(halves.end(), header_halves.begin(), header_halves.end());
    emit_turbo_halves(halves);
    emit_turbo_halves(turbo_block_halves(image, TurboCode::uniform()));
    std::printf("done.\n");
}

std::uint64_t turbo_dos_file_bytes_at_most(std::uint64_t size)
{
    // Two blocks: the longer lead-in, both syncs and closes, the header and
    // the image with its CRC (a self-extracting image adds its header and
    // depacker to the data), the longest word of the uniform code a byte.
    const TurboCode& code = TurboCode::uniform();
    const std::uint64_t longest = 3 * *std::max_element(code.cost.begin(), code.cost.end());
    const std::uint64_t growth = sfx_header_length + sfx_depacker_image().size();
    const std::uint64_t samples = (turbo_dos_lead_in_halves + turbo_lead_in_halves) * 6 + 2 * (2 * 9 + 6)
                                  + (14 + size + growth + 2) * longest;
    return 2 * samples;
}

std::uint64_t turbo_tape_bytes_at_most(std::size_t file_count, std::uint64_t total_data)
{
    // Standard block: two sync tones, 16 header bytes, 6 + the bootstrap's
    // bytes, 11 cells a byte of boot_cell_samples; the gap between its blocks.
    const std::uint64_t boot_bytes = 16 + 6 + turbo_boot().image.size();
    std::uint64_t samples = (2 * boot_sync_cells + 11 * boot_bytes) * boot_cell_samples + boot_gap_samples;
    // The main loader: a long half a bit at most.
    const std::uint64_t loader_bytes = turbo_loader().image.size() + file_count * entry_size + 1;
    samples += (turbo_boot_lead_in_halves + 2 + 8 * loader_bytes) * turbo_boot_half_samples[1];
    // The files: lead-in, sync, close, and the longest word of the uniform
    // code for every byte (3 samples a unit of cost).
    const TurboCode& code = TurboCode::uniform();
    const std::uint64_t longest = 3 * *std::max_element(code.cost.begin(), code.cost.end());
    // A fitted code costs less than the uniform one, its description
    // included, and adds one block's lead-in, sync and close.
    samples += (file_count + 1) * (turbo_lead_in_halves * 6 + 2 * 9 + 6) + total_data * longest;
    // The silences the tape writes itself (the driver counts those between files).
    samples += pause_samples(loader_check_ms(loader_bytes)) + 2 * pause_samples(short_gap);
    return 2 * samples;
}
