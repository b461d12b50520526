#include "codec/tpk_unpack.h"

#include "codec/rnc_pack.h"
#include "codec/tpk_pack.h"

#include <algorithm>

namespace {

// Reads flag bits and data bytes in stream order; reading past the end sets
// `overrun` and yields zeros.
struct Reader {
    std::span<const std::uint8_t> stream;
    const std::vector<std::uint8_t>& out;
    std::size_t next = 0;
    unsigned flags = 0;
    int bits_left = 0;
    bool overrun = false;
    std::int64_t max_lag = 0;  // output written less room left, at each byte read

    std::uint8_t byte()
    {
        if (next >= stream.size()) {
            overrun = true;
            return 0;
        }
        // In place, the stream ends `k` bytes after the output: stream byte
        // `next` lies at U + k - (P - next), which must not have been written.
        max_lag = std::max(max_lag, static_cast<std::int64_t>(out.size()) -
                                        static_cast<std::int64_t>(next) + static_cast<std::int64_t>(stream.size()));
        return stream[next++];
    }
    unsigned bit()
    {
        if (bits_left == 0) {
            flags = byte();
            bits_left = 8;
        }
        --bits_left;
        return (flags >> bits_left) & 1u;
    }
    // G(v); values above 65536 are reported as 65537 (never valid).
    std::uint32_t gamma()
    {
        std::uint32_t v = 1;
        while (!bit() && !overrun) {
            v = 2 * v + bit();
            if (v > 65536)
                return 65537;
        }
        return v;
    }
};

TpkUnpackResult failure(const std::string& error)
{
    TpkUnpackResult result;
    result.error = error;
    return result;
}

}  // namespace

TpkUnpackResult tpk_unpack(std::span<const std::uint8_t> packed)
{
    if (packed.size() < tpk_header_size)
        return failure("shorter than the header");
    const auto size = static_cast<std::uint32_t>(packed[0] | packed[1] << 8);
    const std::uint16_t data_crc = static_cast<std::uint16_t>(packed[2] | packed[3] << 8);
    const std::uint16_t stream_crc = static_cast<std::uint16_t>(packed[4] | packed[5] << 8);
    const std::span<const std::uint8_t> stream = packed.subspan(tpk_header_size);
    if (rnc_crc16(stream) != stream_crc)
        return failure("stream CRC mismatch");
    if (size > tpk_max_input)
        return failure("unpacked length above 49152");

    std::vector<std::uint8_t> out;
    out.reserve(size);
    Reader r{stream, out};
    std::uint32_t last_offset = 0;
    bool after_literals = false;
    for (;;) {
        const unsigned choice = r.bit();
        if (r.overrun)
            return failure("stream ends early");
        std::uint32_t length = 0;
        std::uint32_t offset = 0;
        if (!after_literals && choice == 0) {
            length = r.gamma();
            if (length > size - out.size() || r.overrun)
                return failure("literals beyond the unpacked length");
            for (std::uint32_t i = 0; i < length; ++i)
                out.push_back(r.byte());
            if (r.overrun)
                return failure("stream ends early");
            after_literals = true;
            continue;
        }
        if (after_literals && choice == 1) {
            length = r.gamma();
            offset = last_offset;
            if (offset == 0)
                return failure("repeat before any match");
        } else {
            const std::uint32_t low = r.byte();
            const std::uint32_t high = low & 1 ? 0 : r.gamma();
            if (high == 511 && low == 0)
                break;
            offset = high * 128 + (low >> 1) + 1;
            length = r.gamma() + 1;
            if (offset > out.size())
                return failure("offset beyond the data restored");
        }
        if (r.overrun)
            return failure("stream ends early");
        if (length > size - out.size())
            return failure("match beyond the unpacked length");
        for (std::uint32_t i = 0; i < length; ++i)
            out.push_back(out[out.size() - offset]);
        last_offset = offset;
        after_literals = false;
    }
    if (r.overrun)
        return failure("stream ends early");
    if (r.next != stream.size())
        return failure("bytes after the end of the stream");
    if (out.size() != size)
        return failure("unpacked length mismatch");
    if (rnc_crc16(out) != data_crc)
        return failure("unpacked CRC mismatch");
    TpkUnpackResult result;
    result.data = std::move(out);
    result.leeway_needed = static_cast<std::uint32_t>(std::max<std::int64_t>(0, r.max_lag - size));
    return result;
}
