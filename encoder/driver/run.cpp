#include "driver/run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string_view>

#include "common/cas_image.h"
#include "common/errors.h"
#include "common/input.h"
#include "common/names.h"
#include "common/staged_files.h"
#include "convert/fast_file.h"
#include "convert/standard_file.h"
#include "convert/turbo_file.h"
#include "driver/images.h"
#include "driver/ram_disk_fit.h"
#include "driver/wav_bound.h"
#include "signal/standard.h"
#include "signal/wav.h"

namespace {

// Where each piece of the tape starts, recorded as it is written, for
// "-timeline": the kind ("loader", "file", "pause", "tone") and the name of
// the piece, and the WAV offset of its first sample.
struct TimelineMark {
    std::uint64_t at = 0;
    std::string kind;
    std::string name;
};
std::vector<TimelineMark> timeline;

void mark(std::string kind, std::string name = {})
{
    timeline.push_back({wav_tell(), std::move(kind), std::move(name)});
}

void paused(int ms)
{
    mark("pause");
    emit_pause(ms);
}

[[noreturn]] void usage_error(int code, std::string_view detail = {})
{
    print_usage();
    fatal_error(code, detail);
}

// `text` as a whole decimal number from 0 to `max`: digits only, nothing
// before or after them.
std::optional<std::int32_t> whole_number(const std::string& text, std::int32_t max)
{
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > max)
            return std::nullopt;
    }
    return std::int32_t(value);
}

bool is_help(std::string_view arg)
{
    return arg == "-h" || arg == "-?" || arg == "/h" || arg == "/?";
}

// "--help" and "--version" are taken wherever they stand, as GNU programs
// take them; the first of the two wins.  No file name can be mistaken for
// them: a file argument never begins with "-".
std::string_view gnu_info_option(const std::vector<std::string>& args)
{
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "--version")
            return arg;
    return {};
}

void resolve_modes(CommandLine& line)
{
    if (settings.sine)
        settings.standard_wave_mode = settings.experimental ? 214 : 220;
    else
        settings.standard_wave_mode = settings.experimental ? 114 : 120;
    if (settings.cd_mode)
        settings.baud_rate = settings.experimental ? 5512 : settings.compressed ? 3675 : 2205;
    if (settings.turbo)
        settings.baud_rate = 2450;  // its first block's; the rest is not in bauds
    if (settings.compressed || settings.experimental) {
        if (!settings.cd_mode)
            line.fast_wave_mode = settings.compressed ? 8 : 6;
        else
            line.fast_wave_mode = settings.experimental ? 108 : settings.sine ? 212 : 112;
    }
}

// "-turbo" goes with "-cd" and none of the options of the other modes.
void check_turbo_options(const std::vector<std::string>& args)
{
    if (!settings.cd_mode)
        fatal_error(err_turbo_mode, args[0]);
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "-c" || arg == "-xp" || arg == "-sine" || arg == "-noldr")
            fatal_error(err_turbo_mode, arg);
    }
}

void print_mode_line(const CommandLine& line)
{
    std::printf("\n");
    if (settings.cd_mode)
        std::printf("CD-compatible; using fixed ");
    std::printf("baud rate=%d", settings.baud_rate);
    if (settings.compressed)
        std::printf(", compressed mode");
    if (settings.experimental)
        std::printf(", experimental mode");
    if (settings.turbo)
        std::printf(", turbo mode");
    if (line.files.size() > 1)
        std::printf("\nTime of pause between files: %d ms (%.1f sec)", settings.pause_ms,
                    double(settings.pause_ms) / 1000.0);
    std::printf("\nOutput file: %s\n\n", settings.output_path.c_str());
}

void run_standard_path(const CommandLine& line)
{
    int mode = settings.cd_mode ? settings.standard_wave_mode : 8;
    for (std::size_t i = 0; i < line.files.size(); ++i) {
        if (is_image_entry(line.files[i])) {
            encode_standard_image(line.files[i], mode);
        } else {
            mark("file", line.files[i].text);
            encode_standard_file(line.files[i].text, mode);
        }
        paused(i + 1 < line.files.size() ? pause_setting : short_gap);
    }
}

// The flags of part `index` (from 0) of `count` parts of one entry.
std::uint8_t part_flags(std::size_t index, std::size_t count, bool more_entries)
{
    std::uint8_t flags = 0;
    bool last_part = index + 1 == count;
    if (!last_part || more_entries)
        flags |= 1;  // more data follows on this tape
    if (index > 0)
        flags |= 2;  // a continuation part
    if (!last_part)
        flags |= 4;  // further parts of this file follow
    return flags;
}

}  // namespace

void encode_in_parts(const InputEntry& entry, std::uint8_t fast_mode, bool more_entries,
                     std::optional<std::string_view> msx_name)
{
    std::vector<std::uint8_t> whole(current_input.data.begin(),
                                    current_input.data.begin() + current_input.size);
    std::size_t count = (whole.size() + dos_part_size - 1) / dos_part_size;
    for (std::size_t index = 0; index < count; ++index) {
        std::size_t offset = index * dos_part_size;
        std::uint32_t size = std::uint32_t(std::min<std::size_t>(dos_part_size, whole.size() - offset));
        std::copy_n(whole.begin() + std::ptrdiff_t(offset), size, current_input.data.begin());
        current_input.size = size;
        current_input.position = 0;
        mark("file", entry.text + " (part " + std::to_string(index + 1) + ")");
        if (settings.turbo)
            encode_turbo_dos_file(entry.text, part_flags(index, count, more_entries), int(index) + 1, msx_name);
        else
            encode_fast_file(entry.text, entry.run_flag, fast_mode, part_flags(index, count, more_entries),
                             false, int(index) + 1, msx_name);
        mark("pause");
        emit_entry_pause(size);
    }
}

namespace {

void timeline_note(const std::string& kind, const std::string& name)
{
    mark(kind, name);
}

// The RAM-disk DOS as a file of the turbo tape: the main loader loads and
// starts it, as the fast loader does.  Its disk is the one the DOS-mode
// files after it are fitted to.
TurboFile read_turbo_ramdos(const InputEntry& entry, std::size_t files_before)
{
    if (files_before >= turbo_files_at_most())
        fatal_error(err_too_many_files, std::to_string(files_before + 1));
    load_input(entry.text);
    const BinHeader header = BinHeader::read(current_input.data.data());
    TurboFile file;
    file.label = entry.text;
    file.start = header.start;
    file.exec = header.exec;
    file.run = entry.run_flag != 'n';
    // The bytes the image carries (its header's end address is one past them).
    file.data.assign(current_input.data.begin() + 7, current_input.data.begin() + current_input.size);
    ram_disk_chosen(entry.text, {current_input.data.data(), current_input.size});
    release_input();
    return file;
}

// The files the main loader reads, checked before the output is created:
// all of them but in DOS mode, where there are none, and but those after
// RAMDOS, which go as DOS-mode files (`dos_from`, their first index).
std::vector<TurboFile> read_turbo_files(const CommandLine& line, std::size_t& dos_from)
{
    std::vector<TurboFile> files;
    dos_from = settings.dos_mode ? 0 : line.files.size();
    for (std::size_t i = 0; i < dos_from; ++i) {
        const InputEntry& entry = line.files[i];
        if (is_image_entry(entry))
            fatal_error(err_turbo_not_bin, entry.text);
        if (is_ramdos_keyword(entry.text)) {
            files.push_back(read_turbo_ramdos(entry, files.size()));
            dos_from = i + 1;
        } else {
            files.push_back(read_turbo_file(entry.text, entry.run_flag, files.size()));
        }
    }
    if (!files.empty())
        check_turbo_order(files);
    return files;
}

// The DOS-mode files of a turbo tape, for K7: each in parts above the part
// size, each followed by the pause DOS mode leaves for K7 to save it.
void run_turbo_dos_files(const CommandLine& line, std::size_t from)
{
    for (std::size_t i = from; i < line.files.size(); ++i) {
        const InputEntry& entry = line.files[i];
        const bool more = i + 1 < line.files.size();
        if (is_image_entry(entry)) {
            encode_fast_image(entry, 0, more, false);  // a disk image's files, as DOS-mode files
            continue;
        }
        load_input(entry.text);
        const std::uint32_t size = current_input.size;
        ram_disk_add_file(msx_file_name(entry.text, true), size);
        if (size > dos_part_size) {
            encode_in_parts(entry, 0, more);
        } else {
            mark("file", entry.text);
            encode_turbo_dos_file(entry.text, more ? 1 : 0, -1);
            if (more) {
                mark("pause");
                emit_entry_pause(size);
            }
        }
        release_input();
    }
    if (from < line.files.size())
        paused(short_gap);
}

void run_turbo_path(const CommandLine& line, const std::vector<TurboFile>& files, std::size_t dos_from)
{
    if (!files.empty()) {
        const bool ramdos = dos_from > 0 && is_ramdos_keyword(line.files[dos_from - 1].text);
        const bool more = dos_from < line.files.size();
        encode_turbo_tape(files, timeline_note, ramdos && more ? ramdos_boot_pause_ms : short_gap);
        if (ramdos)
            settings.dos_mode = true;
    }
    run_turbo_dos_files(line, dos_from);
}

void run_fast_path(const CommandLine& line)
{
    std::uint8_t fast_mode = line.fast_wave_mode;
    if (settings.attach_loader) {
        std::string_view label = line.files.empty() ? std::string_view("LOADER") : line.files[0].text;
        mark("loader", "LOADER");
        encode_standard_file("LOADER", settings.standard_wave_mode, label);
        paused(short_gap);
    }
    for (std::size_t i = 0; i < line.files.size(); ++i) {
        const InputEntry& entry = line.files[i];
        bool more = i + 1 < line.files.size();
        if (is_image_entry(entry)) {
            encode_fast_image(entry, fast_mode, more, i == 0 && settings.attach_loader);
            continue;
        }
        load_input(entry.text);
        std::uint32_t size = current_input.size;
        if (settings.dos_mode)
            ram_disk_add_file(msx_file_name(entry.text, true), size);
        if (settings.dos_mode && size > dos_part_size) {
            encode_in_parts(entry, fast_mode, more);
        } else {
            mark("file", entry.text);
            encode_fast_file(entry.text, entry.run_flag, fast_mode, more ? 1 : 0, true, -1);
            if (is_ramdos_keyword(entry.text)) {
                if (!settings.dos_mode)  // in DOS mode it is only a file for the disk
                    ram_disk_chosen(entry.text, {current_input.data.data(), current_input.size});
                settings.dos_mode = true;
                paused(more ? ramdos_boot_pause_ms : short_gap);
            } else if (more) {
                mark("pause");
                emit_entry_pause(size);
            }
        }
        release_input();
    }
    if (!(settings.attach_loader && line.files.empty())) {
        paused(short_gap);
        mark("tone");
        int tone_mode = fast_mode == 6 ? 8 : fast_mode;
        for (int i = 0; i < closing_tone_cells; ++i)
            emit_bit1(tone_mode);
    }
}

void print_loading_time()
{
    std::uint64_t length = wav_seek_end();
    double byte_rate = settings.cd_mode ? 88200.0 : 8.0 * settings.baud_rate;
    float seconds = float((double(length) - wav_header_size) / byte_rate);
    long whole = long(std::floor(double(seconds) + 0.5));
    std::printf("\nEnd of process ! Estimated loading time %ld:%02ld min (%.1f sec)\n", whole / 60, whole % 60,
                double(seconds));
}

// The pieces of the tape in playing order, in seconds of what the MSX hears;
// pauses next to each other are one, empty pieces are left out.
void print_timeline(std::uint64_t end)
{
    double byte_rate = settings.cd_mode ? 88200.0 : 8.0 * settings.baud_rate;
    std::vector<TimelineMark> pieces;
    for (std::size_t i = 0; i < timeline.size(); ++i) {
        std::uint64_t piece_end = i + 1 < timeline.size() ? timeline[i + 1].at : end;
        if (piece_end <= timeline[i].at)
            continue;
        if (timeline[i].kind == "pause" && !pieces.empty() && pieces.back().kind == "pause")
            continue;
        pieces.push_back(timeline[i]);
    }
    std::printf("\nTimeline:\n%8s %8s  %-7s %s\n", "start", "length", "kind", "name");
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::uint64_t piece_end = i + 1 < pieces.size() ? pieces[i + 1].at : end;
        double start = double(pieces[i].at - wav_header_size) / byte_rate;
        double length = double(piece_end - pieces[i].at) / byte_rate;
        if (pieces[i].name.empty())
            std::printf("%8.3f %8.3f  %s\n", start, length, pieces[i].kind.c_str());
        else
            std::printf("%8.3f %8.3f  %-7s %s\n", start, length, pieces[i].kind.c_str(), pieces[i].name.c_str());
    }
}

}  // namespace

void print_banner()
{
    static const char* const lines[] = {
        (" .-----------------------. Cassonic " CASSONIC_VERSION),
        " |  C A S S O N I C  MSX | ",
        " |   (@)  =======  (@)   | Encodes MSX files to WAV for loading",
        " |      ___________      | via tape interface. Supported formats:",
        " '-----/___________\\-----' ROM <= 48K, BIN, BAS (tokenized), COM",
    };
    for (const char* line : lines)
        std::printf("\n%s", line);
    std::printf("\n");
}

void print_usage()
{
    std::printf(" Usage:\n");
    static const char* const pieces[] = {
        " tapecast <baudrate|-cd> [-o wav][-c|-xp][-noldr][-nofix][-p len][-dos]",
        "   [-sine][-timeline] <file> [-n] [file [-n]] ...",
        " where \n",
        "    baudrate - baud rate to be used in encoding.",
        "      Recommended values: standard mode - 1200 or 2400, usually 3200 is OK;",
        "      compressed mode: 3500 - 5500, experimental mode: 4500-5500",
        "    -cd  - create 44100Hz/16bit CD-compatible mono WAV output. Baud rate is",
        "      fixed (standard: 2205, compressed: 3675, experimental: 5512)",
        "    -o wav - name of WAV file to be created (./out.wav by default)",
        "    -c   - Cassonic's special WAV compression mode",
        "    -sine - use a sine waveform (if appropriate)",
        "    -timeline - print where each file starts on the tape and how long it plays",
        "    -xp  - experimental hi-speed mode (use at your own risk)",
        "    -turbo - turbo mode (with -cd, instead of -c or -xp): BIN, BASIC, ROM and COM files, -dos, RAMDOS",
        "    -noldr - don't attach to WAV the Cassonic's built-in loader",
        "    -nofix - don't patch ROM",
        "    -p <length of pause between files in milliseconds> (1000 by default)",
        "    file [-n] [file [-n] ...] - files to be encoded, -n - don't execute",
        "    -dos - convert files of any type to be loaded & saved to disk from DOS",
        "      Type keyword RAMDOS instead of file name to use the built-in RAM disk",
        "      Set number of 1<=VRAM<=7 and 1<RAM<=3 (8 max) pages for RAM disk",
        "      by using RAMDOS.vrs, where 'v'-no.of VRAM pages, 'r'-no.or RAM pages,",
        "      s-set it to 'n' to ensure that DOS files aren't loaded",
    };
    for (const char* piece : pieces)
        std::printf("\n%s", piece);
    std::printf("\n");
}

void print_version()
{
    std::printf("tapecast (Cassonic) %s\n", CASSONIC_VERSION);
    std::printf("Encodes MSX programs into WAV audio that an MSX loads through its cassette port.\n");
}

CommandLine parse_command_line(const std::vector<std::string>& args)
{
    CommandLine line;
    if (args.empty() || is_help(args[0]) || gnu_info_option(args) == "--help") {
        line.help = true;
        return line;
    }
    if (args.size() < 2)
        usage_error(err_incomplete_command);

    const std::string& first = args[0];
    if (first == "-cd") {
        settings.cd_mode = true;
    } else {
        std::optional<std::int32_t> rate = whole_number(first, 5999);
        if (!rate || *rate < 1)
            usage_error(err_bad_baud_rate, first);
        settings.baud_rate = *rate;
        settings.attach_loader = false;
    }

    // "--" ends the options: every argument after it is a file.
    bool files_only = false;
    std::size_t i = 1;
    for (; i < args.size() && args[i].starts_with('-'); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            files_only = true;
            ++i;
            break;
        } else if (arg == "-c") {
            settings.compressed = true;
        } else if (arg == "-xp") {
            settings.experimental = true;
        } else if (arg == "-noldr") {
            settings.attach_loader = false;
        } else if (arg == "-sine") {
            settings.sine = true;
        } else if (arg == "-dos") {
            settings.dos_mode = true;
        } else if (arg == "-nofix") {
            settings.patch_roms = false;
        } else if (arg == "-timeline") {
            settings.print_timeline = true;
        } else if (arg == "-turbo") {
            settings.turbo = true;
        } else if (arg == "-o" || arg == "-p") {
            if (i + 1 >= args.size())
                usage_error(err_incomplete_command);
            ++i;
            if (arg == "-o") {
                settings.output_path = args[i];
            } else {
                std::optional<std::int32_t> pause = whole_number(args[i], INT32_MAX);
                if (!pause)
                    usage_error(err_bad_pause, args[i]);
                settings.pause_ms = *pause;
            }
        } else {
            usage_error(err_unknown_option, arg);
        }
    }
    if (settings.turbo)
        check_turbo_options(args);
    if (settings.dos_mode)
        settings.attach_loader = false;

    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (files_only) {
            line.files.push_back({arg, 'r'});
        } else if (arg == "--") {
            files_only = true;
        } else if (arg == "-n" || arg == "-r") {
            line.files.back().run_flag = arg[1];
        } else if (arg.starts_with('-')) {
            usage_error(err_unexpected_option, arg);
        } else {
            line.files.push_back({arg, 'r'});
        }
    }
    if (line.files.size() > max_input_files)
        usage_error(err_too_many_files, std::to_string(line.files.size()));
    resolve_modes(line);
    return line;
}

void timeline_mark(std::string kind, std::string name)
{
    mark(std::move(kind), std::move(name));
}

void emit_entry_pause(std::uint32_t size)
{
    std::uint32_t by_size = size / (settings.dos_mode ? dos_entry_pause_divisor : entry_pause_divisor);
    if (by_size > std::uint32_t(settings.pause_ms))
        emit_pause(int(by_size));
    else
        emit_pause(pause_setting);
}

namespace {

// Before the output is created: it must not be one of the inputs, and its
// size must fit a WAV header.  The inputs and the output are then kept from
// being replaced by packed copies.
void check_run_files(const CommandLine& line)
{
    std::vector<std::string> paths;
    for (const InputEntry& entry : line.files) {
        if (is_keyword(entry.text))
            continue;
        if (same_file(settings.output_path, entry.text))
            fatal_error(err_output_is_input, settings.output_path);
        paths.push_back(entry.text);
    }
    if (wav_size_at_most(line) > max_wav_size)
        fatal_error(err_wav_too_large, settings.output_path);
    protect_run_files(std::move(paths), settings.output_path);
}

int run(const std::vector<std::string>& args)
{
    if (gnu_info_option(args) == "--version") {
        print_version();
        return 0;
    }
    print_banner();
    CommandLine line = parse_command_line(args);
    if (line.help) {
        print_usage();
        return 0;
    }
    if (line.files.empty() && !settings.attach_loader)
        usage_error(err_no_files);
    check_run_files(line);

    // A CAS image holds standard blocks only: refused before anything is written.
    bool cas_image = is_cas_name(settings.output_path);
    if (cas_image && line.fast_wave_mode != 0)
        fatal_error(err_cas_output_fast, settings.output_path);
    if (cas_image && settings.turbo)
        fatal_error(err_turbo_mode, settings.output_path);
    std::vector<TurboFile> turbo_files;
    std::size_t turbo_dos_from = 0;
    if (settings.turbo)
        turbo_files = read_turbo_files(line, turbo_dos_from);

    on_fatal_error(release_input);
    on_fatal_error(wav_abandon);
    on_fatal_error(discard_staged_files);
    remove_staged_files_on_signals();
    if (!wav_create(settings.output_path))
        fatal_error(err_create_output, settings.output_path);
    print_mode_line(line);
    if (cas_image)
        write_cas_image();
    else
        wav_write_header();

    if (settings.turbo)
        run_turbo_path(line, turbo_files, turbo_dos_from);
    else if (line.fast_wave_mode == 0)
        run_standard_path(line);
    else
        run_fast_path(line);

    if (cas_image) {
        std::printf("\nEnd of process ! CAS image of %u blocks (%llu bytes)\n", cas_blocks_written(),
                    static_cast<unsigned long long>(wav_seek_end()));
        if (settings.print_timeline)
            std::printf("No timeline: a CAS image has no signal\n");
    } else {
        print_loading_time();
        if (settings.print_timeline)
            print_timeline(wav_seek_end());
        wav_finish();
    }
    release_input();
    wav_close();
    commit_packed_copies();
    return 0;
}

}  // namespace

int run_tapecast(const std::vector<std::string>& args)
{
    // Nothing leaves a run but an exit status: an internal failure is an
    // error like the others, and cleans up like them.
    try {
        return run(args);
    } catch (const std::bad_alloc&) {
        fatal_error(err_internal, "out of memory");
    } catch (const std::exception& failure) {
        fatal_error(err_internal, failure.what());
    } catch (...) {
        fatal_error(err_internal, "unknown failure");
    }
}
