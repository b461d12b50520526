// Method 2 against the tpk format on the turbo tape, over real MSX binaries
// (the C-BIOS ROM images and the bundled examples).  Per file and in total,
// side by side: packed bytes of each and their ratio; T-states per restored
// byte of each Z80 decoder alone (on the emulated MSX, one wait state per M1
// cycle, output checked byte for byte); and the turbo tape time of each,
// bytes at 28.04 samples of 44,100 Hz plus the decoding at 3.579545 MHz,
// and their ratio.  The tpk data is also decoded in place, its end the
// reference decoder's leeway past the end of the output.

#include "corpus.h"
#include "depack.h"
#include "msxbench_tpk_depacker.h"

#include "codec/rnc_pack.h"
#include "codec/tpk_pack.h"
#include "codec/tpk_unpack.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr double msx_clock = 3579545.0;
constexpr double samples_per_byte = 28.04;
constexpr double sample_rate = 44100.0;

struct Figures {
    std::size_t unpacked = 0;
    std::size_t method2 = 0, tpk = 0;
    std::uint64_t method2_cycles = 0, tpk_cycles = 0;
    std::size_t leeway = 0;
};

double seconds(std::size_t bytes, std::uint64_t cycles)
{
    return double(bytes) * samples_per_byte / sample_rate + double(cycles) / msx_clock;
}

double per_byte(std::uint64_t cycles, std::size_t bytes)
{
    return bytes ? double(cycles) / double(bytes) : 0.0;
}

void print_row(const char* name, const Figures& f)
{
    const double tape_m2 = seconds(f.method2, f.method2_cycles), tape_tpk = seconds(f.tpk, f.tpk_cycles);
    std::printf("%-24s %6zu %6zu %6zu %6.3f %7.1f %7.1f %8.3f %8.3f %6.3f %5zu\n", name, f.unpacked, f.method2, f.tpk,
                double(f.tpk) / double(f.method2), per_byte(f.method2_cycles, f.unpacked),
                per_byte(f.tpk_cycles, f.unpacked), tape_m2, tape_tpk, tape_tpk / tape_m2, f.leeway);
}

// Measures one file; false when a decoder restored something else.
bool measure(const std::vector<std::uint8_t>& bytes, Figures& f)
{
    const std::vector<std::uint8_t> method2 = rnc_pack(bytes);
    const std::vector<std::uint8_t> tpk = tpk_pack(bytes);
    const TpkUnpackResult reference = tpk_unpack(tpk);
    msxbench::RestoreOptions unchecked;
    unchecked.unchecked = true;
    const msxbench::Z80Restore m2_run = msxbench::restore_on_z80(method2, unchecked);
    const msxbench::Z80Restore tpk_run = msxbench::tpk_restore_on_z80(tpk);
    const auto leeway = static_cast<std::uint16_t>(reference.leeway_needed);
    const msxbench::Z80Restore in_place = msxbench::tpk_restore_on_z80(tpk, 0x0200, leeway);
    f = {bytes.size(), method2.size(), tpk.size(), m2_run.cycles, tpk_run.cycles, leeway};
    return reference.ok() && reference.data == bytes && m2_run.returned && m2_run.data == bytes &&
           tpk_run.returned && tpk_run.data == bytes && in_place.returned && in_place.data == bytes;
}

}  // namespace

int main()
{
    std::printf("tpk decoder: %zu bytes\n\n", msxbench_tpk_depacker_size);
    std::printf("%-24s %6s %6s %6s %6s %7s %7s %8s %8s %6s %5s\n", "file", "bytes", "m2", "tpk", "ratio", "m2 T/B",
                "tpk T/B", "m2 s", "tpk s", "ratio", "leew");
    Figures total;
    std::size_t files = 0;
    bool all_right = true;
    auto add = [&](const char* name, const std::vector<std::uint8_t>& bytes, bool counted) {
        Figures f;
        if (!measure(bytes, f)) {
            std::printf("%-24s restored data differs\n", name);
            all_right = false;
            return;
        }
        print_row(name, f);
        if (!counted)
            return;
        ++files;
        total.unpacked += f.unpacked;
        total.method2 += f.method2;
        total.tpk += f.tpk;
        total.method2_cycles += f.method2_cycles;
        total.tpk_cycles += f.tpk_cycles;
        total.leeway = std::max(total.leeway, f.leeway);
    };
    for (const msxbench::CorpusFile& file : msxbench::load_corpus(EXAMPLES_DIR))
        add(file.name.c_str(), file.bytes, true);
    print_row("total", total);
    const std::size_t m2_streams = total.method2 - 18 * files, tpk_streams = total.tpk - tpk_header_size * files;
    std::printf("streams alone (headers left out): m2 %zu, tpk %zu, ratio %.3f\n", m2_streams, tpk_streams,
                double(tpk_streams) / double(m2_streams));

    // Data that barely packs: 16K of 7 random bits a byte.
    std::vector<std::uint8_t> barely(16384);
    std::mt19937 rng(12345);
    for (std::uint8_t& byte : barely)
        byte = static_cast<std::uint8_t>(rng() & 0x7F);
    std::printf("\n");
    add("16384 bytes, 7 random bits", barely, false);
    std::printf("\n(m2: method 2, its 18-byte header included; tpk: its 6-byte header included;\n"
                " T/B: T-states of the decoder alone per restored byte; s: turbo tape seconds,\n"
                " bytes * %.2f / %.0f + T / %.0f; leew: in-place leeway of the tpk data)\n",
                samples_per_byte, sample_rate, msx_clock);
    return all_right ? 0 : 1;
}
