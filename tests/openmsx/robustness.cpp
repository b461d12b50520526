#include "robustness.h"

#include "assets/images.h"
#include "msx.h"
#include "standard_tape.h"
#include "tape_run.h"
#include "test_support.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace robustness {

namespace fs = std::filesystem;

namespace {

constexpr std::uint16_t txttab = 0xF676;

std::uint16_t word(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
}

}  // namespace

const std::vector<Mode>& modes()
{
    static const std::vector<Mode> all = {
        {"CD -c", {"-cd", "-c"}, false},
        {"CD -c sine", {"-cd", "-c", "-sine"}, false},
        {"CD -xp", {"-cd", "-xp"}, false},
        {"CD -xp sine", {"-cd", "-xp", "-sine"}, false},
        {"-c 3500", {"3500", "-c"}, true},
        {"-c 5500", {"5500", "-c"}, true},
        {"-xp 4500", {"4500", "-xp"}, true},
        {"-xp 5500", {"5500", "-xp"}, true},
        {"CD -turbo", {"-cd", "-turbo"}, false, true},
    };
    return all;
}

std::vector<tools::AudioCondition> conditions(int noise_seeds)
{
    using tools::AudioPath;
    std::vector<tools::AudioCondition> all = {
        {AudioPath::as_written},        {AudioPath::slower_4}, {AudioPath::faster_4},
        {AudioPath::quarter_amplitude}, {AudioPath::inverted},
    };
    for (int seed = 1; seed <= noise_seeds; ++seed)
        all.push_back({AudioPath::noise_20db, std::uint32_t(seed)});
    all.insert(all.end(), {{AudioPath::resampled_48k}, {AudioPath::mp3_128}, {AudioPath::mp3_192}});
    return all;
}

const std::vector<Emulator>& emulators()
{
    static const std::vector<Emulator> all = {Emulator::msxbench, Emulator::openmsx_msx1, Emulator::openmsx_msx2};
    return all;
}

const char* label(Emulator emulator)
{
    switch (emulator) {
    case Emulator::msxbench:
        return "msxbench";
    case Emulator::openmsx_msx1:
        return "openMSX MSX1";
    case Emulator::openmsx_msx2:
        return "openMSX MSX2";
    }
    return "?";
}

const char* label(Outcome outcome)
{
    switch (outcome) {
    case Outcome::loads:
        return "loads";
    case Outcome::error:
        return "<Err>";
    case Outcome::started_damaged:
        return "started damaged";
    case Outcome::other:
        return "hangs/other";
    }
    return "?";
}

void PrintTo(const Mode& mode, std::ostream* out)
{
    *out << mode.label;
}

void PrintTo(Outcome outcome, std::ostream* out)
{
    *out << label(outcome);
}

std::vector<Program> matrix_programs()
{
    return {random_bin(0x1000, 2024), code_rom(0x4000, 1987), small_basic(2000, 1985)};
}

bool takes(const Mode& mode, const Program& program)
{
    return !mode.turbo || program.kind != Kind::basic || program.bytes.size() <= 2048;
}

Program small_basic(std::size_t size, std::uint32_t seed)
{
    // Statements with numbers, strings and REM lines of text, as a small
    // program has: its bytes are far from evenly spread.
    static const std::vector<std::vector<std::uint8_t>> statements = {
        {0x91, ' ', '"', 'S', 'C', 'O', 'R', 'E', '"', ';', 'S'},  // PRINT "SCORE";S
        {'X', 0xEF, 'X', 0xF1, 0x12},                              // X=X+1
        {0x8B, ' ', 'X', 0xEE, 0x1C, 0x00, 0x01, ' ', 0xDA, ' ', 0x89, ' ', 0x0E, 0x14, 0x00},  // IF X>256 THEN GOTO 20
        {0x82, ' ', 'I', 0xEF, 0x12, ' ', 0xD9, ' ', 0x1A},        // FOR I=1 TO 9
        {0x83, ' ', 'I'},                                           // NEXT I
    };
    std::mt19937 random(seed);
    std::vector<std::uint8_t> program = {0xFF};
    std::uint16_t at = 0x8001;
    for (std::uint16_t number = 10; program.size() + 48 < size; number = std::uint16_t(number + 10)) {
        std::vector<std::uint8_t> text;
        if (random() % 3 == 0) {
            text = {0x8F, ' '};  // REM
            for (unsigned i = 0, n = 8 + random() % 24; i < n; ++i)
                text.push_back(std::uint8_t(random() % 5 ? 'a' + random() % 26 : ' '));
        } else {
            for (unsigned i = 0, n = 1 + random() % 3; i < n; ++i) {
                if (i)
                    text.push_back(':');
                const auto& statement = statements[random() % statements.size()];
                text.insert(text.end(), statement.begin(), statement.end());
            }
        }
        const auto next = std::uint16_t(at + 5 + text.size());
        program.insert(program.end(), {std::uint8_t(next), std::uint8_t(next >> 8), std::uint8_t(number),
                                       std::uint8_t(number >> 8)});
        program.insert(program.end(), text.begin(), text.end());
        program.push_back(0);
        at = next;
    }
    program.insert(program.end(), {0, 0});
    return {"BASIC " + std::to_string((size + 1023) / 1024) + "K", "small.bas", Kind::basic, program};
}

Program random_bin(std::size_t size, std::uint32_t seed)
{
    const std::vector<std::uint8_t> data = test_support::seeded_bytes(size, seed);
    return {"BIN " + std::to_string(size / 1024) + "K random", "random.bin", Kind::bin,
            test_support::make_bin(0x9000, 0x9000, data)};
}

Program code_rom(std::size_t size, std::uint32_t seed)
{
    // Blocks of 64 bytes: instructions and their operands, copies of an
    // earlier block with a few bytes changed (tables, similar routines),
    // and filler, so that it packs as real cartridges do, to about 60%.
    static const std::uint8_t common[] = {0x3E, 0x21, 0xCD, 0xC9, 0x23, 0x7E, 0x18, 0x11,
                                          0x32, 0x06, 0x10, 0x0E, 0xD3, 0x77, 0x2B, 0xFE};
    std::mt19937 random(seed);
    std::vector<std::uint8_t> rom(size);
    for (std::size_t block = 0; block * 64 < size; ++block) {
        const auto at = std::ptrdiff_t(block * 64);
        const unsigned kind = random() % 20;
        if (block > 0 && kind < 5) {
            const auto from = std::ptrdiff_t((random() % block) * 64);
            std::copy(rom.begin() + from, rom.begin() + from + 64, rom.begin() + at);
            for (int i = 0; i < 4; ++i)
                rom[std::size_t(at) + random() % 64] = static_cast<std::uint8_t>(random());
        } else if (kind < 7) {
            std::fill(rom.begin() + at, rom.begin() + at + 64, kind == 5 ? 0x00 : 0xFF);
        } else {
            for (std::size_t i = 0; i < 64; ++i)
                rom[std::size_t(at) + i] =
                    random() % 3 ? common[random() % sizeof common] : static_cast<std::uint8_t>(random());
        }
    }
    const std::uint8_t header[16] = {'A', 'B', 0x10, 0x40};
    std::copy(std::begin(header), std::end(header), rom.begin());
    // No CALL 0024h: the encoder would turn it into NOPs.
    for (std::size_t i = 0; i + 2 < size; ++i)
        if (rom[i] == 0xCD && rom[i + 1] == 0x24 && rom[i + 2] == 0x00)
            rom[i + 2] = 0x01;
    return {"ROM " + std::to_string(size / 1024) + "K packed", "code.rom", Kind::rom, rom};
}

Verdict first_verdict(const std::string& screen)
{
    // "Loading:", the 12 characters of the name, then the verdict.
    const std::size_t at = screen.find("Loading:");
    if (at == std::string::npos || at + 20 > screen.size())
        return Verdict::none;
    const std::string after = screen.substr(at + 8 + 12, 6);
    return after.starts_with(" <OK>") ? Verdict::ok : after == " <Err>" ? Verdict::error : Verdict::none;
}

Verdict turbo_verdict(const std::string& printed)
{
    const std::size_t ok = printed.find(" <OK>"), error = printed.find(" <Err>");
    if (ok == error)
        return Verdict::none;
    return ok < error ? Verdict::ok : Verdict::error;
}

Outcome classify(const Observation& seen)
{
    if (seen.started)
        return seen.program_intact ? Outcome::loads : Outcome::started_damaged;
    // A packed program that checks itself refuses a damaged image and
    // returns, whatever it says.
    if (seen.handed_over && !seen.image_intact)
        return seen.came_back ? Outcome::error : Outcome::started_damaged;
    if (seen.verdict == Verdict::error)
        return Outcome::error;
    // The loader accepted the block but never reached its exec address: a
    // damaged address took it somewhere else.
    if (seen.verdict == Verdict::ok && !seen.handed_over)
        return Outcome::started_damaged;
    return Outcome::other;
}

// What the MSX must hold: the block as the loader stores it, started at the
// block's exec address (the hand-over), and the program itself at its entry.
struct Matrix::Expected {
    std::uint16_t handover = 0;
    std::uint16_t image_start = 0;
    std::vector<std::uint8_t> image;
    std::uint16_t entry = 0;
    std::uint16_t program_start = 0;
    std::vector<std::uint8_t> program;
};

// A mode's WAV of a program as tapecast writes it, what is on it, and the
// loader it starts with.
struct Matrix::Recording {
    bool separate_loader = false;
    bool turbo = false;
    fs::path wav;
    openmsx::TapeBin loader;  // read back from the first block
    const Expected* expected = nullptr;
};

// One cell's WAVs: for msxbench the spoiled recordings in playing order
// ("" is 0.3 s of silence between two recordings played by hand); for
// openMSX the spoiled rest of the tape as the loader meets it.
struct Matrix::Tape {
    std::vector<fs::path> recordings;
    double seconds = 0;
    fs::path rest;
    double rest_seconds = 0;
    std::vector<fs::path> files;  // to remove
};

Matrix::Matrix(std::vector<Program> programs)
    : programs_(std::move(programs)), dir_(std::make_unique<test_support::ScratchDir>())
{
    for (const Program& program : programs_)
        test_support::write_file(dir_->file(program.file), program.bytes);
}

Matrix::~Matrix() = default;

std::string Matrix::tapecast(const std::vector<std::string>& args, const std::string& wav)
{
    std::vector<std::string> all = args;
    all.insert(all.begin() + 1, {"-o", wav});
    const test_support::RunResult result = test_support::run_tapecast(all, dir_->path());
    if (result.status != 0)
        throw std::runtime_error("tapecast failed:\n" + result.output);
    return dir_->file(wav);
}

const Matrix::Recording& Matrix::recording(const Mode& mode, const Program& program)
{
    std::lock_guard lock(mutex_);
    const std::string name = mode.label + "|" + program.file;
    if (auto found = recordings_.find(name); found != recordings_.end())
        return *found->second;
    std::vector<std::string> args = mode.args;
    args.push_back(program.file);
    auto made = std::make_unique<Recording>();
    made->separate_loader = mode.separate_loader;
    made->turbo = mode.turbo;
    made->wav = tapecast(args, "r" + std::to_string(recordings_.size()) + ".wav");
    if (mode.separate_loader && loader_wav_.empty())
        loader_wav_ = tapecast({"2400", "LOADER"}, "loader.wav");
    made->loader = openmsx::read_first_bin(mode.separate_loader ? loader_wav_ : made->wav);

    // A turbo tape packs a ROM for a depacker of its own place.
    const bool turbo_rom = mode.turbo && program.kind == Kind::rom;
    auto& expected = expected_[program.file + (turbo_rom ? "|turbo" : "")];
    if (!expected && turbo_rom) {
        // The turbo loader checks the image's CRC-16 before it hands over;
        // no copy of it is saved to compare with.
        expected = std::make_unique<Expected>();
        expected->handover = turbo_depacker_address();
        expected->entry = word(program.bytes, 2);
        expected->program_start = 0x4000;
        expected->program = program.bytes;
    }
    if (!expected) {
        expected = std::make_unique<Expected>();
        Expected& e = *expected;
        if (program.kind == Kind::basic) {
            // Stored at TXTTAB (0x8001 here) and handed to BASIC's run entry.
            e.handover = e.entry = msxbench::basic_run;
            e.image_start = e.program_start = 0x8001;
            e.image = e.program = std::vector<std::uint8_t>(program.bytes.begin() + 1, program.bytes.end());
        } else if (program.kind == Kind::bin) {
            e.handover = e.entry = word(program.bytes, 5);
            e.image_start = e.program_start = word(program.bytes, 1);
            e.image = e.program = std::vector<std::uint8_t>(program.bytes.begin() + 7, program.bytes.end());
        } else {
            // The packed image on tape, as tapecast saves it beside the ROM.
            const std::vector<std::uint8_t> copy = test_support::read_file(dir_->file(program.file + ".bin"));
            if (copy.size() < 8)
                throw std::runtime_error("no packed copy of " + program.file);
            e.image_start = word(copy, 1);
            e.handover = word(copy, 5);
            e.image.assign(copy.begin() + 7, copy.end());
            e.entry = word(program.bytes, 2);
            e.program_start = 0x4000;
            e.program = program.bytes;
        }
    }
    made->expected = expected.get();
    return *recordings_.emplace(name, std::move(made)).first->second;
}

Matrix::Tape Matrix::tape(const Recording& recorded, const tools::AudioCondition& condition)
{
    const std::string n = std::to_string(made_++);
    Tape tape;
    const auto play = [&](const fs::path& in, const std::string& name) {
        const fs::path played = dir_->file(name + ".wav");
        tools::spoil(in, played, condition, dir_->path());
        tape.files.push_back(played);
        return played;
    };
    const fs::path played = play(recorded.wav, "p" + n);
    if (recorded.separate_loader) {
        tape.recordings = {play(loader_wav_, "p" + n + "-loader"), "", played};
        tape.rest = played;
    } else {
        tape.recordings = {played};
        tape.rest = dir_->file("p" + n + "-rest.wav");
        tape.files.push_back(tape.rest);
        const double at = recorded.loader.end_seconds * tools::time_scale(condition.path);
        openmsx::write_wav_from(played, tape.rest, std::size_t(at * openmsx::wav_info(played).rate + 0.5));
    }
    for (const fs::path& part : tape.recordings)
        tape.seconds += part.empty() ? 0.3 : openmsx::wav_info(part).seconds();
    tape.rest_seconds = openmsx::wav_info(tape.rest).seconds();
    return tape;
}

std::vector<Cell> Matrix::run(const Mode& mode, const Program& program, const tools::AudioCondition& condition,
                              const std::vector<Emulator>& on)
{
    if (!takes(mode, program))
        throw std::invalid_argument(mode.label + " does not take " + program.label);
    const Recording& recorded = recording(mode, program);
    const Tape played = tape(recorded, condition);
    std::vector<Cell> cells;
    try {
        for (const Emulator emulator : on) {
            if (emulator == Emulator::msxbench)
                cells.push_back(run_msxbench(played, recorded));
            else
                cells.push_back(run_openmsx(played, recorded,
                                            emulator == Emulator::openmsx_msx1 ? openmsx::msx1 : openmsx::msx2));
        }
    } catch (...) {
        for (const fs::path& file : played.files)
            fs::remove(file);
        throw;
    }
    for (const fs::path& file : played.files)
        fs::remove(file);
    return cells;
}

Cell Matrix::run_msxbench(const Tape& tape, const Recording& recorded)
{
    const Expected& e = *recorded.expected;
    msxbench::Msx msx;
    std::vector<msxbench::WavSignal> signals;
    for (const fs::path& part : tape.recordings)
        signals.push_back(part.empty() ? msxbench::silence(0.3) : msxbench::read_wav(part.string()));
    // Where a resampled recording's level changes fall between samples,
    // a player puts them there, not at the next sample.
    msxbench::TapeOptions options;
    options.interpolate = true;
    msx.insert_tape(signals, options);
    msx.bload_run();
    msxbench::Machine& machine = msx.machine();
    const std::uint64_t limit = msxbench::seconds(tape.seconds + 10);
    for (const std::uint16_t stop : {recorded.loader.exec, e.entry, e.handover, msxbench::basic_return})
        machine.add_breakpoint(stop);
    Observation seen;
    bool loader_started = false;
    bool returned = false;
    while (machine.cycles() < limit) {
        const msxbench::RunResult run = machine.run(limit - machine.cycles());
        if (run.reason != msxbench::Stop::breakpoint)
            break;
        if (run.pc == recorded.loader.exec && !loader_started) {
            loader_started = true;
            machine.remove_breakpoint(run.pc);
            continue;
        }
        if (run.pc == e.handover && !seen.handed_over) {
            seen.handed_over = true;
            seen.image_intact = machine.dump(e.image_start, e.image.size()) == e.image;
            if (e.handover != e.entry)
                continue;
        }
        if (run.pc == e.entry && (seen.handed_over || e.handover == e.entry)) {
            seen.started = true;
            seen.program_intact = machine.dump(e.program_start, e.program.size()) == e.program;
        }
        returned = run.pc == msxbench::basic_return;
        break;
    }
    // BASIC's run entry is a trap of its own: it stops the run there.
    if (e.entry == msxbench::basic_run && msx.basic_run_reached()) {
        seen.started = seen.handed_over = true;
        seen.program_intact = seen.image_intact = machine.dump(e.program_start, e.program.size()) == e.program;
    }
    // A depacker that finds damage returns to the loader, which stops and
    // returns to BASIC.
    seen.came_back = seen.handed_over && returned;
    seen.verdict = recorded.turbo ? turbo_verdict(msx.transcript()) : first_verdict(msx.screen_text());
    return {classify(seen), double(machine.cycles()) / msxbench::msx_clock, loader_started};
}

Cell Matrix::run_openmsx(const Tape& tape, const Recording& recorded, const char* machine)
{
    const Expected& e = *recorded.expected;
    openmsx::Job job;
    job.machine = machine;
    job.start = recorded.loader.start;
    job.exec = recorded.loader.exec;
    job.program = recorded.loader.program;
    // What BASIC holds when BLOAD"CAS:",R runs: an empty program at 0x8001.
    job.pokes = {{txttab, {0x01, 0x80}}, {0x8000, {0x00, 0x00, 0x00}}};
    job.tape = tape.rest;
    job.seconds = tape.rest_seconds + 10;
    job.stops = {{e.entry, e.entry != msxbench::basic_run}};  // BASIC's run entry is in ROM
    if (e.handover != e.entry)
        job.checks = {{e.handover}};
    if (!e.image.empty())
        job.dumps = {{e.image_start, std::uint16_t(e.image.size())}};
    if (e.program_start != e.image_start)
        job.dumps.push_back({e.program_start, std::uint16_t(e.program.size())});
    const openmsx::Report report = openmsx::run(job, dir_->path());

    Observation seen;
    // A packed program is in memory only once its depacker has restored it:
    // its entry reached before that is a machine that started again.
    seen.started = report.reason == openmsx::StopReason::entry && report.pc == e.entry
                   && (e.handover == e.entry || report.checks.contains(e.handover));
    const auto memory = [](const openmsx::Snapshot& at, std::uint16_t address) {
        const auto found = at.memory.find(address);
        return found == at.memory.end() ? std::vector<std::uint8_t>() : found->second;
    };
    seen.program_intact = seen.started && memory(report.stop, e.program_start) == e.program;
    if (e.handover == e.entry) {
        seen.handed_over = seen.started;
        seen.image_intact = seen.program_intact;
    } else if (const auto check = report.checks.find(e.handover); check != report.checks.end()) {
        seen.handed_over = true;
        seen.image_intact = memory(check->second, e.image_start) == e.image;
        seen.came_back = report.reason == openmsx::StopReason::returned;
    }
    seen.verdict = recorded.turbo ? turbo_verdict(report.printed)
                                  : first_verdict(report.verdict.empty() ? report.screen : report.verdict);
    return {classify(seen), report.stop.seconds};
}

}  // namespace robustness
