#include "depack.h"

#include "msxbench_tpk_depacker.h"
#include "msxbench_tpk_depacker_symbols.h"

#include <stdexcept>

namespace msxbench {

namespace {

constexpr std::uint16_t decoder_address = 0xDD00;
constexpr std::uint16_t return_address = 0xFF00;

}  // namespace

Z80Restore tpk_restore_on_z80(std::span<const std::uint8_t> packed, std::uint16_t destination,
                              std::optional<std::uint16_t> leeway)
{
    if (packed.size() < 2)
        throw std::invalid_argument("not tpk data");
    const std::size_t unpacked = packed[0] | packed[1] << 8;
    const std::size_t end = leeway ? destination + unpacked + *leeway : decoder_address;
    if (end > decoder_address || packed.size() > end || (!leeway && destination + unpacked > end - packed.size()))
        throw std::invalid_argument("tpk data does not fit below the decoder");
    Msx msx;
    Machine& m = msx.machine();
    m.set_primary_register(0xFF);  // all pages on the RAM of slot 3
    m.load(decoder_address, std::span(msxbench_tpk_depacker, msxbench_tpk_depacker_size));
    const auto source = static_cast<std::uint16_t>(end - packed.size());
    m.load(source, packed);
    m.set_reg(Reg::hl, source);
    m.set_reg(Reg::de, destination);
    m.set_reg(Reg::sp, 0xFE00);

    Z80Restore result;
    const RunResult run = m.call(msxbench_tpk_depacker_tpk_decode, return_address, 2'000'000'000);
    result.cycles = run.cycles;
    result.returned = run.reason == Stop::breakpoint && run.pc == return_address;
    const std::uint16_t written_end = m.reg(Reg::de);
    result.hl = static_cast<std::uint16_t>(written_end - destination);
    if (result.returned && written_end >= destination)
        result.data = m.dump(destination, written_end - destination);
    return result;
}

}  // namespace msxbench
