// Packer figures over real MSX binaries: the bundled examples and the C-BIOS
// ROM images. Per file and in total: unpacked size, packed size (18-byte
// header included), the size no parse can go below, ratio and pack time;
// beside the C-BIOS images that
// another packer of the format was measured on, its sizes and the
// difference. Then the time to pack a 48K input.

#include "bench_files.h"
#include "codec/rnc_pack.h"
#include "codec/rnc_unpack.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// Sizes (header included) that an established packer of the format, greedy
// with one position of look-ahead, gets on these images.
const std::map<std::string, std::size_t> reference_sizes = {
    {"cbios_main_msx1.rom", 7059}, {"cbios_main_msx2.rom", 7242}, {"cbios_sub.rom", 3385},
    {"cbios_basic.rom", 1773},     {"cbios_disk.rom", 1034},      {"cbios_music.rom", 410},
};

std::vector<fs::path> corpus()
{
    std::vector<fs::path> files;
    for (const fs::path& dir : {fs::path(EXAMPLES_DIR), fs::path("/usr/share/cbios")}) {
        std::vector<fs::path> found;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir, ec)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".bin" || ext == ".bas" || ext == ".rom"))
                found.push_back(entry.path());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

struct Packed {
    Bytes data;
    double milliseconds;
};

Packed timed_pack(const Bytes& input)
{
    const auto start = std::chrono::steady_clock::now();
    Bytes data = rnc_pack(input);
    const auto stop = std::chrono::steady_clock::now();
    return {std::move(data), std::chrono::duration<double, std::milli>(stop - start).count()};
}

double percent(double part, double whole)
{
    return whole == 0 ? 0 : 100.0 * part / whole;
}

}  // namespace

int main()
{
    std::printf("%-24s %8s %8s %8s %7s %9s %9s %8s\n", "file", "unpacked", "packed", "bound", "ratio", "time ms",
                "reference", "diff");
    std::size_t total_in = 0, total_out = 0, total_bound = 0, ref_ours = 0, ref_theirs = 0;
    double total_ms = 0;
    bool all_ok = true;
    for (const fs::path& file : corpus()) {
        const Bytes input = bench::read_all(file);
        const Packed packed = timed_pack(input);
        const UnpackResult check = rnc_unpack(packed.data);
        const bool ok = check.ok() && check.data == input;
        all_ok = all_ok && ok;

        const std::string name = file.filename().string();
        const std::size_t bound = rnc_packed_size_bound(input);
        total_in += input.size();
        total_out += packed.data.size();
        total_bound += bound;
        total_ms += packed.milliseconds;
        std::printf("%-24s %8zu %8zu %8zu %6.1f%% %9.1f", name.c_str(), input.size(), packed.data.size(), bound,
                    percent(static_cast<double>(packed.data.size()), static_cast<double>(input.size())),
                    packed.milliseconds);
        if (const auto ref = reference_sizes.find(name); ref != reference_sizes.end()) {
            ref_ours += packed.data.size();
            ref_theirs += ref->second;
            std::printf(" %9zu %+7.2f%%", ref->second,
                        percent(static_cast<double>(packed.data.size()) - static_cast<double>(ref->second),
                                static_cast<double>(ref->second)));
        }
        std::printf("%s\n", ok ? "" : "  DECODE FAILED");
    }
    std::printf("%-24s %8zu %8zu %8zu %6.1f%% %9.1f\n", "total", total_in, total_out, total_bound,
                percent(static_cast<double>(total_out), static_cast<double>(total_in)), total_ms);
    std::printf("%-24s %8s %8zu %8s %7s %9s %9zu %+7.2f%%  (target: -0.50%% or better)\n", "total with reference", "",
                ref_ours, "", "", "", ref_theirs,
                percent(static_cast<double>(ref_ours) - static_cast<double>(ref_theirs),
                        static_cast<double>(ref_theirs)));

    // 48K: the MSX2 main ROM followed by the sub ROM.
    Bytes mix = bench::read_all("/usr/share/cbios/cbios_main_msx2.rom");
    const Bytes sub = bench::read_all("/usr/share/cbios/cbios_sub.rom");
    mix.insert(mix.end(), sub.begin(), sub.end());
    mix.resize(49152, 0xFF);
    double best_ms = 1e9;
    std::size_t mix_packed = 0;
    for (int round = 0; round < 3; ++round) {
        const Packed packed = timed_pack(mix);
        best_ms = std::min(best_ms, packed.milliseconds);
        mix_packed = packed.data.size();
    }
    std::printf("48K input (main_msx2 + sub): %zu -> %zu bytes (bound %zu), packed in %.1f ms (best of 3; "
                "target < 1000 ms)\n",
                mix.size(), mix_packed, rnc_packed_size_bound(mix), best_ms);
    return all_ok ? 0 : 1;
}
