#include "codec/rnc_pack.h"
#include "codec/rnc_unpack.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes read_binary(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Machine-code-like data: short random pieces copied from nearby and far
// back, with literals between them.
Bytes patchwork(std::size_t size, unsigned seed)
{
    return test_support::seeded_patchwork(size, seed, 5000);
}

std::uint32_t be32(const Bytes& b, std::size_t at)
{
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}

void set_be(Bytes& b, std::size_t at, std::uint32_t value, int count)
{
    for (int i = count - 1; i >= 0; --i, value >>= 8)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
}

// Makes the packed CRC right again after a change to the stream, so that the
// decoder's later checks are the ones tested.
void fix_packed_crc(Bytes& packed)
{
    set_be(packed, 14, rnc_crc16(std::span(packed).subspan(18)), 2);
}

// Every token obeys the format's limits and really reproduces the input.
void expect_valid_tokens(const Bytes& input, const std::vector<RncToken>& tokens)
{
    std::size_t pos = 0, chunk_start = 0, chunks = 0;
    for (const RncToken& t : tokens) {
        switch (t.kind) {
        case RncTokenKind::literal:
            ASSERT_EQ(t.length, 1);
            break;
        case RncTokenKind::run:
            ASSERT_TRUE(t.length >= 12 && t.length <= 72 && t.length % 4 == 0) << t.length;
            break;
        case RncTokenKind::match:
            ASSERT_GE(t.length, 2);
            ASSERT_LE(t.length, 255);
            ASSERT_GE(t.offset, 1);
            ASSERT_LE(t.offset, t.length == 2 ? 256 : 4096);
            ASSERT_LE(t.offset, pos);
            for (std::size_t i = 0; i < t.length; ++i)
                ASSERT_EQ(input[pos + i], input[pos + i - t.offset]) << "match at " << pos;
            break;
        case RncTokenKind::chunk_end:
            ASSERT_LE(pos - chunk_start, 12288u);
            chunk_start = pos;
            ++chunks;
            continue;
        }
        pos += t.length;
        ASSERT_LE(pos, input.size());
    }
    EXPECT_EQ(pos, input.size());
    EXPECT_EQ(chunk_start, input.size()) << "the last token must end a chunk";
    EXPECT_GE(chunks, (input.size() + 12287) / 12288);
}

// Packs, checks the tokens and the header, decodes and compares. Returns the
// packed size.
std::size_t expect_round_trip(const Bytes& input)
{
    const Bytes packed = rnc_pack(input);
    EXPECT_GE(packed.size(), 20u);
    EXPECT_EQ(be32(packed, 4), input.size());
    EXPECT_EQ(packed[18] >> 6, 0b10) << "lock bit set, key bit clear";
    const UnpackResult result = rnc_unpack(packed);
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_TRUE(result.data == input);
    EXPECT_GE(packed[16], std::min<std::uint32_t>(result.leeway_needed, 255u));
    expect_valid_tokens(input, rnc_parse(input));
    return packed.size();
}

// ---------------------------------------------------------------- examples

TEST(RncCrc16, CheckValues)
{
    EXPECT_EQ(rnc_crc16(bytes_of("123456789")), 0xBB3D);
    EXPECT_EQ(rnc_crc16(Bytes(40, 'A')), 0xEC80);
    EXPECT_EQ(rnc_crc16({}), 0x0000);
}

const Bytes forty_a_locked = {0x52, 0x4E, 0x43, 0x02, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00, 0x06,
                              0xEC, 0x80, 0xA5, 0x63, 0x02, 0x01, 0x9E, 0x41, 0x1F, 0x00, 0xF0, 0x00};

const std::string sentence = "the cat sat on the mat; the cat sat on the hat; that cat sat at the mat.";
const Bytes sentence_packed = {
    0x52, 0x4E, 0x43, 0x02, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x25, 0x75, 0xCD, 0xA3, 0x27, 0x02, 0x01, 0x80,
    0x74, 0x68, 0x65, 0x20, 0x63, 0x61, 0x1C, 0x74, 0x20, 0x73, 0x03, 0x10, 0x6F, 0x6E, 0x20, 0x0E, 0x63, 0x6D, 0x0A,
    0x3B, 0x20, 0xC9, 0x0B, 0x17, 0x68, 0x39, 0x17, 0x10, 0x67, 0x18, 0x26, 0x02, 0x30, 0x78, 0x2E, 0x00};

const Bytes every_code_packed = {
    0x52, 0x4e, 0x43, 0x02, 0x00, 0x00, 0x14, 0x0c, 0x00, 0x00, 0x00, 0xf7, 0x84, 0x1a, 0x27, 0x8f, 0x03, 0x02, 0xae,
    0x2f, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f, 0x20, 0xf7,
    0x7b, 0x10, 0xf7, 0x10, 0xde, 0xf7, 0x10, 0xf7, 0x10, 0xf7, 0xf7, 0x10, 0xbd, 0xf7, 0x10, 0xf7, 0x10, 0xef, 0xf7,
    0x10, 0xf7, 0x7b, 0x10, 0xf7, 0x10, 0xde, 0xf7, 0x10, 0xf7, 0x10, 0xf7, 0xf7, 0x10, 0xbd, 0xf7, 0x10, 0xf7, 0x10,
    0xee, 0xf7, 0x10, 0x46, 0x00, 0x11, 0xa8, 0x22, 0x94, 0xce, 0x33, 0xab, 0x44, 0x44, 0x5f, 0x55, 0xfb, 0x01, 0x66,
    0xff, 0x02, 0x77, 0xfa, 0x03, 0x3e, 0x88, 0x5c, 0x97, 0x99, 0x49, 0xd9, 0xc0, 0xaa, 0xf6, 0xf7, 0xf7, 0xbb, 0x11,
    0xcc, 0xcd, 0xdd, 0x78, 0xee, 0x4e, 0x97, 0xbb, 0xff, 0xff, 0x5c, 0x00, 0x3b, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85,
    0x86, 0x87, 0x88, 0x89, 0x8a, 0x8b, 0xdf, 0xff, 0x00, 0xdf, 0xee, 0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7,
    0xa8, 0xa9, 0xaa, 0xab, 0xac, 0xad, 0xae, 0xaf, 0xb0, 0xb1, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
    0xbb, 0xbc, 0xbd, 0xbe, 0xbf, 0xc0, 0xc1, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xcb, 0xcc, 0xcd,
    0xce, 0xcf, 0xd0, 0xd1, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xdb, 0xdc, 0xdd, 0xde, 0xdf, 0xe0,
    0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xfe, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a,
    0x3b, 0x3c, 0x3d, 0x3e, 0x3f, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x4b, 0x4c, 0x4d,
    0x4e, 0x4f, 0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0xf7, 0x00, 0xff, 0x01, 0x5e, 0x9f, 0xff, 0x00};

RncToken lit() { return {RncTokenKind::literal, 1, 0}; }
RncToken run(int n) { return {RncTokenKind::run, static_cast<std::uint16_t>(n), 0}; }
RncToken match(int length, int offset)
{
    return {RncTokenKind::match, static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(offset)};
}
RncToken chunk_end() { return {RncTokenKind::chunk_end, 0, 0}; }

TEST(RncWrite, ReproducesKnownFilesByteForByte)
{
    const std::vector<RncToken> forty_a = {lit(), match(39, 1), chunk_end()};
    EXPECT_EQ(rnc_write(Bytes(40, 'A'), forty_a, true), forty_a_locked);
    Bytes unlocked = forty_a_locked;
    unlocked[18] = 0x1E;
    set_be(unlocked, 14, 0x657C, 2);
    EXPECT_EQ(rnc_write(Bytes(40, 'A'), forty_a, false), unlocked);

    std::vector<RncToken> cat(9, lit());
    for (RncToken t : {match(3, 4), lit(), lit(), lit(), match(4, 15), lit(), match(2, 11), lit(), lit(),
                       match(19, 24), lit(), match(6, 24), match(3, 17), match(8, 25), match(3, 3), match(7, 49),
                       lit(), chunk_end()})
        cat.push_back(t);
    EXPECT_EQ(rnc_write(bytes_of(sentence), cat, true), sentence_packed);
}

TEST(RncWrite, ReproducesTheVectorThatUsesEveryCode)
{
    const UnpackResult decoded = rnc_unpack(every_code_packed);
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    const Bytes& data = decoded.data;
    ASSERT_EQ(data.size(), 5132u);
    EXPECT_EQ(Bytes(data.begin() + 4090, data.begin() + 4106),
              (Bytes{0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x20, 0x20, 0x20, 0x11, 0x12, 0x13, 0x14, 0x14, 0x15}));
    EXPECT_EQ(decoded.leeway_needed, 1u);

    std::vector<RncToken> tokens = {run(16), lit()};
    tokens.insert(tokens.end(), 16, match(255, 17));
    for (int h = 0; h < 16; ++h) {
        const int length[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 100, 200, 255, 3, 4, 5, 6};
        if (h == 5 || h == 10 || h == 15)
            tokens.push_back(lit());
        tokens.push_back(match(length[h], h * 256 + 17 * h + 1));
    }
    for (RncToken t : {match(2, 256), match(2, 1), run(12), match(3, 4096), chunk_end(), run(72), run(40),
                       match(255, 1), match(9, 4000), lit(), chunk_end()})
        tokens.push_back(t);
    // The vector was made with the exact minimum leeway plus 2 (3); the
    // usual flag-byte rule gives 2 here, which is still safe.
    const Bytes written = rnc_write(data, tokens, true);
    Bytes expected = every_code_packed;
    expected[16] = 2;
    EXPECT_EQ(written, expected);
}

TEST(RncUnpack, DecodesKnownFiles)
{
    UnpackResult r = rnc_unpack(forty_a_locked);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.data, Bytes(40, 'A'));
    r = rnc_unpack(sentence_packed);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.data, bytes_of(sentence));
}

// ---------------------------------------------------------------- packing

TEST(RncPack, SmallestCases)
{
    EXPECT_EQ(expect_round_trip({}), 20u);
    EXPECT_EQ(expect_round_trip({0x42}), 21u);
    expect_round_trip({1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(expect_round_trip(Bytes(25, 0x7F)), 24u) << "shortest input that packs";
    EXPECT_EQ(expect_round_trip(Bytes(40, 'A')), forty_a_locked.size());
    EXPECT_LE(expect_round_trip(bytes_of(sentence)), sentence_packed.size());
}

TEST(RncPack, VariedInputsRoundTrip)
{
    Bytes all_values(256);
    for (int i = 0; i < 256; ++i)
        all_values[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    Bytes text;
    while (text.size() < 5000)
        text.insert(text.end(), sentence.begin(), sentence.begin() + static_cast<std::ptrdiff_t>(text.size() % 50 + 10));

    expect_round_trip(all_values);
    expect_round_trip(Bytes(1000, 0));
    expect_round_trip(text);
    expect_round_trip(test_support::seeded_bytes(3000, 1, 4));
    expect_round_trip(patchwork(9000, 2));
    // Incompressible data grows by about one flag bit per 72-byte run.
    const std::size_t random_size = expect_round_trip(test_support::seeded_bytes(4000, 3));
    EXPECT_LE(random_size, 18 + 4000 + 4000 / 72 * 9 / 8 + 64);
}

TEST(RncPack, SizesAroundTheChunkSize)
{
    for (std::size_t size : {12287u, 12288u, 12289u, 24576u, 24577u}) {
        SCOPED_TRACE(size);
        expect_round_trip(patchwork(size, static_cast<unsigned>(size)));
    }
    expect_round_trip(Bytes(12289, 0xFF));
}

TEST(RncPack, FortyEightKilobytes)
{
    Bytes mix = patchwork(32768, 7);
    const Bytes noise = test_support::seeded_bytes(8192, 8);
    mix.insert(mix.end(), noise.begin(), noise.end());
    mix.resize(49152, 0xFF);
    expect_round_trip(mix);
}

// A well packed head and a long incompressible tail need a margin beyond
// one byte: the leeway byte then holds the most it can rather than wrap.
TEST(RncPack, LeewayBeyondOneByteSaturates)
{
    Bytes input(8192, 0);
    const Bytes noise = test_support::seeded_bytes(40000, 9);
    input.insert(input.end(), noise.begin(), noise.end());
    const Bytes packed = rnc_pack(input);
    const UnpackResult r = rnc_unpack(packed);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_GT(r.leeway_needed, 255u);
    EXPECT_EQ(packed[16], 255);
}

TEST(RncPack, RealMsxBinaries)
{
    std::vector<std::filesystem::path> files;
    for (const char* name : {"hello.bin", "hello.bas"})
        files.push_back(std::filesystem::path(EXAMPLES_DIR) / name);
    for (const char* name : {"cbios_main_msx2.rom", "cbios_sub.rom", "cbios_music.rom"})
        files.push_back(std::filesystem::path("/usr/share/cbios") / name);
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const Bytes input = read_binary(file);
        ASSERT_FALSE(input.empty());
        EXPECT_EQ(expect_round_trip(input), rnc_packed_size_bound(input)) << "provably optimal";
    }
}

// ------------------------------------------------------------ optimality

// The nearest offset of every length, by trying every offset.
TEST(RncFindMatches, AgreesWithExhaustiveSearch)
{
    Bytes input = test_support::seeded_bytes(3000, 11, 3);
    const Bytes runs = patchwork(3500, 12);
    input.insert(input.end(), runs.begin(), runs.end());
    input.insert(input.end(), 600, 0x55);
    const RncMatchTable table = rnc_find_matches(input);
    ASSERT_EQ(table.first.size(), input.size() + 1);
    for (std::size_t pos = 0; pos < input.size(); ++pos) {
        std::vector<RncMatch> expected;
        std::size_t best = 1;
        for (std::size_t offset = 1; offset <= std::min<std::size_t>(pos, 4096); ++offset) {
            std::size_t length = 0;
            while (length < 255 && pos + length < input.size() && input[pos + length] == input[pos + length - offset])
                ++length;
            if (length > best) {
                best = length;
                expected.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(offset)});
            }
        }
        const std::vector<RncMatch> found(table.matches.begin() + table.first[pos],
                                          table.matches.begin() + table.first[pos + 1]);
        ASSERT_EQ(found.size(), expected.size()) << "at " << pos;
        for (std::size_t i = 0; i < found.size(); ++i) {
            ASSERT_EQ(found[i].length, expected[i].length) << "at " << pos;
            ASSERT_EQ(found[i].offset, expected[i].offset) << "at " << pos;
        }
    }
}

// Fewest bits to encode `input` in one chunk, by a plain shortest path
// trying every offset: the packer's stream must be exactly this long.
std::size_t exhaustive_stream_size(const Bytes& input)
{
    auto offset_bits = [](std::size_t offset) -> std::size_t {
        const std::size_t h = (offset - 1) >> 8;
        return h == 0 ? 1 : h == 1 ? 3 : h < 4 ? 4 : h < 8 ? 5 : 6;
    };
    const std::size_t n = input.size();
    std::vector<std::size_t> bits(n + 1, SIZE_MAX);
    bits[0] = 2;
    for (std::size_t pos = 0; pos < n; ++pos) {
        auto relax = [&](std::size_t end, std::size_t cost) {
            if (end <= n)
                bits[end] = std::min(bits[end], bits[pos] + cost);
        };
        relax(pos + 1, 9);
        for (std::size_t k = 12; k <= 72; k += 4)
            relax(pos + k, 9 + 8 * k);
        bool longest_found = false;  // farther offsets then cost more for every length
        for (std::size_t offset = 1; offset <= std::min<std::size_t>(pos, 4096) && !longest_found; ++offset) {
            for (std::size_t length = 1; length <= 255 && pos + length <= n; ++length) {
                if (input[pos + length - 1] != input[pos + length - 1 - offset])
                    break;
                longest_found = length == 255 || pos + length == n;
                const std::size_t h = offset_bits(offset) + 8;
                if (length == 2 && offset <= 256)
                    relax(pos + 2, 11);
                else if (length >= 3)
                    relax(pos + length, length <= 5 ? 4 + h : length <= 8 ? 5 + h : 12 + h);
            }
        }
    }
    return (bits[n] + 13 + 7) / 8;
}

TEST(RncParse, OneChunkIsAsShortAsAnExhaustiveSearchFinds)
{
    for (unsigned seed = 0; seed < 4; ++seed) {
        SCOPED_TRACE(seed);
        const Bytes input = seed % 2 ? patchwork(2500, seed) : test_support::seeded_bytes(2000, seed, 2 + seed);
        EXPECT_EQ(rnc_pack(input).size() - 18, exhaustive_stream_size(input));
    }
}

// A long stretch of one value across the chunk mark: a chunk end placed
// well costs only its 13 bits beyond one chunk of unlimited size.
TEST(RncParse, ChunkEndsCostNoMoreThanTheirCode)
{
    Bytes input = patchwork(11000, 5);
    input.resize(14000, 0xAA);
    const std::size_t two_chunks = rnc_pack(input).size() - 18;
    EXPECT_LE(two_chunks * 8, exhaustive_stream_size(input) * 8 + 13 + 7);
}

// Inputs just short of two full chunks leave the chunk end little room: the
// packer must do as well as the best of every possible place.
TEST(RncParse, ChunkEndsAreTheBestOfEveryPlacement)
{
    for (const Bytes& input : {Bytes(24570, 0), patchwork(24566, 31)}) {
        const auto size = static_cast<std::uint32_t>(input.size());
        std::size_t best = SIZE_MAX;
        for (std::uint32_t end = size - 12288; end <= 12288; ++end) {
            const std::vector<std::uint32_t> ends = {end, size};
            const std::vector<RncToken> tokens = rnc_parse_with_chunk_ends(input, ends);
            expect_valid_tokens(input, tokens);
            best = std::min(best, rnc_write(input, tokens, true).size());
        }
        EXPECT_LE(rnc_pack(input).size(), best) << size;
    }
}

// --------------------------------------------------------- malformed data

void expect_rejected(const Bytes& packed, const char* what)
{
    const UnpackResult r = rnc_unpack(packed);
    EXPECT_FALSE(r.ok()) << what;
    EXPECT_TRUE(r.data.empty()) << what;
}

TEST(RncUnpack, RejectsBadHeadersAndLengths)
{
    const Bytes good = rnc_pack(patchwork(3000, 21));
    ASSERT_TRUE(rnc_unpack(good).ok());

    for (std::size_t size = 0; size < good.size(); ++size)
        expect_rejected(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)), "truncated");
    Bytes longer = good;
    longer.push_back(0);
    expect_rejected(longer, "trailing byte");

    Bytes b = good;
    b[0] = 'r';
    expect_rejected(b, "signature");
    b = good;
    b[3] = 1;
    expect_rejected(b, "method");
    for (std::uint32_t u : {0u, 2999u, 3001u, 0xFFFFFFFFu}) {
        b = good;
        set_be(b, 4, u, 4);
        expect_rejected(b, "unpacked length");
    }
    b = good;
    set_be(b, 8, be32(good, 8) + 1, 4);
    expect_rejected(b, "packed length");
    b = good;
    b[12] ^= 1;
    expect_rejected(b, "unpacked CRC");
    b = good;
    b[15] ^= 1;
    expect_rejected(b, "packed CRC");
    b = good;
    b[17] += 1;
    expect_rejected(b, "chunk count");
    b = good;
    b[18] |= 0x40;
    fix_packed_crc(b);
    expect_rejected(b, "key bit");

    // A header that is consistent with an empty stream, and nothing after
    // it: the byte past it is never read (it says "encrypted" here).
    const Bytes memory = {'R', 'N', 'C', 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40};
    const UnpackResult alone = rnc_unpack(std::span(memory).first(18));
    EXPECT_FALSE(alone.ok());
    EXPECT_EQ(alone.error.find("encrypted"), std::string::npos) << alone.error;
    expect_rejected(Bytes(memory.begin(), memory.begin() + 18), "header alone");
}

TEST(RncUnpack, RejectsFlippedBitsAndCutStreams)
{
    const Bytes good = rnc_pack(patchwork(600, 22));
    for (std::size_t i = 18 * 8; i < good.size() * 8; ++i) {
        Bytes b = good;
        b[i / 8] ^= static_cast<std::uint8_t>(1u << (i % 8));
        expect_rejected(b, "flipped bit, CRC not mended");
        fix_packed_crc(b);
        const UnpackResult r = rnc_unpack(b);
        EXPECT_TRUE(!r.ok() || r.data.size() == 600);
    }
    // A stream cut short with the header made consistent again.
    for (std::size_t size = 19; size < good.size(); ++size) {
        Bytes b(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        set_be(b, 8, static_cast<std::uint32_t>(size - 18), 4);
        fix_packed_crc(b);
        expect_rejected(b, "cut stream");
    }
}

// Random mutations with the packed CRC mended: whatever the stream holds,
// the decoder ends with an error or with data of the declared length.
TEST(RncUnpack, SurvivesRandomMutations)
{
    std::mt19937 rng(99);
    const Bytes good = rnc_pack(patchwork(2000, 23));
    for (int round = 0; round < 3000; ++round) {
        Bytes b = good;
        const int changes = 1 + static_cast<int>(rng() % 4);
        for (int c = 0; c < changes; ++c)
            b[18 + rng() % (b.size() - 18)] = static_cast<std::uint8_t>(rng());
        if (rng() % 4 == 0)
            set_be(b, 4, rng() % 5000, 4);
        fix_packed_crc(b);
        const UnpackResult r = rnc_unpack(b);
        if (r.ok())
            EXPECT_EQ(r.data.size(), be32(b, 4));
        else
            EXPECT_TRUE(r.data.empty());
    }
}

}  // namespace
