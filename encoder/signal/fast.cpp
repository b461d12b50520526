#include "signal/fast.h"

#include <algorithm>
#include <bit>

#include "signal/cells.h"
#include "signal/standard.h"

std::array<RankEntry, 256> rank_table;

namespace {

// rank_of[byte] is the rank that byte holds in rank_table.
std::array<std::uint8_t, 256> rank_of;

}  // namespace

void emit_start_mark(int mode)
{
    if (const SignalCells* cells = signal_cells(mode))
        emit_waveform(cells->start_mark);
}

void emit_end_mark(int mode)
{
    if (const SignalCells* cells = signal_cells(mode))
        emit_waveform(cells->end_mark);
}

void emit_value(std::uint8_t value, int mode)
{
    emit_start_mark(mode);
    int bits = std::bit_width(unsigned(value));
    if (bits == 0)
        emit_bit0(mode);
    for (int bit = bits - 1; bit >= 0; --bit) {
        if (value & (1 << bit))
            emit_bit1(mode);
        else
            emit_bit0(mode);
    }
    emit_end_mark(mode);
}

void build_rank_table(std::span<const std::uint8_t> payload)
{
    // Codes depend on the rank only: lengths 1 to 7 hold 2, 4, ... 128 ranks
    // each (ranks 2^L - 2 to 2^(L+1) - 3), the last two ranks take length 8.
    for (int rank = 0; rank < 256; ++rank) {
        int length = std::min(8, int(std::bit_width(unsigned(rank + 2))) - 1);
        rank_table[rank].code_length = length;
        rank_table[rank].code = rank - ((1 << length) - 2);
        rank_table[rank].byte_value = rank;
        rank_table[rank].count = 0;
    }
    for (std::uint8_t byte : payload)
        ++rank_table[byte].count;

    // A stable sort by descending count: the same order as an exchange sort
    // that swaps neighbours only when the earlier count is strictly smaller.
    // Byte values and counts move; lengths and codes stay with the rank.
    std::array<RankEntry, 256> sorted = rank_table;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const RankEntry& a, const RankEntry& b) { return a.count > b.count; });
    for (int rank = 0; rank < 256; ++rank) {
        rank_table[rank].byte_value = sorted[rank].byte_value;
        rank_table[rank].count = sorted[rank].count;
        rank_of[std::size_t(sorted[rank].byte_value)] = std::uint8_t(rank);
    }
}

void emit_rank_table(std::span<const std::uint8_t> payload, int mode)
{
    build_rank_table(payload);
    for (const RankEntry& entry : rank_table)
        emit_value(std::uint8_t(entry.byte_value), mode);
}

int rank_code_length(std::uint8_t value)
{
    return rank_table[rank_of[value]].code_length;
}

void emit_ranked_byte(std::uint8_t value, int mode)
{
    const RankEntry& entry = rank_table[rank_of[value]];
    emit_start_mark(mode);
    for (int bit = entry.code_length - 1; bit >= 0; --bit) {
        if (entry.code & (1 << bit))
            emit_bit1(mode);
        else
            emit_bit0(mode);
    }
    emit_end_mark(mode);
}
