#pragma once
// Running the depackers on the emulated MSX.

#include "msx.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace msxbench {

struct Z80Restore {
    std::vector<std::uint8_t> data;  // what was written from the destination up to DE
    std::uint64_t cycles = 0;        // T-states of the call, MSX timing
    std::uint16_t hl = 0;            // the depacker's result: bytes restored
    bool returned = false;           // the call came back within its budget
    bool failed = false;             // it came back with carry: damage found
};

// Calls the self-extracting depacker at 0xBC00 on an all-RAM machine, with
// `packed` right below it, to restore to `destination` (stored data when
// `stored` is not 0).  Destinations in 0x0100..0x01FF make it run the
// program rather than return, so use others here.  The depacker is sealed
// for `packed` as the encoder does (its CRC), unless `damage` is set: then
// `damage(memory)` may change the bytes from the data's start to the
// depacker's end after sealing.  `unchecked` calls the depacker's decoder
// alone, without any check (packed data only).
struct RestoreOptions {
    std::uint16_t stored = 0;
    std::uint16_t destination = 0x0200;
    bool unchecked = false;
    void (*damage)(std::vector<std::uint8_t>& data_and_depacker) = nullptr;
};
Z80Restore restore_on_z80(std::span<const std::uint8_t> packed, const RestoreOptions& options);
Z80Restore restore_on_z80(std::span<const std::uint8_t> packed, std::uint16_t stored = 0,
                          std::uint16_t destination = 0x0200);

// Calls the tpk decoder alone at 0xDD00 on an all-RAM machine to restore
// `packed` (tpk data, header included) to `destination`.  The packed data
// lies right below the decoder, or, with `leeway` set, in place: its end
// `leeway` bytes past the end of the restored data.
Z80Restore tpk_restore_on_z80(std::span<const std::uint8_t> packed, std::uint16_t destination = 0x0200,
                              std::optional<std::uint16_t> leeway = std::nullopt);

// Loads a BIN image as BLOAD does and returns its exec address; the data
// goes to the slots currently selected.
std::uint16_t bload(Machine& machine, std::span<const std::uint8_t> image);

}  // namespace msxbench
