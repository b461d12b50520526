// The checking decoder on arbitrary bytes: it never reads or writes outside
// its buffers, and what it accepts is exactly what the header announces.
// Each input is also decoded once more behind a header made consistent
// with it (lengths and stream CRC), so that the token decoding is reached
// without the fuzzer having to find a CRC.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/rnc_pack.h"
#include "codec/rnc_unpack.h"
#include "fuzz_check.h"

namespace {

std::uint32_t be(const std::uint8_t* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

void decode_and_check(std::span<const std::uint8_t> packed)
{
    UnpackResult result = rnc_unpack(packed);
    if (!result.ok()) {
        FUZZ_CHECK(result.data.empty());
        return;
    }
    FUZZ_CHECK(packed.size() >= 18);
    FUZZ_CHECK(result.data.size() == be(&packed[4], 4));
    FUZZ_CHECK(rnc_crc16(result.data) == be(&packed[12], 2));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    decode_and_check({data, size});

    // As a stream: the first three bytes choose the unpacked length (up to
    // 64K) and the chunk count, the rest is the stream.
    if (size < 3)
        return 0;
    std::span<const std::uint8_t> stream(data + 3, size - 3);
    std::uint32_t unpacked = std::uint32_t(data[0] | data[1] << 8);
    std::vector<std::uint8_t> packed = {'R', 'N', 'C', 2};
    for (std::uint32_t value : {unpacked, std::uint32_t(stream.size())})
        for (int shift = 24; shift >= 0; shift -= 8)
            packed.push_back(std::uint8_t(value >> shift));
    std::uint16_t crc = rnc_crc16(stream);
    packed.insert(packed.end(), {0, 0, std::uint8_t(crc >> 8), std::uint8_t(crc), 0, data[2]});
    packed.insert(packed.end(), stream.begin(), stream.end());
    decode_and_check(packed);
    return 0;
}
