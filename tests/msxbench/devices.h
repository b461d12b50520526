#pragma once
// The MSX chips behind the I/O ports that the project's programs use: the
// keyboard matrix, the PPI (slots, keyboard, cassette motor), the PSG (its
// port A carries the cassette input) and the VDP with its video memory.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace msxbench {

// The keyboard matrix: keys held between two emulated times.
class Keyboard {
public:
    static constexpr std::uint64_t forever = ~std::uint64_t(0);
    // Holds the key of `row`, column `bit`, from `from` up to (not including) `until`.
    void hold(int row, int bit, std::uint64_t from = 0, std::uint64_t until = forever);
    void release_all() { keys_.clear(); }
    // The row as port 0xA9 shows it at time `t`: a 0 bit for each key held.
    std::uint8_t row(int row, std::uint64_t t) const;
    // Whether a key goes down after time `t`, or is down at `t` having gone
    // down at `t` or later.
    bool pressed_after(std::uint64_t t) const;

private:
    struct Key {
        int row, bit;
        std::uint64_t from, until;
    };
    std::vector<Key> keys_;
};

// Keys used by the loader: row 6 and row 7 columns.
namespace key {
inline constexpr int shift[2] = {6, 0};
inline constexpr int ctrl[2] = {6, 1};
inline constexpr int f1[2] = {6, 5};
inline constexpr int f2[2] = {6, 6};
inline constexpr int f3[2] = {6, 7};
inline constexpr int stop[2] = {7, 4};
}  // namespace key

// PPI 8255 as the MSX wires it: port A (0xA8) the primary slot register, port
// B (0xA9) the keyboard columns of the row in port C bits 0-3, port C (0xAA)
// row, cassette motor (bit 4, 0 = on), output, CAPS and click; 0xAB sets or
// resets one bit of port C, or with bit 7 set reprograms the chip, which
// clears ports A and C.
class Ppi {
public:
    std::function<std::uint8_t()> read_slots;
    std::function<void(std::uint8_t)> write_slots;
    std::function<void(bool on)> motor_changed;
    std::function<void()> mode_set;  // the program reprogrammed the PPI

    Ppi(const Keyboard& keyboard) : keyboard_(keyboard) {}
    std::uint8_t read(std::uint8_t port, std::uint64_t t);
    void write(std::uint8_t port, std::uint8_t value);
    std::uint8_t port_c() const { return port_c_; }
    bool motor_on() const { return (port_c_ & 0x10) == 0; }

private:
    void set_port_c(std::uint8_t value);

    const Keyboard& keyboard_;
    std::uint8_t port_c_ = 0x50;  // CAPS LED off, motor off, row 0
};

// PSG AY-3-8910: 0xA0 selects a register, 0xA1 writes it, 0xA2 reads it.
// Register 14 is port A: bit 7 the cassette input, bit 6 the keyboard layout
// jumper, bits 0-5 the joystick (1 = released).
class Psg {
public:
    std::function<bool()> tape_level;

    std::uint8_t read(std::uint8_t port);
    void write(std::uint8_t port, std::uint8_t value);
    std::uint8_t selected() const { return selected_; }

private:
    std::uint8_t registers_[16] = {};
    std::uint8_t selected_ = 0;
};

// The VDP's ports 0x98 (data) and 0x99 (control, status).  An MSX1 chip
// (TMS9918A) has 16 KB and decodes register numbers modulo 8; an MSX2 chip
// (V9938) has 64 or 128 KB, registers 0 to 46 and R#14 for the address bits
// above 16 KB.  Writes to the control port pair up; any read of either port
// resets the pairing.
//
// Frames: at the end of each frame's active display the chip sets the frame
// flag, bit 7 of status register S#0; a frame lasts 71,364 T-states at 50 Hz
// and 59,736 at 60 Hz (R#9 bit 1 on an MSX2, fixed for an MSX1 chip).  The
// interrupt line is active while the flag and R#1 bit 5 (IE) are both set;
// reading S#0 clears the flag.  The first frame starts at time 0 or at
// start_frame().
class Vdp {
public:
    struct RegisterWrite {
        int written;  // the register number as the program wrote it
        int reg;      // the register the chip took
        std::uint8_t value;
        std::uint64_t t;
    };

    static constexpr std::uint64_t pal_frame = 71364;
    static constexpr std::uint64_t ntsc_frame = 59736;

    // `vram_size` 0 gives the chip's usual amount: 16 KB, or 128 KB on an MSX2.
    explicit Vdp(bool msx2, std::uint32_t vram_size = 0, bool pal = true);
    std::uint8_t read(std::uint8_t port, std::uint64_t t);
    void write(std::uint8_t port, std::uint8_t value, std::uint64_t t);

    bool msx2() const { return msx2_; }
    std::uint8_t reg(int number) const { return registers_[number]; }
    const std::vector<RegisterWrite>& register_writes() const { return register_writes_; }
    std::uint32_t vram_size() const { return static_cast<std::uint32_t>(vram_.size()); }
    std::uint8_t vram(std::uint32_t address) const { return vram_[address % vram_.size()]; }
    void poke_vram(std::uint32_t address, std::uint8_t value) { vram_[address % vram_.size()] = value; }
    // Sets the address for writing as the BIOS does (R#14 = 0 on an MSX2).
    void set_write_address(std::uint32_t address);
    std::uint32_t address() const { return address_; }
    // Data port accesses closer than 29 T-states, which an MSX1 VDP can lose.
    int close_accesses() const { return close_accesses_; }

    // The interrupt line at time `t`.
    bool interrupt_line(std::uint64_t t);
    // S#0 at time `t` without reading it (reading clears the frame flag).
    std::uint8_t status(std::uint64_t t);
    std::uint64_t frame_length() const;
    // Begins a frame at `t`, its length from the registers as they are now.
    void start_frame(std::uint64_t t) { next_frame_ = t + frame_length(); }
    // When the next frame flag comes, after the last time the chip was asked.
    std::uint64_t next_frame() const { return next_frame_; }

private:
    void advance_time(std::uint64_t t);
    void data_access(std::uint64_t t);
    void advance_address();

    bool msx2_;
    std::vector<std::uint8_t> vram_;
    std::uint8_t registers_[64] = {};
    std::vector<RegisterWrite> register_writes_;
    bool latched_ = false;
    std::uint8_t latch_ = 0;
    std::uint32_t address_ = 0;  // 17 bits on an MSX2: R#14 and the 14-bit counter
    std::uint8_t read_ahead_ = 0;
    std::uint8_t status_ = 0;
    bool pal_;
    std::uint64_t next_frame_ = 0;
    std::uint64_t last_data_access_ = 0;
    bool accessed_ = false;
    int close_accesses_ = 0;
};

}  // namespace msxbench
