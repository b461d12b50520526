#pragma once
// Packer for tpk data, an LZ77 format with the whole input as window, a
// repeat of the last offset and variable-length codes, for a Z80 decoder.
//
// Packed data is a 6-byte header followed by a stream:
//   0  U      (le16)   unpacked length
//   2  crc(unpacked) (le16), 4 crc(stream) (le16), both the CRC-16 of method 2
//   6  stream          flag bits (8 per flag byte, most significant first,
//                      a new flag byte taken only when a bit is needed and
//                      the last one is used up) and data bytes between them
// The stream is a sequence of tokens; what may come next depends on the
// token before:
//   after a match, and at the start:
//     0  literals: G(n), then n data bytes
//     1  match with a new offset
//   after literals:
//     0  match with a new offset
//     1  match with the last offset: G(length)
//   match with a new offset: data byte 2L + n, G(H) only when n = 0, then
//     G(length - 1), where offset = H*128 + L + 1 (1 to 49152, never beyond
//     the output so far; n = 1 says H = 0) and length >= 2; a data byte 0
//     and G(H) = 511 instead end the stream.
// G(v), v >= 1, is an interleaved gamma code: for each bit of v below its
// leading 1, most significant first, a 0 and then that bit; then a 1.
// A match copies byte by byte forward, so offsets below the length repeat.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::size_t tpk_header_size = 6;
// The largest input: what an MSX can hold of a program, and the largest
// offset a match can reach.
inline constexpr std::size_t tpk_max_input = 49152;

// Packed data with its header, whatever its size.  The parse is a shortest
// path over the exact bit cost of each token; as the last offset a path
// brings decides what its repeats cost, each position keeps the cheapest few
// ways in with different last offsets (so it is close to optimal, not
// proven so).  Inputs above tpk_max_input throw std::length_error.
std::vector<std::uint8_t> tpk_pack(std::span<const std::uint8_t> input);

enum class TpkTokenKind : std::uint8_t { literals, match, repeat };

struct TpkToken {
    TpkTokenKind kind;
    std::uint32_t length;  // bytes restored
    std::uint32_t offset;  // match: 1 to 49152; repeat: the last offset
};

// The token list tpk_pack writes for `input`.
std::vector<TpkToken> tpk_parse(std::span<const std::uint8_t> input);

// Header and stream for `tokens`, which must follow the grammar above and
// decode to exactly `input`.
std::vector<std::uint8_t> tpk_write(std::span<const std::uint8_t> input, std::span<const TpkToken> tokens);
