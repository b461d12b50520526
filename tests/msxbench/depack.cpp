#include "depack.h"

#include "assets/images.h"

#include <stdexcept>

namespace msxbench {

namespace {

constexpr std::uint16_t sfx_address = 0xBC00;
constexpr std::uint16_t return_address = 0xFF00;

}  // namespace

Z80Restore restore_on_z80(std::span<const std::uint8_t> packed, std::uint16_t stored, std::uint16_t destination)
{
    if (packed.size() > sfx_address)
        throw std::invalid_argument("packed data too large");
    Msx msx;
    Machine& m = msx.machine();
    m.set_primary_register(0xFF);  // all pages on the RAM of slot 3
    const auto source = static_cast<std::uint16_t>(sfx_address - packed.size());
    m.load(source, packed);
    m.load(sfx_address, sfx_depacker_image());
    m.set_reg(Reg::hl, source);
    m.set_reg(Reg::de, destination);
    m.set_reg(Reg::bc, stored);
    m.set_reg(Reg::sp, 0xFE00);

    Z80Restore result;
    const RunResult run = m.call(sfx_address, return_address, 2'000'000'000);
    result.cycles = run.cycles;
    result.returned = run.reason == Stop::breakpoint && run.pc == return_address;
    result.hl = m.reg(Reg::hl);
    const std::uint16_t end = m.reg(Reg::de);
    if (result.returned && end >= destination)
        result.data = m.dump(destination, end - destination);
    return result;
}

std::uint16_t bload(Machine& machine, std::span<const std::uint8_t> image)
{
    if (image.size() < 7 || image[0] != 0xFE)
        throw std::invalid_argument("not a BIN image");
    const auto word = [&](std::size_t at) { return static_cast<std::uint16_t>(image[at] | image[at + 1] << 8); };
    const std::uint16_t start = word(1), end = word(3), exec = word(5);
    if (end < start || end - start + 1u != image.size() - 7)
        throw std::invalid_argument("BIN length mismatch");
    machine.load(start, image.subspan(7));
    return exec;
}

}  // namespace msxbench
