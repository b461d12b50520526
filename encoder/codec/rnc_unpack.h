#pragma once
// Checking decoder for method-2 packed data (layout in convert/rnc_pack.h).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct UnpackResult {
    std::vector<std::uint8_t> data;
    std::string error;  // empty on success
    // Smallest leeway that decoding in place needs for this stream (the
    // header's leeway byte should be at least this).
    std::uint32_t leeway_needed = 0;
    bool ok() const { return error.empty(); }
};

// Decodes `packed` (header and stream, nothing after). Checks the signature,
// the method, the packed length against the buffer, the stream's CRC, every
// token against the data decoded so far and the unpacked length, the chunk
// count, that the stream is used up exactly, and the unpacked CRC. Never
// reads or writes outside its buffers; on any fault `error` says what and
// `data` is empty.
UnpackResult rnc_unpack(std::span<const std::uint8_t> packed);
