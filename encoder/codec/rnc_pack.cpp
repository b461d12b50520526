#include "codec/rnc_pack.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <optional>
#include <stdexcept>

namespace {

constexpr std::size_t chunk_limit = 12288;  // unpacked bytes per chunk at most
constexpr std::uint32_t window = 4096;      // farthest offset of lengths 3 and up
constexpr std::uint32_t short_window = 256; // farthest offset of length 2
constexpr std::uint32_t max_match = 255;    // longest match a decoder with 8-bit counts takes
constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();

// ---------------------------------------------------------------- bit costs
//
// A token's cost counts its flag bits and its data bytes (8 bits each). The
// stream's length is ceil(flag bits / 8) + data bytes, which is the sum of
// all costs divided by 8 and rounded up, so the fewest bits is the smallest
// stream.

// Offset high part H = (offset - 1) >> 8 is sent as a prefix code of 1 (H=0),
// 3 (H=1), 4 (H=2,3), 5 (H=4..7) or 6 (H=8..15) bits, then the low byte.
constexpr std::array<std::uint8_t, 16> offset_code = {
    0b0,      0b110,    0b1000,   0b1001,   0b10101,  0b10111,  0b11101,  0b11111,
    0b101000, 0b101001, 0b101100, 0b101101, 0b111000, 0b111001, 0b111100, 0b111101};
constexpr std::array<std::uint8_t, 16> offset_code_bits = {1, 3, 4, 4, 5, 5, 5, 5,
                                                           6, 6, 6, 6, 6, 6, 6, 6};

constexpr std::uint32_t literal_bits = 1 + 8;
constexpr std::uint32_t chunk_end_bits = 4 + 8 + 1;  // 1111, byte 0, continuation bit

constexpr std::uint32_t run_bits(std::uint32_t length)
{
    return 5 + 4 + 8 * length;  // 10111, 4-bit count, the bytes
}

constexpr std::uint32_t match_bits(std::uint32_t length, std::uint32_t offset)
{
    if (length == 2)
        return 3 + 8;  // 110, offset - 1 as a byte
    const std::uint32_t h = offset_code_bits[(offset - 1) >> 8] + 8u;
    if (length <= 5)
        return 4 + h;  // 1110, 1000, 1010
    if (length <= 8)
        return 5 + h;  // 10010, 10011, 10110
    return 4 + 8 + h;  // 1111, length - 8 as a byte
}

// Path costs compare bits first and the number of tokens second: among
// parses of equal size the one with fewer tokens decodes faster on the Z80.
using Cost = std::uint64_t;
constexpr Cost unreachable = std::numeric_limits<Cost>::max();
constexpr int token_count_bits = 24;

constexpr Cost edge_cost(std::uint32_t bits)
{
    return (Cost{bits} << token_count_bits) + 1;
}

constexpr Cost bits_cost(std::uint32_t bits)
{
    return Cost{bits} << token_count_bits;
}

// ------------------------------------------------------------- match finder
//
// One binary search tree of suffixes per two-byte prefix, ordered by content
// and, as each new position becomes the root, by age: ancestors are newer
// than their descendants. The newest suffix sharing at least L bytes with
// the current one then lies on the search path for every L, so walking the
// path from the root yields the nearest offset of every length.

struct SuffixTrees {
    // Input bytes followed by max_match distinct values above 255, so that
    // comparisons never run past the end of the input.
    std::vector<std::uint16_t> symbols;
    std::vector<std::uint32_t> roots;
    std::vector<std::uint32_t> smaller;  // per position: subtree of smaller suffixes
    std::vector<std::uint32_t> larger;
};

SuffixTrees make_suffix_trees(std::span<const std::uint8_t> input)
{
    SuffixTrees trees;
    trees.symbols.assign(input.begin(), input.end());
    for (std::uint32_t k = 0; k <= max_match; ++k)
        trees.symbols.push_back(static_cast<std::uint16_t>(256 + k));
    trees.roots.assign(65536, none);
    trees.smaller.assign(input.size(), none);
    trees.larger.assign(input.size(), none);
    return trees;
}

// Inserts position `pos` as the root of its tree and appends its matches
// (length, offset) with increasing lengths to `out`.
void insert_and_find(SuffixTrees& trees, std::uint32_t pos, std::vector<RncMatch>& out)
{
    const std::uint16_t* sym = trees.symbols.data();
    std::uint32_t& root = trees.roots[(sym[pos] << 8) | sym[pos + 1]];
    std::uint32_t candidate = root;
    root = pos;

    // Where the next suffix found smaller (larger) than pos is hung, and how
    // many bytes pos shares with the nearest smaller (larger) suffix so far.
    std::uint32_t* smaller_link = &trees.smaller[pos];
    std::uint32_t* larger_link = &trees.larger[pos];
    std::uint32_t smaller_common = 2, larger_common = 2;
    std::uint32_t best = 1;

    while (candidate != none && pos - candidate <= window) {
        std::uint32_t length = std::min(smaller_common, larger_common);
        while (length < max_match && sym[candidate + length] == sym[pos + length])
            ++length;
        if (length > best) {
            best = length;
            out.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(pos - candidate)});
        }
        if (length == max_match) {
            // Same first 255 bytes: pos is as good and nearer, so it takes
            // the candidate's place in the tree.
            *smaller_link = trees.smaller[candidate];
            *larger_link = trees.larger[candidate];
            return;
        }
        if (sym[candidate + length] < sym[pos + length]) {
            *smaller_link = candidate;
            smaller_link = &trees.larger[candidate];
            candidate = *smaller_link;
            smaller_common = length;
        } else {
            *larger_link = candidate;
            larger_link = &trees.smaller[candidate];
            candidate = *larger_link;
            larger_common = length;
        }
    }
    *smaller_link = none;
    *larger_link = none;
}

// ------------------------------------------------------------------ parsing

// Calls visit(end, cost, token) for every token that can start at `pos`
// and end at or before `limit`.
template <typename Visit>
void for_each_token(const RncMatchTable& table, std::uint32_t pos, std::uint32_t limit, Visit&& visit)
{
    visit(pos + 1, edge_cost(literal_bits), RncToken{RncTokenKind::literal, 1, 0});
    for (std::uint32_t length = 12; length <= 72 && pos + length <= limit; length += 4)
        visit(pos + length, edge_cost(run_bits(length)),
              RncToken{RncTokenKind::run, static_cast<std::uint16_t>(length), 0});

    std::uint32_t length = 2;
    const std::uint32_t longest = limit - pos;
    for (std::uint32_t i = table.first[pos]; i < table.first[pos + 1] && length <= longest; ++i) {
        const RncMatch m = table.matches[i];
        if (length == 2 && m.offset > short_window)
            length = 3;
        const std::uint32_t last = std::min<std::uint32_t>(m.length, longest);
        for (; length <= last; ++length)
            visit(pos + length, edge_cost(match_bits(length, m.offset)),
                  RncToken{RncTokenKind::match, static_cast<std::uint16_t>(length), m.offset});
    }
}

// Cheapest cost from every position to the end of the input, chunk ends not
// counted: a lower bound on what the rest of the input costs.
std::vector<Cost> costs_to_end(const RncMatchTable& table, std::uint32_t size)
{
    std::vector<Cost> to_end(size + 1, unreachable);
    to_end[size] = 0;
    for (std::uint32_t pos = size; pos-- > 0;) {
        Cost best = unreachable;
        for_each_token(table, pos, size, [&](std::uint32_t end, Cost cost, const RncToken&) {
            best = std::min(best, cost + to_end[end]);
        });
        to_end[pos] = best;
    }
    return to_end;
}

struct ChunkPaths {
    std::vector<Cost> cost;  // from the chunk start, indexed by position
    std::vector<std::uint32_t> from;
    std::vector<RncToken> token;
};

// Shortest paths from `start` to every position up to `limit`, with no
// token crossing `limit`.
void shortest_paths(const RncMatchTable& table, std::uint32_t start, std::uint32_t limit, ChunkPaths& paths)
{
    std::fill(paths.cost.begin() + start, paths.cost.begin() + limit + 1, unreachable);
    paths.cost[start] = 0;
    for (std::uint32_t pos = start; pos < limit; ++pos) {
        const Cost here = paths.cost[pos];
        for_each_token(table, pos, limit, [&](std::uint32_t end, Cost cost, const RncToken& token) {
            if (here + cost < paths.cost[end]) {
                paths.cost[end] = here + cost;
                paths.from[end] = pos;
                paths.token[end] = token;
            }
        });
    }
}

std::uint32_t chunks_needed(std::uint32_t bytes)
{
    return static_cast<std::uint32_t>((bytes + chunk_limit - 1) / chunk_limit);
}

struct Parse {
    std::uint32_t size = 0;
    RncMatchTable table;
    std::vector<Cost> from_start;  // cheapest unchunked cost from 0 to each position
    std::vector<Cost> to_end;      // and from each position to the end
    ChunkPaths paths;
};

// Every chunk costs its tokens and its end code; the lower bound is the
// cheapest unchunked path plus the fewest end codes.
struct ChunkPlan {
    std::vector<std::uint32_t> ends;
    Cost cost = unreachable;
    std::vector<RncToken> tokens;  // when already known
};

// Appends the tokens of the cheapest path from `start` to `end` that the
// last shortest_paths call found, then the chunk's end code.
void append_chunk(const ChunkPaths& paths, std::uint32_t start, std::uint32_t end, std::vector<RncToken>& tokens)
{
    const std::size_t first = tokens.size();
    for (std::uint32_t pos = end; pos != start; pos = paths.from[pos])
        tokens.push_back(paths.token[pos]);
    std::reverse(tokens.begin() + static_cast<std::ptrdiff_t>(first), tokens.end());
    tokens.push_back({RncTokenKind::chunk_end, 0, 0});
}

Cost lower_bound(const Parse& parse)
{
    return parse.to_end[0] + bits_cost(chunk_end_bits * std::max(chunks_needed(parse.size), 1u));
}

// Chunk by chunk, the end that minimises the chunk's cost plus a lower
// bound of everything after it (the cheapest unchunked path and the fewest
// end codes still needed). Usually optimal; it cannot foresee that later
// chunks may have to end at costly places.
ChunkPlan plan_by_lookahead(Parse& parse)
{
    ChunkPlan plan;
    plan.cost = 0;
    std::uint32_t start = 0;
    for (;;) {
        const auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(parse.size, start + chunk_limit));
        shortest_paths(parse.table, start, limit, parse.paths);
        std::uint32_t end = parse.size;
        if (limit < parse.size) {
            Cost best = unreachable;
            for (std::uint32_t e = limit; e > start; --e) {
                const Cost total = parse.paths.cost[e] + parse.to_end[e] +
                                   bits_cost(chunk_end_bits * chunks_needed(parse.size - e));
                if (total < best) {
                    best = total;
                    end = e;
                }
            }
        }
        plan.ends.push_back(end);
        plan.cost += parse.paths.cost[end] + bits_cost(chunk_end_bits);
        append_chunk(parse.paths, start, end, plan.tokens);
        if (end == parse.size)
            return plan;
        start = end;
    }
}

// Cheapest cost from each of `starts` (increasing) to each of `ends`
// (increasing), over chunks of at most chunk_limit bytes. A path from a
// later start soon costs the same as the path from the first start plus a
// constant: once that holds for 255 positions in a row (the longest token)
// it holds for good, so each later start is followed only that far.
// Returns nothing when `budget` positions do not suffice.
std::optional<std::vector<std::vector<Cost>>> costs_between(const Parse& parse, const std::vector<std::uint32_t>& starts,
                                                           const std::vector<std::uint32_t>& ends, std::uint64_t& budget)
{
    const std::uint32_t first = starts.front();
    const std::uint32_t last = ends.back();
    auto run_from = [&](std::uint32_t start, std::vector<Cost>& dist, const std::vector<Cost>* reference,
                        std::int64_t& shift) -> std::uint32_t {
        dist.assign(last - start + 1, unreachable);
        dist[0] = 0;
        std::uint32_t steady = 0;
        for (std::uint32_t pos = start; pos <= last; ++pos) {
            if (budget-- == 0)
                return none;
            const Cost here = dist[pos - start];
            if (reference) {
                const auto delta = static_cast<std::int64_t>(here) - static_cast<std::int64_t>((*reference)[pos - first]);
                steady = steady > 0 && delta == shift ? steady + 1 : 1;
                shift = delta;
                if (steady == max_match)
                    return pos;
            }
            for_each_token(parse.table, pos, last, [&](std::uint32_t end, Cost cost, const RncToken&) {
                dist[end - start] = std::min(dist[end - start], here + cost);
            });
        }
        return last;
    };

    std::vector<Cost> reference, dist;
    std::int64_t shift = 0;
    if (run_from(first, reference, nullptr, shift) == none)
        return std::nullopt;
    std::vector<std::vector<Cost>> costs(starts.size(), std::vector<Cost>(ends.size(), unreachable));
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::uint32_t start = starts[i];
        const std::uint32_t exact_until = i == 0 ? last : run_from(start, dist, &reference, shift);
        if (exact_until == none)
            return std::nullopt;
        for (std::size_t j = 0; j < ends.size(); ++j) {
            const std::uint32_t end = ends[j];
            if (end <= start || end - start > chunk_limit)
                continue;
            costs[i][j] = i == 0                ? reference[end - first]
                          : end <= exact_until ? dist[end - start]
                                               : static_cast<Cost>(static_cast<std::int64_t>(reference[end - first]) + shift);
        }
    }
    return costs;
}

// The best plan with the fewest chunks, found exactly: every chunk end lies
// in a window fixed by the input's size, and only ends through which some
// path could beat `incumbent` are tried. Nothing when none beats it or the
// search grows too large.
std::optional<ChunkPlan> plan_fewest_chunks(const Parse& parse, Cost incumbent)
{
    constexpr std::size_t max_candidates = 1024;  // per chunk end
    const std::uint32_t chunks = chunks_needed(parse.size);
    if (chunks < 2)
        return std::nullopt;
    const Cost end_codes = bits_cost(chunk_end_bits * chunks);
    std::vector<std::vector<std::uint32_t>> candidates(chunks + 1);
    candidates[0] = {0};
    candidates[chunks] = {parse.size};
    for (std::uint32_t k = 1; k < chunks; ++k) {
        for (std::uint32_t e = parse.size - (chunks - k) * static_cast<std::uint32_t>(chunk_limit);
             e <= k * chunk_limit; ++e) {
            if (parse.from_start[e] + parse.to_end[e] + end_codes < incumbent)
                candidates[k].push_back(e);
        }
        if (candidates[k].empty() || candidates[k].size() > max_candidates)
            return std::nullopt;
    }

    std::uint64_t budget = 8ull * parse.size + 65536;
    std::vector<std::vector<Cost>> best(chunks + 1);
    std::vector<std::vector<std::size_t>> back(chunks + 1);
    best[0] = {0};
    for (std::uint32_t k = 1; k <= chunks; ++k) {
        const auto costs = costs_between(parse, candidates[k - 1], candidates[k], budget);
        if (!costs)
            return std::nullopt;
        best[k].assign(candidates[k].size(), unreachable);
        back[k].assign(candidates[k].size(), 0);
        for (std::size_t i = 0; i < candidates[k - 1].size(); ++i) {
            for (std::size_t j = 0; j < candidates[k].size(); ++j) {
                if (best[k - 1][i] == unreachable || (*costs)[i][j] == unreachable)
                    continue;
                const Cost total = best[k - 1][i] + (*costs)[i][j] + bits_cost(chunk_end_bits);
                if (total < best[k][j]) {
                    best[k][j] = total;
                    back[k][j] = i;
                }
            }
        }
    }
    if (best[chunks][0] >= incumbent)
        return std::nullopt;
    ChunkPlan plan;
    plan.cost = best[chunks][0];
    plan.ends.resize(chunks);
    for (std::size_t k = chunks, j = 0; k > 0; --k) {
        plan.ends[k - 1] = candidates[k][j];
        j = back[k][j];
    }
    return plan;
}

std::vector<RncToken> tokens_for_plan(Parse& parse, const std::vector<std::uint32_t>& ends)
{
    std::vector<RncToken> tokens;
    std::uint32_t start = 0;
    for (std::uint32_t end : ends) {
        shortest_paths(parse.table, start, end, parse.paths);
        append_chunk(parse.paths, start, end, tokens);
        start = end;
    }
    return tokens;
}

Parse make_parse(std::span<const std::uint8_t> input)
{
    Parse parse;
    parse.size = static_cast<std::uint32_t>(input.size());
    parse.table = rnc_find_matches(input);
    parse.paths.cost.resize(parse.size + 1);
    parse.paths.from.resize(parse.size + 1);
    parse.paths.token.resize(parse.size + 1);
    return parse;
}

// ------------------------------------------------------------------ writing
//
// A decoder takes a new flag byte from the stream only when it needs a bit
// and the current flag byte is used up, and takes data bytes from the stream
// as it needs them. So a flag byte's place is fixed when its first bit is
// written: the writer reserves it then, and data bytes simply follow.

struct StreamWriter {
    std::vector<std::uint8_t> bytes;
    // Per stream byte: unpacked bytes already output when a decoder reads it.
    std::vector<std::uint32_t> output_before;
    std::size_t flag_index = 0;
    int bits_left = 0;        // unused bits of the current flag byte
    std::uint32_t output = 0; // unpacked bytes of the tokens written so far
    // Largest (output - stream bytes) seen whenever a flag byte filled up.
    std::int64_t lead_at_full_flags = 0;
};

void put_bit(StreamWriter& w, unsigned bit)
{
    if (w.bits_left == 0) {
        w.flag_index = w.bytes.size();
        w.bytes.push_back(0);
        w.output_before.push_back(w.output);
        w.bits_left = 8;
    }
    --w.bits_left;
    if (bit)
        w.bytes[w.flag_index] = static_cast<std::uint8_t>(w.bytes[w.flag_index] | (1u << w.bits_left));
    if (w.bits_left == 0)
        w.lead_at_full_flags = std::max(w.lead_at_full_flags, static_cast<std::int64_t>(w.output) -
                                                                  static_cast<std::int64_t>(w.bytes.size()));
}

void put_bits(StreamWriter& w, unsigned value, int count)
{
    while (count-- > 0)
        put_bit(w, (value >> count) & 1u);
}

void put_byte(StreamWriter& w, unsigned value, std::uint32_t output_extra = 0)
{
    w.bytes.push_back(static_cast<std::uint8_t>(value));
    w.output_before.push_back(w.output + output_extra);
}

void put_offset(StreamWriter& w, std::uint32_t offset)
{
    const std::uint32_t h = (offset - 1) >> 8;
    put_bits(w, offset_code[h], offset_code_bits[h]);
    put_byte(w, (offset - 1) & 0xFF);
}

void put_match(StreamWriter& w, std::uint32_t length, std::uint32_t offset)
{
    static constexpr std::array<std::uint8_t, 9> short_code = {0, 0, 0, 0, 0b1000, 0b1010, 0b10010, 0b10011, 0b10110};
    if (length == 2) {
        put_bits(w, 0b110, 3);
        put_byte(w, offset - 1);
    } else if (length == 3) {
        put_bits(w, 0b1110, 4);
        put_offset(w, offset);
    } else if (length <= 8) {
        put_bits(w, short_code[length], length <= 5 ? 4 : 5);
        put_offset(w, offset);
    } else {
        put_bits(w, 0b1111, 4);
        put_byte(w, length - 8);
        put_offset(w, offset);
    }
}

void put_token(StreamWriter& w, const RncToken& token, std::span<const std::uint8_t> input, bool last)
{
    switch (token.kind) {
    case RncTokenKind::literal:
        put_bit(w, 0);
        put_byte(w, input[w.output]);
        break;
    case RncTokenKind::run:
        put_bits(w, 0b10111, 5);
        put_bits(w, (token.length - 12u) / 4u, 4);
        for (std::uint32_t i = 0; i < token.length; ++i)
            put_byte(w, input[w.output + i], i);
        break;
    case RncTokenKind::match:
        put_match(w, token.length, token.offset);
        break;
    case RncTokenKind::chunk_end:
        put_bits(w, 0b1111, 4);
        put_byte(w, 0);
        put_bit(w, last ? 0 : 1);
        break;
    }
    w.output += token.kind == RncTokenKind::chunk_end ? 0u : token.length;
}

// The leeway byte. Decoding in place is safe when the stream ends k bytes
// after the end of the output and no stream byte is overwritten before it is
// read; the exact minimum k follows from the output written before each
// stream byte is read. The usual value is computed instead from the flag
// bytes as they fill up, plus 2 (so files match other packers' byte for
// byte); it is raised to the exact minimum should it ever fall below it, and
// saturates at 255 when a long incompressible tail needs more than a byte.
std::uint8_t leeway(const StreamWriter& w)
{
    const auto unpacked = static_cast<std::int64_t>(w.output);
    const auto packed = static_cast<std::int64_t>(w.bytes.size());
    std::int64_t exact = 0;
    for (std::size_t i = 0; i < w.bytes.size(); ++i)
        exact = std::max(exact, static_cast<std::int64_t>(w.output_before[i]) -
                                    (unpacked - packed + static_cast<std::int64_t>(i)));
    const std::int64_t usual = std::max<std::int64_t>(w.lead_at_full_flags - (unpacked - packed), 0) + 2;
    return static_cast<std::uint8_t>(std::min<std::int64_t>(std::max(usual, exact), 255));
}

void put_be(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    while (bytes-- > 0)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * bytes)));
}

}  // namespace

std::uint16_t rnc_crc16(std::span<const std::uint8_t> bytes)
{
    static const auto table = [] {
        std::array<std::uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
            t[i] = static_cast<std::uint16_t>(crc);
        }
        return t;
    }();
    unsigned crc = 0;
    for (std::uint8_t b : bytes)
        crc = (crc >> 8) ^ table[(crc ^ b) & 0xFFu];
    return static_cast<std::uint16_t>(crc);
}

RncMatchTable rnc_find_matches(std::span<const std::uint8_t> input)
{
    const auto size = static_cast<std::uint32_t>(input.size());
    RncMatchTable table;
    table.first.reserve(size + 1);
    SuffixTrees trees = make_suffix_trees(input);
    for (std::uint32_t pos = 0; pos < size; ++pos) {
        table.first.push_back(static_cast<std::uint32_t>(table.matches.size()));
        if (pos + 1 < size)
            insert_and_find(trees, pos, table.matches);
    }
    table.first.push_back(static_cast<std::uint32_t>(table.matches.size()));
    return table;
}

std::vector<RncToken> rnc_parse(std::span<const std::uint8_t> input)
{
    Parse parse = make_parse(input);
    parse.to_end = costs_to_end(parse.table, parse.size);
    ChunkPlan plan = plan_by_lookahead(parse);
    if (plan.cost > lower_bound(parse)) {
        shortest_paths(parse.table, 0, parse.size, parse.paths);
        parse.from_start = parse.paths.cost;
        if (auto exact = plan_fewest_chunks(parse, plan.cost))
            return tokens_for_plan(parse, exact->ends);
    }
    return plan.tokens;
}

std::size_t rnc_packed_size_bound(std::span<const std::uint8_t> input)
{
    Parse parse = make_parse(input);
    parse.to_end = costs_to_end(parse.table, parse.size);
    const Cost bits = (lower_bound(parse) >> token_count_bits) + 2;  // lock and key bits
    return 18 + static_cast<std::size_t>((bits + 7) / 8);
}

std::vector<RncToken> rnc_parse_with_chunk_ends(std::span<const std::uint8_t> input,
                                                std::span<const std::uint32_t> ends)
{
    Parse parse = make_parse(input);
    return tokens_for_plan(parse, std::vector<std::uint32_t>(ends.begin(), ends.end()));
}

std::vector<std::uint8_t> rnc_write(std::span<const std::uint8_t> input, std::span<const RncToken> tokens,
                                    bool lock)
{
    StreamWriter w;
    put_bit(w, lock ? 1 : 0);
    put_bit(w, 0);  // literals not encrypted
    std::size_t chunks = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        put_token(w, tokens[i], input, i + 1 == tokens.size());
        chunks += tokens[i].kind == RncTokenKind::chunk_end;
    }

    if (chunks > 255)
        throw std::length_error("method-2 data holds at most 255 chunks");

    std::vector<std::uint8_t> out = {'R', 'N', 'C', 2};
    put_be(out, static_cast<std::uint32_t>(input.size()), 4);
    put_be(out, static_cast<std::uint32_t>(w.bytes.size()), 4);
    put_be(out, rnc_crc16(input), 2);
    put_be(out, rnc_crc16(w.bytes), 2);
    out.push_back(leeway(w));
    out.push_back(static_cast<std::uint8_t>(chunks));
    out.insert(out.end(), w.bytes.begin(), w.bytes.end());
    return out;
}

std::vector<std::uint8_t> rnc_pack(std::span<const std::uint8_t> input)
{
    const std::vector<RncToken> tokens = rnc_parse(input);
    return rnc_write(input, tokens, true);
}
