#pragma once
// An emulated Z80 with MSX memory slots, for running the project's Z80
// programs in tests and benchmarks.
//
// Memory is four primary slots of four 16 KB pages; a primary slot may be
// expanded into four secondary slots.  Port 0xA8 selects the primary slot of
// each page, and address 0xFFFF of an expanded primary slot (seen through
// page 3) is its secondary slot register, read back inverted.  A slot may
// hold a memory mapper instead: RAM of 16 KB segments, where ports 0xFC to
// 0xFF choose the segment each page shows.  The cycle
// counter adds the MSX's wait state to every M1 cycle.  Devices attach
// through I/O port handlers, and traps run C++ in place of ROM routines.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace msxbench {

// A slot: primary 0..3 and secondary 0..3 (0 in a primary slot that is not expanded).
struct Slot {
    int primary = 0;
    int secondary = 0;
    bool operator==(const Slot&) const = default;
};

enum class Reg { af, bc, de, hl, af2, bc2, de2, hl2, ix, iy, sp, pc, iff1, iff2, im };

enum class Stop {
    requested,    // a trap or handler asked to stop
    breakpoint,   // PC reached a breakpoint
    cycle_limit,  // the run spent its cycle budget
    halted,       // HALT with interrupts disabled
};

struct RunResult {
    Stop reason = Stop::requested;
    std::uint16_t pc = 0;
    std::uint64_t cycles = 0;  // spent in this run
};

class Machine {
public:
    static constexpr std::size_t page_size = 0x4000;

    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // --- Slots.  Every page of every slot starts empty (reads 0xFF).
    void set_expanded(int primary, bool expanded);
    bool expanded(int primary) const;
    // RAM in `page_count` pages of `slot` from `first_page`, zero-filled.
    void install_ram(Slot slot, int first_page = 0, int page_count = 4);
    // ROM holding `bytes` from `address` in `slot`; the pages it covers become ROM.
    void install_rom(Slot slot, std::uint16_t address, std::span<const std::uint8_t> bytes);
    // A memory mapper of `segments` 16 KB segments (zero-filled) in all four
    // pages of `slot`.  The mapper registers (ports 0xFC-0xFF, one per page)
    // are shared by every mapper; a segment number is taken modulo the size.
    void install_mapper(Slot slot, int segments);
    int mapper_segments() const { return static_cast<int>(mapper_.size() / page_size); }
    // The mapper register of `page` as last written (all bits).
    std::uint8_t mapper_register(int page) const { return mapper_registers_[page & 3]; }
    void set_mapper_register(int page, std::uint8_t value) { mapper_registers_[page & 3] = value; }
    // One segment of mapper RAM, whatever is selected.
    std::span<std::uint8_t> segment(int number);
    std::span<const std::uint8_t> segment(int number) const;
    std::uint8_t primary_register() const { return primary_register_; }
    void set_primary_register(std::uint8_t value) { primary_register_ = value; }
    // The value last written to an expanded slot's secondary register.
    std::uint8_t secondary_register(int primary) const;
    void set_secondary_register(int primary, std::uint8_t value);
    Slot slot_of_page(int page) const;

    // --- Memory as the CPU sees it through the current slot selection.
    std::uint8_t read(std::uint16_t address) const;
    void write(std::uint16_t address, std::uint8_t value);
    std::uint16_t read_word(std::uint16_t address) const;
    void write_word(std::uint16_t address, std::uint16_t value);
    void load(std::uint16_t address, std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t> dump(std::uint16_t address, std::size_t length) const;
    // Memory of one slot, whatever is selected (ROM is writable this way).
    std::uint8_t slot_read(Slot slot, std::uint16_t address) const;
    void slot_write(Slot slot, std::uint16_t address, std::uint8_t value);

    // --- I/O.  Port 0xA8 is the primary slot register and ports 0xFC-0xFF
    // the mapper registers unless a handler takes them; other ports without a
    // handler read 0xFF and ignore writes.  A mapper register reads back as
    // its segment number with the unused high bits set (machines differ
    // here; programs must not rely on it).
    using InputHandler = std::function<std::uint8_t(std::uint8_t port)>;
    using OutputHandler = std::function<void(std::uint8_t port, std::uint8_t value)>;
    void on_input(std::uint8_t port, InputHandler handler);
    void on_output(std::uint8_t port, OutputHandler handler);

    // --- Traps and breakpoints.  A trap runs in place of the instruction at
    // `address` when the CPU is about to execute it there while that page is
    // on `slot` (any slot when none is given); it usually ends with ret().
    using Trap = std::function<void(Machine&)>;
    void add_trap(std::uint16_t address, std::optional<Slot> slot, Trap trap);
    void add_breakpoint(std::uint16_t address) { breakpoints_.insert(address); }
    void remove_breakpoint(std::uint16_t address) { breakpoints_.erase(address); }
    // Ends the current run after the instruction or trap in progress.
    void request_stop() { stop_requested_ = true; }

    // --- CPU.
    std::uint16_t reg(Reg which) const;
    void set_reg(Reg which, std::uint16_t value);
    void push(std::uint16_t value);
    std::uint16_t pop();
    // Returns from a call: PC from the stack.
    void ret() { set_reg(Reg::pc, pop()); }
    // Address of the last instruction executed (before a trap, the one that led there).
    std::uint16_t last_instruction() const { return last_instruction_; }
    // T-states since creation, with one wait state per M1 cycle.
    std::uint64_t cycles() const { return cycles_; }
    // The same count during an instruction, up to the bus cycle in progress:
    // the time an I/O handler or a trap sees.
    std::uint64_t bus_time() const;
    // Runs until a trap stops it, a breakpoint, a HALT with interrupts off or
    // the cycle limit.  A breakpoint at the starting PC does not stop it.
    RunResult run(std::uint64_t cycle_limit);
    // Calls `address` with `return_address` on the stack and runs until PC
    // comes back there (a breakpoint for the time of the call).
    RunResult call(std::uint16_t address, std::uint16_t return_address, std::uint64_t cycle_limit);
    // Raises a maskable interrupt; true when the CPU accepted it.
    bool interrupt();
    // Connects the /INT line: run() asks it before each instruction and
    // takes the interrupt while it is active and the CPU accepts one.
    using InterruptLine = std::function<bool()>;
    void set_interrupt_line(InterruptLine line) { interrupt_line_ = std::move(line); }
    // Interrupts accepted through the line.
    std::uint64_t interrupts_taken() const { return interrupts_taken_; }
    // Lets `t_states` pass, for traps that stand in for routines taking time.
    void spend(std::uint64_t t_states) { cycles_ += t_states; }

private:
    enum class PageKind : std::uint8_t { empty, ram, rom, mapper };
    struct Page {
        PageKind kind = PageKind::empty;
        std::vector<std::uint8_t> bytes;
    };
    struct TrapEntry {
        std::optional<Slot> slot;
        Trap trap;
    };
    struct Cpu;

    Page& page_at(Slot slot, int page) { return pages_[slot.primary][slot.secondary][page]; }
    const Page& page_at(Slot slot, int page) const { return pages_[slot.primary][slot.secondary][page]; }
    bool run_trap(std::uint16_t pc);
    std::uint8_t* mapper_byte(int page, std::uint16_t address);
    const std::uint8_t* mapper_byte(int page, std::uint16_t address) const;
    std::uint8_t port_in(std::uint8_t port);
    void port_out(std::uint8_t port, std::uint8_t value);

    std::unique_ptr<Cpu> cpu_;
    Page pages_[4][4][4];
    bool expanded_[4] = {};
    std::uint8_t secondary_[4] = {};
    std::uint8_t primary_register_ = 0;
    std::vector<std::uint8_t> mapper_;
    std::uint8_t mapper_registers_[4] = {};
    std::map<std::uint8_t, InputHandler> inputs_;
    std::map<std::uint8_t, OutputHandler> outputs_;
    std::multimap<std::uint16_t, TrapEntry> traps_;
    InterruptLine interrupt_line_;
    std::uint64_t interrupts_taken_ = 0;
    std::set<std::uint16_t> breakpoints_;
    bool stop_requested_ = false;
    std::uint64_t cycles_ = 0;
    std::uint64_t m1_cycles_ = 0;
    std::uint16_t last_instruction_ = 0;
};

// The slot ID byte of the BIOS slot routines: bit 7 = expanded, bits 3-2 =
// secondary, bits 1-0 = primary.
std::uint8_t slot_id(Slot slot, bool expanded);

}  // namespace msxbench
