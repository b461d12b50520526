#include "msx.h"

#include <algorithm>
#include <stdexcept>

#include "msxbench_console_bios.h"
#include "msxbench_tape_bios.h"

namespace msxbench {

namespace {

constexpr std::uint16_t himem = 0xFC4A;
constexpr std::uint16_t rg1sav = 0xF3E0;
constexpr std::uint8_t halt = 0x76;
// The cassette routines' image starts at BREAKX; of the BIOS jump table it
// fills only these entries, and its code lies from bload_run on.
constexpr std::uint16_t tape_bios_origin = 0x00B7;
constexpr std::uint16_t tape_bios_entries[] = {0x00B7, 0x00E1, 0x00E4, 0x00E7};
// The interrupt routine, CHSNS and CHGET: their image's jump table, and the
// two routines that are traps.
constexpr std::uint16_t console_bios_origin = 0x3800;
constexpr std::uint16_t keyscan_trap = 0x3FF0;
constexpr std::uint16_t idle_trap = 0x3FF3;
constexpr std::uint16_t lost_hook = 0x3FF6;  // where leftover hooks lead

// A main ROM whose code is all HALT, so a jump into it where no trap sits
// stops the run; the few data bytes programs read are filled in.
std::vector<std::uint8_t> main_rom_image(bool msx2)
{
    std::vector<std::uint8_t> rom(0x8000, halt);
    rom[0x0006] = 0x98;  // VDP ports
    rom[0x0007] = 0x98;
    rom[0x002B] = 0x00;
    rom[0x002C] = 0x00;
    rom[msx_version] = msx2 ? 1 : 0;
    const auto at = [](std::uint16_t address) { return std::size_t(address - tape_bios_origin); };
    for (std::uint16_t entry : tape_bios_entries)
        std::copy_n(msxbench_tape_bios + at(entry), 3, rom.begin() + entry);
    std::copy(msxbench_tape_bios + at(bload_run_entry), msxbench_tape_bios + msxbench_tape_bios_size,
              rom.begin() + bload_run_entry);
    if (tape_bios_origin + msxbench_tape_bios_size > console_bios_origin ||
        console_bios_origin + msxbench_console_bios_size > keyscan_trap)
        throw std::logic_error("the emulated ROM's routines overlap");
    std::copy_n(msxbench_console_bios, msxbench_console_bios_size, rom.begin() + console_bios_origin);
    for (auto [entry, target] : {std::pair<std::uint16_t, int>{keyint, 0}, {chsns, 3}, {chget, 6}}) {
        rom[entry] = 0xC3;  // JP
        rom[entry + 1u] = static_cast<std::uint8_t>(console_bios_origin + target);
        rom[entry + 2u] = static_cast<std::uint8_t>((console_bios_origin + target) >> 8);
    }
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

Msx::Msx(const MsxLayout& layout)
    : layout_(layout), ppi_(keyboard_), vdp_(layout.msx2, std::uint32_t(layout.vram_kb) * 1024, layout.pal)
{
    const Slot rom = layout.main_rom;
    const Slot ram = layout.ram;
    const bool shared = rom.primary == ram.primary;
    if (shared && !(layout.expand_rom_slot && layout.expand_ram_slot))
        throw std::invalid_argument("ROM and RAM share a primary slot that is not expanded");
    machine_.set_expanded(rom.primary, layout.expand_rom_slot);
    machine_.set_expanded(ram.primary, layout.expand_ram_slot);
    machine_.install_rom(rom, 0x0000, main_rom_image(layout.msx2));
    if (layout.mapper_segments > 0) {
        machine_.install_mapper(ram, layout.mapper_segments);
        if (layout.msx2)  // the MSX2 BIOS's reset values
            for (int page = 0; page < 4; ++page)
                machine_.set_mapper_register(page, static_cast<std::uint8_t>(3 - page));
    } else {
        machine_.install_ram(ram, 0, 4);
    }

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
    machine_.write_word(putpnt, keybuf);
    machine_.write_word(getpnt, keybuf);
    for (int row = 0; row < 11; ++row) {
        machine_.write(static_cast<std::uint16_t>(oldkey + row), 0xFF);
        machine_.write(static_cast<std::uint16_t>(newkey + row), 0xFF);
    }
    machine_.set_reg(Reg::sp, layout.stack);
    machine_.set_reg(Reg::im, 1);

    // The screen BASIC starts in (SCREEN 0 or 1 with the given WIDTH), the
    // cursor at the top left, no function key line.
    const bool text1 = layout.screen == 0;
    const int columns = text1 ? (layout.width > 40 ? 80 : 40) : 32;
    machine_.write(scrmod, static_cast<std::uint8_t>(layout.screen));
    machine_.write(linlen, static_cast<std::uint8_t>(layout.width));
    machine_.write(crtcnt, 24);
    machine_.write(cnsdfg, 0);
    machine_.write_word(nambas, text1 ? 0x0000 : 0x1800);
    machine_.write(csrx, 1);
    machine_.write(csry, 1);
    const std::uint8_t r0 = columns == 80 ? 0x04 : 0x00;
    const std::uint8_t r1 = text1 ? 0xF0 : 0xE0;
    const std::uint8_t r2 = columns == 80 ? 0x03 : text1 ? 0x00 : 0x06;
    for (auto [reg, value] : {std::pair<int, std::uint8_t>{0, r0}, {1, r1}, {2, r2}}) {
        vdp_.write(0x99, value, 0);
        vdp_.write(0x99, static_cast<std::uint8_t>(0x80 | reg), 0);
        machine_.write(static_cast<std::uint16_t>(rg1sav - 1 + reg), value);
    }
    for (int i = 0; i < columns * 24; ++i)
        vdp_.poke_vram(std::uint32_t(text1 ? 0 : 0x1800) + std::uint32_t(i), ' ');
    if (layout.msx2) {
        const std::uint8_t r9 = layout.pal ? 0x02 : 0x00;  // 50 or 60 Hz
        machine_.write(rg9sav, r9);
        machine_.write(rg10sa, 0x00);
        vdp_.write(0x99, r9, 0);
        vdp_.write(0x99, 0x89, 0);
        machine_.write(mode, vdp_.vram_size() >= 0x20000 ? 0x04 : vdp_.vram_size() >= 0x10000 ? 0x02 : 0x00);
        machine_.write(0xFFF7, main_rom_id());
    }
    vdp_.start_frame(0);

    // The devices.
    ppi_.read_slots = [this] { return machine_.primary_register(); };
    ppi_.write_slots = [this](std::uint8_t value) { machine_.set_primary_register(value); };
    ppi_.motor_changed = [this](bool on) {
        if (tape_)
            tape_->set_motor(on, machine_.bus_time());
    };
    ppi_.mode_set = [this] { fault("PPI reprogrammed: every page went to slot 0"); };
    psg_.tape_level = [this] { return tape_ && tape_->level(machine_.bus_time()); };
    for (std::uint8_t port = 0xA8; port <= 0xAB; ++port) {
        machine_.on_input(port, [this](std::uint8_t p) { return ppi_.read(p, machine_.bus_time()); });
        machine_.on_output(port, [this](std::uint8_t p, std::uint8_t v) { ppi_.write(p, v); });
    }
    for (std::uint8_t port = 0xA0; port <= 0xA2; ++port) {
        machine_.on_input(port, [this](std::uint8_t p) { return psg_.read(p); });
        machine_.on_output(port, [this](std::uint8_t p, std::uint8_t v) { psg_.write(p, v); });
    }
    for (std::uint8_t port = 0x98; port <= 0x99; ++port) {
        machine_.on_input(port, [this](std::uint8_t p) { return vdp_.read(p, machine_.bus_time()); });
        machine_.on_output(port, [this](std::uint8_t p, std::uint8_t v) { vdp_.write(p, v, machine_.bus_time()); });
    }

    machine_.add_trap(enaslt, rom, [this](Machine&) { trap_enaslt(); });
    machine_.add_trap(chput, rom, [this](Machine&) { trap_chput(); });
    machine_.add_trap(skip_statement, rom, [this](Machine&) { trap_skip_statement(); });
    machine_.add_trap(keyscan_trap, rom, [this](Machine&) { trap_keyscan(); });
    machine_.add_trap(idle_trap, rom, [this](Machine&) { trap_idle(); });
    machine_.add_trap(lost_hook, rom, [this](Machine&) { fault("a hook into a ROM that is gone was called"); });
    if (layout.frame_interrupt)
        machine_.set_interrupt_line([this] { return vdp_.interrupt_line(machine_.cycles()); });
    machine_.add_trap(basic_run, std::nullopt, [this](Machine&) { trap_basic_run(); });
}

MsxLayout msx2_layout(int mapper_kb, int vram_kb, bool rom_in_expanded_slot)
{
    MsxLayout layout;
    layout.msx2 = true;
    layout.vram_kb = vram_kb;
    layout.frame_interrupt = true;
    layout.width = 80;
    layout.ram = {3, 2};
    layout.expand_ram_slot = true;
    layout.mapper_segments = mapper_kb / 16;
    layout.expand_rom_slot = rom_in_expanded_slot;
    return layout;
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

void Msx::insert_tape(const std::vector<WavSignal>& recordings, const TapeOptions& options)
{
    tape_ = std::make_unique<Tape>(recordings, options);
    tape_->set_motor(ppi_.motor_on(), machine_.cycles());
}

std::uint64_t Msx::tape_position()
{
    return tape_ ? tape_->position(machine_.cycles()) : 0;
}

bool Msx::tape_at_end()
{
    return !tape_ || tape_->at_end(machine_.cycles());
}

int Msx::text_columns() const
{
    const int width = machine_.read(linlen);
    if (machine_.read(scrmod) == 1)
        return 32;
    return width > 40 ? 80 : 40;
}

int Msx::text_rows() const
{
    return machine_.read(crtcnt) - (machine_.read(cnsdfg) ? 1 : 0);
}

// The name table address of the cursor, as the BIOS computes it.
std::uint32_t Msx::cursor_address() const
{
    const int columns = text_columns();
    const int offset = (columns + 1 - machine_.read(linlen)) / 2;
    return machine_.read_word(nambas) + std::uint32_t((machine_.read(csry) - 1) * columns +
                                                      (machine_.read(csrx) - 1) + offset);
}

std::string Msx::screen_row(int row) const
{
    const int columns = text_columns();
    const std::uint32_t base = machine_.read_word(nambas) + std::uint32_t(row * columns);
    std::string text;
    for (int i = 0; i < columns; ++i)
        text += static_cast<char>(vdp_.vram(base + std::uint32_t(i)));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::string Msx::screen_text() const
{
    std::string text;
    for (int row = 0; row < 24; ++row)
        text += screen_row(row) + (row < 23 ? "\n" : "");
    return text;
}

void Msx::line_feed()
{
    const int rows = text_rows();
    int y = machine_.read(csry) + 1;
    if (y > rows) {
        const int columns = text_columns();
        const std::uint32_t base = machine_.read_word(nambas);
        for (int i = 0; i < columns * (rows - 1); ++i)
            vdp_.poke_vram(base + std::uint32_t(i), vdp_.vram(base + std::uint32_t(i + columns)));
        for (int i = 0; i < columns; ++i)
            vdp_.poke_vram(base + std::uint32_t(columns * (rows - 1) + i), ' ');
        y = rows;
    }
    machine_.write(csry, static_cast<std::uint8_t>(y));
}

void Msx::put_glyph(std::uint8_t glyph)
{
    const std::uint32_t address = cursor_address();
    vdp_.poke_vram(address, glyph);
    vdp_.set_write_address(address + 1);
    const int x = machine_.read(csrx) + 1;
    if (x > machine_.read(linlen)) {
        machine_.write(csrx, 1);
        line_feed();
    } else {
        machine_.write(csrx, static_cast<std::uint8_t>(x));
    }
}

// CHPUT: A = character.  Printable characters go to the cursor, which moves
// on (to the next line after the last column); CR, LF, BS, the cursor moves,
// home and clear screen act; 01h prints the next code less 40h as a glyph.
// Keeps every register; enables interrupts; does nothing in graphic modes.
void Msx::trap_chput()
{
    Machine& m = machine_;
    const auto c = static_cast<std::uint8_t>(m.reg(Reg::af) >> 8);
    transcript_ += static_cast<char>(c);
    if (m.read(scrmod) < 2) {
        const int x = m.read(csrx), y = m.read(csry);
        if (graphic_prefix_) {
            graphic_prefix_ = false;
            put_glyph(static_cast<std::uint8_t>(c - 0x40));
        } else if (c >= 0x20) {
            put_glyph(c);
        } else {
            switch (c) {
            case 0x01:
                graphic_prefix_ = true;
                break;
            case 0x08:
            case 0x1D:
                if (x > 1)
                    m.write(csrx, static_cast<std::uint8_t>(x - 1));
                break;
            case 0x0A:
            case 0x1F:
                line_feed();
                break;
            case 0x0B:
                m.write(csrx, 1);
                m.write(csry, 1);
                break;
            case 0x0C:
                for (int row = 0; row < 24; ++row)
                    for (int i = 0; i < text_columns(); ++i)
                        vdp_.poke_vram(m.read_word(nambas) + std::uint32_t(row * text_columns() + i), ' ');
                m.write(csrx, 1);
                m.write(csry, 1);
                break;
            case 0x0D:
                m.write(csrx, 1);
                break;
            case 0x1C:
                if (x < m.read(linlen))
                    m.write(csrx, static_cast<std::uint8_t>(x + 1));
                break;
            case 0x1E:
                if (y > 1)
                    m.write(csry, static_cast<std::uint8_t>(y - 1));
                break;
            default:
                break;
            }
        }
    }
    m.spend(layout_.chput_cost);
    m.set_reg(Reg::iff1, 1);
    m.set_reg(Reg::iff2, 1);
    m.ret();
}

// BASIC's end-of-statement scan: HL from the text pointer to the ":" or 00h
// that ends the statement, passing over quoted strings and the byte after an
// FFh function prefix.  Out: HL on it, A = that byte, Z.  Changes AF, BC, D,
// HL (BC and D are left scrambled).
void Msx::trap_skip_statement()
{
    Machine& m = machine_;
    std::uint16_t hl = m.reg(Reg::hl);
    bool quoted = false;
    for (;;) {
        const std::uint8_t c = m.read(hl);
        if (c == 0 || (c == ':' && !quoted))
            break;
        if (c == '"')
            quoted = !quoted;
        else if (c == 0xFF && !quoted)
            ++hl;
        ++hl;
    }
    m.set_reg(Reg::hl, hl);
    m.set_reg(Reg::af, static_cast<std::uint16_t>(m.read(hl) << 8 | 0x40));
    m.set_reg(Reg::bc, 0x3A22);
    m.set_reg(Reg::de, static_cast<std::uint16_t>(0x2200 | (m.reg(Reg::de) & 0xFF)));
    m.ret();
}

void Msx::start(std::uint16_t address, bool interrupts_enabled)
{
    machine_.set_reg(Reg::sp, layout_.stack);
    machine_.push(basic_return);
    machine_.set_reg(Reg::pc, address);
    machine_.set_reg(Reg::iff1, interrupts_enabled);
    machine_.set_reg(Reg::iff2, interrupts_enabled);
}

void Msx::leave_leftovers(std::uint32_t seed)
{
    std::uint32_t x = seed ? seed : 1;
    const auto next = [&x] {  // xorshift32
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return static_cast<std::uint8_t>(x >> 11);
    };
    for (int s = 4; s < machine_.mapper_segments(); ++s)
        for (std::uint8_t& byte : machine_.segment(s))
            byte = next();
    for (std::uint32_t a = 0x4000; a < vdp_.vram_size(); ++a)
        vdp_.poke_vram(a, next());
    for (std::uint16_t hook : {h_keyi, h_timi}) {
        machine_.write(hook, 0xC3);
        machine_.write_word(static_cast<std::uint16_t>(hook + 1), lost_hook);
    }
}

// Stores `c` at PUTPNT and advances it with the wrap at the buffer's end,
// unless that would make it meet GETPNT (full: the key is dropped).
bool Msx::put_key(std::uint8_t c)
{
    Machine& m = machine_;
    const std::uint16_t put = m.read_word(putpnt);
    auto next = static_cast<std::uint16_t>(put + 1);
    if (next == keybuf_end)
        next = keybuf;
    if ((next & 0xFF) == (m.read_word(getpnt) & 0xFF))
        return false;
    m.write(put, c);
    m.write_word(putpnt, next);
    return true;
}

bool Msx::type(std::string_view text)
{
    for (char c : text)
        if (!put_key(static_cast<std::uint8_t>(c)))
            return false;
    return true;
}

std::string Msx::keybuf_contents() const
{
    std::string text;
    std::uint16_t at = machine_.read_word(getpnt);
    const std::uint16_t put = machine_.read_word(putpnt);
    while ((at & 0xFF) != (put & 0xFF)) {
        text += static_cast<char>(machine_.read(at));
        if (++at == keybuf_end)
            at = keybuf;
    }
    return text;
}

bool Msx::waiting_for_key() const
{
    return machine_.reg(Reg::pc) == idle_trap && machine_.slot_of_page(0) == layout_.main_rom;
}

namespace {

// The character of a key of the international layout, or 0 for keys that
// give none (SHIFT, CTRL, function keys, STOP ...).
std::uint8_t key_character(int row, int bit, bool shift)
{
    static const char* const plain[6] = {"01234567", "89-=\\[];", "'`,./\0ab", "cdefghij", "klmnopqr", "stuvwxyz"};
    static const char* const shifted[6] = {")!@#$%^&", "*(_+|{}:", "\"~<>?\0AB", "CDEFGHIJ", "KLMNOPQR",
                                           "STUVWXYZ"};
    static const std::uint8_t row7[8] = {0, 0, 0x1B, 0x09, 0, 0x08, 0x18, 0x0D};
    static const std::uint8_t row8[8] = {0x20, 0x0B, 0x12, 0x7F, 0x1D, 0x1E, 0x1F, 0x1C};
    static const char* const keypad[2] = {"*+/01234", "56789-,."};
    if (row < 6)
        return static_cast<std::uint8_t>((shift ? shifted : plain)[row][bit]);
    if (row == 7)
        return row7[bit];
    if (row == 8)
        return bit == 1 && shift ? 0x0C : row8[bit];  // SHIFT+HOME = CLS
    if (row == 9 || row == 10)
        return static_cast<std::uint8_t>(keypad[row - 9][bit]);
    return 0;
}

}  // namespace

// The interrupt routine's keyboard scan: each row into NEWKEY; a key down now
// and up in OLDKEY puts its character into KEYBUF (SHIFT and CAPS for
// letters, CTRL for control codes; CAPS toggles CAPST); CTRL+STOP sets
// INTFLG to 3, STOP alone to 4; then OLDKEY = NEWKEY.
void Msx::trap_keyscan()
{
    Machine& m = machine_;
    const std::uint64_t t = m.bus_time();
    std::uint8_t rows[11];
    for (int row = 0; row < 11; ++row) {
        rows[row] = keyboard_.row(row, t);
        m.write(static_cast<std::uint16_t>(newkey + row), rows[row]);
    }
    const bool shift = !(rows[6] & 0x01);
    const bool ctrl = !(rows[6] & 0x02);
    if (!(rows[7] & 0x10))
        m.write(intflg, ctrl ? 3 : 4);
    for (int row = 0; row < 11; ++row) {
        const std::uint8_t pressed = m.read(static_cast<std::uint16_t>(oldkey + row)) & ~rows[row];
        for (int bit = 0; bit < 8; ++bit) {
            if (!(pressed & (1 << bit)))
                continue;
            if (row == 6 && bit == 3)
                m.write(capst, m.read(capst) ? 0 : 0xFF);
            std::uint8_t c = key_character(row, bit, shift);
            const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            if (letter && m.read(capst))
                c ^= 0x20;
            if (ctrl && (letter || c == '@' || c == '[' || c == '\\' || c == ']' || c == '^' || c == '_'))
                c &= 0x1F;
            if (c)
                put_key(c);
        }
        m.write(static_cast<std::uint16_t>(oldkey + row), rows[row]);
    }
    last_scan_ = t;
    m.spend(layout_.keyscan_cost);
    m.ret();
}

// CHGET found the buffer empty.  A key typed meanwhile: on past the HALT.
// A key held on the keyboard that no scan has seen yet, with frame
// interrupts on: the HALT lets time pass until the interrupt scans it.
// Otherwise the run stops here and the next run asks again.
void Msx::trap_idle()
{
    Machine& m = machine_;
    const std::uint16_t back = m.read_word(m.reg(Reg::sp));
    if ((m.read_word(getpnt) & 0xFF) != (m.read_word(putpnt) & 0xFF)) {
        m.pop();
        m.set_reg(Reg::pc, static_cast<std::uint16_t>(back + 1));
        return;
    }
    const bool interrupts = layout_.frame_interrupt && (vdp_.reg(1) & 0x20) && m.reg(Reg::iff1);
    if (interrupts && keyboard_.pressed_after(last_scan_)) {
        m.ret();
        return;
    }
    m.request_stop();
}

std::vector<std::uint8_t> Msx::ram_disk_image(int ram_pages, int vram_pages) const
{
    const int top_vram_page = static_cast<int>(vdp_.vram_size() / Machine::page_size) - 1;
    if (ram_pages < 0 || vram_pages < 0 || (ram_pages > 0 && 5 + ram_pages > machine_.mapper_segments()) ||
        vram_pages > top_vram_page)
        throw std::invalid_argument("the RAM disk does not fit the machine");
    std::vector<std::uint8_t> image;
    image.reserve(std::size_t(ram_pages + vram_pages) * Machine::page_size);
    for (int s = 5; s < 5 + ram_pages; ++s) {
        const auto segment = machine_.segment(s);
        image.insert(image.end(), segment.begin(), segment.end());
    }
    for (int p = top_vram_page; p > top_vram_page - vram_pages; --p)
        for (std::uint32_t a = 0; a < Machine::page_size; ++a)
            image.push_back(vdp_.vram(std::uint32_t(p) * Machine::page_size + a));
    return image;
}

void Msx::bload_run()
{
    machine_.set_reg(Reg::sp, layout_.stack);
    machine_.set_reg(Reg::pc, bload_run_entry);
    machine_.set_reg(Reg::iff1, 1);
    machine_.set_reg(Reg::iff2, 1);
}

void Msx::cload_run()
{
    bload_run();
    machine_.set_reg(Reg::pc, cload_run_entry);
}

RunResult Msx::run_statements(std::uint64_t cycle_limit, std::vector<Statement>& statements)
{
    Machine& m = machine_;
    const std::uint64_t start = m.cycles();
    std::uint16_t at = static_cast<std::uint16_t>(m.read_word(txttab) - 1);  // the 00h before the program
    for (;;) {
        // At a ":" go on with the next statement, at a 00h with the next line.
        if (m.read(at) == 0) {
            if (m.read_word(static_cast<std::uint16_t>(at + 1)) == 0)
                return {Stop::requested, at, m.cycles() - start};
            m.write_word(curlin, m.read_word(static_cast<std::uint16_t>(at + 3)));
            at = static_cast<std::uint16_t>(at + 5);  // past the link and the line number
        } else {
            ++at;
        }
        while (m.read(at) == ' ')
            ++at;
        const std::uint8_t token = m.read(at);
        if (token == ':' || token == 0)
            continue;  // an empty statement: the hook is not called

        const std::uint64_t spent = m.cycles() - start;
        Statement statement;
        const RunResult run = call_gone(at, spent < cycle_limit ? cycle_limit - spent : 0, statement);
        if (run.reason != Stop::breakpoint)
            return {run.reason, run.pc, m.cycles() - start};
        statements.push_back(statement);
        if (statement.taken_by_hook) {
            at = m.reg(Reg::hl);
            if (m.read(at) != ':' && m.read(at) != 0) {
                fault("the statement hook returned without HL on the end of the statement");
                return {Stop::requested, at, m.cycles() - start};
            }
        } else {
            // The interpreter's own handling; here only passed over.
            bool quoted = false;
            while (m.read(at) != 0 && (quoted || m.read(at) != ':')) {
                if (m.read(at) == '"')
                    quoted = !quoted;
                ++at;
            }
        }
    }
}

RunResult Msx::run_direct(const std::vector<std::uint8_t>& text, std::uint64_t cycle_limit, Statement& statement)
{
    Machine& m = machine_;
    for (std::size_t i = 0; i < text.size(); ++i)
        m.write(static_cast<std::uint16_t>(kbuf + i), text[i]);
    m.write(static_cast<std::uint16_t>(kbuf + text.size()), 0);
    m.write_word(curlin, 0xFFFF);
    return call_gone(kbuf, cycle_limit, statement);
}

// Calls H.GONE for the statement at `at` as the run loop does, with NEWSTT
// as the statement handler's return: a stop there means the hook took it.
RunResult Msx::call_gone(std::uint16_t at, std::uint64_t cycle_limit, Statement& statement)
{
    Machine& m = machine_;
    const std::uint8_t token = m.read(at);
    m.set_reg(Reg::sp, layout_.stack);
    m.push(newstt);
    m.set_reg(Reg::hl, at);
    m.set_reg(Reg::af, static_cast<std::uint16_t>(token << 8));
    m.set_reg(Reg::iff1, 1);
    m.set_reg(Reg::iff2, 1);
    m.add_breakpoint(newstt);
    const RunResult run = m.call(h_gone, gone_return, cycle_limit);
    m.remove_breakpoint(newstt);
    statement = Statement{at, token, run.pc == newstt};
    return run;
}

// The run entry of BASIC: records what the program left and stops the run.
void Msx::trap_basic_run()
{
    Machine& m = machine_;
    basic_run_ = BasicRun{m.slot_of_page(0), m.slot_of_page(1), m.read_word(vartab)};
    m.request_stop();
}

}  // namespace msxbench
