#pragma once
// Packer for method-2 packed data.
//
// Packed data is an 18-byte header followed by a stream:
//   0  "RNC" 0x02           signature and method
//   4  U      (be32)        unpacked length
//   8  P      (be32)        stream length, header not counted
//   12 crc(unpacked) (be16), 14 crc(stream) (be16)
//   16 leeway               margin for decoding in place
//   17 chunk count
//   18 stream[P]            flag bits (8 per flag byte, MSB first) and data bytes
// The stream starts with the lock bit and the key bit, then the tokens of
// each chunk, each chunk closed by an end-of-chunk code and a continuation bit.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Method-2 packed data with its 18-byte header, whatever its size (never the
// input returned raw). The lock bit is set and literals are not encrypted.
// The parse is a shortest path over the exact bit costs of every token.
// Chunk ends are chosen against a lower bound of the rest; when that misses
// the bound, every placement with the fewest chunks that could do better is
// searched exactly and the cheaper of the two plans is kept. Inputs that
// need more than 255 chunks (over 3 MB) throw std::length_error.
std::vector<std::uint8_t> rnc_pack(std::span<const std::uint8_t> input);

// The pieces below are the packer's stages, open to the tests and the
// benchmark.

// CRC-16 of both header checksums: reflected polynomial 0xA001, initial
// value 0, no final XOR.
std::uint16_t rnc_crc16(std::span<const std::uint8_t> bytes);

enum class RncTokenKind : std::uint8_t { literal, run, match, chunk_end };

// literal: length 1; run: 12..72 bytes in steps of 4; match: length 2..255
// from `offset` (1..4096, 1..256 for length 2) back; chunk_end: the last one
// in a token list gets continuation bit 0, the others 1.
struct RncToken {
    RncTokenKind kind;
    std::uint16_t length;
    std::uint16_t offset;
};

// For each position p, the nearest offset of every reachable match length:
// entries first[p] to first[p + 1] of `matches`, lengths increasing; the
// nearest offset for a length L is that of the first entry whose length is
// at least L. Offsets reach 4096 back; lengths are capped at 255.
struct RncMatch {
    std::uint16_t length;
    std::uint16_t offset;
};
struct RncMatchTable {
    std::vector<RncMatch> matches;
    std::vector<std::uint32_t> first;
};
RncMatchTable rnc_find_matches(std::span<const std::uint8_t> input);

// The optimal token list for `input`, chunk ends included.
std::vector<RncToken> rnc_parse(std::span<const std::uint8_t> input);

// A size no method-2 data for `input` can go below, header included: the
// cheapest parse with no chunk limit plus the fewest end-of-chunk codes.
// rnc_pack reaching it proves its result optimal.
std::size_t rnc_packed_size_bound(std::span<const std::uint8_t> input);

// The optimal token list for `input` when its chunks end at `ends`
// (increasing, the last one the input's size, none more than 12,288 bytes
// after the one before).
std::vector<RncToken> rnc_parse_with_chunk_ends(std::span<const std::uint8_t> input,
                                                std::span<const std::uint32_t> ends);

// Header and stream for `tokens`, which must decode to exactly `input`.
// The leeway written is the usual one (from the flag bytes as they fill, plus
// 2), never below the exact minimum, at most 255.
std::vector<std::uint8_t> rnc_write(std::span<const std::uint8_t> input,
                                    std::span<const RncToken> tokens, bool lock);
