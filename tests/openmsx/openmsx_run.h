#pragma once
// openMSX as a second emulated MSX: one headless run of a C-BIOS machine,
// driven by driver.tcl.  C-BIOS has neither tape routines nor BASIC, so the
// run starts where BLOAD"CAS:",R would have left off: the program of the
// tape's first block is put into RAM and started, with the tape playing
// from the moment it starts.  The run reports what was printed through
// CHPUT, the screen, where the CPU stopped and the memory asked for.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace openmsx {

inline constexpr const char* msx1 = "C-BIOS_MSX1";
inline constexpr const char* msx2 = "C-BIOS_MSX2";

// Where a returning program ends up (the boot cartridge's second loop).
inline constexpr std::uint16_t returned_address = 0xF2F2;

// Empty when openMSX and the C-BIOS machines are installed, else why not.
std::string missing();

struct MemoryRange {
    std::uint16_t address = 0;
    std::uint16_t length = 0;
};

// A place in the program: with `ram_only`, only while the page holding it
// is not on the main ROM's slot (C-BIOS has code in pages 0 and 1).
struct Breakpoint {
    std::uint16_t address = 0;
    bool ram_only = true;
};

struct Job {
    std::string machine = msx2;
    std::uint16_t start = 0;            // where the program goes
    std::uint16_t exec = 0;             // where it is started
    std::vector<std::uint8_t> program;
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> pokes;  // written before the start
    std::filesystem::path tape;         // played from the start; empty: none
    double seconds = 60;                // emulated time before the run is given up
    std::vector<Breakpoint> stops;      // reaching one ends the run
    std::vector<Breakpoint> checks;     // dumps taken here the first time, the run going on
    std::vector<MemoryRange> dumps;     // taken at every check and at the stop
    int loadings = 0;                   // stop once "Loading:" is printed this often (0: never)
    std::vector<std::uint16_t> tallies; // each time the CPU is here, register DE's value is counted
};

enum class StopReason {
    entry,     // one of the job's stops
    returned,  // the program returned to its caller
    loadings,  // "Loading:" printed as often as asked
    time,      // the time ran out
};

struct Snapshot {
    double seconds = 0;  // emulated time since the start
    std::map<std::uint16_t, std::vector<std::uint8_t>> memory;  // by dump address
};

struct Report {
    StopReason reason = StopReason::time;
    std::uint16_t pc = 0;                     // where the CPU stopped
    Snapshot stop;
    std::map<std::uint16_t, Snapshot> checks;  // the checks that were reached
    std::string printed;                      // every character through CHPUT
    std::string screen;                       // the text screen at the end
    std::string verdict;                      // the screen when TAPIOF was first called
    std::map<int, std::uint64_t> tally;       // register DE's values at the job's tallies, how often
};

// Runs `job` in a fresh openMSX process with a private settings folder
// under `work`; throws std::runtime_error when openMSX does not deliver a
// result (with its output).
Report run(const Job& job, const std::filesystem::path& work);

}  // namespace openmsx
