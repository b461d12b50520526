#include "loader_harness.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace loader_harness {

Workshop::Workshop()
{
    for (const char* name : {"hello.bin", "hello.bas"})
        std::filesystem::copy_file(std::string(EXAMPLES_DIR) + "/" + name, dir_.file(name));
}

void Workshop::put(const std::string& name, const std::vector<std::uint8_t>& bytes) const
{
    test_support::write_file(dir_.file(name), bytes);
}

std::string Workshop::tapecast(std::vector<std::string> args, const std::string& name) const
{
    args.insert(args.begin() + 1, {"-o", name});
    const test_support::RunResult result = test_support::run_tapecast(args, dir_.path());
    EXPECT_EQ(result.status, 0) << result.output;
    return dir_.file(name);
}

std::unique_ptr<msxbench::Msx> play(const std::vector<std::string>& recordings, const msxbench::MsxLayout& layout,
                                    const msxbench::TapeOptions& options)
{
    auto msx = std::make_unique<msxbench::Msx>(layout);
    std::vector<msxbench::WavSignal> signals;
    for (const std::string& path : recordings)
        signals.push_back(path.empty() ? msxbench::silence(0.3) : msxbench::read_wav(path));
    msx->insert_tape(signals, options);
    msx->bload_run();
    return msx;
}

bool reach(msxbench::Msx& msx, std::initializer_list<std::uint16_t> stops, double seconds_limit,
           std::uint16_t expected)
{
    const msxbench::RunResult run = msxbench::run_to(msx.machine(), stops, msxbench::seconds(seconds_limit));
    const bool ok = run.reason == msxbench::Stop::breakpoint && run.pc == expected;
    EXPECT_TRUE(ok) << "stopped (" << int(run.reason) << ") at " << std::hex << run.pc << " instead of " << expected
                    << "\n" << msx.screen_text();
    return ok;
}

bool on_screen(const msxbench::Msx& msx, const std::string& text)
{
    for (int row = 0; row < 24; ++row)
        if (msx.screen_row(row).find(text) != std::string::npos)
            return true;
    return false;
}

std::vector<std::uint8_t> marker_bin(std::uint16_t start, std::uint8_t marker, std::uint16_t flag)
{
    // LD A,marker / LD (flag),A / RET, then some text to give the file a body.
    std::vector<std::uint8_t> code = {0x3E, marker, 0x32, std::uint8_t(flag), std::uint8_t(flag >> 8), 0xC9};
    for (char c : std::string("a marker program of the loader tests"))
        code.push_back(std::uint8_t(c));
    return test_support::make_bin(start, start, code);
}

std::vector<std::uint8_t> basic_line(std::uint16_t at, std::uint16_t number, const std::vector<std::uint8_t>& text)
{
    const auto next = std::uint16_t(at + 4 + text.size() + 1);
    std::vector<std::uint8_t> line;
    line.reserve(4 + text.size() + 1);
    for (const unsigned word : {unsigned(next), unsigned(number)}) {
        line.push_back(std::uint8_t(word));
        line.push_back(std::uint8_t(word >> 8));
    }
    line.insert(line.end(), text.begin(), text.end());
    line.push_back(0);
    return line;
}

std::vector<std::uint8_t> bload_statements(int count)
{
    std::vector<std::uint8_t> text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text.push_back(':');
        text.push_back(0xCF);  // BLOAD
        for (char c : std::string("\"CAS:\",R"))
            text.push_back(std::uint8_t(c));
    }
    return text;
}

std::vector<std::uint8_t> basic_file(const std::vector<std::vector<std::uint8_t>>& lines)
{
    std::vector<std::uint8_t> program = {0xFF};
    std::uint16_t at = 0x8001;
    std::uint16_t number = 10;
    for (const auto& text : lines) {
        const std::vector<std::uint8_t> line = basic_line(at, number, text);
        program.insert(program.end(), line.begin(), line.end());
        at = std::uint16_t(at + line.size());
        number = std::uint16_t(number + 10);
    }
    program.push_back(0);
    program.push_back(0);
    return program;
}

void damage_last_payload(std::vector<std::uint8_t>& wav)
{
    const std::size_t cell = 12 * 2;  // code 112: 12 samples of 16 bits
    const std::size_t at = wav.size() - (501 + 11 + 20) * cell - 441 * 2 - 30000 * 2;
    for (std::size_t c = 0; c < 24; ++c)
        for (std::size_t s = 0; s < 12; ++s) {
            const bool high = c % 2 ? (s / 3) % 2 == 1 : s >= 6;
            wav[at + c * cell + 2 * s] = high ? 0xFF : 0x00;
            wav[at + c * cell + 2 * s + 1] = high ? 0x7F : 0x00;
        }
}

namespace {

bool high(const std::vector<std::uint8_t>& wav, std::size_t at)
{
    return wav[at + 1] >= 0x40;
}

// Runs of one level, as (start, length in samples), over the samples of a
// CD recording of 16-bit samples.
std::vector<std::pair<std::size_t, std::size_t>> level_runs(const std::vector<std::uint8_t>& wav)
{
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (std::size_t at = 44; at + 1 < wav.size();) {
        std::size_t end = at;
        while (end + 1 < wav.size() && high(wav, end) == high(wav, at))
            end += 2;
        runs.emplace_back(at, (end - at) / 2);
        at = end;
    }
    return runs;
}

// Writes a 1 cell of code 112 over the 0 cell at `at`, from its first level.
void write_one_cell(std::vector<std::uint8_t>& wav, std::size_t at)
{
    const bool first = high(wav, at);
    for (std::size_t s = 0; s < 12; ++s) {
        const bool level = (s / 3) % 2 == 0 ? first : !first;
        wav[at + 2 * s] = level ? 0xFF : 0x00;
        wav[at + 2 * s + 1] = level ? 0x7F : 0x00;
    }
}

}  // namespace

bool damage_rank_table(std::vector<std::uint8_t>& wav)
{
    const auto runs = level_runs(wav);
    // Start marks (a long half of 4 samples, a short one of 2): two sync
    // values and the 12 of the name come before the rank table's first.
    int marks = 0;
    for (std::size_t k = 0; k + 1 < runs.size(); ++k) {
        if (runs[k].second != 4 || runs[k + 1].second != 2 || ++marks < 15)
            continue;
        // The unit's cells up to its end mark (runs of 2): a 0 cell is two
        // runs of 6, a 1 cell four runs of 3.
        for (std::size_t j = k + 2; j + 1 < runs.size() && runs[j].second != 2; j += 4) {
            if (runs[j].second == 6) {
                write_one_cell(wav, runs[j].first);
                return true;
            }
        }
    }
    return false;
}

bool flip_payload_cell(std::vector<std::uint8_t>& wav, std::size_t cells)
{
    const std::size_t cell = 12 * 2;  // code 112: 12 samples of 16 bits
    const auto runs = level_runs(wav);
    // The last start mark (a long half of 4 samples, a short one of 2) is
    // the last payload unit's.
    std::size_t last = 0;
    for (std::size_t k = 0; k + 1 < runs.size(); ++k)
        if (runs[k].second == 4 && runs[k + 1].second == 2)
            last = runs[k].first;
    if (last < cells * cell)
        return false;
    for (std::size_t k = 0; k + 3 < runs.size(); ++k) {
        if (runs[k].first < last - cells * cell || runs[k].second != 4 || runs[k + 1].second != 2
            || runs[k + 2].second != 6 || runs[k + 3].second != 6)
            continue;
        write_one_cell(wav, runs[k + 2].first);
        return true;
    }
    return false;
}

}  // namespace loader_harness
