#pragma once
// The robustness matrix: every fast mode, after every audio path, on two
// emulated MSXs that model the cassette input differently: msxbench
// (AC-coupled: a high-pass filter, then a comparator) and openMSX with
// C-BIOS, MSX1 and MSX2 (a DC-removing filter, then the sign).  A cell
// plays one test program's WAV and tells what the MSX made of it.
//
// On msxbench the whole WAV is spoiled and played from its first sample,
// the BIOS reading the loader block.  C-BIOS cannot read a tape, so on
// openMSX the loader comes from the unspoiled WAV's first block and only
// what follows it is played spoiled: there the BIOS-read block is not
// tested.

#include "audio_path.h"
#include "openmsx_run.h"

#include <atomic>
#include <cstdint>
#include <ostream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace test_support {
class ScratchDir;
}

namespace robustness {

struct Mode {
    std::string label;
    std::vector<std::string> args;  // tapecast's mode arguments
    bool separate_loader = false;   // a baud rate: the loader is loaded first from its own WAV (2400 baud)
    bool turbo = false;             // the turbo loader: no "Loading:", BIN files and small BASIC programs only
};

void PrintTo(const Mode& mode, std::ostream* out);

// Every fast mode: one row each, the one list to extend with a new mode.
const std::vector<Mode>& modes();

// Every audio path, the noise with seeds 1 to `noise_seeds`.
std::vector<tools::AudioCondition> conditions(int noise_seeds);

enum class Emulator { msxbench, openmsx_msx1, openmsx_msx2 };
const std::vector<Emulator>& emulators();
const char* label(Emulator emulator);

enum class Outcome {
    loads,            // the program started with exactly its bytes
    error,            // the MSX said the file arrived damaged; nothing started
    started_damaged,  // a program started with bytes that arrived wrong
    other,            // hangs, or stopped somewhere else
};
const char* label(Outcome outcome);
void PrintTo(Outcome outcome, std::ostream* out);

enum class Kind { bin, rom, basic };

struct Program {
    std::string label;
    std::string file;  // its name on tape
    Kind kind = Kind::bin;
    std::vector<std::uint8_t> bytes;
};

// A BIN file of `size` pseudo-random bytes at 0x9000, started there.
Program random_bin(std::size_t size, std::uint32_t seed);
// A ROM image of `size` bytes of code-like content, INIT at 0x4010; on tape
// it is packed and started through its depacker.
Program code_rom(std::size_t size, std::uint32_t seed);

// A tokenized BASIC program (0xFF first) for 0x8001 of about `size` bytes:
// lines of statements and REM text; on tape it is stored at TXTTAB and
// handed to BASIC's run entry.
Program small_basic(std::size_t size, std::uint32_t seed);

// The matrix's programs: a 4K BIN file, a 16K ROM and a 2K BASIC program.
std::vector<Program> matrix_programs();

// Whether `mode` takes `program` at all (turbo: BIN files and BASIC
// programs of up to 2048 bytes).
bool takes(const Mode& mode, const Program& program);

// What the loader shows after a file's name: " <OK>" or " <Err>".
enum class Verdict { none, ok, error };
// The verdict on the first file in a text screen's contents.
Verdict first_verdict(const std::string& screen);
// The turbo loader's verdict: the first " <OK>" or " <Err>" it printed.
Verdict turbo_verdict(const std::string& printed);

// What the MSX showed, for deciding a cell.
struct Observation {
    bool started = false;          // the program's entry was reached
    bool program_intact = false;   // ... with the program's bytes in memory
    bool handed_over = false;      // the loader started the block's exec address
    bool image_intact = false;     // ... with the block's bytes stored where they belong
    bool came_back = false;        // ... and it returned: the loader went on to the next file
    Verdict verdict = Verdict::none;  // what the loader said of the tape's first file
};
Outcome classify(const Observation& observation);

struct Cell {
    Outcome outcome = Outcome::other;
    double seconds = 0;          // emulated, until the run stopped
    bool loader_started = true;  // msxbench: its BIOS loaded and started the loader
};

// The WAVs of every mode for a set of programs, made on demand in a
// scratch folder, and the runs of the cells.  Safe to use from several
// threads.
class Matrix {
public:
    explicit Matrix(std::vector<Program> programs);
    ~Matrix();
    const std::vector<Program>& programs() const { return programs_; }
    // One cell on each of `on`: the spoiled WAVs are made for the call and
    // removed after it.
    std::vector<Cell> run(const Mode& mode, const Program& program, const tools::AudioCondition& condition,
                          const std::vector<Emulator>& on);

private:
    struct Expected;
    struct Recording;
    struct Tape;
    const Recording& recording(const Mode& mode, const Program& program);
    Tape tape(const Recording& recording, const tools::AudioCondition& condition);
    std::string tapecast(const std::vector<std::string>& args, const std::string& wav);
    Cell run_msxbench(const Tape& tape, const Recording& recording);
    Cell run_openmsx(const Tape& tape, const Recording& recording, const char* machine);

    std::vector<Program> programs_;
    std::unique_ptr<test_support::ScratchDir> dir_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<Recording>> recordings_;
    std::map<std::string, std::unique_ptr<Expected>> expected_;
    std::filesystem::path loader_wav_;  // the loader alone at 2400 baud
    std::atomic<int> made_ = 0;
};

}  // namespace robustness
