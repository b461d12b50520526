#include "devices.h"

namespace msxbench {

void Keyboard::hold(int row, int bit, std::uint64_t from, std::uint64_t until)
{
    keys_.push_back({row, bit, from, until});
}

std::uint8_t Keyboard::row(int row, std::uint64_t t) const
{
    std::uint8_t value = 0xFF;
    for (const Key& key : keys_)
        if (key.row == row && t >= key.from && t < key.until)
            value = static_cast<std::uint8_t>(value & ~(1 << key.bit));
    return value;
}

bool Keyboard::pressed_after(std::uint64_t t) const
{
    for (const Key& key : keys_)
        if (key.from >= t && key.until > key.from)
            return true;
    return false;
}

std::uint8_t Ppi::read(std::uint8_t port, std::uint64_t t)
{
    switch (port & 3) {
    case 0:
        return read_slots ? read_slots() : 0xFF;
    case 1:
        return (port_c_ & 0x0F) <= 10 ? keyboard_.row(port_c_ & 0x0F, t) : 0xFF;
    case 2:
        return port_c_;
    default:
        return 0xFF;
    }
}

void Ppi::write(std::uint8_t port, std::uint8_t value)
{
    switch (port & 3) {
    case 0:
        if (write_slots)
            write_slots(value);
        break;
    case 1:
        break;
    case 2:
        set_port_c(value);
        break;
    default:
        if (value & 0x80) {
            if (write_slots)
                write_slots(0);
            set_port_c(0);
            if (mode_set)
                mode_set();
        } else {
            const int bit = (value >> 1) & 7;
            set_port_c(static_cast<std::uint8_t>((value & 1) ? port_c_ | 1 << bit : port_c_ & ~(1 << bit)));
        }
        break;
    }
}

void Ppi::set_port_c(std::uint8_t value)
{
    const bool was_on = motor_on();
    port_c_ = value;
    if (motor_on() != was_on && motor_changed)
        motor_changed(motor_on());
}

std::uint8_t Psg::read(std::uint8_t port)
{
    if (port != 0xA2)
        return 0xFF;
    if (selected_ == 14)
        return static_cast<std::uint8_t>((tape_level && tape_level() ? 0x80 : 0x00) | 0x7F);
    return selected_ < 16 ? registers_[selected_] : 0xFF;
}

void Psg::write(std::uint8_t port, std::uint8_t value)
{
    if (port == 0xA0)
        selected_ = value;
    else if (port == 0xA1 && selected_ < 16)
        registers_[selected_] = value;
}

Vdp::Vdp(bool msx2, std::uint32_t vram_size, bool pal)
    : msx2_(msx2), vram_(vram_size ? vram_size : msx2 ? 0x20000 : 0x4000, 0), pal_(pal)
{
    next_frame_ = frame_length();
}

std::uint64_t Vdp::frame_length() const
{
    const bool pal = msx2_ ? (registers_[9] & 0x02) != 0 : pal_;
    return pal ? pal_frame : ntsc_frame;
}

// Sets the frame flag for every frame that ended by `t`; the length of the
// next frame follows R#9 as it is when a frame ends.
void Vdp::advance_time(std::uint64_t t)
{
    while (t >= next_frame_) {
        status_ |= 0x80;
        next_frame_ += frame_length();
    }
}

bool Vdp::interrupt_line(std::uint64_t t)
{
    advance_time(t);
    return (status_ & 0x80) && (registers_[1] & 0x20);
}

std::uint8_t Vdp::status(std::uint64_t t)
{
    advance_time(t);
    return status_;
}

void Vdp::data_access(std::uint64_t t)
{
    if (accessed_ && t - last_data_access_ < 29)
        ++close_accesses_;
    accessed_ = true;
    last_data_access_ = t;
}

// The 14-bit counter; on a V9938 in the MSX2 modes (M4 or M5 set) its carry
// goes on into R#14.
void Vdp::advance_address()
{
    const bool carry_on = msx2_ && (registers_[0] & 0x0C) != 0;
    const std::uint32_t low = (address_ + 1) & 0x3FFF;
    std::uint32_t high = address_ & ~0x3FFFu;
    if (low == 0 && carry_on) {
        high = (high + 0x4000) & 0x1C000;
        registers_[14] = static_cast<std::uint8_t>(high >> 14);
    }
    address_ = high | low;
}

std::uint8_t Vdp::read(std::uint8_t port, std::uint64_t t)
{
    latched_ = false;
    if (port == 0x98) {
        data_access(t);
        const std::uint8_t value = read_ahead_;
        read_ahead_ = vram_[address_ % vram_.size()];
        advance_address();
        return value;
    }
    if (port == 0x99) {
        // S#0, or on an MSX2 the status register R#15 selects; only S#0 is
        // modelled, the others read 0.
        if (msx2_ && (registers_[15] & 0x0F) != 0)
            return 0x00;
        advance_time(t);
        const std::uint8_t value = status_;
        status_ &= 0x7F;
        return value;
    }
    return 0xFF;
}

void Vdp::write(std::uint8_t port, std::uint8_t value, std::uint64_t t)
{
    if (port == 0x98) {
        latched_ = false;
        data_access(t);
        vram_[address_ % vram_.size()] = value;
        read_ahead_ = value;
        advance_address();
        return;
    }
    if (port != 0x99)
        return;
    if (!latched_) {
        latch_ = value;
        latched_ = true;
        return;
    }
    latched_ = false;
    if (value & 0x80) {
        if (!msx2_ || (value & 0x40) == 0) {
            const int written = value & 0x3F;
            const int reg = msx2_ ? written : written & 7;
            if (reg < 64)
                registers_[reg] = latch_;
            register_writes_.push_back({written, reg, latch_, t});
        }
        return;
    }
    const std::uint32_t high = msx2_ ? std::uint32_t(registers_[14] & 7) << 14 : 0;
    address_ = high | std::uint32_t(latch_) | std::uint32_t(value & 0x3F) << 8;
    if ((value & 0x40) == 0) {
        read_ahead_ = vram_[address_ % vram_.size()];
        advance_address();
    }
}

void Vdp::set_write_address(std::uint32_t address)
{
    if (msx2_)
        registers_[14] = 0;
    address_ = address & 0x3FFF;
}

}  // namespace msxbench
