#include "ramdos_parts.h"

#include <cstddef>
#include <sstream>
#include <stdexcept>
#include <string>

#include "ramdos_command.h"
#include "ramdos_disksys.h"
#include "ramdos_k7.h"
#include "ramdos_k7_sym.h"
#include "ramdos_kernel.h"
#include "ramdos_kernel_sym.h"
#include "ramdos_msxdos.h"
#include "ramdos_startup_sym.h"

namespace ramdos_parts {
namespace {

// pasmo writes one "name<TAB>EQU 0XXXXH" line per symbol.  Its names are
// case-sensitive: the kernel's entry bdos is not the page-0 vector BDOS.
std::uint16_t lookup(const std::uint8_t* text, std::size_t size, std::string_view name)
{
    std::istringstream lines(std::string(reinterpret_cast<const char*>(text), size));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string symbol, equ, value;
        if (!(fields >> symbol >> equ >> value) || symbol != name)
            continue;
        if (!value.empty() && (value.back() == 'H' || value.back() == 'h'))
            value.pop_back();
        return static_cast<std::uint16_t>(std::stoul(value, nullptr, 16));
    }
    throw std::out_of_range("no RAM-disk DOS symbol " + std::string(name));
}

}  // namespace

std::span<const std::uint8_t> kernel() { return {ramdos_kernel, ramdos_kernel_size}; }
std::span<const std::uint8_t> disksys() { return {ramdos_disksys, ramdos_disksys_size}; }
std::span<const std::uint8_t> command() { return {ramdos_command, ramdos_command_size}; }
std::span<const std::uint8_t> msxdos() { return {ramdos_msxdos, ramdos_msxdos_size}; }
std::span<const std::uint8_t> k7() { return {ramdos_k7, ramdos_k7_size}; }

std::uint16_t kernel_symbol(std::string_view name)
{
    return lookup(ramdos_kernel_sym, ramdos_kernel_sym_size, name);
}

std::uint16_t startup_symbol(std::string_view name)
{
    return lookup(ramdos_startup_sym, ramdos_startup_sym_size, name);
}

std::uint16_t k7_symbol(std::string_view name)
{
    return lookup(ramdos_k7_sym, ramdos_k7_sym_size, name);
}

}  // namespace ramdos_parts
