#include "codec/rnc_unpack.h"

#include "codec/rnc_pack.h"

#include <algorithm>

namespace {

constexpr std::size_t header_size = 18;

std::uint32_t read_be(std::span<const std::uint8_t> bytes, std::size_t at, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

// Reads flag bits and data bytes in the order the format fixes: a new flag
// byte is taken from the stream only when a bit is needed and the current
// one is used up. Reading past the end sets `overrun` and yields zeros.
struct StreamReader {
    std::span<const std::uint8_t> stream;
    std::size_t next = 0;
    unsigned flags = 0;
    int bits_left = 0;
    bool overrun = false;
    // For the leeway: output bytes written when each stream byte is read,
    // less the byte's distance from the end of the output.
    std::int64_t lag = 0;
    std::int64_t max_lag = 0;
};

std::uint8_t take_byte(StreamReader& r, std::size_t output_size)
{
    if (r.next >= r.stream.size()) {
        r.overrun = true;
        return 0;
    }
    r.max_lag = std::max(r.max_lag, static_cast<std::int64_t>(output_size) - r.lag - static_cast<std::int64_t>(r.next));
    return r.stream[r.next++];
}

unsigned take_bit(StreamReader& r, std::size_t output_size)
{
    if (r.bits_left == 0) {
        r.flags = take_byte(r, output_size);
        r.bits_left = 8;
    }
    --r.bits_left;
    return (r.flags >> r.bits_left) & 1u;
}

unsigned take_bits(StreamReader& r, std::size_t output_size, int count)
{
    unsigned value = 0;
    while (count-- > 0)
        value = (value << 1) | take_bit(r, output_size);
    return value;
}

// Offset code: H as a prefix code, then the low byte; offset = H*256 + L + 1.
std::uint32_t take_offset(StreamReader& r, std::size_t out)
{
    unsigned h = 0;
    if (take_bit(r, out)) {
        const unsigned a = take_bit(r, out);
        const unsigned b = take_bit(r, out);
        if (b == 0) {
            h = a ? 1 : 2 + take_bit(r, out);
        } else {
            const unsigned base = 4 + 2 * a + take_bit(r, out);
            h = take_bit(r, out) ? base : 2 * base + take_bit(r, out);
        }
    }
    return h * 256 + take_byte(r, out) + 1;
}

struct Decoder {
    StreamReader reader;
    std::vector<std::uint8_t> out;
    std::uint32_t unpacked = 0;
    std::uint32_t chunks = 0;
    std::string error;
};

bool fail(Decoder& d, std::string message)
{
    if (d.error.empty())
        d.error = std::move(message);
    return false;
}

bool copy_match(Decoder& d, std::uint32_t length, std::uint32_t offset)
{
    if (d.reader.overrun)
        return fail(d, "stream ends inside a match");
    if (offset > d.out.size())
        return fail(d, "match reaches before the start of the data");
    if (length > d.unpacked - d.out.size())
        return fail(d, "match runs past the unpacked length");
    for (std::uint32_t i = 0; i < length; ++i)
        d.out.push_back(d.out[d.out.size() - offset]);
    return true;
}

bool copy_literals(Decoder& d, std::uint32_t count)
{
    if (count > d.unpacked - d.out.size())
        return fail(d, "literals run past the unpacked length");
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t byte = take_byte(d.reader, d.out.size());
        if (d.reader.overrun)
            return fail(d, "stream ends inside literals");
        d.out.push_back(byte);
    }
    return true;
}

// Decodes one token. Returns false at the end of the last chunk or on a
// fault (then `error` is set).
bool decode_token(Decoder& d)
{
    StreamReader& r = d.reader;
    const std::size_t out = d.out.size();
    if (take_bit(r, out) == 0)
        return copy_literals(d, 1);
    if (take_bit(r, out) == 0) {
        // 10 p q [r]: lengths 4..8, or 9 for a run of 12 + 4k literals
        const unsigned p = take_bit(r, out);
        const unsigned length = take_bit(r, out) ? 6 + 2 * p + take_bit(r, out) : 4 + p;
        if (length == 9)
            return copy_literals(d, 12 + 4 * take_bits(r, out, 4));
        return copy_match(d, length, take_offset(r, out));
    }
    if (take_bit(r, out) == 0)
        return copy_match(d, 2, take_byte(r, out) + 1u);
    if (take_bit(r, out) == 0)
        return copy_match(d, 3, take_offset(r, out));
    const unsigned n = take_byte(r, out);
    if (n != 0)
        return copy_match(d, n + 8, take_offset(r, out));
    ++d.chunks;
    const bool more = take_bit(r, out) != 0;
    if (r.overrun)
        return fail(d, "stream ends inside an end-of-chunk code");
    return more;
}

std::string check_header(std::span<const std::uint8_t> packed)
{
    if (packed.size() < header_size)
        return "shorter than the 18-byte header";
    if (packed[0] != 'R' || packed[1] != 'N' || packed[2] != 'C')
        return "no RNC signature";
    if (packed[3] != 2)
        return "not method 2";
    if (read_be(packed, 8, 4) != packed.size() - header_size)
        return "packed length does not match the data";
    if (read_be(packed, 14, 2) != rnc_crc16(packed.subspan(header_size)))
        return "packed CRC mismatch";
    if (packed.size() > header_size && (packed[header_size] & 0x40) != 0)
        return "encrypted literals are not supported";
    return {};
}

}  // namespace

UnpackResult rnc_unpack(std::span<const std::uint8_t> packed)
{
    UnpackResult result;
    result.error = check_header(packed);
    if (!result.ok())
        return result;

    Decoder d;
    d.unpacked = read_be(packed, 4, 4);
    d.reader.stream = packed.subspan(header_size);
    d.reader.lag = static_cast<std::int64_t>(d.unpacked) - static_cast<std::int64_t>(d.reader.stream.size());
    // The output grows with what the stream really produces, so a lying
    // unpacked length cannot make the decoder allocate more than that.
    d.out.reserve(std::min<std::size_t>(d.unpacked, 128 * d.reader.stream.size()));

    take_bits(d.reader, 0, 2);  // lock and key bits
    while (decode_token(d)) {
    }
    if (d.error.empty() && d.reader.overrun)
        fail(d, "stream ends early");
    if (d.error.empty() && d.out.size() != d.unpacked)
        fail(d, "data is shorter than the unpacked length");
    if (d.error.empty() && d.reader.next != d.reader.stream.size())
        fail(d, "bytes left after the last chunk");
    if (d.error.empty() && d.chunks != packed[17])
        fail(d, "chunk count does not match the stream");
    if (d.error.empty() && read_be(packed, 12, 2) != rnc_crc16(d.out))
        fail(d, "unpacked CRC mismatch");
    if (!d.error.empty()) {
        result.error = d.error;
        return result;
    }
    result.data = std::move(d.out);
    result.leeway_needed = static_cast<std::uint32_t>(std::max<std::int64_t>(d.reader.max_lag, 0));
    return result;
}
