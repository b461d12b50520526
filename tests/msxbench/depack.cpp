#include "depack.h"

#include "asset_sfx_depacker_symbols.h"
#include "assets/images.h"
#include "convert/pack.h"

#include <stdexcept>

namespace msxbench {

namespace {

constexpr std::uint16_t sfx_address = 0xBC00;
constexpr std::uint16_t return_address = 0xFF00;

}  // namespace

Z80Restore restore_on_z80(std::span<const std::uint8_t> packed, const RestoreOptions& options)
{
    if (packed.size() > sfx_address)
        throw std::invalid_argument("packed data too large");
    Msx msx;
    Machine& m = msx.machine();
    m.set_primary_register(0xFF);  // all pages on the RAM of slot 3
    const auto source = static_cast<std::uint16_t>(sfx_address - packed.size());
    std::vector<std::uint8_t> memory(packed.begin(), packed.end());
    const std::vector<std::uint8_t> depacker = sfx_depacker_behind(packed);
    memory.insert(memory.end(), depacker.begin(), depacker.end());
    if (options.damage)
        options.damage(memory);
    m.load(source, memory);
    m.set_reg(Reg::hl, source);
    m.set_reg(Reg::de, options.destination);
    m.set_reg(Reg::bc, options.stored);
    m.set_reg(Reg::sp, 0xFE00);

    Z80Restore result;
    const std::uint16_t entry = options.unchecked ? asset_sfx_depacker_rnc2_decode : sfx_address;
    const RunResult run = m.call(entry, return_address, 2'000'000'000);
    result.cycles = run.cycles;
    result.returned = run.reason == Stop::breakpoint && run.pc == return_address;
    result.failed = result.returned && (m.reg(Reg::af) & 1) != 0 && !options.unchecked;
    const std::uint16_t end = m.reg(Reg::de);
    result.hl = options.unchecked ? static_cast<std::uint16_t>(end - options.destination) : m.reg(Reg::hl);
    if (result.returned && !result.failed && end >= options.destination)
        result.data = m.dump(options.destination, end - options.destination);
    return result;
}

Z80Restore restore_on_z80(std::span<const std::uint8_t> packed, std::uint16_t stored, std::uint16_t destination)
{
    RestoreOptions options;
    options.stored = stored;
    options.destination = destination;
    return restore_on_z80(packed, options);
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
