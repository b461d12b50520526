#pragma once
// An MSX-like machine on the emulated Z80: main ROM (BIOS and BASIC) in pages
// 0 and 1, RAM in pages 2 and 3, the system variables BASIC leaves after
// boot, and traps for the BIOS and BASIC entries the project's programs call.

#include "machine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace msxbench {

// System variables and entries.
inline constexpr std::uint16_t enaslt = 0x0024;
inline constexpr std::uint16_t txttab = 0xF676;
inline constexpr std::uint16_t vartab = 0xF6C2;
inline constexpr std::uint16_t exptbl = 0xFCC1;
inline constexpr std::uint16_t slttbl = 0xFCC5;
inline constexpr std::uint16_t basic_run = 0x73AC;

struct MsxLayout {
    Slot main_rom{0, 0};           // BIOS in page 0, BASIC in page 1
    Slot ram{3, 0};                // 64 KB of RAM, pages 0 to 3
    bool expand_rom_slot = false;  // main ROM's primary slot expanded (MSX2 style 0-0)
    bool expand_ram_slot = false;
    std::uint16_t stack = 0xF0A0;
};

// What the run entry of BASIC found when it was reached.
struct BasicRun {
    Slot page0;
    Slot page1;
    std::uint16_t vartab = 0;
};

// A machine set up as BASIC leaves it after boot, with the traps in place.
class Msx {
public:
    explicit Msx(const MsxLayout& layout = {});

    Machine& machine() { return machine_; }
    const MsxLayout& layout() const { return layout_; }
    std::uint8_t main_rom_id() const;
    std::uint8_t ram_id() const;

    // Faults the real machine would crash on (e.g. ENASLT switching page 0
    // away from the BIOS); a fault also stops the run.
    const std::vector<std::string>& faults() const { return faults_; }
    int enaslt_calls() const { return enaslt_calls_; }
    // Set when a program started BASIC through the run entry (the run stops there).
    const std::optional<BasicRun>& basic_run_reached() const { return basic_run_; }

private:
    void fault(const std::string& what);
    void trap_enaslt();
    void trap_basic_run();

    MsxLayout layout_;
    Machine machine_;
    std::vector<std::string> faults_;
    int enaslt_calls_ = 0;
    std::optional<BasicRun> basic_run_;
};

}  // namespace msxbench
