// pack_item IN OUT: writes IN packed as method-2 data (header included) to
// OUT.  Used by the build for the items the RAM-disk DOS carries; unlike
// tapecast's own packing it never falls back to the data as it is.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "codec/rnc_pack.h"
#include "codec/rnc_unpack.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: pack_item IN OUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "pack_item: can't read %s\n", argv[1]);
        return 1;
    }
    std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::uint8_t> packed = rnc_pack(input);

    // What the MSX will decode must be what went in.
    UnpackResult check = rnc_unpack(packed);
    if (!check.ok() || check.data != input) {
        std::fprintf(stderr, "pack_item: %s does not decode back to %s\n", argv[2], argv[1]);
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(packed.data()), std::streamsize(packed.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "pack_item: can't write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
