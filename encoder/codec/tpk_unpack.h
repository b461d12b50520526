#pragma once
// Checking decoder for tpk packed data (layout in codec/tpk_pack.h).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct TpkUnpackResult {
    std::vector<std::uint8_t> data;
    std::string error;  // empty on success
    // Smallest margin for decoding in place: how far past the end of the
    // output the end of the stream must lie so that no stream byte is
    // overwritten before it is read.
    std::uint32_t leeway_needed = 0;
    bool ok() const { return error.empty(); }
};

// Decodes `packed` (header and stream, nothing after).  Checks the stream's
// CRC, every token against the data decoded so far, the unpacked length and
// CRC, and that the stream is used up exactly.  Never reads or writes
// outside its buffers; on any fault `error` says what and `data` is empty.
TpkUnpackResult tpk_unpack(std::span<const std::uint8_t> packed);
