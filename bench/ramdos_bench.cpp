// K7 writing a 46,080-byte part to the RAM-disk DOS: T-states per byte, time to the next wait, tape margin.
//
// For a 46,080-byte file of pseudo-random bytes (the largest block a
// DOS-mode tape carries) followed by a second file: the T-states per byte of
// the random block write (DOS function 0x26, from the call to its return)
// into RAM sectors and into video RAM sectors, the time from K7's " <OK>" to
// K7 waiting for the next block, and how long before the next block's
// lead-in starts and ends K7 is waiting, in CD modes -xp, -c and -turbo
// (whose K7 checks the block's CRC-16 before " <OK>").
//
// Each run is a real tapecast WAV with RAMDOS first, played from its first
// sample into the emulated MSX2 (3.579545 MHz, one wait state per M1 cycle)
// with a player that ignores the motor, as a CD does.  RAMDOS.08 (no video
// pages, 8 RAM pages, 256K mapper) puts the file in RAM sectors; RAMDOS.71
// (7 video pages, 1 RAM page) with a first file that fills the RAM page puts
// it in video RAM sectors.

#include "bench_files.h"
#include "msx.h"
#include "ramdisk/fat12_image.h"
#include "ramdos_parts.h"
#include "tape_run.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace msxbench;
using bench::tapecast;
using bench::write_all;

constexpr std::size_t part_size = 46080;
constexpr std::uint16_t dos_entry = 0x0005;  // K7 calls DOS here
constexpr std::uint8_t block_write = 0x26;
constexpr std::uint8_t create = 0x16;
constexpr std::uint32_t cluster_bytes = 512;
constexpr std::uint16_t k7_image = 0x0400;           // where K7 receives a block's image
constexpr std::uint16_t k7_image_top = 0xBA00;       // and the limit it keeps it below
constexpr std::uint16_t image_length = k7_image + 8;  // the image's own length (LD BC,N at offset 7)

Bytes pseudo_random(std::size_t size, std::uint32_t seed)
{
    Bytes data(size);
    std::mt19937 random(seed);
    for (std::uint8_t& byte : data)
        byte = std::uint8_t(random());
    return data;
}

struct Setup {
    const char* sectors;
    const char* ramdos;
    int mapper_kb;
    bool fill_ram_page;  // a first file takes what the system files leave of the RAM page
};

struct Figures {
    bool ok = false;
    std::string failure;
    std::uint16_t image = 0;         // bytes of the part's self-extracting image
    std::uint64_t write = 0;         // the 0x26 call of the part, T-states
    std::uint64_t ok_to_create = 0;  // " <OK>" to the create call: the image unpacking itself
    std::uint64_t ok_to_wait = 0;    // " <OK>" to K7 waiting for the next block
    double pause = 0;                // silence between the part's block and the next, seconds
    double before_lead_in = 0;       // K7 waiting before the next lead-in starts, seconds
    double before_lead_end = 0;      // ... before it ends
};

// Where the next block's lead-in starts and ends after tape position `from`
// (T-states), and where the silence before it starts; sample indices.
struct LeadIn {
    std::size_t silence = 0, start = 0, end = 0;
};

std::optional<LeadIn> next_lead_in(const WavSignal& wav, std::uint64_t from)
{
    const auto quiet = std::size_t(0.1 * wav.rate);  // far longer than a signal's low half
    std::size_t i = std::size_t(double(from) * wav.rate / msx_clock);
    const std::size_t n = wav.samples.size();
    LeadIn lead;
    for (std::size_t zeros = 0; i < n && zeros < quiet; ++i)
        zeros = wav.samples[i] == 0.0f ? zeros + 1 : 0;
    lead.silence = i - quiet;
    while (i < n && wav.samples[i] == 0.0f)
        ++i;
    if (i >= n)
        return std::nullopt;
    lead.start = i;
    // The lead-in is a square wave of equal halves; the end mark after it
    // (the sync of a turbo block) is the first half of another length.  The
    // fast modes' square levels are 0 and high, the turbo signal's low and
    // high around 0.
    const auto run_end = [&](std::size_t at) {
        const bool high = wav.samples[at] > 0.0f;
        while (at < n && (wav.samples[at] > 0.0f) == high)
            ++at;
        return at;
    };
    const std::size_t half = run_end(i) - i;
    while (i < n && run_end(i) - i == half)
        i = run_end(i);
    lead.end = i;
    return lead;
}

double to_seconds(std::uint64_t t)
{
    return double(t) / msx_clock;
}

Figures measure(const fs::path& dir, const Setup& setup, const char* mode, const Bytes& part)
{
    Figures f;
    std::vector<std::string> args = {"-cd", mode, setup.ramdos};
    if (setup.fill_ram_page)
        args.push_back("fill.dat");
    args.insert(args.end(), {"part.dat", "next.dat"});
    const std::string wav_name = std::string(setup.ramdos) + mode + ".wav";
    if (!tapecast(dir, args, wav_name)) {
        f.failure = "tapecast failed";
        return f;
    }
    const WavSignal wav = read_wav((dir / wav_name).string());

    Msx msx(msx2_layout(setup.mapper_kb));
    Machine& m = msx.machine();
    TapeOptions free_running;
    free_running.motor_controlled = false;
    msx.insert_tape({wav}, free_running);
    struct Motor {
        std::uint64_t t;
        bool on;
        std::uint16_t image;  // the received image's length when the motor goes off
    };
    std::vector<Motor> motor;
    const auto tape_motor = msx.ppi().motor_changed;
    msx.ppi().motor_changed = [&](bool on) {
        tape_motor(on);
        motor.push_back({m.bus_time(), on, m.read_word(image_length)});
    };
    msx.bload_run();

    struct Call {
        std::uint64_t t;
        std::uint8_t function;
    };
    std::vector<Call> calls;
    std::uint64_t write_start = 0, write_end = 0, tape_offset = 0;
    m.add_breakpoint(dos_entry);
    const std::uint64_t limit = m.cycles() + seconds(400);
    while (!msx.waiting_for_key() && m.cycles() < limit) {
        const RunResult r = m.run(limit - m.cycles());
        if (!msx.faults().empty()) {
            f.failure = msx.faults().front();
            return f;
        }
        if (r.reason != Stop::breakpoint)
            continue;
        const auto function = std::uint8_t(m.reg(Reg::bc));
        calls.push_back({m.cycles(), function});
        if (function != block_write || m.reg(Reg::hl) != part.size())
            continue;
        write_start = m.cycles();
        tape_offset = m.cycles() - msx.tape_position();
        const std::uint16_t back = m.read_word(m.reg(Reg::sp));
        m.add_breakpoint(back);
        const RunResult w = m.run(seconds(10));
        m.remove_breakpoint(back);
        if (w.reason != Stop::breakpoint || w.pc != back) {
            f.failure = "the block write did not return";
            return f;
        }
        write_end = m.cycles();
    }
    if (!msx.waiting_for_key() || !write_end) {
        f.failure = "K7 did not end at the prompt";
        return f;
    }

    // The part on the disk, in the sectors meant.
    const Bytes disk = msx.ram_disk_image(m.read(ramdos_parts::kernel_symbol("bp_ram_pages")),
                                          m.read(ramdos_parts::kernel_symbol("bp_vram_pages")));
    const fat12::Report report = fat12::check(disk);
    if (!report.ok() || fat12::read_file(disk, "PART.DAT") != part) {
        f.failure = "PART.DAT not on the disk as sent";
        return f;
    }
    const std::uint32_t ram_clusters = m.read(ramdos_parts::kernel_symbol("bp_ram_pages")) * 32 - 7;
    for (const fat12::DirEntry& entry : report.files)
        if (entry.name == "PART.DAT" && setup.fill_ram_page && entry.first_cluster < 2 + ram_clusters) {
            f.failure = "PART.DAT starts in a RAM sector";
            return f;
        }

    // " <OK>" of the part: the motor goes off right after it (a few hundred
    // T-states); K7 waits for the next block from when it turns the motor on.
    std::optional<std::uint64_t> ok_at, wait_at, create_at;
    for (const Motor& e : motor) {
        if (!e.on && e.t < write_start) {
            ok_at = e.t;
            f.image = e.image;
        }
        if (e.on && e.t > write_end && !wait_at)
            wait_at = e.t;
    }
    for (const Call& c : calls)
        if (ok_at && c.t > *ok_at && c.t < write_start && c.function == create && !create_at)
            create_at = c.t;
    if (!ok_at || !wait_at || !create_at) {
        f.failure = "K7's steps not seen";
        return f;
    }
    const std::optional<LeadIn> lead = next_lead_in(wav, *ok_at - tape_offset);
    if (!lead) {
        f.failure = "no block after the part on the tape";
        return f;
    }
    const auto sample_time = [&](std::size_t sample) { return double(sample) / wav.rate; };
    const double waiting = to_seconds(*wait_at - tape_offset);
    f.write = write_end - write_start;
    f.ok_to_create = *create_at - *ok_at;
    f.ok_to_wait = *wait_at - *ok_at;
    f.pause = sample_time(lead->start) - sample_time(lead->silence);
    f.before_lead_in = sample_time(lead->start) - waiting;
    f.before_lead_end = sample_time(lead->end) - waiting;
    f.ok = true;
    return f;
}

}  // namespace

int main()
{
    const fs::path dir =
        fs::temp_directory_path() / ("cassonic-ramdos-bench-" + std::to_string(std::random_device()()));
    fs::create_directories(dir);
    const Bytes part = pseudo_random(part_size, 46080);
    write_all(dir / "part.dat", part);
    write_all(dir / "next.dat", pseudo_random(2000, 2));
    // RAMDOS.71's one RAM page: 25 data clusters, the system files take theirs.
    std::uint32_t system = 0;
    for (std::size_t size : {ramdos_parts::command().size(), ramdos_parts::msxdos().size(), ramdos_parts::k7().size()})
        system += std::uint32_t((size + cluster_bytes - 1) / cluster_bytes);
    write_all(dir / "fill.dat", pseudo_random((25 - system) * cluster_bytes, 3));

    const Setup setups[] = {{"RAM", "RAMDOS.08", 256, false}, {"VRAM", "RAMDOS.71", 128, true}};
    std::printf("K7 writing a %zu-byte file of pseudo-random bytes to the RAM disk, then a second file\n"
                "(emulated MSX2 at 3.579545 MHz, one wait state per M1 cycle; the player ignores the motor)\n\n",
                part_size);
    std::printf("| mode | sectors | image | 0x26 write | T/byte | <OK> to create | <OK> to waiting | pause | "
                "waits before lead-in | before its end |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    int status = 0;
    for (const char* mode : {"-xp", "-c", "-turbo"}) {
        for (const Setup& setup : setups) {
            const Figures f = measure(dir, setup, mode, part);
            if (!f.ok) {
                std::printf("| %s | %s | %s |\n", mode, setup.sectors, f.failure.c_str());
                status = 1;
                continue;
            }
            std::printf("| %s | %s | %u | %.3f s | %.1f | %.3f s | %.3f s | %.3f s | %.0f ms | %.0f ms |\n", mode,
                        setup.sectors, unsigned(f.image), to_seconds(f.write), double(f.write) / double(part_size),
                        to_seconds(f.ok_to_create), to_seconds(f.ok_to_wait), f.pause, f.before_lead_in * 1000,
                        f.before_lead_end * 1000);
        }
    }
    std::printf("\nimage: the self-extracting image K7 received for the file, at most %u bytes.\n",
                unsigned(k7_image_top - k7_image));
    std::printf("<OK> to create: the received image unpacking itself; <OK> to waiting: also the create,\n"
                "the write and the close.  The margins are tape time from K7 turning the motor on to wait\n"
                "for the next block until that block's lead-in starts and ends on the tape.  In -turbo K7\n"
                "checks the block's CRC-16 before <OK>, and the pause is counted from <OK> on.\n");
    fs::remove_all(dir);
    return status;
}
