#pragma once
// The RAM-disk DOS's items as the build made them, unpacked, and the
// addresses of their symbols, for tests that run or watch them.

#include <cstdint>
#include <span>
#include <string_view>

namespace ramdos_parts {

std::span<const std::uint8_t> kernel();   // the resident kernel, assembled for K0
std::span<const std::uint8_t> disksys();  // the disk system, assembled for 0x4000
std::span<const std::uint8_t> command();  // COMMAND.COM
std::span<const std::uint8_t> msxdos();   // MSXDOS.SYS
std::span<const std::uint8_t> k7();       // K7.COM

// The value of a symbol of the kernel (its every label and constant), of
// the start-up program or of K7.COM; names are matched without regard to
// case.  Throws std::out_of_range when there is no such symbol.
std::uint16_t kernel_symbol(std::string_view name);
std::uint16_t startup_symbol(std::string_view name);
std::uint16_t k7_symbol(std::string_view name);

}  // namespace ramdos_parts
