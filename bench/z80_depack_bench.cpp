// Z80 decoder figures over real MSX binaries: the C-BIOS ROM images and the
// bundled examples, packed by the C++ packer and restored by the Z80 decoder
// on the emulated MSX (one wait state per M1 cycle, 3.579545 MHz).  Per file
// and in total: unpacked and packed size, and side by side the T-states per
// restored byte of the decoder alone and of the self-extracting depacker
// with its checks (the CRC of the packed data and the depacker before, of
// the restored bytes after), with the time an MSX takes.  Also the copy path
// of stored data.

#include "corpus.h"
#include "depack.h"

#include "assets/images.h"
#include "codec/rnc_pack.h"

#include <cstdio>
#include <vector>

namespace {

constexpr double msx_clock = 3579545.0;

double per_byte(std::uint64_t cycles, std::size_t bytes)
{
    return bytes ? double(cycles) / double(bytes) : 0.0;
}

void print_row(const char* name, std::size_t unpacked, std::size_t packed, std::uint64_t plain,
               std::uint64_t checked)
{
    std::printf("%-26s %8zu %8zu %9.1f %9.1f %8.1f %8.2f %9.1f\n", name, unpacked, packed, per_byte(plain, unpacked),
                per_byte(checked, unpacked), per_byte(checked - plain, unpacked),
                plain ? double(checked) / double(plain) : 0.0, double(checked) / msx_clock * 1000.0);
}

}  // namespace

int main()
{
    std::printf("Z80 decoder: BIN depacker %zu bytes, SFX depacker %zu bytes\n\n", bin_depacker_image().size(),
                sfx_depacker_image().size());
    std::printf("%-26s %8s %8s %9s %9s %8s %8s %9s\n", "file", "bytes", "packed", "T/byte", "checked", "check",
                "ratio", "ms");
    std::size_t total_unpacked = 0, total_packed = 0;
    std::uint64_t total_plain = 0, total_checked = 0;
    bool all_right = true;
    for (const msxbench::CorpusFile& file : msxbench::load_corpus(EXAMPLES_DIR)) {
        const std::vector<std::uint8_t> packed = rnc_pack(file.bytes);
        msxbench::RestoreOptions unchecked;
        unchecked.unchecked = true;
        const msxbench::Z80Restore plain = msxbench::restore_on_z80(packed, unchecked);
        const msxbench::Z80Restore checked = msxbench::restore_on_z80(packed);
        if (!plain.returned || plain.data != file.bytes || !checked.returned || checked.data != file.bytes) {
            std::printf("%-26s restored data differs\n", file.name.c_str());
            all_right = false;
            continue;
        }
        print_row(file.name.c_str(), file.bytes.size(), packed.size(), plain.cycles, checked.cycles);
        total_unpacked += file.bytes.size();
        total_packed += packed.size();
        total_plain += plain.cycles;
        total_checked += checked.cycles;
    }
    print_row("total", total_unpacked, total_packed, total_plain, total_checked);
    std::printf("\n(T/byte: the decoder alone; checked: the depacker with its checks; check: what they add;\n"
                " ratio: checked / decoder alone; ms: checked, on an MSX)\n");

    // Beyond the slowest case for DOS mode's pause: a whole 46,080-byte part
    // of bytes of 7 random bits, whose packed stream is a little longer than
    // the data (the encoder would store it instead), decoded and both CRCs
    // run over all of it.
    std::vector<std::uint8_t> barely(46080);
    std::uint32_t seed = 12345;
    for (std::uint8_t& byte : barely) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>((seed >> 16) & 0x7F);
    }
    const std::vector<std::uint8_t> barely_packed = rnc_pack(barely);
    msxbench::RestoreOptions unchecked_barely;
    unchecked_barely.unchecked = true;
    const msxbench::Z80Restore barely_plain = msxbench::restore_on_z80(barely_packed, unchecked_barely);
    const msxbench::Z80Restore barely_checked = msxbench::restore_on_z80(barely_packed);
    const bool barely_right = barely_checked.returned && barely_checked.data == barely;
    std::printf("\n");
    print_row("46080 bytes, 7 random bits", barely.size(), barely_packed.size(), barely_plain.cycles,
              barely_checked.cycles);
    all_right = all_right && barely_right;

    const std::vector<std::uint8_t> stored(16384, 0x5A);
    const msxbench::Z80Restore copy = msxbench::restore_on_z80(stored, static_cast<std::uint16_t>(stored.size()));
    std::printf("\nstored data, checked and copied: %.1f T-states per byte (the copy alone: 21)\n",
                double(copy.cycles) / double(stored.size()));
    return all_right && copy.returned && !copy.failed ? 0 : 1;
}
