#include "driver/run.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "common/errors.h"
#include "common/input.h"
#include "convert/fast_file.h"
#include "convert/standard_file.h"
#include "signal/standard.h"
#include "signal/wav.h"

namespace {

// In DOS mode a file longer than this goes on tape in parts of this size.
constexpr std::uint32_t dos_part_size = 46080;
// Silence after a RAM-disk DOS entry while the MSX brings DOS up.
constexpr int ramdos_boot_pause_ms = 4000;
constexpr int closing_tone_cells = 501;

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

// The leading decimal integer of `text`, as the C library's atoi reads it
// (blanks, sign, digits); out-of-range values saturate instead of wrapping.
long leading_integer(const std::string& text)
{
    return std::strtol(text.c_str(), nullptr, 10);
}

std::int32_t clamp_to_int32(long value)
{
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
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
    if (settings.compressed || settings.experimental) {
        if (!settings.cd_mode)
            line.fast_wave_mode = settings.compressed ? 8 : 6;
        else
            line.fast_wave_mode = settings.experimental ? 108 : settings.sine ? 212 : 112;
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
    if (line.files.size() > 1)
        std::printf("\nTime of pause between files: %d ms (%.1f sec)", settings.pause_ms,
                    double(settings.pause_ms) / 1000.0);
    std::printf("\nOutput file: %s\n\n", settings.output_path.c_str());
}

void run_standard_path(const CommandLine& line)
{
    int mode = settings.cd_mode ? settings.standard_wave_mode : 8;
    for (std::size_t i = 0; i < line.files.size(); ++i) {
        mark("file", line.files[i].text);
        encode_standard_file(line.files[i].text, mode);
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

void encode_in_parts(const InputEntry& entry, std::uint8_t fast_mode, bool more_entries)
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
        encode_fast_file(entry.text, entry.run_flag, fast_mode, part_flags(index, count, more_entries),
                         false, int(index) + 1);
        mark("pause");
        emit_entry_pause(size);
    }
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
        load_input(entry.text);
        std::uint32_t size = current_input.size;
        if (settings.dos_mode && size > dos_part_size) {
            encode_in_parts(entry, fast_mode, more);
        } else {
            mark("file", entry.text);
            encode_fast_file(entry.text, entry.run_flag, fast_mode, more ? 1 : 0, true, -1);
            if (entry.text.starts_with("RAMDOS")) {
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
        " .-----------------------. Cassonic " CASSONIC_VERSION,
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
        long rate = leading_integer(first);
        if (rate < 1 || rate > 5999)
            usage_error(err_bad_baud_rate, first);
        settings.baud_rate = std::int32_t(rate);
        settings.attach_loader = false;
    }

    std::size_t i = 1;
    for (; i < args.size() && args[i].starts_with('-'); ++i) {
        const std::string& arg = args[i];
        if (arg == "-c") {
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
        } else if (arg == "-o" || arg == "-p") {
            if (i + 1 >= args.size())
                usage_error(err_incomplete_command);
            ++i;
            if (arg == "-o")
                settings.output_path = args[i];
            else
                settings.pause_ms = clamp_to_int32(leading_integer(args[i]));
        } else {
            usage_error(err_unknown_option, arg);
        }
    }
    if (settings.dos_mode)
        settings.attach_loader = false;

    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-n" || arg == "-r") {
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

void emit_entry_pause(std::uint32_t size)
{
    std::uint32_t by_size = size / 22;
    if (by_size > std::uint32_t(settings.pause_ms))
        emit_pause(int(by_size));
    else
        emit_pause(pause_setting);
}

int run_tapecast(const std::vector<std::string>& args)
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

    on_fatal_error(release_input);
    on_fatal_error(wav_abandon);
    if (!wav_create(settings.output_path))
        fatal_error(err_create_output, settings.output_path);
    print_mode_line(line);
    wav_write_header();

    if (line.fast_wave_mode == 0)
        run_standard_path(line);
    else
        run_fast_path(line);

    print_loading_time();
    if (settings.print_timeline)
        print_timeline(wav_seek_end());
    wav_finish();
    release_input();
    wav_close();
    return 0;
}
