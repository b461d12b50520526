// Pack, then unpack: any input up to 64 KiB comes back unchanged, and the
// leeway written is never below what decoding in place needs.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/rnc_pack.h"
#include "codec/rnc_unpack.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 65536)
        return 0;
    std::span<const std::uint8_t> input(data, size);
    std::vector<std::uint8_t> packed = rnc_pack(input);
    UnpackResult result = rnc_unpack(packed);
    FUZZ_CHECK(result.ok());
    FUZZ_CHECK(result.data.size() == size);
    FUZZ_CHECK(std::equal(result.data.begin(), result.data.end(), input.begin()));
    FUZZ_CHECK(packed[16] >= std::min<std::uint32_t>(result.leeway_needed, 255));
    FUZZ_CHECK(packed.size() >= rnc_packed_size_bound(input));
    return 0;
}
