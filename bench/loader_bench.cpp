// Loading times on the emulated MSX (3.579545 MHz, AC-coupled tape input):
// for a 16K ROM, a 32K ROM, a BIN and a BASIC program, the emulated time
// from the first sample of the tape until the program starts, in each fast
// mode and in the standard format at 2400 baud, and how many times faster
// each fast mode is.  The baud-rate fast modes carry no loader: their tape
// is the loader at 2400 baud, 0.3 s of silence, then the file, as played by
// hand.  The standard format takes a ROM as the BIN image tapecast saves
// beside it (BLOAD"CAS:",R), a BASIC program with CLOAD and RUN.
//
// The same WAVs then go to openMSX with C-BIOS (MSX2 and MSX1), whose input
// model differs: a DC filter, then the sign of the sample.  C-BIOS cannot
// read a tape, so there a time is the first block's playing time in the WAV
// (the BIOS-read block, as written) plus openMSX's emulated time from the
// sample after that block, its program put into RAM and started, until the
// program starts.  The standard format has no openMSX figure.

#include "assets/images.h"
#include "bench_files.h"
#include "msx.h"
#include "openmsx_run.h"
#include "standard_tape.h"
#include "tape_run.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace msxbench;
using bench::read_all;
using bench::tapecast;
using bench::write_all;

enum class Kind { bin, rom, basic };

struct Program {
    std::string label;
    std::string file;
    Kind kind;
    Bytes bytes;
};

struct Mode {
    const char* label;
    std::vector<std::string> args;  // empty: the standard format at 2400 baud
    bool separate_loader;
};

// A BIN of 8 KB of code-like bytes at 0x9000.
Bytes sample_bin()
{
    Bytes bin = {0xFE, 0x00, 0x90, 0xFF, 0xAF, 0x00, 0x90};
    std::mt19937 random(7);
    const Bytes common = {0x3E, 0x21, 0xCD, 0x00, 0xC9, 0x23, 0x7E, 0x18, 0xFE, 0x11, 0x32, 0x0A};
    for (int i = 0; i < 0x2000; ++i)
        bin.push_back(random() % 3 ? common[random() % common.size()] : std::uint8_t(random()));
    bin[7] = 0xC9;
    return bin;
}

// A tokenized BASIC program of some 2 KB (small enough to go on tape as it
// is): lines of PRINT with text.
Bytes sample_basic()
{
    Bytes program = {0xFF};
    std::uint16_t at = 0x8001;
    for (int number = 10; number <= 400; number += 10) {
        Bytes text = {0x91, ' ', '"'};  // PRINT "
        for (char c : std::string("Line of a BASIC program loaded from tape"))
            text.push_back(std::uint8_t(c));
        text.push_back('"');
        const auto next = std::uint16_t(at + 4 + text.size() + 1);
        program.insert(program.end(), {std::uint8_t(next), std::uint8_t(next >> 8), std::uint8_t(number),
                                       std::uint8_t(number >> 8)});
        program.insert(program.end(), text.begin(), text.end());
        program.push_back(0);
        at = next;
    }
    program.push_back(0);
    program.push_back(0);
    return program;
}

// Where the program starts: exec address or INIT; BASIC: the run entry.
std::uint16_t start_of(const Program& program)
{
    if (program.kind == Kind::rom)
        return std::uint16_t(program.bytes[2] | program.bytes[3] << 8);
    if (program.kind == Kind::bin)
        return std::uint16_t(program.bytes[5] | program.bytes[6] << 8);
    return basic_run;
}

// Plays `recordings` from their first sample and returns the emulated
// seconds until the program starts, or nothing when it does not.
std::optional<double> time_to_start(const Program& program, const std::vector<fs::path>& recordings, bool cload)
{
    Msx msx;
    std::vector<WavSignal> signals;
    for (const fs::path& path : recordings)
        signals.push_back(path.empty() ? silence(0.3) : read_wav(path.string()));
    msx.insert_tape(signals);
    if (cload)
        msx.cload_run();
    else
        msx.bload_run();
    const std::uint16_t start = start_of(program);
    const RunResult run = run_to(msx.machine(), {start}, seconds(400));
    const bool started = run.reason == Stop::breakpoint && run.pc == start;
    if (!started)
        return std::nullopt;
    return double(msx.machine().cycles()) / msx_clock;
}

// The turbo tape of a packed program in its pieces, in emulated seconds:
// until the bootstrap starts (the first block, read by the BIOS), until the
// main loader starts (read by the bootstrap), until the depacker starts
// (the loader's tables built, the packed image read and checked), until the
// program starts (checked and restored by the depacker).
void print_turbo_pieces(const Program& program, const fs::path& wav)
{
    Msx msx;
    msx.insert_tape({read_wav(wav.string())});
    msx.bload_run();
    const std::uint16_t stops[] = {turbo_boot().address, turbo_loader().address, turbo_depacker_address(),
                                   start_of(program)};
    const char* names[] = {"first block", "rest of loader", "data", "depacking"};
    std::printf("\n%-28s %7s ", "  CD turbo pieces", "");
    double before = 0;
    for (std::size_t i = 0; i < std::size(stops); ++i) {
        const RunResult run = run_to(msx.machine(), {stops[i]}, seconds(400));
        if (run.reason != Stop::breakpoint)
            return;
        const double now = double(msx.machine().cycles()) / msx_clock;
        std::printf(" %s %.2f", names[i], now - before);
        before = now;
    }
}

// What openMSX plays for one WAV: the rest after the BIOS-read block, and
// the seconds before it, taken from the WAV.
struct OpenmsxTape {
    openmsx::TapeBin loader;  // read back from the first block
    fs::path rest;
    double before = 0;
};

// `loader_wav` is empty when the first block is on `wav` itself; else the
// loader is played by hand first (its WAV, then 0.3 s of silence) and
// `wav` is played whole once the loader waits.
OpenmsxTape openmsx_tape(const fs::path& wav, const fs::path& loader_wav)
{
    OpenmsxTape tape;
    if (!loader_wav.empty()) {
        tape.loader = openmsx::read_first_bin(loader_wav);
        tape.rest = wav;
        tape.before = openmsx::wav_info(loader_wav).seconds() + 0.3;
        return tape;
    }
    tape.loader = openmsx::read_first_bin(wav);
    tape.rest = fs::path(wav).replace_extension(".rest.wav");
    openmsx::write_wav_from(wav, tape.rest, tape.loader.end_sample);
    tape.before = tape.loader.end_seconds;
    return tape;
}

// The seconds from the first sample until the program starts on an openMSX
// machine, or nothing when it does not start.
std::optional<double> openmsx_time(const Program& program, const OpenmsxTape& tape, const char* machine,
                                   const fs::path& work)
{
    openmsx::Job job;
    job.machine = machine;
    job.start = tape.loader.start;
    job.exec = tape.loader.exec;
    job.program = tape.loader.program;
    // What BASIC holds when BLOAD"CAS:",R runs: an empty program at 0x8001.
    job.pokes = {{0xF676, {0x01, 0x80}}, {0x8000, {0x00, 0x00, 0x00}}};
    job.tape = tape.rest;
    job.seconds = openmsx::wav_info(tape.rest).seconds() + 10;
    // BASIC's run entry is in the main ROM; a ROM's INIT counts once RAM
    // is there (C-BIOS has code at the same place).
    job.stops = {{start_of(program), program.kind != Kind::basic}};
    const openmsx::Report report = openmsx::run(job, work);
    if (report.reason != openmsx::StopReason::entry || report.pc != start_of(program))
        return std::nullopt;
    return tape.before + report.stop.seconds;
}

// One fast-mode WAV to time in openMSX.
struct OpenmsxRun {
    const Program* program;
    std::size_t program_index;
    std::size_t mode_index;
    fs::path wav;
    fs::path loader_wav;
};

// Times every run on openMSX MSX2 and MSX1, in two threads, and prints
// them as a table of the fast modes.
void print_openmsx(const std::vector<Program>& programs, const std::vector<Mode>& modes,
                   const std::vector<OpenmsxRun>& runs, const fs::path& dir, std::size_t xp_column,
                   std::size_t turbo_column)
{
    const char* const machines[] = {openmsx::msx2, openmsx::msx1};
    const char* const machine_labels[] = {"MSX2", "MSX1"};
    std::vector<std::string> failures;
    std::vector<std::optional<OpenmsxTape>> tapes;
    for (const OpenmsxRun& run : runs) {
        try {
            tapes.push_back(openmsx_tape(run.wav, run.loader_wav));
        } catch (const std::runtime_error& e) {
            tapes.emplace_back();
            failures.push_back(e.what());
        }
    }
    // times[machine][program][mode]
    std::vector<std::vector<std::vector<std::optional<double>>>> times(
        std::size(machines), std::vector<std::vector<std::optional<double>>>(
                                 programs.size(), std::vector<std::optional<double>>(modes.size())));
    std::atomic<std::size_t> next = 0;
    std::vector<std::string> run_failures(runs.size() * std::size(machines));
    const auto work = [&] {
        for (std::size_t job = next++; job < run_failures.size(); job = next++) {
            const std::size_t machine = job % std::size(machines);
            const OpenmsxRun& run = runs[job / std::size(machines)];
            const std::optional<OpenmsxTape>& tape = tapes[job / std::size(machines)];
            if (!tape)
                continue;
            try {
                times[machine][run.program_index][run.mode_index] =
                    openmsx_time(*run.program, *tape, machines[machine], dir);
            } catch (const std::runtime_error& e) {
                run_failures[job] = e.what();
            }
        }
    };
    std::vector<std::thread> pool;
    for (int t = 0; t < 2; ++t)
        pool.emplace_back(work);
    for (std::thread& t : pool)
        t.join();

    std::printf("\nopenMSX with C-BIOS (DC filter, then the sign of the sample): the first block's playing time in\n"
                "the WAV (C-BIOS cannot read a tape: its program is put into RAM and started) plus openMSX's\n"
                "emulated time from the sample after it until the program starts; the baud-rate modes: the\n"
                "loader's WAV and 0.3 s, plus openMSX's time for the file's WAV\n\n");
    // Every mode but the last, the standard format, which C-BIOS cannot read.
    std::printf("%-28s %7s", "program", "machine");
    for (std::size_t m = 0; m + 1 < modes.size(); ++m)
        std::printf(" %9s", modes[m].label);
    std::printf("\n");
    for (std::size_t p = 0; p < programs.size(); ++p) {
        for (std::size_t machine = 0; machine < std::size(machines); ++machine) {
            const auto& row = times[machine][p];
            std::printf("%-28s %7s", machine == 0 ? programs[p].label.c_str() : "", machine_labels[machine]);
            for (std::size_t m = 0; m + 1 < modes.size(); ++m)
                row[m] ? std::printf(" %9.2f", *row[m]) : std::printf(" %9s", "-");
            if (row[turbo_column] && row[xp_column])
                std::printf("   turbo / -xp %.2f (%.2fx faster)", *row[turbo_column] / *row[xp_column],
                            *row[xp_column] / *row[turbo_column]);
            std::printf("\n");
        }
    }
    for (const std::string& failure : failures)
        std::printf("No openMSX run: %s\n", failure.c_str());
    for (const std::string& failure : run_failures)
        if (!failure.empty())
            std::printf("openMSX run failed: %s\n", failure.c_str());
}

}  // namespace

int main()
{
    const fs::path dir = fs::temp_directory_path() / ("cassonic-loader-bench-" + std::to_string(std::random_device()()));
    fs::create_directories(dir);

    std::vector<Program> programs;
    // Cartridge images made of real Z80 code and data: C-BIOS main ROM
    // contents (its cartridge ROMs are mostly empty space and pack to
    // almost nothing) behind a cartridge header.
    const Bytes msx2_rom = read_all("/usr/share/cbios/cbios_main_msx2.rom");
    const Bytes msx1_rom = read_all("/usr/share/cbios/cbios_main_msx1.rom");
    if (msx2_rom.size() == 0x8000 && msx1_rom.size() == 0x8000) {
        const Bytes header = {'A', 'B', 0x10, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        Bytes rom32(msx2_rom.begin(), msx2_rom.begin() + 0x4000);  // two first halves: code
        rom32.insert(rom32.end(), msx1_rom.begin(), msx1_rom.begin() + 0x4000);
        std::copy(header.begin(), header.end(), rom32.begin());
        programs.push_back({"16K ROM (C-BIOS code)", "rom16.rom", Kind::rom, Bytes(rom32.begin(), rom32.begin() + 0x4000)});
        programs.push_back({"32K ROM (C-BIOS code)", "rom32.rom", Kind::rom, rom32});
    }
    programs.push_back({"8K BIN", "code.bin", Kind::bin, sample_bin()});
    programs.push_back({"2K BASIC", "prog.bas", Kind::basic, sample_basic()});

    const std::vector<Mode> modes = {
        {"CD -c", {"-cd", "-c"}, false},     {"CD -xp", {"-cd", "-xp"}, false}, {"-c 3500", {"3500", "-c"}, true},
        {"-c 5500", {"5500", "-c"}, true},   {"-xp 4500", {"4500", "-xp"}, true},
        {"-xp 5500", {"5500", "-xp"}, true}, {"CD turbo", {"-cd", "-turbo"}, false},
        {"std 2400", {}, false},
    };
    const std::size_t xp_column = 1;
    const std::size_t turbo_column = 6;
    const bool have_loader = tapecast(dir, {"2400", "LOADER"}, "loader.wav");

    std::printf("Emulated seconds from the first sample until the program starts (3.579545 MHz, AC-coupled input)\n\n");
    std::printf("%-28s %7s", "program", "bytes");
    for (const Mode& mode : modes)
        std::printf(" %9s", mode.label);
    std::printf("\n");
    const auto wav_name = [](std::size_t program, std::size_t mode) {
        return "p" + std::to_string(program) + "-t" + std::to_string(mode) + ".wav";
    };
    std::vector<OpenmsxRun> openmsx_runs;
    for (std::size_t p = 0; p < programs.size(); ++p) {
        const Program& program = programs[p];
        write_all(dir / program.file, program.bytes);
        std::vector<std::optional<double>> times;
        for (const Mode& mode : modes) {
            const std::string wav = wav_name(p, times.size());
            std::optional<double> time;
            if (!mode.args.empty()) {
                std::vector<std::string> args = mode.args;
                args.push_back(program.file);
                std::vector<fs::path> tape = {dir / wav};
                if (mode.separate_loader)
                    tape = {dir / "loader.wav", fs::path(), dir / wav};
                if (tapecast(dir, args, wav) && (have_loader || !mode.separate_loader)) {
                    time = time_to_start(program, tape, false);
                    openmsx_runs.push_back(
                        {&program, p, times.size(), dir / wav, mode.separate_loader ? dir / "loader.wav" : fs::path()});
                }
            } else {
                // Standard format: BIN and BASIC as they are, a ROM as its saved BIN image.
                std::string file = program.file;
                if (program.kind == Kind::rom)
                    file += ".bin";
                if (fs::exists(dir / file) && tapecast(dir, {"2400", file}, wav))
                    time = time_to_start(program, {dir / wav}, program.kind == Kind::basic);
            }
            times.push_back(time);
        }
        std::printf("%-28s %7zu", program.label.c_str(), program.bytes.size());
        for (const auto& time : times)
            time ? std::printf(" %9.2f", *time) : std::printf(" %9s", "-");
        std::printf("\n%-28s %7s", "  standard / mode", "");
        for (const auto& time : times)
            (time && times.back()) ? std::printf(" %8.1fx", *times.back() / *time) : std::printf(" %9s", "-");
        if (times[turbo_column] && times[xp_column])
            std::printf("\n%-28s %7s  %.2f (%.2fx faster)", "  CD turbo / CD -xp", "",
                        *times[turbo_column] / *times[xp_column], *times[xp_column] / *times[turbo_column]);
        if (times[turbo_column] && program.kind == Kind::rom)
            print_turbo_pieces(program, dir / wav_name(p, turbo_column));
        std::printf("\n");
    }
    std::printf("\n'-': does not start (or, standard format: no BIN image saved for it).\n");

    if (const std::string why = openmsx::missing(); !why.empty()) {
        std::printf("\nNo openMSX figures: %s.\n", why.c_str());
    } else {
        print_openmsx(programs, modes, openmsx_runs, dir, xp_column, turbo_column);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
