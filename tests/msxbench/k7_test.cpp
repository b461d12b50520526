// K7.COM, the DOS tape reader, end to end: tapecast writes DOS-mode WAVs
// (no loader in front: K7 meets only DOS blocks), the emulated MSX2 plays
// them into K7 running as under the RAM-disk DOS (page 0 RAM, K7 at 0x0100),
// and a host-side stand-in for DOS at 0x0005 keeps the files K7 writes.
#include "loader_harness.h"
#include "ramdos_parts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <map>
#include <string>
#include <tuple>

#include "ramdos_k7.h"

namespace msxbench {
namespace {

using namespace loader_harness;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t warm_boot = 0x0000;  // where K7's return to DOS goes
constexpr std::uint16_t dos_entry = 0x0005;
constexpr std::uint16_t fcb = 0x005C;
constexpr std::uint16_t tpa = 0x0100;
constexpr std::uint16_t sfx_entry = 0x0403;  // the received image, called at its offset 3
constexpr std::uint16_t dos_stack = 0xD9FE;  // SP when DOS starts a program
constexpr std::uint16_t dos_top = 0xD800;    // (0x0006): the lowest address DOS keeps
constexpr std::uint64_t chput_cost = 1000;   // T-states per printed character
constexpr std::uint64_t write_cost = 70;     // T-states per byte written to the RAM disk

// The DOS functions K7 may use, on host-side files, with the FCB fields as
// MSX-DOS keeps them.  Every call is logged ("16 NAME    EXT", "26 1234",
// ...); anything else K7 asks for is a fault.  Printing leaves the video
// address after the last character, as the screen's output routine does;
// the file functions leave it in a video page of the RAM disk.
class HostDos {
public:
    std::map<std::string, Bytes> files;  // closed files by their 11-character name
    std::vector<std::string> calls;
    std::vector<std::string> faults;
    bool refuse_create = false;
    std::size_t space = std::size_t(-1);  // bytes the disk still takes

    explicit HostDos(Msx& msx) : msx_(msx) {}

    void call()
    {
        Machine& m = msx_.machine();
        const int function = m.reg(Reg::bc) & 0xFF;
        const std::uint16_t de = m.reg(Reg::de);
        std::uint8_t a = 0;
        switch (function) {
        case 0x09: print(de); break;
        case 0x10: a = close(); break;
        case 0x16: a = create(); break;
        case 0x1A:
            dma_ = de;
            log(function, hex(de));
            break;
        case 0x26: a = write(); break;
        default:
            faults.push_back("function " + hex(std::uint16_t(function)));
            break;
        }
        if (de != fcb && (function == 0x10 || function == 0x16 || function == 0x26))
            faults.push_back("an FCB away from 0x005C");
        m.set_reg(Reg::af, std::uint16_t(a << 8 | (m.reg(Reg::af) & 0xFF)));
        if (function != 0x09) {
            Vdp& vdp = msx_.vdp();
            for (std::uint8_t byte : {0x07, 0x8E, 0x00, 0x40})
                vdp.write(0x99, byte, m.cycles());
        }
        m.set_reg(Reg::iff1, 1);
        m.set_reg(Reg::iff2, 1);
        m.ret();
    }

    // The name in the FCB, upper-cased as the RAM-disk DOS does.
    std::string fcb_name() const
    {
        std::string name = text(fcb + 1, 11);
        for (char& c : name)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }

private:
    static std::string hex(std::uint16_t value)
    {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%04X", value);
        return buffer;
    }
    std::string text(std::uint16_t at, int length) const
    {
        std::string s;
        for (int i = 0; i < length; ++i)
            s += char(msx_.machine().read(std::uint16_t(at + i)));
        return s;
    }
    void log(int function, const std::string& detail)
    {
        char code[4];
        std::snprintf(code, sizeof code, "%02X", function);
        calls.push_back(std::string(code) + " " + detail);
    }

    // The console: CR, LF and printable characters at the cursor.
    void print(std::uint16_t at)
    {
        Machine& m = msx_.machine();
        std::string s;
        for (std::uint16_t p = at; m.read(p) != '$' && s.size() < 200; ++p)
            s += char(m.read(p));
        log(0x09, s);
        for (char c : s) {
            if (c == '\r') {
                m.write(csrx, 1);
            } else if (c == '\n') {
                m.write(csry, std::uint8_t(m.read(csry) + 1));
            } else {
                const int columns = m.read(linlen) > 40 ? 80 : 40;
                const std::uint32_t address = m.read_word(nambas) + std::uint32_t((m.read(csry) - 1) * columns +
                                                                                 m.read(csrx) - 1);
                msx_.vdp().poke_vram(address, std::uint8_t(c));
                msx_.vdp().set_write_address(address + 1);
                m.write(csrx, std::uint8_t(m.read(csrx) + 1));
            }
        }
        m.spend(chput_cost * s.size());
    }

    std::uint8_t create()
    {
        Machine& m = msx_.machine();
        const std::string name = fcb_name();
        log(0x16, name);
        m.spend(20000);
        if (refuse_create || m.read(fcb) > 1)
            return 0xFF;
        if (m.read(fcb + 12) == 0 || !files.count(name))
            open_[name] = {};
        else
            open_[name] = files[name];
        for (int i = 16; i < 20; ++i)
            m.write(std::uint16_t(fcb + i), 0);
        m.write(fcb + 24, 0x40);
        return 0;
    }

    std::uint8_t write()
    {
        Machine& m = msx_.machine();
        const std::string name = fcb_name();
        std::uint32_t size = m.read_word(fcb + 14);
        if (size == 0)
            size = 128;
        const int record_bytes = size < 64 ? 4 : 3;
        std::uint32_t record = 0;
        for (int i = record_bytes - 1; i >= 0; --i)
            record = record << 8 | m.read(std::uint16_t(fcb + 33 + i));
        const std::uint16_t count = m.reg(Reg::hl);
        log(0x26, std::to_string(count) + " x " + std::to_string(size) + " at " + std::to_string(record));
        if (!open_.count(name) || m.read(fcb) > 1 || m.read(fcb + 24) != 0x40) {
            faults.push_back("write to a file that is not open: " + name);
            return 1;
        }
        const std::uint32_t fit = std::uint32_t(std::min<std::size_t>(count, space / size));
        Bytes& data = open_[name];
        const std::size_t at = std::size_t(record) * size;
        if (data.size() < at + fit * size)
            data.resize(at + fit * size);
        for (std::uint32_t i = 0; i < fit * size; ++i)
            data[at + i] = m.read(std::uint16_t(dma_ + i));
        space -= fit * size;
        record += fit;
        for (int i = 0; i < record_bytes; ++i)
            m.write(std::uint16_t(fcb + 33 + i), std::uint8_t(record >> (8 * i)));
        m.write_word(fcb + 16, std::uint16_t(data.size()));
        m.write_word(fcb + 18, std::uint16_t(data.size() >> 16));
        m.set_reg(Reg::hl, std::uint16_t(fit));
        m.spend(write_cost * fit * size);
        return fit == count ? 0 : 1;
    }

    std::uint8_t close()
    {
        const std::string name = fcb_name();
        log(0x10, name);
        msx_.machine().spend(20000);
        if (!open_.count(name))
            return 0xFF;
        files[name] = open_[name];
        open_.erase(name);
        return 0;
    }

    Msx& msx_;
    std::uint16_t dma_ = 0x0080;
    std::map<std::string, Bytes> open_;
};

// An MSX2 under the RAM-disk DOS with K7 started and a tape in the player.
class K7Machine {
public:
    explicit K7Machine(const std::vector<std::string>& wavs, const TapeOptions& options = {})
        : K7Machine(signals(wavs), options)
    {
    }

    explicit K7Machine(const std::vector<WavSignal>& recordings, const TapeOptions& options = {})
        : msx(msx2_layout()), dos(msx)
    {
        Machine& m = msx.machine();
        m.set_primary_register(0xFF);  // every page on the mapper in slot 3-2
        m.set_secondary_register(3, 0xAA);
        for (std::uint16_t at = 0; at < tpa; ++at)
            m.write(at, 0x76);  // HALT: K7 has no business jumping into page 0
        for (std::uint16_t at = fcb; at < tpa; ++at)
            m.write(at, 0x00);
        m.write_word(dos_entry + 1, dos_top);
        const Slot ram = msx.layout().ram;
        m.add_trap(dos_entry, ram, [this](Machine&) { dos.call(); });
        m.add_trap(0x0038, ram, [this](Machine& machine) {  // DOS's interrupt routine
            msx.vdp().read(0x99, machine.cycles());
            machine.set_reg(Reg::iff1, 1);
            machine.set_reg(Reg::iff2, 1);
            machine.ret();
        });
        m.load(tpa, Bytes(ramdos_k7, ramdos_k7 + ramdos_k7_size));
        m.set_reg(Reg::sp, dos_stack + 2);
        m.push(warm_boot);
        m.set_reg(Reg::pc, tpa);
        m.set_reg(Reg::iff1, 1);
        m.set_reg(Reg::iff2, 1);
        msx.insert_tape(recordings, options);
    }

    static std::vector<WavSignal> signals(const std::vector<std::string>& wavs)
    {
        std::vector<WavSignal> recordings;
        for (const std::string& path : wavs)
            recordings.push_back(path.empty() ? silence(0.3) : read_wav(path));
        return recordings;
    }

    // Runs K7 until it returns to DOS; false (and a failed expectation)
    // when it doesn't within `seconds` of emulated time.  A normal end
    // returns on DOS's stack as it came; the error path goes to the warm
    // boot from wherever it was.
    bool run(double seconds_limit)
    {
        const RunResult result = run_to(msx.machine(), {warm_boot}, seconds(seconds_limit));
        const bool back = result.reason == Stop::breakpoint && result.pc == warm_boot;
        EXPECT_TRUE(back) << "stopped (" << int(result.reason) << ") at " << std::hex << result.pc << "\n"
                          << msx.screen_text();
        EXPECT_TRUE(dos.faults.empty()) << dos.faults.front();
        if (msx.screen_text().find(" <Err>") == std::string::npos) {
            EXPECT_EQ(msx.machine().reg(Reg::sp), dos_stack + 2);
        }
        EXPECT_FALSE(msx.ppi().motor_on());
        EXPECT_EQ(msx.machine().reg(Reg::iff1), 1);
        return back;
    }

    // The DOS calls after the banner, with the "Loading:" lines left out.
    std::vector<std::string> file_calls() const
    {
        std::vector<std::string> calls;
        for (const std::string& call : dos.calls)
            if (call.rfind("09 ", 0) != 0)
                calls.push_back(call);
        return calls;
    }

    Msx msx;
    HostDos dos;
};

// The recording from the first stretch of at least `pause` seconds of silence on:
// a tape started between two blocks.
WavSignal from_first_pause(const WavSignal& wav, double pause)
{
    const auto run = std::size_t(pause * wav.rate);
    std::size_t quiet = 0;
    for (std::size_t i = 0; i < wav.samples.size(); ++i) {
        quiet = wav.samples[i] == 0.0f ? quiet + 1 : 0;
        if (quiet == run)
            return WavSignal{wav.rate, std::vector<float>(wav.samples.begin() + std::ptrdiff_t(i + 1 - run),
                                                          wav.samples.end())};
    }
    ADD_FAILURE() << "no pause on the tape";
    return wav;
}

// The recording up to the end of its first stretch of silence.
WavSignal to_first_pause(const WavSignal& wav, double pause)
{
    const WavSignal rest = from_first_pause(wav, pause);
    return WavSignal{wav.rate, std::vector<float>(wav.samples.begin(),
                                                  wav.samples.end() - std::ptrdiff_t(rest.samples.size()) +
                                                      std::ptrdiff_t(pause * wav.rate))};
}

// A file for K7 to restore: seeded pseudo-random bytes (every rank in use,
// codes of seven and eight cells among them), or text that packs well.
Bytes sample_file(std::size_t size, std::uint32_t seed, bool compressible)
{
    if (!compressible)
        return test_support::seeded_bytes(size, seed);
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = std::uint8_t("MSX tape to disk, "[i % 18] + (i / 700) % 3);
    return data;
}

class K7Run : public ::testing::Test {
protected:
    Workshop shop;
};

// One file in each kind of fast signal: restored byte for byte, saved under
// its DOS name, with the exact sequence of DOS calls; the name goes into
// video memory after "Loading:" as it arrives, " <OK>" is printed after it
// once the block is in.
TEST_F(K7Run, RestoresAFileInEveryMode)
{
    const Bytes data = sample_file(3000, 7, true);
    shop.put("tool.com", data);
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"-cd", "-c"}, {"-cd", "-xp"}, {"4500", "-xp"}}) {
        std::vector<std::string> args = mode;
        args.insert(args.end(), {"-dos", "tool.com"});
        K7Machine k7({shop.tapecast(args)});
        // The name shows while the rest of the block is still coming.
        bool name_before_ok = false;
        for (int slice = 0; slice < 400 && !name_before_ok; ++slice) {
            run_to(k7.msx.machine(), {}, seconds(0.05));
            name_before_ok = k7.msx.screen_row(1) == "Loading:tool    com" && k7.dos.calls.size() == 2;
        }
        EXPECT_TRUE(name_before_ok) << mode[1];
        ASSERT_TRUE(k7.run(20)) << mode[1];
        EXPECT_EQ(k7.dos.files["TOOL    COM"], data) << mode[1];
        EXPECT_EQ(k7.dos.calls,
                  (std::vector<std::string>{"09 CassonicDOS-2005", "09 \r\nLoading:", "09  <OK>",
                                            "16 TOOL    COM", "1A 0400", "26 3000 x 1 at 0", "10 TOOL    COM"}))
            << mode[1];
        EXPECT_EQ(k7.msx.screen_row(1), "Loading:tool    com <OK>") << mode[1];
    }
}


// The CD modes played 4% and 8% slow and fast: a file of pseudo-random
// bytes (every rank in use, codes of seven and eight cells among them)
// arrives byte for byte.  The time between two cells and between two units is
// counted in T-states; a few more on those paths make some unit misread,
// and a misread rank gives a wrong byte that nothing else on the tape
// catches.
TEST_F(K7Run, ReadsTheCdModesPlayedUpToEightPercentSlowOrFast)
{
    const Bytes data = sample_file(12000, 5, false);
    shop.put("noise.bin", data);
    for (const char* mode : {"-c", "-xp"}) {
        const std::string wav = shop.tapecast({"-cd", mode, "-dos", "noise.bin"}, std::string(mode + 1) + ".wav");
        for (double speed : {0.92, 0.96, 1.04, 1.08}) {
            TapeOptions options;
            options.conditions.speed = speed;
            K7Machine k7({wav}, options);
            ASSERT_TRUE(k7.run(30)) << mode << " at " << speed;
            EXPECT_EQ(k7.dos.files["NOISE   BIN"], data) << mode << " at " << speed;
        }
    }
}

// A worn recording: played 4% slower, 4% faster, under white noise at
// 20 dB, at 25% amplitude and with the polarity turned over, in that order.
std::vector<std::pair<const char*, TapeConditions>> worn_recordings()
{
    TapeConditions slower, faster, noise, quiet, inverted;
    slower.speed = 0.96;
    faster.speed = 1.04;
    noise.noise_snr_db = 20;
    quiet.amplitude = 0.25;
    inverted.inverted = true;
    return {{"4% slower", slower}, {"4% faster", faster}, {"noise", noise}, {"25% amplitude", quiet},
            {"inverted", inverted}};
}

// Whether K7, played `wav` as `conditions` give it, saves WORN.BIN as `data`.
bool reads_worn(const std::string& wav, const TapeConditions& conditions, const Bytes& data)
{
    TapeOptions options;
    options.conditions = conditions;
    K7Machine k7({wav}, options);
    const RunResult result = run_to(k7.msx.machine(), {warm_boot}, seconds(20));
    return result.reason == Stop::breakpoint && k7.dos.files["WORN    BIN"] == data;
}

// K7 reads with its own loop, so it faces the worn recordings the loader's
// robustness table lists: every fast mode played 4% slower and faster, with
// white noise at 20 dB signal-to-noise ratio, at 25% amplitude and with the
// polarity turned over.  There is no BIOS stage here, so the sine modes read
// under noise too; the experimental mode at 5500 baud played fast is out of
// reach of any whole window, as for the loader.  At 4500 baud played fast
// the trailer's half-cycles, as long as the lead-in's, are just shorter than
// the start-mark threshold, so the trailer may read as a last byte: the
// block then fails its length check and ends with " <Err>".  Whether it
// does depends on the phase of the tape against K7's loops (it reads at 12
// of 24), so that cell ('?') is not held to either.  CD -c sine under this
// noise is at the edge: with the image as it is now, a unit of the payload
// is misread and K7 says " <Err>" ('?' too; the image's checks keep a
// damaged file from being saved either way).
TEST_F(K7Run, ReadsEveryFastModeFromAWornRecording)
{
    const Bytes data = sample_file(1500, 11, false);
    shop.put("worn.bin", data);
    const std::vector<std::vector<std::string>> modes = {
        {"-cd", "-c"}, {"-cd", "-c", "-sine"}, {"-cd", "-xp"}, {"-cd", "-xp", "-sine"},
        {"3500", "-c"}, {"5500", "-c"},        {"4500", "-xp"}, {"5500", "-xp"}};
    const std::vector<std::string> expected_rows = {"yyyyyyyy", "yyyyyy?n", "y?yyyyyy", "yyyyyyyy", "yyyyyyyy"};
    std::vector<std::string> wavs;
    for (std::vector<std::string> args : modes) {
        args.insert(args.end(), {"-dos", "worn.bin"});
        wavs.push_back(shop.tapecast(args, "worn" + std::to_string(wavs.size()) + ".wav"));
    }
    const auto recordings = worn_recordings();
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        const std::string& expected = expected_rows[i];
        std::string row;
        for (const std::string& wav : wavs) {
            const char read = reads_worn(wav, recordings[i].second, data) ? 'y' : 'n';
            row += expected[row.size()] == '?' ? '?' : read;
        }
        EXPECT_EQ(row, expected) << recordings[i].first;
    }
}

// Where K7's loops meet the tape's edges depends on when the tape started
// and on every T-state K7 spends before the block, so a reading that works
// at one phase may fail at another.  Each mode here, played at a speed where
// that once happened, reads at 12 phases 0.25 ms apart: the lead-in's end
// mark, whose halves may end within the first period of the count, is found
// (it once counted as a long half), and the sync value is passed over while
// the window is worked out before its end mark (after the end mark's first
// change, the work once ran into the start mark that follows).
TEST_F(K7Run, ReadsAtEveryPhaseOfTheTape)
{
    const Bytes data = sample_file(1500, 17, false);
    shop.put("phase.bin", data);
    for (const auto& [mode, speed] : {std::tuple{std::vector<std::string>{"-cd", "-xp"}, 0.90},
                                      std::tuple{std::vector<std::string>{"5500", "-c"}, 0.92},
                                      std::tuple{std::vector<std::string>{"5500", "-xp"}, 0.96}}) {
        std::vector<std::string> args = mode;
        args.insert(args.end(), {"-dos", "phase.bin"});
        const WavSignal wav = read_wav(shop.tapecast(args, "phase.wav"));
        std::string phases;
        for (int phase = 0; phase < 12; ++phase) {
            WavSignal shifted = wav;
            shifted.samples.insert(shifted.samples.begin(), std::size_t(phase * 11), 0.0f);
            TapeOptions options;
            options.conditions.speed = speed;
            K7Machine k7(std::vector<WavSignal>{shifted}, options);
            const RunResult result = run_to(k7.msx.machine(), {warm_boot}, seconds(20));
            phases += result.reason == Stop::breakpoint && k7.dos.files["PHASE   BIN"] == data ? 'y' : 'n';
        }
        EXPECT_EQ(phases, std::string(12, 'y')) << mode[0] << " " << mode[1] << " at " << speed;
    }
}

// A file above 46,080 bytes comes in three parts with flags 5, 7 and 2: one
// file created, each part written where the last ended, closed once.  The
// player ignores the motor, so that the unpacking and DOS's writing (70 T a
// byte here) happen while the tape plays the pause between the parts.
TEST_F(K7Run, JoinsTheThreePartsOfALargeFile)
{
    Bytes data(2 * 46080 + 1234);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t("Part of a file larger than one block. "[i % 38] ^ (i / 46080) ^ ((i / 4096) & 7));
    shop.put("big.dat", data);
    TapeOptions free_running;
    free_running.motor_controlled = false;
    K7Machine k7({shop.tapecast({"-cd", "-xp", "-dos", "big.dat"})}, free_running);
    ASSERT_TRUE(k7.run(60));
    EXPECT_EQ(k7.dos.files["BIG     DAT"], data);
    EXPECT_EQ(k7.file_calls(), (std::vector<std::string>{"16 BIG     DAT", "1A 0400", "26 46080 x 1 at 0", "1A 0400",
                                                          "26 46080 x 1 at 46080", "1A 0400", "26 1234 x 1 at 92160",
                                                          "10 BIG     DAT"}));
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(k7.msx.screen_row(row), "Loading:big     dat <OK>") << k7.msx.screen_text();
}

// Two files, flags 1 then 0: each created, written and closed, and K7
// returns to DOS after the second.
TEST_F(K7Run, SavesFilesOneAfterTheOther)
{
    const Bytes first = sample_file(900, 1, false);
    const Bytes second = sample_file(5000, 2, true);
    shop.put("ONE.BIN", first);
    shop.put("two.txt", second);
    K7Machine k7({shop.tapecast({"-cd", "-c", "-p", "500", "-dos", "ONE.BIN", "two.txt"})});
    ASSERT_TRUE(k7.run(30));
    EXPECT_EQ(k7.dos.files["ONE     BIN"], first);
    EXPECT_EQ(k7.dos.files["TWO     TXT"], second);
    EXPECT_EQ(k7.file_calls(), (std::vector<std::string>{"16 ONE     BIN", "1A 0400", "26 900 x 1 at 0",
                                                          "10 ONE     BIN", "16 TWO     TXT", "1A 0400",
                                                          "26 5000 x 1 at 0", "10 TWO     TXT"}));
    EXPECT_EQ(k7.msx.screen_row(1), "Loading:ONE     BIN <OK>");
    EXPECT_EQ(k7.msx.screen_row(2), "Loading:two     txt <OK>");
}

// Keys held while K7 waits for the tape fix the window: CTRL 12 sampling
// periods, F2 8, F3 6; F1 keeps the one timed on the tape.  The window is
// what K7 holds in A where it takes it up.
TEST_F(K7Run, KeysChooseTheWindow)
{
    const Bytes data = sample_file(2000, 3, true);
    shop.put("key.com", data);
    const std::string compressed = shop.tapecast({"-cd", "-c", "-dos", "key.com"}, "c.wav");
    const std::string experimental = shop.tapecast({"-cd", "-xp", "-dos", "key.com"}, "xp.wav");
    // The window is set where the timing of the first sync value ends and
    // the search for the next start mark begins, in D.
    const std::uint16_t measure_sync = ramdos_parts::k7_symbol("measure_sync");
    const std::uint16_t window_set = ramdos_parts::k7_symbol("window_set");
    const auto window_taken = [&](K7Machine& k7) {
        EXPECT_EQ(run_to(k7.msx.machine(), {measure_sync}, seconds(15)).reason, Stop::breakpoint);
        EXPECT_EQ(run_to(k7.msx.machine(), {window_set}, seconds(1)).reason, Stop::breakpoint);
        return k7.msx.machine().reg(Reg::de) >> 8;
    };
    int timed = 0;
    for (auto [wav, key, window] : {std::tuple{experimental, key::f1, 0}, std::tuple{compressed, key::ctrl, 12},
                                    std::tuple{experimental, key::f2, 8}, std::tuple{experimental, key::f3, 6}}) {
        K7Machine k7({wav});
        if (window == 0) {
            K7Machine plain({wav});
            timed = window_taken(plain);
            EXPECT_GT(timed, 0);
        }
        k7.msx.keyboard().hold(key[0], key[1]);
        EXPECT_EQ(window_taken(k7), window ? window : timed);
        ASSERT_TRUE(k7.run(15));
        EXPECT_EQ(k7.dos.files["KEY     COM"], data);
    }
}

// STOP while K7 waits for the tape: " <Err>" after what the screen shows,
// no file created; a file saved before stays as it is.
TEST_F(K7Run, StopWhileWaitingEndsWithNoFile)
{
    const Bytes data = sample_file(1500, 4, true);
    shop.put("a.com", data);
    shop.put("b.com", data);
    {
        K7Machine k7({shop.tapecast({"-cd", "-c", "-dos", "a.com"})});
        k7.msx.keyboard().hold(key::stop[0], key::stop[1]);
        ASSERT_TRUE(k7.run(5));
        EXPECT_TRUE(k7.file_calls().empty());
        EXPECT_EQ(k7.msx.screen_row(0), "CassonicDOS-2005 <Err>");
    }
    {
        K7Machine k7({shop.tapecast({"-cd", "-c", "-p", "3000", "-dos", "a.com", "b.com"})});
        ASSERT_EQ(run_to(k7.msx.machine(), {sfx_entry}, seconds(15)).reason, Stop::breakpoint);
        k7.msx.keyboard().hold(key::stop[0], key::stop[1], k7.msx.machine().cycles() + seconds(0.5));
        ASSERT_TRUE(k7.run(5));
        EXPECT_EQ(k7.file_calls(), (std::vector<std::string>{"16 A       COM", "1A 0400", "26 1500 x 1 at 0",
                                                              "10 A       COM"}));
        EXPECT_EQ(k7.dos.files["A       COM"], data);
        EXPECT_EQ(k7.msx.screen_row(1), "Loading:a       com <OK> <Err>");
    }
}

// Overwrites a -cd -c recording (code 112: 12 samples of 16 bits a cell)
// from the first cell of the first unit carrying `value` with `cells` 1
// cells: a unit longer than any value.
void ones_over_value(Bytes& wav, std::uint8_t value, int cells)
{
    const auto level = [](bool high) { return high ? Bytes{0xFF, 0x7F} : Bytes{0x00, 0x00}; };
    const auto append = [&](Bytes& to, const char* shape) {
        for (const char* c = shape; *c; ++c) {
            const Bytes sample = level(*c == 'H');
            to.insert(to.end(), sample.begin(), sample.end());
        }
    };
    const char* bit0 = "000000HHHHHH";
    const char* bit1 = "000HHH000HHH";
    Bytes unit;
    append(unit, "0000HH");
    for (int bit = std::bit_width(unsigned(value)) - 1; bit >= 0; --bit)
        append(unit, value >> bit & 1 ? bit1 : bit0);
    append(unit, "00HH00HH00HH");
    const auto found = std::search(wav.begin() + 44, wav.end(), unit.begin(), unit.end());
    ASSERT_NE(found, wav.end()) << "no unit carrying " << int(value);
    Bytes ones;
    for (int c = 0; c < cells; ++c)
        append(ones, bit1);
    std::copy(ones.begin(), ones.end(), found + 12);
}

// What K7 does not take for a file: a payload unit damaged into alternating
// cells; a name character damaged into twelve 1 cells (read like a trailer
// where a value belongs); the second part of a file whose first part never
// came; a block that is no self-extracting image of what arrived (a
// fast-mode file meant for the loader).  " <Err>" and back to DOS, nothing
// written.
TEST_F(K7Run, RefusesWhatIsNoFile)
{
    Bytes data(1500);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t((i * 7) ^ (i >> 3));
    shop.put("big.bin", data);
    Bytes wav = test_support::read_file(shop.tapecast({"-cd", "-c", "-dos", "big.bin"}));
    loader_harness::damage_last_payload(wav);
    test_support::write_file(shop.file("damaged.wav"), wav);
    Bytes named = test_support::read_file(shop.file("out.wav"));
    ones_over_value(named, 'b', 12);
    test_support::write_file(shop.file("named.wav"), named);

    Bytes large(46080 + 3000);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = std::uint8_t(i / 100);
    shop.put("large.dat", large);
    const WavSignal parts = read_wav(shop.tapecast({"-cd", "-c", "-dos", "large.dat"}, "parts.wav"));

    test_support::write_file(shop.file("game.bin"), test_support::make_bin(0xC000, 0xC000, data));
    const std::string not_dos = shop.tapecast({"-cd", "-c", "-noldr", "game.bin"}, "game.wav");

    for (const auto& [what, tape, screen] :
         {std::tuple{"damaged", read_wav(shop.file("damaged.wav")), std::string("Loading:big     bin <Err>")},
          std::tuple{"damaged name", read_wav(shop.file("named.wav")), std::string("Loading:")},
          std::tuple{"second part", from_first_pause(parts, 1.0), std::string("Loading:large   dat <OK> <Err>")},
          std::tuple{"not DOS mode", read_wav(not_dos), std::string("Loading:")}}) {
        K7Machine k7(std::vector<WavSignal>{tape});
        ASSERT_TRUE(k7.run(20)) << what;
        EXPECT_TRUE(k7.file_calls().empty()) << what;
        EXPECT_EQ(k7.msx.screen_row(1).substr(0, screen.size()), screen) << what;
        EXPECT_NE(k7.msx.screen_row(1).find(" <Err>"), std::string::npos) << what << "\n" << k7.msx.screen_text();
    }
}

// A later part of a file with one byte arriving wrong in a way K7 can't see
// (a 0 cell read as a 1 cell), in its depacker or its packed data: the
// self-extracting image returns an error, and K7 closes the file with the
// part before it and ends with " <Err>"; nothing of the damaged part is
// written.
TEST_F(K7Run, ALaterPartArrivingDamagedClosesTheFileWithoutIt)
{
    Bytes large(46080 + 3000);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = std::uint8_t(i < 46080 ? i / 100 + i % 3 : (i * 7) ^ (i >> 5));
    shop.put("large.dat", large);
    const Bytes wav = test_support::read_file(shop.tapecast({"-cd", "-c", "-dos", "large.dat"}));
    for (const std::size_t cells : {std::size_t(1500), std::size_t(8000)}) {  // depacker, data
        Bytes damaged = wav;
        ASSERT_TRUE(loader_harness::flip_payload_cell(damaged, cells)) << cells;
        test_support::write_file(shop.file("damaged.wav"), damaged);
        K7Machine k7({shop.file("damaged.wav")});
        ASSERT_TRUE(k7.run(40)) << cells;
        EXPECT_EQ(k7.file_calls(), (std::vector<std::string>{"16 LARGE   DAT", "1A 0400", "26 46080 x 1 at 0",
                                                              "10 LARGE   DAT"}))
            << cells;
        EXPECT_EQ(k7.dos.files["LARGE   DAT"], Bytes(large.begin(), large.begin() + 46080)) << cells;
        EXPECT_EQ(k7.msx.screen_row(2), "Loading:large   dat <OK> <Err>") << cells << "\n" << k7.msx.screen_text();
    }
}

// A payload longer than the room below the rank table ends the block at
// the limit instead of running on over DOS.  A random part of 46,080 bytes
// makes an image of 46,351, 241 bytes short of the limit; here the limit is
// lowered to 0x0800 for a small one.
TEST_F(K7Run, StopsAPayloadAtItsLimit)
{
    shop.put("long.bin", sample_file(3000, 6, false));
    K7Machine k7({shop.tapecast({"-cd", "-xp", "-dos", "long.bin"})});
    Machine& m = k7.msx.machine();
    m.write(ramdos_parts::k7_symbol("payload_top"), 0x08);
    for (std::uint16_t at = 0x0800; at < 0x1800; ++at)
        m.write(at, 0xE5);
    ASSERT_TRUE(k7.run(20));
    EXPECT_TRUE(k7.file_calls().empty());
    EXPECT_EQ(k7.msx.screen_row(1), "Loading:long    bin <Err>");
    for (std::uint16_t at = 0x0800; at < 0x1800; ++at)
        ASSERT_EQ(m.read(at), 0xE5) << std::hex << at;
}

// DOS refusing the file or running out of room is a loading error, not a
// file reported done; a file left open by an error is closed, so that what
// was written of it is on the disk and the disk stays consistent.
TEST_F(K7Run, DiskErrorsEndWithTheFileClosed)
{
    Bytes large(46080 + 3000);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = std::uint8_t(i / 100 + i % 3);
    shop.put("large.dat", large);
    const std::string wav = shop.tapecast({"-cd", "-c", "-dos", "large.dat"});
    {
        K7Machine k7({wav});
        k7.dos.refuse_create = true;
        ASSERT_TRUE(k7.run(30));
        EXPECT_EQ(k7.file_calls(), (std::vector<std::string>{"16 LARGE   DAT"}));
        EXPECT_EQ(k7.msx.screen_row(1), "Loading:large   dat <OK> <Err>");
    }
    {
        K7Machine k7({wav});
        k7.dos.space = 40000;
        ASSERT_TRUE(k7.run(30));
        EXPECT_EQ(k7.file_calls(), (std::vector<std::string>{"16 LARGE   DAT", "1A 0400", "26 46080 x 1 at 0",
                                                              "10 LARGE   DAT"}));
        EXPECT_EQ(k7.dos.files["LARGE   DAT"], Bytes(large.begin(), large.begin() + 40000));
        EXPECT_EQ(k7.msx.screen_row(1), "Loading:large   dat <OK> <Err>");
    }
    {
        // The tape ends after the first part; STOP, and the part is kept.
        K7Machine k7(std::vector<WavSignal>{to_first_pause(read_wav(wav), 1.0)});
        ASSERT_EQ(run_to(k7.msx.machine(), {sfx_entry}, seconds(20)).reason, Stop::breakpoint);
        k7.msx.keyboard().hold(key::stop[0], key::stop[1], k7.msx.machine().cycles() + seconds(3));
        ASSERT_TRUE(k7.run(10));
        EXPECT_EQ(k7.file_calls(), (std::vector<std::string>{"16 LARGE   DAT", "1A 0400", "26 46080 x 1 at 0",
                                                              "10 LARGE   DAT"}));
        EXPECT_EQ(k7.dos.files["LARGE   DAT"], Bytes(large.begin(), large.begin() + 46080));
    }
}

// A -turbo -dos tape: a COM program, then a file in two parts, each part a
// header block and an image block in the turbo signal.  K7 tells them from
// fast blocks by their lead-in and saves each file byte for byte, the parts
// joined, in the pauses the encoder leaves (the player ignores the motor).
TEST_F(K7Run, ReadsDosFilesSentInTheTurboSignal)
{
    const Bytes tool = sample_file(3000, 7, true);
    const Bytes big = sample_file(46080 + 1234, 9, false);
    shop.put("tool.com", tool);
    shop.put("big.dat", big);
    TapeOptions free_running;
    free_running.motor_controlled = false;
    K7Machine k7({shop.tapecast({"-cd", "-turbo", "-dos", "tool.com", "big.dat"})}, free_running);
    ASSERT_TRUE(k7.run(60));
    EXPECT_EQ(k7.dos.files["TOOL    COM"], tool);
    EXPECT_EQ(k7.dos.files["BIG     DAT"], big);
    EXPECT_EQ(k7.file_calls(), (std::vector<std::string>{"16 TOOL    COM", "1A 0400", "26 3000 x 1 at 0",
                                                          "10 TOOL    COM", "16 BIG     DAT", "1A 0400",
                                                          "26 46080 x 1 at 0", "1A 0400", "26 1234 x 1 at 46080",
                                                          "10 BIG     DAT"}));
    EXPECT_EQ(k7.msx.screen_row(1), "Loading:tool    com <OK>");
    EXPECT_EQ(k7.msx.screen_row(2), "Loading:big     dat <OK>");
    EXPECT_EQ(k7.msx.screen_row(3), "Loading:big     dat <OK>");
}

// The turbo signal under the conditions the fast modes' table lists: played
// 4% slower and faster (K7 still takes its lead-in for a turbo one), with
// white noise at 20 dB, at 25% amplitude and with the polarity turned over.
TEST_F(K7Run, ReadsTheTurboSignalFromAWornRecording)
{
    const Bytes data = sample_file(1500, 11, false);
    shop.put("worn.bin", data);
    const std::string wav = shop.tapecast({"-cd", "-turbo", "-dos", "worn.bin"});
    std::string row;
    for (const auto& [name, conditions] : worn_recordings())
        row += reads_worn(wav, conditions, data) ? 'y' : 'n';
    EXPECT_EQ(row, "yyyyy");
}

// Turns over the half of the signal that starts after `at`: it and the
// halves on either side become one, and the letters after it shift.
void merge_halves(WavSignal& signal, std::size_t at)
{
    while ((signal.samples[at] > 0) == (signal.samples[at - 1] > 0))
        ++at;
    for (const bool high = signal.samples[at] > 0; (signal.samples[at] > 0) == high; ++at)
        signal.samples[at] = -signal.samples[at];
}

// A turbo block damaged near its end fails its CRC before anything of it
// is written: a file's only part creates nothing, a second part leaves the
// file closed with the first.  Without the memory for its turbo part (a
// DOS that keeps it) K7 refuses a turbo block alike.
TEST_F(K7Run, ADamagedTurboBlockLeavesNothingOfItOnTheDisk)
{
    shop.put("one.bin", sample_file(3000, 3, false));
    const Bytes big = sample_file(46080 + 1234, 4, false);
    shop.put("big.dat", big);
    const WavSignal one = read_wav(shop.tapecast({"-cd", "-turbo", "-dos", "one.bin"}, "one.wav"));
    const WavSignal two = read_wav(shop.tapecast({"-cd", "-turbo", "-dos", "big.dat"}, "two.wav"));
    auto damaged = [](WavSignal signal) {
        std::size_t end = signal.samples.size() - 1;
        while (signal.samples[end] == 0.0f)
            --end;
        merge_halves(signal, end - 3000);
        return signal;
    };
    {
        K7Machine k7(std::vector<WavSignal>{damaged(one)});
        ASSERT_TRUE(k7.run(20));
        EXPECT_TRUE(k7.file_calls().empty());
        EXPECT_EQ(k7.msx.screen_row(1), "Loading:one     bin <Err>");
    }
    {
        TapeOptions free_running;
        free_running.motor_controlled = false;
        K7Machine k7(std::vector<WavSignal>{damaged(two)}, free_running);
        ASSERT_TRUE(k7.run(40));
        EXPECT_EQ(k7.file_calls(), (std::vector<std::string>{"16 BIG     DAT", "1A 0400", "26 46080 x 1 at 0",
                                                              "10 BIG     DAT"}));
        EXPECT_EQ(k7.dos.files["BIG     DAT"], Bytes(big.begin(), big.begin() + 46080));
        EXPECT_EQ(k7.msx.screen_row(2), "Loading:big     dat <Err>") << k7.msx.screen_text();
    }
    {
        K7Machine k7(std::vector<WavSignal>{one});
        k7.msx.machine().write_word(dos_entry + 1, 0xC800);
        ASSERT_TRUE(k7.run(20));
        EXPECT_TRUE(k7.file_calls().empty());
        EXPECT_EQ(k7.msx.screen_row(1).rfind("Loading:", 0), 0u);
        EXPECT_NE(k7.msx.screen_row(1).find(" <Err>"), std::string::npos);
    }
}

}  // namespace
}  // namespace msxbench
