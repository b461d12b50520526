#include "turbo_tape.h"

#include "codec/turbo_code.h"
#include "msx.h"
#include "openmsx_run.h"
#include "signal/turbo.h"
#include "standard_tape.h"
#include "tape_run.h"
#include "test_support.h"
#include "turbo_reader.h"
#include "turbo_reader_symbols.h"

#include <atomic>
#include <limits>
#include <stdexcept>

namespace turbo {

namespace fs = std::filesystem;

namespace {

constexpr std::uint16_t destination = 0x8000;
constexpr std::uint16_t description_at = 0xD000;  // above the reader

void put_le(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

std::vector<std::uint8_t> program(std::size_t length, const TurboCode* code)
{
    std::vector<std::uint8_t> image(turbo_reader, turbo_reader + turbo_reader_size);
    const auto poke = [&](std::uint16_t at, std::uint16_t value) {
        image.at(at - at_turbo_table) = std::uint8_t(value);
        image.at(at - at_turbo_table + 1u) = std::uint8_t(value >> 8);
    };
    poke(at_reader_dest, destination);
    poke(at_reader_length, std::uint16_t(length));
    poke(at_reader_code, code ? description_at : 0);
    return image;
}

Reading read_msxbench(const fs::path& wav, std::span<const std::uint8_t> bytes, const TurboCode* code)
{
    msxbench::Msx msx;
    msxbench::TapeOptions options;
    options.interpolate = true;  // a player puts level changes where the signal crosses
    options.motor_controlled = false;
    msx.insert_tape({msxbench::read_wav(wav.string())}, options);
    msxbench::Machine& machine = msx.machine();
    machine.load(at_turbo_table, program(bytes.size(), code));
    if (code)
        machine.load(description_at, code->description());
    const std::uint16_t after = std::uint16_t(destination + bytes.size());
    machine.write(after, 0x5A);
    msx.start(at_reader_start, false);
    for (const std::uint16_t at :
         {at_reader_done, at_turbo_seen_low, at_turbo_seen_high, at_turbo_byte_low, at_turbo_byte_high})
        machine.add_breakpoint(at);
    const std::uint64_t limit = msxbench::seconds(openmsx::wav_info(wav).seconds() + 2);
    Reading reading;
    while (machine.cycles() < limit) {
        const msxbench::RunResult run = machine.run(limit - machine.cycles());
        if (run.reason != msxbench::Stop::breakpoint)
            break;
        if (run.pc == at_reader_done) {
            reading.finished = true;
            break;
        }
        ++reading.counts[machine.reg(msxbench::Reg::de)];
    }
    reading.seconds = double(machine.cycles()) / msxbench::msx_clock;
    reading.intact = reading.finished && machine.dump(destination, bytes.size()) ==
                                             std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    reading.kept_after = machine.read(after) == 0x5A;
    reading.classes = machine.dump(at_turbo_class, 0x300);
    return reading;
}

Reading read_openmsx(const fs::path& wav, std::span<const std::uint8_t> bytes, const char* machine,
                     const fs::path& work, const TurboCode* code)
{
    openmsx::Job job;
    job.machine = machine;
    job.start = at_turbo_table;
    job.exec = at_reader_start;
    job.program = program(bytes.size(), code);
    if (code)
        job.pokes = {{description_at, code->description()}};
    job.tape = wav;
    job.seconds = openmsx::wav_info(wav).seconds() + 2;
    job.stops = {{at_reader_done}};
    job.tallies = {at_turbo_seen_low, at_turbo_seen_high, at_turbo_byte_low, at_turbo_byte_high};
    job.dumps = {{destination, std::uint16_t(bytes.size())}, {at_turbo_class, 0x300}};
    const openmsx::Report report = openmsx::run(job, work);
    Reading reading;
    reading.finished = report.reason == openmsx::StopReason::entry && report.pc == at_reader_done;
    const auto memory = [&](std::uint16_t at) {
        const auto found = report.stop.memory.find(at);
        return found == report.stop.memory.end() ? std::vector<std::uint8_t>() : found->second;
    };
    reading.intact = reading.finished && memory(destination) == std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    reading.classes = memory(at_turbo_class);
    reading.seconds = report.stop.seconds;
    for (const auto& [value, count] : report.tally)
        reading.counts[value] += count;
    return reading;
}

}  // namespace

void write_block_wav(const fs::path& wav, std::span<const std::uint8_t> bytes, const TurboCode* code)
{
    const std::vector<std::uint8_t> halves = turbo_block_halves(bytes, code ? *code : TurboCode::uniform());
    const std::vector<std::int16_t> block = turbo_samples(halves);
    const std::size_t gap = turbo_rate / 5;
    const std::size_t samples = gap + block.size() + gap;
    std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
    put_le(out, std::uint32_t(36 + 2 * samples), 4);
    for (const char c : std::string("WAVEfmt "))
        out.push_back(std::uint8_t(c));
    put_le(out, 16, 4);
    put_le(out, 1, 2);  // PCM
    put_le(out, 1, 2);  // mono
    put_le(out, turbo_rate, 4);
    put_le(out, 2 * turbo_rate, 4);
    put_le(out, 2, 2);
    put_le(out, 16, 2);
    for (const char c : std::string("data"))
        out.push_back(std::uint8_t(c));
    put_le(out, std::uint32_t(2 * samples), 4);
    out.resize(out.size() + 2 * gap, 0);
    for (const std::int16_t s : block)
        put_le(out, std::uint16_t(s), 2);
    out.resize(out.size() + 2 * gap, 0);
    test_support::write_file(wav.string(), out);
}

int Reading::margin() const
{
    if (!finished || counts.empty() || classes.size() != 0x300)
        return -1;
    int worst = std::numeric_limits<int>::max();
    for (const auto& [key, n] : counts) {
        const int page = (key >> 8) - (at_turbo_class >> 8);
        const int count = key & 0xFF;
        if (page < 0 || page > 2)
            return -1;
        const std::uint8_t* table = classes.data() + 0x100 * page;
        // Counts either way before the letter read changes (none below the
        // first letter, none above the last).
        int room = std::numeric_limits<int>::max();
        for (const int step : {-1, 1}) {
            int at = count + step;
            while (at >= 0 && at < 256 && table[at] == table[count])
                at += step;
            if (at >= 0 && at < 256)
                room = std::min(room, std::abs(at - count) - 1);
        }
        worst = std::min(worst, room);
    }
    return worst;
}

Reading read_block(const fs::path& wav, std::span<const std::uint8_t> bytes, robustness::Emulator emulator,
                   const fs::path& work, const TurboCode* code)
{
    switch (emulator) {
    case robustness::Emulator::msxbench:
        return read_msxbench(wav, bytes, code);
    case robustness::Emulator::openmsx_msx1:
        return read_openmsx(wav, bytes, openmsx::msx1, work, code);
    case robustness::Emulator::openmsx_msx2:
        return read_openmsx(wav, bytes, openmsx::msx2, work, code);
    }
    throw std::invalid_argument("no such emulator");
}

std::vector<Reading> read_after(std::span<const std::uint8_t> bytes, const tools::AudioCondition& condition,
                                const std::vector<robustness::Emulator>& on, const fs::path& work,
                                const TurboCode* code)
{
    static std::atomic<int> made = 0;
    const std::string n = std::to_string(made++);
    const fs::path written = work / ("turbo" + n + ".wav");
    const fs::path played = work / ("turbo" + n + "-played.wav");
    write_block_wav(written, bytes, code);
    tools::spoil(written, played, condition, work);
    std::vector<Reading> readings;
    for (const robustness::Emulator emulator : on)
        readings.push_back(read_block(played, bytes, emulator, work, code));
    fs::remove(written);
    fs::remove(played);
    return readings;
}

}  // namespace turbo
