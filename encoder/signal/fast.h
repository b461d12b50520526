#pragma once
// The fast formats: units framed by a start mark and an end mark instead of
// start and stop bits, values in a plain binary code, and payload bytes
// replaced by their rank in a frequency table that is sent with each file.

#include <array>
#include <cstdint>
#include <span>

struct RankEntry {
    std::int32_t code_length = 0;  // cells of the rank code, 1 to 8
    std::int32_t code = 0;         // sent in code_length cells, leading zeros included
    std::int32_t byte_value = 0;   // the payload byte holding this rank
    std::int32_t count = 0;        // its occurrences in the payload
};

// Rebuilt for each file; index = rank.
extern std::array<RankEntry, 256> rank_table;

void emit_start_mark(int mode);
void emit_end_mark(int mode);

// A value 0 to 255: start mark, its significant bits most significant first
// (one 0 cell for the value 0), end mark.
void emit_value(std::uint8_t value, int mode);

// Ranks the bytes of `payload` by count, most frequent first; bytes of equal
// count (and bytes that don't occur) keep ascending byte order.
void build_rank_table(std::span<const std::uint8_t> payload);

// Builds the table from `payload`, then sends the 256 ranked byte values,
// rank 0 first.
void emit_rank_table(std::span<const std::uint8_t> payload, int mode);

// Cells of the rank code of `value` in the table built last.
int rank_code_length(std::uint8_t value);

// A payload byte in rank code: start mark, the code of its rank, end mark.
void emit_ranked_byte(std::uint8_t value, int mode);
