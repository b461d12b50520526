#include "msx.h"

#include <stdexcept>

namespace msxbench {

namespace {

constexpr std::uint16_t himem = 0xFC4A;
constexpr std::uint8_t halt = 0x76;

// A main ROM whose code is all HALT, so a jump into it where no trap sits
// stops the run; the few data bytes programs read are filled in.
std::vector<std::uint8_t> main_rom_image(bool msx2)
{
    std::vector<std::uint8_t> rom(0x8000, halt);
    rom[0x0006] = 0x98;  // VDP ports
    rom[0x0007] = 0x98;
    rom[0x002B] = 0x00;
    rom[0x002C] = 0x00;
    rom[0x002D] = msx2 ? 1 : 0;  // MSX version
    return rom;
}

int page_shift(int page)
{
    return 2 * page;
}

// CALL nn and CALL cc,nn.
bool is_call(std::uint8_t opcode)
{
    return opcode == 0xCD || (opcode & 0xC7) == 0xC4;
}

}  // namespace

Msx::Msx(const MsxLayout& layout) : layout_(layout)
{
    const Slot rom = layout.main_rom;
    const Slot ram = layout.ram;
    const bool shared = rom.primary == ram.primary;
    if (shared && !(layout.expand_rom_slot && layout.expand_ram_slot))
        throw std::invalid_argument("ROM and RAM share a primary slot that is not expanded");
    machine_.set_expanded(rom.primary, layout.expand_rom_slot);
    machine_.set_expanded(ram.primary, layout.expand_ram_slot);
    machine_.install_rom(rom, 0x0000, main_rom_image(layout.expand_rom_slot));
    machine_.install_ram(ram, 0, 4);

    // Pages 0 and 1 on the main ROM, 2 and 3 on RAM, as the boot leaves them.
    machine_.set_primary_register(
        static_cast<std::uint8_t>(rom.primary | rom.primary << 2 | ram.primary << 4 | ram.primary << 6));
    std::uint8_t rom_secondary = 0, ram_secondary = 0;
    if (layout.expand_rom_slot)
        rom_secondary = static_cast<std::uint8_t>(rom.secondary | rom.secondary << 2);
    if (layout.expand_ram_slot)
        ram_secondary = static_cast<std::uint8_t>(ram.secondary << 4 | ram.secondary << 6);
    if (shared) {
        machine_.set_secondary_register(rom.primary, rom_secondary | ram_secondary);
    } else {
        machine_.set_secondary_register(rom.primary, rom_secondary);
        machine_.set_secondary_register(ram.primary, ram_secondary);
    }

    // System variables.
    for (int p = 0; p < 4; ++p) {
        machine_.write(static_cast<std::uint16_t>(exptbl + p), machine_.expanded(p) ? 0x80 : 0x00);
        machine_.write(static_cast<std::uint16_t>(slttbl + p), machine_.secondary_register(p));
    }
    for (std::uint16_t hook = 0xFD9A; hook < 0xFFCA; ++hook)
        machine_.write(hook, 0xC9);
    machine_.write(0x8000, 0x00);
    machine_.write_word(0x8001, 0x0000);
    machine_.write_word(txttab, 0x8001);
    machine_.write_word(vartab, 0x8003);
    machine_.write_word(himem, 0xF380);
    machine_.set_reg(Reg::sp, layout.stack);

    machine_.add_trap(enaslt, rom, [this](Machine&) { trap_enaslt(); });
    machine_.add_trap(basic_run, std::nullopt, [this](Machine&) { trap_basic_run(); });
}

std::uint8_t Msx::main_rom_id() const
{
    return slot_id(layout_.main_rom, layout_.expand_rom_slot);
}

std::uint8_t Msx::ram_id() const
{
    return slot_id(layout_.ram, layout_.expand_ram_slot);
}

void Msx::fault(const std::string& what)
{
    faults_.push_back(what);
    machine_.request_stop();
}

// ENASLT: A = slot ID, H = an address in the page to switch.  An expanded slot
// ID has its secondary register rewritten through page 3 (and SLTTBL updated)
// before the primary slot register.  Changes AF, BC, DE; keeps HL; leaves
// interrupts disabled.  The routine runs in page 0, so switching page 0 away
// from the BIOS crashes the machine, as does switching the page of the CALL
// or of the stack.
void Msx::trap_enaslt()
{
    Machine& m = machine_;
    ++enaslt_calls_;
    const auto id = static_cast<std::uint8_t>(m.reg(Reg::af) >> 8);
    const int page = m.reg(Reg::hl) >> 14;
    const int primary = id & 3;
    const int secondary = id >> 2 & 3;
    const auto mask = static_cast<std::uint8_t>(3 << page_shift(page));
    const std::uint16_t sp = m.reg(Reg::sp);
    const Slot stack_slot = m.slot_of_page(sp >> 14);
    // A CALL from the page being switched would return into the other slot
    // (a jump here, a tail call, returns where its caller meant to).
    const std::uint16_t from = m.last_instruction();
    const bool called = is_call(m.read(from));
    const Slot caller_slot = m.slot_of_page(from >> 14);

    const std::uint8_t saved = m.primary_register();
    if (id & 0x80) {
        m.set_primary_register(static_cast<std::uint8_t>((saved & 0x3F) | primary << 6));
        auto value = static_cast<std::uint8_t>(~m.read(0xFFFF));
        value = static_cast<std::uint8_t>((value & ~mask) | secondary << page_shift(page));
        m.write(0xFFFF, value);
        m.set_primary_register(saved);
        m.write(static_cast<std::uint16_t>(slttbl + primary), value);
    }
    const auto d = static_cast<std::uint8_t>(primary * 0x55);
    const auto a8 = static_cast<std::uint8_t>((saved & ~mask) | (d & mask));
    m.set_primary_register(a8);

    if (!(m.slot_of_page(0) == layout_.main_rom))
        fault("ENASLT switched page 0 away from the BIOS");
    if (called && !(m.slot_of_page(from >> 14) == caller_slot))
        fault("ENASLT switched the page of its caller");
    if (!(m.slot_of_page(sp >> 14) == stack_slot))
        fault("ENASLT switched the page of the stack");

    m.set_reg(Reg::af, static_cast<std::uint16_t>(a8 << 8 | 0x44));
    m.set_reg(Reg::bc, static_cast<std::uint16_t>((d & mask) << 8 | static_cast<std::uint8_t>(~mask)));
    m.set_reg(Reg::de, static_cast<std::uint16_t>(d << 8 | mask));
    m.set_reg(Reg::iff1, 0);
    m.set_reg(Reg::iff2, 0);
    m.ret();
}

// The run entry of BASIC: records what the program left and stops the run.
void Msx::trap_basic_run()
{
    Machine& m = machine_;
    basic_run_ = BasicRun{m.slot_of_page(0), m.slot_of_page(1), m.read_word(vartab)};
    m.request_stop();
}

}  // namespace msxbench
