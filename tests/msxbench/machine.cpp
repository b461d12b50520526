#include "machine.h"

#include <z80ex/z80ex.h>

#include <stdexcept>

namespace msxbench {

namespace {

Machine& machine_of(void* user)
{
    return *static_cast<Machine*>(user);
}

Z80_REG_T z80ex_reg(Reg which)
{
    switch (which) {
    case Reg::af:
        return regAF;
    case Reg::bc:
        return regBC;
    case Reg::de:
        return regDE;
    case Reg::hl:
        return regHL;
    case Reg::af2:
        return regAF_;
    case Reg::bc2:
        return regBC_;
    case Reg::de2:
        return regDE_;
    case Reg::hl2:
        return regHL_;
    case Reg::ix:
        return regIX;
    case Reg::iy:
        return regIY;
    case Reg::sp:
        return regSP;
    case Reg::pc:
        return regPC;
    case Reg::iff1:
        return regIFF1;
    case Reg::iff2:
        return regIFF2;
    case Reg::im:
        return regIM;
    }
    return regPC;
}

void check_slot(Slot slot)
{
    if (slot.primary < 0 || slot.primary > 3 || slot.secondary < 0 || slot.secondary > 3)
        throw std::invalid_argument("slot out of range");
}

}  // namespace

// The z80ex context and the callbacks that route its bus cycles to the machine.
struct Machine::Cpu {
    Z80EX_CONTEXT* context = nullptr;
    Machine* machine = nullptr;

    static Z80EX_BYTE memory_read(Z80EX_CONTEXT*, Z80EX_WORD address, int m1, void* user)
    {
        Machine& m = machine_of(user);
        if (m1)
            ++m.m1_cycles_;
        return m.read(address);
    }
    static void memory_write(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* user)
    {
        machine_of(user).write(address, value);
    }
    static Z80EX_BYTE port_read(Z80EX_CONTEXT*, Z80EX_WORD port, void* user)
    {
        return machine_of(user).port_in(static_cast<std::uint8_t>(port));
    }
    static void port_write(Z80EX_CONTEXT*, Z80EX_WORD port, Z80EX_BYTE value, void* user)
    {
        machine_of(user).port_out(static_cast<std::uint8_t>(port), value);
    }
    static Z80EX_BYTE interrupt_vector(Z80EX_CONTEXT*, void*) { return 0xFF; }
};

Machine::Machine() : cpu_(std::make_unique<Cpu>())
{
    cpu_->machine = this;
    cpu_->context = z80ex_create(&Cpu::memory_read, this, &Cpu::memory_write, this, &Cpu::port_read, this,
                                 &Cpu::port_write, this, &Cpu::interrupt_vector, this);
    if (!cpu_->context)
        throw std::runtime_error("cannot create the Z80");
}

Machine::~Machine()
{
    z80ex_destroy(cpu_->context);
}

void Machine::set_expanded(int primary, bool expanded)
{
    expanded_[primary & 3] = expanded;
}

bool Machine::expanded(int primary) const
{
    return expanded_[primary & 3];
}

void Machine::install_ram(Slot slot, int first_page, int page_count)
{
    check_slot(slot);
    for (int page = first_page; page < first_page + page_count && page < 4; ++page) {
        Page& p = page_at(slot, page);
        p.kind = PageKind::ram;
        p.bytes.assign(page_size, 0);
    }
}

void Machine::install_rom(Slot slot, std::uint16_t address, std::span<const std::uint8_t> bytes)
{
    check_slot(slot);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::size_t at = address + i;
        if (at > 0xFFFF)
            throw std::invalid_argument("ROM past the end of the address space");
        Page& p = page_at(slot, static_cast<int>(at / page_size));
        if (p.kind != PageKind::rom) {
            p.kind = PageKind::rom;
            p.bytes.assign(page_size, 0xFF);
        }
        p.bytes[at % page_size] = bytes[i];
    }
}

void Machine::install_mapper(Slot slot, int segments)
{
    check_slot(slot);
    if (segments < 1 || (segments & (segments - 1)) != 0)
        throw std::invalid_argument("a mapper has a power of two of segments");
    mapper_.assign(std::size_t(segments) * page_size, 0);
    for (int page = 0; page < 4; ++page) {
        Page& p = page_at(slot, page);
        p.kind = PageKind::mapper;
        p.bytes.clear();
    }
}

std::span<std::uint8_t> Machine::segment(int number)
{
    const std::size_t at = std::size_t(number % mapper_segments()) * page_size;
    return std::span<std::uint8_t>(mapper_).subspan(at, page_size);
}

std::span<const std::uint8_t> Machine::segment(int number) const
{
    const std::size_t at = std::size_t(number % mapper_segments()) * page_size;
    return std::span<const std::uint8_t>(mapper_).subspan(at, page_size);
}

// The byte of mapper RAM at `address` of `page` through the page's register.
std::uint8_t* Machine::mapper_byte(int page, std::uint16_t address)
{
    const std::size_t segment = mapper_registers_[page] & (mapper_segments() - 1);
    return &mapper_[segment * page_size + address % page_size];
}

const std::uint8_t* Machine::mapper_byte(int page, std::uint16_t address) const
{
    const std::size_t segment = mapper_registers_[page] & (mapper_segments() - 1);
    return &mapper_[segment * page_size + address % page_size];
}

std::uint8_t Machine::secondary_register(int primary) const
{
    return secondary_[primary & 3];
}

void Machine::set_secondary_register(int primary, std::uint8_t value)
{
    secondary_[primary & 3] = value;
}

Slot Machine::slot_of_page(int page) const
{
    const int shift = 2 * (page & 3);
    Slot slot;
    slot.primary = (primary_register_ >> shift) & 3;
    if (expanded_[slot.primary])
        slot.secondary = (secondary_[slot.primary] >> shift) & 3;
    return slot;
}

std::uint8_t Machine::read(std::uint16_t address) const
{
    const Slot page3 = slot_of_page(3);
    if (address == 0xFFFF && expanded_[page3.primary])
        return static_cast<std::uint8_t>(~secondary_[page3.primary]);
    return slot_read(slot_of_page(address / page_size), address);
}

void Machine::write(std::uint16_t address, std::uint8_t value)
{
    const Slot page3 = slot_of_page(3);
    if (address == 0xFFFF && expanded_[page3.primary]) {
        secondary_[page3.primary] = value;
        return;
    }
    const int page = address / page_size;
    Page& p = page_at(slot_of_page(page), page);
    if (p.kind == PageKind::ram)
        p.bytes[address % page_size] = value;
    else if (p.kind == PageKind::mapper)
        *mapper_byte(page, address) = value;
}

std::uint16_t Machine::read_word(std::uint16_t address) const
{
    return static_cast<std::uint16_t>(read(address) | read(static_cast<std::uint16_t>(address + 1)) << 8);
}

void Machine::write_word(std::uint16_t address, std::uint16_t value)
{
    write(address, static_cast<std::uint8_t>(value));
    write(static_cast<std::uint16_t>(address + 1), static_cast<std::uint8_t>(value >> 8));
}

void Machine::load(std::uint16_t address, std::span<const std::uint8_t> bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        write(static_cast<std::uint16_t>(address + i), bytes[i]);
}

std::vector<std::uint8_t> Machine::dump(std::uint16_t address, std::size_t length) const
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = read(static_cast<std::uint16_t>(address + i));
    return bytes;
}

std::uint8_t Machine::slot_read(Slot slot, std::uint16_t address) const
{
    const int page = address / page_size;
    const Page& p = page_at(slot, page);
    if (p.kind == PageKind::mapper)
        return *mapper_byte(page, address);
    return p.kind == PageKind::empty ? 0xFF : p.bytes[address % page_size];
}

void Machine::slot_write(Slot slot, std::uint16_t address, std::uint8_t value)
{
    const int page = address / page_size;
    Page& p = page_at(slot, page);
    if (p.kind == PageKind::mapper)
        *mapper_byte(page, address) = value;
    else if (p.kind != PageKind::empty)
        p.bytes[address % page_size] = value;
}

void Machine::on_input(std::uint8_t port, InputHandler handler)
{
    inputs_[port] = std::move(handler);
}

void Machine::on_output(std::uint8_t port, OutputHandler handler)
{
    outputs_[port] = std::move(handler);
}

std::uint8_t Machine::port_in(std::uint8_t port)
{
    if (auto it = inputs_.find(port); it != inputs_.end())
        return it->second(port);
    if (port == 0xA8)
        return primary_register_;
    if (port >= 0xFC && !mapper_.empty())
        return static_cast<std::uint8_t>(mapper_registers_[port & 3] | ~(mapper_segments() - 1));
    return 0xFF;
}

void Machine::port_out(std::uint8_t port, std::uint8_t value)
{
    if (auto it = outputs_.find(port); it != outputs_.end()) {
        it->second(port, value);
        return;
    }
    if (port == 0xA8)
        primary_register_ = value;
    else if (port >= 0xFC)
        mapper_registers_[port & 3] = value;
}

void Machine::add_trap(std::uint16_t address, std::optional<Slot> slot, Trap trap)
{
    traps_.emplace(address, TrapEntry{slot, std::move(trap)});
}

std::uint16_t Machine::reg(Reg which) const
{
    return z80ex_get_reg(cpu_->context, z80ex_reg(which));
}

void Machine::set_reg(Reg which, std::uint16_t value)
{
    z80ex_set_reg(cpu_->context, z80ex_reg(which), value);
}

void Machine::push(std::uint16_t value)
{
    const auto sp = static_cast<std::uint16_t>(reg(Reg::sp) - 2);
    set_reg(Reg::sp, sp);
    write_word(sp, value);
}

std::uint16_t Machine::pop()
{
    const std::uint16_t sp = reg(Reg::sp);
    set_reg(Reg::sp, static_cast<std::uint16_t>(sp + 2));
    return read_word(sp);
}

// Runs the first trap that applies at `pc`; false when none does.
bool Machine::run_trap(std::uint16_t pc)
{
    auto [first, last] = traps_.equal_range(pc);
    for (auto it = first; it != last; ++it) {
        if (it->second.slot && !(*it->second.slot == slot_of_page(pc / page_size)))
            continue;
        it->second.trap(*this);
        return true;
    }
    return false;
}

std::uint64_t Machine::bus_time() const
{
    return cycles_ + static_cast<std::uint64_t>(z80ex_op_tstate(cpu_->context)) + m1_cycles_;
}

RunResult Machine::run(std::uint64_t cycle_limit)
{
    const std::uint64_t start = cycles_;
    stop_requested_ = false;
    bool first = true;
    for (;;) {
        const std::uint16_t pc = reg(Reg::pc);
        const bool at_boundary = z80ex_last_op_type(cpu_->context) == 0;
        if (at_boundary && !first && breakpoints_.count(pc))
            return {Stop::breakpoint, pc, cycles_ - start};
        if (cycles_ - start >= cycle_limit)
            return {Stop::cycle_limit, pc, cycles_ - start};
        first = false;
        if (z80ex_doing_halt(cpu_->context) && !reg(Reg::iff1))
            return {Stop::halted, pc, cycles_ - start};
        if (at_boundary && interrupt_line_ && reg(Reg::iff1) && interrupt_line_() && interrupt()) {
            ++interrupts_taken_;
            continue;  // the next pass starts at 0038h, traps and breakpoints included
        }
        if (!(at_boundary && run_trap(pc))) {
            if (at_boundary)
                last_instruction_ = pc;
            m1_cycles_ = 0;
            const int t = z80ex_step(cpu_->context);
            cycles_ += static_cast<std::uint64_t>(t) + m1_cycles_;
        }
        if (stop_requested_)
            return {Stop::requested, reg(Reg::pc), cycles_ - start};
    }
}

RunResult Machine::call(std::uint16_t address, std::uint16_t return_address, std::uint64_t cycle_limit)
{
    push(return_address);
    set_reg(Reg::pc, address);
    const bool had_breakpoint = breakpoints_.count(return_address) != 0;
    add_breakpoint(return_address);
    const RunResult result = run(cycle_limit);
    if (!had_breakpoint)
        remove_breakpoint(return_address);
    return result;
}

bool Machine::interrupt()
{
    m1_cycles_ = 0;
    const int t = z80ex_int(cpu_->context);
    if (t == 0)
        return false;
    cycles_ += static_cast<std::uint64_t>(t) + 1;  // the acknowledge is an M1 cycle
    return true;
}

std::uint8_t slot_id(Slot slot, bool expanded)
{
    return static_cast<std::uint8_t>((expanded ? 0x80 : 0) | (slot.secondary & 3) << 2 | (slot.primary & 3));
}

}  // namespace msxbench
