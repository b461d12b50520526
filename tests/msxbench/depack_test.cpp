// The Z80 decoder and both depackers, run on the emulated MSX over packed
// data from the C++ packer and over hand-made streams.
#include "corpus.h"
#include "depack.h"
#include "msx.h"
#include "test_support.h"

#include "assets/images.h"
#include "codec/rnc_pack.h"
#include "convert/pack.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace msxbench {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& text)
{
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ' || text[i] == '\n') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

Bytes random_bytes(std::size_t size, unsigned seed, unsigned alphabet = 256)
{
    return test_support::seeded_bytes(size, seed, alphabet);
}

Bytes text_bytes(std::size_t size)
{
    const std::string words = "10 PRINT \"HELLO\": FOR I=1 TO 100: POKE &HC000+I,I: NEXT I: GOTO 10 ";
    Bytes bytes;
    for (std::size_t i = 0; bytes.size() < size; ++i)
        bytes.push_back(static_cast<std::uint8_t>(words[(i * 7) % words.size()]));
    return bytes;
}

// The method-2 header in front of a hand-made stream that restores `data`:
// the depacker checks the unpacked length and CRC after decoding.
Bytes with_header(const Bytes& stream, const Bytes& data)
{
    const auto be32 = [](Bytes& out, std::size_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(value >> shift));
    };
    Bytes packed = {'R', 'N', 'C', 2};
    be32(packed, data.size());
    be32(packed, stream.size());
    const std::uint16_t crcs[] = {rnc_crc16(data), rnc_crc16(stream)};
    for (std::uint16_t crc : crcs) {
        packed.push_back(static_cast<std::uint8_t>(crc >> 8));
        packed.push_back(static_cast<std::uint8_t>(crc));
    }
    packed.push_back(2);
    packed.push_back(1);
    packed.insert(packed.end(), stream.begin(), stream.end());
    return packed;
}

void expect_restores(const Bytes& input, const std::string& what)
{
    const Bytes packed = rnc_pack(input);
    const Z80Restore z80 = restore_on_z80(packed);
    ASSERT_TRUE(z80.returned) << what;
    EXPECT_EQ(z80.hl, input.size()) << what;
    ASSERT_EQ(z80.data.size(), input.size()) << what;
    EXPECT_TRUE(z80.data == input) << what << ": restored data differs";
}

TEST(Z80Decoder, DecodesTheFormatsWorkedExamples)
{
    const Bytes forty_a = hex("52 4E 43 02 00 00 00 28 00 00 00 06 EC 80 A5 63 02 01 9E 41 1F 00 F0 00");
    EXPECT_EQ(restore_on_z80(forty_a).data, Bytes(40, 'A'));

    const Bytes sentence =
        hex("52 4E 43 02 00 00 00 48 00 00 00 25 75 CD A3 27 02 01 80 74 68 65 20 63 61 1C 74 20 73 03 10 6F"
            "6E 20 0E 63 6D 0A 3B 20 C9 0B 17 68 39 17 10 67 18 26 02 30 78 2E 00");
    const std::string text = "the cat sat on the mat; the cat sat on the hat; that cat sat at the mat.";
    EXPECT_EQ(restore_on_z80(sentence).data, Bytes(text.begin(), text.end()));

    // Every token code, every offset class, runs of 12 to 72 bytes, two chunks.
    const Bytes every_code =
        hex("52 4e 43 02 00 00 14 0c 00 00 00 f7 84 1a 27 8f 03 02 ae 2f 10 11 12 13 14 15 16 17 18 19 1a 1b"
            "1c 1d 1e 1f 20 f7 7b 10 f7 10 de f7 10 f7 10 f7 f7 10 bd f7 10 f7 10 ef f7 10 f7 7b 10 f7 10 de"
            "f7 10 f7 10 f7 f7 10 bd f7 10 f7 10 ee f7 10 46 00 11 a8 22 94 ce 33 ab 44 44 5f 55 fb 01 66 ff"
            "02 77 fa 03 3e 88 5c 97 99 49 d9 c0 aa f6 f7 f7 bb 11 cc cd dd 78 ee 4e 97 bb ff ff 5c 00 3b 80"
            "81 82 83 84 85 86 87 88 89 8a 8b df ff 00 df ee a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab ac ad ae af"
            "b0 b1 b2 b3 b4 b5 b6 b7 b8 b9 ba bb bc bd be bf c0 c1 c2 c3 c4 c5 c6 c7 c8 c9 ca cb cc cd ce cf"
            "d0 d1 d2 d3 d4 d5 d6 d7 d8 d9 da db dc dd de df e0 e1 e2 e3 e4 e5 e6 e7 fe 30 31 32 33 34 35 36"
            "37 38 39 3a 3b 3c 3d 3e 3f 40 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 51 52 53 54 55 56"
            "57 f7 00 ff 01 5e 9f ff 00");
    const Z80Restore z80 = restore_on_z80(every_code);
    ASSERT_EQ(z80.data.size(), 5132u);
    EXPECT_EQ(z80.hl, 5132);
    EXPECT_EQ(rnc_crc16(z80.data), 0x841A);
    EXPECT_EQ(Bytes(z80.data.begin() + 4090, z80.data.begin() + 4106),
              hex("1A 1B 1C 1D 1E 1F 20 20 20 20 11 12 13 14 14 15"));
    EXPECT_EQ(Bytes(z80.data.end() - 10, z80.data.end()), hex("10 11 12 13 14 15 16 17 18 FF"));
}

TEST(Z80Decoder, TakesMatchesLongerThan255)
{
    // Literal 'x', then 1111 with count 0xFF: length 263 at offset 1.
    const Z80Restore z80 = restore_on_z80(with_header(hex("9E 78 FF 00 F0 00"), Bytes(264, 'x')));
    EXPECT_EQ(z80.data, Bytes(264, 'x'));
}

TEST(Z80Decoder, RestoresWhatThePackerPacks)
{
    Bytes all_values(256);
    for (int i = 0; i < 256; ++i)
        all_values[i] = static_cast<std::uint8_t>(i);
    Bytes runs;
    for (int i = 0; i < 40; ++i)
        runs.insert(runs.end(), 3 + i * 7, static_cast<std::uint8_t>(i * 37));
    Bytes mixed = random_bytes(3000, 3, 4);
    const Bytes noise = random_bytes(3000, 4);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    const Bytes text = text_bytes(9000);
    mixed.insert(mixed.end(), text.begin(), text.end());

    expect_restores({0x42}, "one byte");
    expect_restores({1, 2, 3, 4, 1, 2, 3, 4}, "eight bytes");
    expect_restores(all_values, "all byte values");
    expect_restores(runs, "runs");
    expect_restores(Bytes(20000, 0xE5), "one value");
    expect_restores(random_bytes(16384, 1), "incompressible");
    expect_restores(mixed, "mixed");
    for (std::size_t size : {12287u, 12288u, 12289u, 24577u})
        expect_restores(text_bytes(size), "text of " + std::to_string(size) + " bytes");
}

TEST(Z80Decoder, RestoresTheCorpusByteForByte)
{
    if (!cbios_installed())
        CBIOS_SKIP();
    const auto corpus = load_corpus(EXAMPLES_DIR);
    ASSERT_GE(corpus.size(), 8u);
    for (const CorpusFile& file : corpus)
        expect_restores(file.bytes, file.name);
}

TEST(SfxDepacker, CopiesStoredDataAndReturnsItsLength)
{
    const Bytes data = random_bytes(1000, 7);
    const Z80Restore z80 = restore_on_z80(data, static_cast<std::uint16_t>(data.size()), 0x0300);
    ASSERT_TRUE(z80.returned);
    EXPECT_EQ(z80.hl, 1000);
    EXPECT_EQ(z80.data, data);
}

// One bit flipped anywhere it matters: in the packed stream, in the header's
// unpacked length or CRC, in stored data, in the depacker.  The depacker
// returns with carry and hands nothing back; undamaged, it restores.
TEST(SfxDepacker, ReturnsCarryForDamagedDataOrCode)
{
    const Bytes input = text_bytes(3000);
    const Bytes packed = rnc_pack(input);
    const Bytes stored = random_bytes(800, 21);
    using Damage = void (*)(Bytes&);
    const struct {
        const char* what;
        const Bytes& data;
        Damage damage;
    } cases[] = {
        {"stream", packed, [](Bytes& m) { m[40] ^= 0x10; }},
        {"unpacked length", packed, [](Bytes& m) { m[7] ^= 0x01; }},
        {"unpacked CRC", packed, [](Bytes& m) { m[13] ^= 0x80; }},
        {"stored data", stored, [](Bytes& m) { m[799] ^= 0x04; }},
        {"depacker", packed, [](Bytes& m) { m[m.size() - 100] ^= 0x01; }},
        {"depacker's CRC", stored, [](Bytes& m) { m.back() ^= 0x01; }},
    };
    for (const auto& c : cases) {
        RestoreOptions options;
        options.stored = &c.data == &stored ? static_cast<std::uint16_t>(stored.size()) : 0;
        options.destination = 0x0300;
        const Z80Restore whole = restore_on_z80(c.data, options);
        EXPECT_TRUE(whole.returned && !whole.failed) << c.what;
        options.damage = c.damage;
        const Z80Restore damaged = restore_on_z80(c.data, options);
        EXPECT_TRUE(damaged.returned) << c.what;
        EXPECT_TRUE(damaged.failed) << c.what;
    }
    // Stored data whose length does not reach the depacker (a damaged
    // prologue) is not copied either.
    RestoreOptions shorter;
    shorter.stored = static_cast<std::uint16_t>(stored.size() - 1);
    shorter.destination = 0x0300;
    EXPECT_TRUE(restore_on_z80(stored, shorter).failed);
}

// ------------------------------------------------------------ images

Bytes corpus_file(const std::string& name)
{
    for (CorpusFile& file : load_corpus(EXAMPLES_DIR)) {
        if (file.name == name)
            return std::move(file.bytes);
    }
    ADD_FAILURE() << name << " is missing";
    return Bytes(0x8000, 0);
}

Bytes image_of(const Bytes& input, PackMode mode)
{
    Bytes buffer = input;
    buffer.resize(buffer.size() + 1024);
    buffer.resize(pack_image(buffer, static_cast<std::uint32_t>(input.size()), mode));
    return buffer;
}

// R, the stored length in the BIN depacker's parameter block.
std::uint16_t stored_length(const Bytes& bin_image)
{
    const std::size_t at = bin_image.size() - bin_depacker_image().size();
    return static_cast<std::uint16_t>(bin_image[at + 7] | bin_image[at + 8] << 8);
}

Bytes rom_with_init(Bytes rom, std::uint16_t init)
{
    rom[0] = 'A';
    rom[1] = 'B';
    rom[2] = static_cast<std::uint8_t>(init);
    rom[3] = static_cast<std::uint8_t>(init >> 8);
    return rom;
}

// A machine the BIN depacker must work on.
struct MachineSetup {
    std::string name;
    MsxLayout layout;
    std::function<void(Msx&)> extra;  // more slots
    Slot page1_ram;                   // where the RAM search should end
};

std::vector<MachineSetup> setups()
{
    MsxLayout msx2;
    msx2.expand_rom_slot = true;
    msx2.expand_ram_slot = true;
    msx2.ram = {3, 2};
    MsxLayout shared = msx2;
    shared.ram = {0, 2};
    const auto cartridge = [](Msx& msx) { msx.machine().install_rom({1, 0}, 0x4000, Bytes(0x4000, 0xC9)); };
    const auto expanded_ram_in_2 = [](Msx& msx) {
        Machine& m = msx.machine();
        m.set_expanded(2, true);
        m.install_ram({2, 1}, 0, 2);
        m.write(exptbl + 2, 0x80);
    };
    return {
        {"Msx1CartridgeInSlot1", {}, cartridge, {3, 0}},
        {"Msx2RomIn00RamIn32", msx2, nullptr, {3, 2}},
        {"Msx2RomIn00RamIn02", shared, nullptr, {0, 2}},
        {"Page1RamIn21", msx2, expanded_ram_in_2, {2, 1}},
    };
}

constexpr std::uint16_t basic_return = 0x6CF3;  // BLOAD's return into BASIC, a breakpoint

// A machine of `setup` that has BLOADed `image` and run it until a
// breakpoint at `stop`, a return to BASIC, a trap's stop or a fault.
struct Started {
    std::unique_ptr<Msx> msx;
    RunResult run;
    std::uint16_t stack = 0;
    Machine& machine() { return msx->machine(); }
};

Started start(const MachineSetup& setup, const Bytes& image, std::uint16_t stop,
              const std::function<void(Msx&)>& before = nullptr)
{
    Started s{std::make_unique<Msx>(setup.layout), {}, 0};
    if (setup.extra)
        setup.extra(*s.msx);
    if (before)
        before(*s.msx);
    Machine& m = s.machine();
    const std::uint16_t exec = bload(m, image);
    m.add_breakpoint(stop);
    s.stack = m.reg(Reg::sp);
    m.set_reg(Reg::iff1, 1);
    s.run = m.call(exec, basic_return, 400'000'000);
    return s;
}

void PrintTo(const MachineSetup& setup, std::ostream* out)
{
    *out << setup.name;
}

class BinDepacker : public ::testing::TestWithParam<MachineSetup> {};

TEST_P(BinDepacker, ComRunsAt0100WithRamInPages0And1AndRetAt0005)
{
    if (!cbios_installed())
        CBIOS_SKIP();
    const Bytes main_rom = corpus_file("cbios_main_msx1.rom");
    const Bytes program(main_rom.begin(), main_rom.begin() + 0x5000);
    for (const Bytes& input : {program, random_bytes(3000, 9)}) {
        const Bytes image = image_of(input, PackMode::com);
        EXPECT_EQ(stored_length(image), input.size() == 3000 ? 3000 : 0);
        Started s = start(GetParam(), image, 0x0100);
        EXPECT_TRUE(s.msx->faults().empty()) << s.msx->faults().front();
        ASSERT_EQ(s.run.reason, Stop::breakpoint);
        ASSERT_EQ(s.run.pc, 0x0100);
        Machine& m = s.machine();
        EXPECT_EQ(m.slot_of_page(0), GetParam().page1_ram);
        EXPECT_EQ(m.slot_of_page(1), GetParam().page1_ram);
        EXPECT_EQ(m.slot_of_page(3), GetParam().layout.ram);
        EXPECT_EQ(m.read(0x0005), 0xC9);
        EXPECT_EQ(m.reg(Reg::iff1), 0);  // the BIOS's interrupt handler is gone
        EXPECT_TRUE(m.dump(0x0100, input.size()) == input);
        const Slot page0 = m.slot_of_page(0);
        if (m.expanded(page0.primary)) {
            EXPECT_EQ(m.read(static_cast<std::uint16_t>(slttbl + page0.primary)), m.secondary_register(page0.primary));
        }
    }
}

TEST_P(BinDepacker, RomStartsAtItsInitAddressWithRamInItsPage)
{
    if (!cbios_installed())
        CBIOS_SKIP();
    const Bytes basic_rom = corpus_file("cbios_basic.rom");  // INIT 0x4010
    ASSERT_EQ(basic_rom[3], 0x40);
    const struct {
        Bytes rom;
        std::uint16_t base;
    } cases[] = {
        {basic_rom, 0x4000},
        {rom_with_init(corpus_file("cbios_disk.rom"), 0x8030), 0x8000},
        {rom_with_init(random_bytes(0x4000, 11), 0x4123), 0x4000},  // stored
    };
    for (const auto& c : cases) {
        const std::uint16_t init = static_cast<std::uint16_t>(c.rom[2] | c.rom[3] << 8);
        Started s = start(GetParam(), image_of(c.rom, PackMode::rom), init);
        EXPECT_TRUE(s.msx->faults().empty());
        ASSERT_EQ(s.run.reason, Stop::breakpoint) << std::hex << s.run.pc;
        ASSERT_EQ(s.run.pc, init);
        Machine& m = s.machine();
        EXPECT_EQ(m.slot_of_page(0), GetParam().layout.main_rom);
        EXPECT_EQ(m.slot_of_page(1), GetParam().page1_ram);
        EXPECT_TRUE(m.dump(c.base, c.rom.size()) == c.rom);
    }
}

TEST_P(BinDepacker, BasicRunsUnderTheInterpreterWithVartabSet)
{
    Bytes program = text_bytes(3000);
    program[0] = 0x00;
    Bytes stored = random_bytes(2500, 12);
    stored[0] = 0x00;
    // Page 1 starts on the RAM, as a program may have left it: the depacker
    // must put back the main ROM, secondary slot included.
    const Slot ram = GetParam().layout.ram;
    const auto page1_on_ram = [ram](Msx& msx) {
        Machine& m = msx.machine();
        m.set_primary_register(static_cast<std::uint8_t>((m.primary_register() & 0xF3) | ram.primary << 2));
        if (m.expanded(ram.primary)) {
            const auto value =
                static_cast<std::uint8_t>((m.secondary_register(ram.primary) & 0xF3) | ram.secondary << 2);
            m.set_secondary_register(ram.primary, value);
            m.write(static_cast<std::uint16_t>(slttbl + ram.primary), value);
        }
    };
    for (const Bytes& input : {program, stored}) {
        for (const auto& before : {std::function<void(Msx&)>{}, std::function<void(Msx&)>{page1_on_ram}}) {
            Started s = start(GetParam(), image_of(input, PackMode::basic), basic_return, before);
            EXPECT_TRUE(s.msx->faults().empty());
            ASSERT_TRUE(s.msx->basic_run_reached().has_value()) << std::hex << s.run.pc;
            const BasicRun& run = *s.msx->basic_run_reached();
            EXPECT_EQ(run.page0, GetParam().layout.main_rom);
            EXPECT_EQ(run.page1, GetParam().layout.main_rom);
            EXPECT_EQ(run.vartab, 0x8000 + input.size());
            EXPECT_TRUE(s.machine().dump(0x8000, input.size()) == input);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, BinDepacker, ::testing::ValuesIn(setups()),
                         [](const auto& info) { return info.param.name; });

TEST(BinDepackerWithoutRam, ReturnsToBasicWhenPage1HasNoRam)
{
    // Slot 3 has RAM in pages 2 and 3 only.
    const MachineSetup setup{"NoRam",
                             {},
                             [](Msx& msx) {
                                 msx.machine().install_rom({3, 0}, 0x0000, Bytes(0x8000, 0xFF));
                             },
                             {}};
    Started s = start(setup, image_of(text_bytes(2000), PackMode::com), 0x0100);
    EXPECT_TRUE(s.msx->faults().empty());
    EXPECT_EQ(s.run.reason, Stop::breakpoint);
    EXPECT_EQ(s.run.pc, basic_return);
    EXPECT_EQ(s.machine().reg(Reg::sp), s.stack);
    EXPECT_EQ(s.machine().slot_of_page(1), (Slot{0, 0}));
    EXPECT_EQ(s.machine().read(0x0005), 0x76);  // page 0 untouched
}

// A BIN image damaged after packing: the depacker shows " <Err>", starts
// nothing and returns to BASIC with carry, page 0 and page 1 on the main
// ROM; a BASIC program restored wrong is left empty.
TEST_P(BinDepacker, DamagedImageShowsErrAndStartsNothing)
{
    Bytes rom = rom_with_init(text_bytes(0x4000), 0x4010);
    Bytes basic = text_bytes(3000);
    basic[0] = 0x00;
    const Bytes stored = random_bytes(3000, 22);
    const auto flip = [](Bytes image, std::size_t at) {
        image[at] ^= 0x08;
        return image;
    };
    const Bytes com_image = image_of(text_bytes(5000), PackMode::com);
    const Bytes rom_image = image_of(rom, PackMode::rom);
    const Bytes basic_image = image_of(basic, PackMode::basic);
    const Bytes stored_image = image_of(stored, PackMode::com);
    const std::size_t depacker = bin_depacker_image().size();
    const struct {
        const char* what;
        Bytes image;
        std::uint16_t start;
    } cases[] = {
        {"COM stream", flip(com_image, 7 + 60), 0x0100},
        {"COM unpacked CRC", flip(com_image, 7 + 12), 0x0100},
        {"COM stored data", flip(stored_image, 7 + 2000), 0x0100},
        {"COM depacker", flip(com_image, com_image.size() - depacker + 40), 0x0100},
        {"ROM stream", flip(rom_image, 7 + 100), 0x4010},
        {"ROM unpacked length", flip(rom_image, 7 + 6), 0x4010},
        {"BASIC unpacked CRC", flip(basic_image, 7 + 13), 0},
    };
    for (const auto& c : cases) {
        Started s = start(GetParam(), c.image, c.start ? c.start : basic_return);
        EXPECT_TRUE(s.msx->faults().empty()) << c.what;
        EXPECT_EQ(s.run.reason, Stop::breakpoint) << c.what;
        EXPECT_EQ(s.run.pc, basic_return) << c.what;
        EXPECT_FALSE(s.msx->basic_run_reached().has_value()) << c.what;
        Machine& m = s.machine();
        EXPECT_EQ(m.reg(Reg::sp), s.stack) << c.what;
        EXPECT_EQ(m.reg(Reg::af) & 1, 1) << c.what;  // carry
        EXPECT_EQ(m.slot_of_page(0), GetParam().layout.main_rom) << c.what;
        EXPECT_EQ(m.slot_of_page(1), GetParam().layout.main_rom) << c.what;
        EXPECT_NE(s.msx->transcript().find(" <Err>"), std::string::npos) << c.what;
        if (c.start == 0) {
            EXPECT_EQ(m.dump(0x8000, 3), (Bytes{0, 0, 0})) << c.what;
            EXPECT_EQ(m.read(vartab) | m.read(vartab + 1) << 8, 0x8003) << c.what;
        }
    }
}

// The self-extracting COM program on an all-RAM machine as MSX-DOS runs it:
// it comes back to 0x0100 with the program restored and the DOS's return
// address on the stack, stored or packed.
TEST(SfxImage, RestoresAndRunsAt0100WithTheDosReturnOnTheStack)
{
    Bytes ret_program = text_bytes(3000), stored_program = random_bytes(2000, 13);
    ret_program[0] = 0xC9;  // RET
    stored_program[0] = 0xC9;
    for (const Bytes& input : {ret_program, stored_program, Bytes{0xC9}}) {
        const Bytes image = image_of(input, PackMode::sfx);
        Msx msx;
        Machine& m = msx.machine();
        m.set_primary_register(0xFF);
        m.load(0x0100, image);
        m.set_reg(Reg::sp, 0xD000);
        m.push(0x0000);
        m.set_reg(Reg::pc, 0x0100);
        m.add_breakpoint(0x0100);
        const RunResult run = m.run(400'000'000);
        ASSERT_EQ(run.reason, Stop::breakpoint);
        EXPECT_EQ(run.pc, 0x0100);
        EXPECT_EQ(m.reg(Reg::sp), 0xD000 - 2);
        EXPECT_TRUE(m.dump(0x0100, input.size()) == input) << input.size();
        const std::size_t code = sfx_depacker_image().size() - 2;  // its CRC differs
        EXPECT_TRUE(m.dump(0xBC00, code) == Bytes(sfx_depacker_image().begin(), sfx_depacker_image().begin() + code));
        m.add_breakpoint(0x0000);
        EXPECT_EQ(m.run(1000).pc, 0x0000);  // the program's RET goes back to the DOS
    }
}

// Run from DOS with a byte of its packed data or of its depacker damaged,
// the self-extracting program prints " <Err>" through DOS and returns to
// DOS, never to the program at 0x0100.
TEST(SfxImage, DamagedShowsErrThroughDosAndReturnsToDos)
{
    Bytes program = text_bytes(3000);
    program[0] = 0xC9;
    const Bytes whole = image_of(program, PackMode::sfx);
    // In the packed data, and in the depacker's decoder (damage in the few
    // bytes that compute its own check is beyond what it can see).
    for (const std::size_t at : {std::size_t(100), whole.size() - sfx_depacker_image().size() + 200}) {
        Bytes image = whole;
        image[at] ^= 0x20;
        Msx msx;
        Machine& m = msx.machine();
        m.set_primary_register(0xFF);
        m.write(0x0005, 0xC9);  // the DOS function entry: returns at once
        m.load(0x0100, image);
        m.set_reg(Reg::sp, 0xD000);
        m.push(0x0000);
        m.set_reg(Reg::pc, 0x0100);
        m.add_breakpoint(0x0005);
        m.add_breakpoint(0x0000);
        RunResult run = m.run(400'000'000);
        ASSERT_EQ(run.reason, Stop::breakpoint) << at;
        ASSERT_EQ(run.pc, 0x0005) << at;
        EXPECT_EQ(m.reg(Reg::bc) & 0xFF, 0x09) << at;
        EXPECT_EQ(m.dump(m.reg(Reg::de), 7), (Bytes{' ', '<', 'E', 'r', 'r', '>', '$'})) << at;
        run = m.run(1000);
        EXPECT_EQ(run.pc, 0x0000) << at;
        EXPECT_EQ(m.reg(Reg::sp), 0xD000) << at;
    }
}

}  // namespace
}  // namespace msxbench
