// The robustness matrix: every fast mode after every audio path (sox and
// lame), played into both emulated MSXs: msxbench (AC-coupled input, the
// whole WAV from its first sample, its BIOS reading the loader block) and
// openMSX with C-BIOS, MSX1 and MSX2 (DC filter and sign; the loader put
// into RAM from the WAV's own first block, the rest of the WAV spoiled).
// Three programs that are not the loading-time bench's: a BIN of seeded
// pseudo-random bytes, a packed ROM of code-like bytes and a small BASIC
// program.  "–" marks a program the mode does not take (turbo: no ROM).
//
// Usage: robustness_bench [noise seeds (3)] [threads (2)] [mode (all)]
// Prints one Markdown table per program; each cell gives the outcome in
// msxbench / openMSX MSX1 / openMSX MSX2.

#include "robustness.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace robustness;

const char* letter(const Cell& cell)
{
    if (!cell.loader_started)
        return "B";
    switch (cell.outcome) {
    case Outcome::loads:
        return "L";
    case Outcome::error:
        return "E";
    case Outcome::started_damaged:
        return "D";
    case Outcome::other:
        return "H";
    }
    return "?";
}

// One tape, played into every emulator.
struct Job {
    const Program* program;
    const Mode* mode;
    tools::AudioCondition condition;
    std::vector<Cell> cells;
    std::string failure;
};

}  // namespace

int main(int argc, char** argv)
{
    const int seeds = argc > 1 ? std::atoi(argv[1]) : 3;
    const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    // One mode's column alone, by its label ("CD -turbo"), or every mode.
    std::vector<Mode> columns;
    for (const Mode& mode : modes())
        if (argc <= 3 || mode.label == argv[3])
            columns.push_back(mode);
    if (columns.empty()) {
        std::fprintf(stderr, "robustness_bench: no mode %s\n", argv[3]);
        return 1;
    }
    for (const std::string& why : {openmsx::missing(), tools::missing_tools()})
        if (!why.empty()) {
            std::fprintf(stderr, "robustness_bench: %s\n", why.c_str());
            return 1;
        }
    const auto began = std::chrono::steady_clock::now();
    Matrix matrix(matrix_programs());
    const std::vector<tools::AudioCondition> rows = conditions(seeds);

    std::vector<Job> jobs;
    for (const Program& program : matrix.programs())
        for (const tools::AudioCondition& condition : rows)
            for (const Mode& mode : columns)
                jobs.push_back({&program, &mode, condition, {}, {}});
    std::atomic<std::size_t> next = 0;
    const auto work = [&] {
        for (std::size_t i; (i = next++) < jobs.size();) {
            Job& job = jobs[i];
            if (!takes(*job.mode, *job.program))
                continue;
            try {
                job.cells = matrix.run(*job.mode, *job.program, job.condition, emulators());
            } catch (const std::exception& e) {
                job.failure = e.what();
            }
        }
    };
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back(work);
    for (std::thread& t : pool)
        t.join();

    std::printf("Outcome per cell: msxbench / openMSX MSX1 / openMSX MSX2.\n"
                "L loads (started with exactly its bytes), E \" <Err>\" (nothing started),\n"
                "D started damaged, H hangs or other; B the BIOS did not load the loader (msxbench).\n");
    std::size_t at = 0;
    int failures = 0;
    for (const Program& program : matrix.programs()) {
        std::printf("\n%s (%zu bytes)\n\n| condition |", program.label.c_str(), program.bytes.size());
        for (const Mode& mode : columns)
            std::printf(" %s |", mode.label.c_str());
        std::printf("\n|---|");
        for (std::size_t m = 0; m < columns.size(); ++m)
            std::printf("---|");
        std::printf("\n");
        for (const tools::AudioCondition& condition : rows) {
            std::printf("| %s |", tools::label(condition).c_str());
            for (std::size_t m = 0; m < columns.size(); ++m, ++at) {
                const Job& job = jobs[at];
                if (!job.failure.empty()) {
                    ++failures;
                    std::fprintf(stderr, "%s, %s, %s: %s\n", program.label.c_str(), job.mode->label.c_str(),
                                 tools::label(condition).c_str(), job.failure.c_str());
                    std::printf(" ! |");
                    continue;
                }
                if (!takes(*job.mode, program)) {
                    std::printf(" – |");
                    continue;
                }
                std::string cell;
                for (const Cell& c : job.cells)
                    cell += std::string(cell.empty() ? "" : "/") + letter(c);
                std::printf(" %s |", cell.c_str());
            }
            std::printf("\n");
        }
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::size_t runs = 0;
    for (const Job& job : jobs)
        runs += job.cells.size();
    std::printf("\n%zu runs in %.0f s wall time (%d threads)%s\n", runs, wall, threads,
                failures ? "; '!' marks runs that failed (see standard error)" : "");
    return failures ? 1 : 0;
}
