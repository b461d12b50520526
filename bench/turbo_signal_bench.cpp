// The turbo tape signal: how fast it carries payloads beside the -xp format
// (CD rate), and how it stands up to real audio paths on both emulated MSXs.
//
// Usage: turbo_signal_bench [noise seeds (3)] [threads (2)]
//
// First table: seconds and bytes per second of one block for 8K, 16K and
// 32K payloads of pseudo-random bytes (what packed programs look like) and
// of code-like bytes: the turbo block (lead-in and sync included) in the
// uniform code, in the code fitted to the payload when that gains (its
// 512-byte description, in the uniform code, counted), and the
// -xp format's fast block of the same bytes as a BIN file (tapecast -cd -xp,
// the loader before it not counted).
//
// Second table: an 8K block of pseudo-random bytes in the uniform code, and
// 8K of code-like bytes in the code fitted to them (the reader builds its
// table from the code's description), written, spoiled by each audio path,
// read by the Z80 reader on msxbench and openMSX (MSX1, MSX2): "L m" when
// every byte arrived, m being the worst margin in counts of 30 T (how far
// the closest half was from being read as another letter); "D" when it
// finished with bytes wrong; "H" when it never finished.

#include "bench_files.h"
#include "codec/turbo_code.h"
#include "openmsx_run.h"
#include "robustness.h"
#include "signal/turbo.h"
#include "standard_tape.h"
#include "test_support.h"
#include "turbo_tape.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

double turbo_seconds(const std::vector<std::uint8_t>& bytes, const TurboCode& code)
{
    std::size_t samples = 0;
    for (const std::uint8_t h : turbo_block_halves(bytes, code))
        samples += h;
    return double(samples) / turbo_rate;
}

double xp_seconds(const test_support::ScratchDir& dir, const std::vector<std::uint8_t>& bytes)
{
    test_support::write_file(dir.file("p.bin"), test_support::make_bin(0x8000, 0x8000, bytes));
    if (!bench::tapecast(dir.path(), {"-cd", "-xp", "p.bin"}, "p.wav"))
        return 0;
    const std::filesystem::path wav = dir.file("p.wav");
    return openmsx::wav_info(wav).seconds() - openmsx::read_first_bin(wav).end_seconds;
}

void speed_table()
{
    test_support::ScratchDir dir;
    std::printf("| payload | turbo uniform s | B/s | turbo fitted s | B/s | -xp s | B/s | uniform vs -xp |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const bool code_like : {false, true})
        for (const std::size_t size : {0x2000u, 0x4000u, 0x8000u}) {
            const std::vector<std::uint8_t> bytes =
                code_like ? robustness::code_rom(size, 1987).bytes : test_support::seeded_bytes(size, 2024);
            const TurboCode& uniform = TurboCode::uniform();
            bool fitted = false;
            const TurboCode own = turbo_code_for(bytes, &fitted);
            // A fitted code's description goes before the block, in the uniform code.
            const std::uint64_t table_units = uniform.units(own.description());
            const double u = turbo_seconds(bytes, uniform);
            const double f = fitted ? turbo_seconds(bytes, own) + double(table_units) * 3 / turbo_rate : u;
            const double x = xp_seconds(dir, bytes);
            std::printf("| %zuK %s | %.2f | %.0f | %.2f%s | %.0f | %.2f | %.0f | %.2fx |\n", size / 1024,
                        code_like ? "code" : "random", u, double(size) / u, f, fitted ? "" : " (uniform)",
                        double(size) / f, x, x > 0 ? double(size) / x : 0.0, x / u);
        }
}

struct Job {
    tools::AudioCondition condition;
    bool fitted = false;
    std::vector<turbo::Reading> readings;
    std::string failure;
};

std::string cell(const turbo::Reading& r)
{
    if (!r.finished)
        return "H";
    if (!r.intact)
        return "D";
    return "L " + std::to_string(r.margin());
}

}  // namespace

int main(int argc, char** argv)
{
    const int seeds = argc > 1 ? std::atoi(argv[1]) : 3;
    const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    speed_table();
    for (const std::string& why : {openmsx::missing(), tools::missing_tools()})
        if (!why.empty()) {
            std::fprintf(stderr, "turbo_signal_bench: matrix left out: %s\n", why.c_str());
            return 1;
        }
    const auto began = std::chrono::steady_clock::now();
    const std::vector<std::uint8_t> random = test_support::seeded_bytes(0x2000, 77);
    const std::vector<std::uint8_t> code_like = robustness::code_rom(0x2000, 5).bytes;
    const TurboCode fitted = TurboCode::fitted(turbo_byte_counts(code_like));
    test_support::ScratchDir dir;
    std::vector<Job> jobs;
    for (const bool own : {false, true})
        for (const tools::AudioCondition& condition : robustness::conditions(seeds))
            jobs.push_back({condition, own, {}, {}});
    std::atomic<std::size_t> next = 0;
    const auto work = [&] {
        for (std::size_t i; (i = next++) < jobs.size();) {
            try {
                const Job& job = jobs[i];
                jobs[i].readings = turbo::read_after(job.fitted ? code_like : random, job.condition,
                                                     robustness::emulators(), dir.path(),
                                                     job.fitted ? &fitted : nullptr);
            } catch (const std::exception& e) {
                jobs[i].failure = e.what();
            }
        }
    };
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(work);
    for (std::thread& t : pool)
        t.join();

    int worst = 1000, loads = 0, cells = 0;
    for (const Job& job : jobs) {
        if (&job == &jobs.front() || job.fitted != (&job - 1)->fitted) {
            std::printf("\n%s, turbo reader: msxbench / openMSX MSX1 / openMSX MSX2\n\n",
                        job.fitted ? "8K code-like block, fitted code" : "8K random block, uniform code");
            std::printf("| audio path | cell | worst margin |\n|---|---|---|\n");
        }
        if (!job.failure.empty()) {
            std::printf("| %s | failed: %s | |\n", tools::label(job.condition).c_str(), job.failure.c_str());
            continue;
        }
        std::string text;
        int least = 1000;
        for (const turbo::Reading& r : job.readings) {
            text += (text.empty() ? "" : " / ") + cell(r);
            ++cells;
            if (r.finished && r.intact) {
                ++loads;
                worst = std::min(worst, r.margin());
                least = std::min(least, r.margin());
            } else {
                least = -1;
            }
        }
        std::printf("| %s | %s | %s |\n", tools::label(job.condition).c_str(), text.c_str(),
                    least < 0 ? "-" : std::to_string(least).c_str());
    }
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("\n%d of %d cells load; worst margin of those %d counts; %.0f s\n", loads, cells, worst, took);
    return 0;
}
