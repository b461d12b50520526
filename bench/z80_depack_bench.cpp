// Z80 decoder figures over real MSX binaries: the C-BIOS ROM images and the
// bundled examples, packed by the C++ packer and restored by the Z80 decoder
// on the emulated MSX (one wait state per M1 cycle, 3.579545 MHz).  Per file
// and in total: unpacked and packed size, T-states, T-states per restored
// byte and the time an MSX takes.  Also the copy path of stored data.

#include "corpus.h"
#include "depack.h"

#include "assets/images.h"
#include "codec/rnc_pack.h"

#include <cstdio>
#include <vector>

namespace {

constexpr double msx_clock = 3579545.0;

void print_row(const char* name, std::size_t unpacked, std::size_t packed, std::uint64_t cycles)
{
    std::printf("%-26s %8zu %8zu %12llu %8.1f %9.1f\n", name, unpacked, packed, static_cast<unsigned long long>(cycles),
                unpacked ? double(cycles) / double(unpacked) : 0.0, double(cycles) / msx_clock * 1000.0);
}

}  // namespace

int main()
{
    std::printf("Z80 decoder: BIN depacker %zu bytes, SFX depacker %zu bytes\n\n", bin_depacker_image().size(),
                sfx_depacker_image().size());
    std::printf("%-26s %8s %8s %12s %8s %9s\n", "file", "bytes", "packed", "T-states", "T/byte", "ms");
    std::size_t total_unpacked = 0, total_packed = 0;
    std::uint64_t total_cycles = 0;
    bool all_right = true;
    for (const msxbench::CorpusFile& file : msxbench::load_corpus(EXAMPLES_DIR)) {
        const std::vector<std::uint8_t> packed = rnc_pack(file.bytes);
        const msxbench::Z80Restore z80 = msxbench::restore_on_z80(packed);
        if (!z80.returned || z80.data != file.bytes) {
            std::printf("%-26s restored data differs\n", file.name.c_str());
            all_right = false;
            continue;
        }
        print_row(file.name.c_str(), file.bytes.size(), packed.size(), z80.cycles);
        total_unpacked += file.bytes.size();
        total_packed += packed.size();
        total_cycles += z80.cycles;
    }
    print_row("total", total_unpacked, total_packed, total_cycles);

    const std::vector<std::uint8_t> stored(16384, 0x5A);
    const msxbench::Z80Restore copy = msxbench::restore_on_z80(stored, static_cast<std::uint16_t>(stored.size()));
    std::printf("\nstored data, copied: %.1f T-states per byte\n", double(copy.cycles) / double(stored.size()));
    return all_right ? 0 : 1;
}
