#include "codec/tpk_pack.h"

#include "codec/rnc_pack.h"

#include <algorithm>
#include <array>
#include <deque>
#include <limits>
#include <stdexcept>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The end of the stream: after a data byte 0 where a match with a new
// offset would have its low byte, this in place of its G(H).
constexpr std::uint32_t end_code = 511;
// Lengths up to this are all tried as they stand; beyond it only the longest
// match of each offset (long matches are runs, where that is what pays).
constexpr std::uint32_t all_lengths = 320;
// How many earlier positions the match finder looks at for each position.
constexpr int chain_depth = 1024;

// Bits of G(v).
std::uint32_t gamma_bits(std::uint32_t v)
{
    std::uint32_t bits = 1;
    while (v > 1) {
        bits += 2;
        v >>= 1;
    }
    return bits;
}

std::uint32_t offset_bits(std::uint32_t offset)
{
    const std::uint32_t high = (offset - 1) >> 7;
    return 8 + (high ? gamma_bits(high) : 0);
}

// Flag bits and data bytes in the order a decoder takes them: a flag byte
// takes its place in the stream when its first bit is written.
struct BitWriter {
    Bytes out;
    std::size_t flag_at = 0;
    int bits_used = 8;

    void bit(unsigned b)
    {
        if (bits_used == 8) {
            flag_at = out.size();
            out.push_back(0);
            bits_used = 0;
        }
        if (b)
            out[flag_at] = static_cast<std::uint8_t>(out[flag_at] | (0x80 >> bits_used));
        ++bits_used;
    }
    void gamma(std::uint32_t v)
    {
        int top = 0;
        while ((v >> (top + 1)) != 0)
            ++top;
        for (int i = top - 1; i >= 0; --i) {
            bit(0);
            bit((v >> i) & 1u);
        }
        bit(1);
    }
    void byte(std::uint8_t b) { out.push_back(b); }
};

// For each position, how many bytes from there on equal the one there.
std::vector<std::uint32_t> equal_runs(std::span<const std::uint8_t> in)
{
    std::vector<std::uint32_t> run(in.size());
    for (std::size_t p = in.size(); p-- > 0;)
        run[p] = p + 1 < in.size() && in[p + 1] == in[p] ? run[p + 1] + 1 : 1;
    return run;
}

// How many bytes from `earlier` on equal those from `p` on (p > earlier).
// Two runs of one value match for the shorter one's length, and on only when
// both end together, which saves comparing long runs again and again.
std::uint32_t common_length(std::span<const std::uint8_t> in, const std::vector<std::uint32_t>& run,
                            std::size_t earlier, std::size_t p)
{
    if (in[earlier] != in[p])
        return 0;
    std::size_t length = std::min(run[earlier], run[p]);
    if (run[earlier] == run[p])
        while (p + length < in.size() && in[earlier + length] == in[p + length])
            ++length;
    return static_cast<std::uint32_t>(length);
}

struct Match {
    std::uint32_t length;
    std::uint32_t offset;
};

// For each position, the nearest offset of each longer match: entries
// first[p] to first[p + 1], lengths and offsets increasing.
struct MatchTable {
    std::vector<Match> matches;
    std::vector<std::uint32_t> first;
};

MatchTable find_matches(std::span<const std::uint8_t> in, const std::vector<std::uint32_t>& run)
{
    const std::size_t n = in.size();
    MatchTable table;
    table.first.reserve(n + 1);
    constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> head(65536, none), previous(n, none);
    for (std::size_t p = 0; p < n; ++p) {
        table.first.push_back(static_cast<std::uint32_t>(table.matches.size()));
        if (p + 1 >= n)
            continue;
        const std::uint32_t key = std::uint32_t{in[p]} << 8 | in[p + 1];
        const std::size_t longest = n - p;
        std::size_t best = 1;
        int depth = 0;
        for (std::uint32_t c = head[key]; c != none && depth < chain_depth && best < longest;
             c = previous[c], ++depth) {
            if (in[c + best] != in[p + best])
                continue;
            const std::size_t length = common_length(in, run, c, p);
            if (length > best) {
                best = length;
                table.matches.push_back({static_cast<std::uint32_t>(length), static_cast<std::uint32_t>(p - c)});
            }
        }
        previous[p] = head[key];
        head[key] = static_cast<std::uint32_t>(p);
    }
    table.first.push_back(static_cast<std::uint32_t>(table.matches.size()));
    return table;
}

constexpr std::uint64_t unreached = std::numeric_limits<std::uint64_t>::max() / 4;

// The two ways to stand at a position: after literals (a repeat may follow)
// and after a match or at the start (literals may follow).  Which last offset
// a path brings matters to the repeats ahead, so each state keeps the
// cheapest few ways in with different last offsets, cheapest first.
constexpr std::size_t ways_kept = 8;
// Literal runs up to this long are tried from every way of the state before;
// longer ones from its cheapest way only.
constexpr std::uint32_t short_run = 32;

struct Step {
    std::uint64_t cost = unreached;
    std::uint32_t from = 0;    // where the token that leads here starts
    std::uint32_t offset = 0;  // the last offset
    TpkTokenKind kind = TpkTokenKind::literals;
    bool from_literals = false;  // the state the token starts from
    std::uint8_t from_way = 0;   // and which of its ways
};

struct Ways {
    std::array<Step, ways_kept> step;
    std::size_t count = 0;

    std::uint64_t best() const { return count ? step[0].cost : unreached; }

    void offer(const Step& way)
    {
        std::size_t at = 0;
        while (at < count && step[at].offset != way.offset)
            ++at;
        if (at < count) {
            if (way.cost >= step[at].cost)
                return;
        } else if (count < ways_kept) {
            at = count++;
        } else if (way.cost < step[count - 1].cost) {
            at = count - 1;
        } else {
            return;
        }
        step[at] = way;
        for (; at > 0 && step[at].cost < step[at - 1].cost; --at)
            std::swap(step[at], step[at - 1]);
    }
};

// Literal runs into position q come from the after-match state at p < q and
// cost M[p] + 1 + G(q - p) + 8(q - p).  G is constant over each power-of-two
// range of lengths, so one sliding-window minimum of M[p] - 8p per range
// gives the best start in O(1) per position and range.
class LiteralRuns {
public:
    explicit LiteralRuns(const std::vector<Ways>& after_match) : m_(after_match) {}

    // The cheapest run ending at q: its cost and start, or unreached.
    std::pair<std::uint64_t, std::uint32_t> best_into(std::uint32_t q)
    {
        std::pair<std::uint64_t, std::uint32_t> best{unreached, 0};
        for (std::uint32_t k = 0; k < windows_.size(); ++k) {
            const std::uint32_t low = 1u << k;
            if (q < low)
                break;
            auto& window = windows_[k];
            const std::uint32_t entering = q - low;
            if (m_[entering].best() < unreached) {
                while (!window.empty() && key(window.back()) >= key(entering))
                    window.pop_back();
                window.push_back(entering);
            }
            const std::uint32_t oldest = q + 1 > 2 * low ? q + 1 - 2 * low : 0;
            while (!window.empty() && window.front() < oldest)
                window.pop_front();
            if (window.empty())
                continue;
            const std::uint32_t p = window.front();
            const std::uint64_t cost = m_[p].best() + 1 + (2 * k + 1) + 8ull * (q - p);
            if (cost < best.first)
                best = {cost, p};
        }
        return best;
    }

private:
    std::int64_t key(std::uint32_t p) const { return static_cast<std::int64_t>(m_[p].best()) - 8ll * p; }

    const std::vector<Ways>& m_;
    std::array<std::deque<std::uint32_t>, 17> windows_;
};

}  // namespace

std::vector<TpkToken> tpk_parse(std::span<const std::uint8_t> input)
{
    if (input.size() > tpk_max_input)
        throw std::length_error("tpk: input larger than 49152 bytes");
    const auto n = static_cast<std::uint32_t>(input.size());
    const std::vector<std::uint32_t> runs_of_equal = equal_runs(input);
    const MatchTable table = find_matches(input, runs_of_equal);
    std::vector<Ways> lit(n + 1), mat(n + 1);
    mat[0].offer({0, 0, 0, TpkTokenKind::literals, false, 0});
    LiteralRuns runs(mat);
    for (std::uint32_t p = 0; p <= n; ++p) {
        // Literal runs into p.
        if (p > 0) {
            const auto [cost, from] = runs.best_into(p);
            if (cost < unreached)
                lit[p].offer({cost, from, mat[from].step[0].offset, TpkTokenKind::literals, false, 0});
            for (std::uint32_t length = 1; length <= std::min(p, short_run); ++length) {
                const Ways& before = mat[p - length];
                for (std::uint8_t w = 0; w < before.count; ++w)
                    lit[p].offer({before.step[w].cost + 1 + gamma_bits(length) + 8ull * length, p - length,
                                  before.step[w].offset, TpkTokenKind::literals, false, w});
            }
        }
        if (p == n)
            break;
        // A match with the last offset, right after literals.
        for (std::uint8_t w = 0; w < lit[p].count; ++w) {
            const Step& way = lit[p].step[w];
            if (way.offset == 0)
                continue;
            const std::uint32_t length = common_length(input, runs_of_equal, p - way.offset, p);
            for (std::uint32_t l = 1; l <= length; ++l) {
                if (l > all_lengths && l != length)
                    l = length;
                mat[p + l].offer({way.cost + 1 + gamma_bits(l), p, way.offset, TpkTokenKind::repeat, true, w});
            }
        }
        // A match with a new offset, from whichever way is cheapest.
        const bool after_literals = lit[p].best() < mat[p].best();
        const std::uint64_t base = std::min(lit[p].best(), mat[p].best());
        if (base >= unreached)
            continue;
        std::uint32_t shorter = 1;
        for (std::uint32_t i = table.first[p]; i < table.first[p + 1]; ++i) {
            const Match& m = table.matches[i];
            const std::uint64_t offset_cost = base + 1 + offset_bits(m.offset);
            for (std::uint32_t l = shorter + 1; l <= m.length; ++l) {
                if (l > all_lengths && l != m.length)
                    l = m.length;
                mat[p + l].offer(
                    {offset_cost + gamma_bits(l - 1), p, m.offset, TpkTokenKind::match, after_literals, 0});
            }
            shorter = m.length;
        }
    }

    // Walk back from the cheaper end.
    std::vector<TpkToken> tokens;
    bool in_literals = lit[n].best() < mat[n].best();
    std::uint8_t way = 0;
    std::uint32_t p = n;
    while (p > 0) {
        const Step& step = (in_literals ? lit[p] : mat[p]).step[way];
        tokens.push_back({step.kind, p - step.from, step.offset});
        in_literals = step.from_literals;
        way = step.from_way;
        p = step.from;
    }
    std::reverse(tokens.begin(), tokens.end());
    return tokens;
}

std::vector<std::uint8_t> tpk_write(std::span<const std::uint8_t> input, std::span<const TpkToken> tokens)
{
    if (input.size() > tpk_max_input)
        throw std::length_error("tpk: input larger than 49152 bytes");
    BitWriter w;
    w.out.resize(tpk_header_size);  // filled in at the end
    bool after_literals = false;
    std::size_t at = 0;
    for (const TpkToken& t : tokens) {
        if (t.length == 0 || at + t.length > input.size())
            throw std::logic_error("tpk: token beyond the input");
        switch (t.kind) {
        case TpkTokenKind::literals:
            if (after_literals)
                throw std::logic_error("tpk: literals after literals");
            w.bit(0);
            w.gamma(t.length);
            for (std::uint32_t i = 0; i < t.length; ++i)
                w.byte(input[at + i]);
            break;
        case TpkTokenKind::match:
            if (t.length < 2 || t.offset == 0 || t.offset > at)
                throw std::logic_error("tpk: match out of range");
            w.bit(after_literals ? 0 : 1);
            w.byte(static_cast<std::uint8_t>((t.offset - 1) << 1 | (t.offset <= 128 ? 1 : 0)));
            if (t.offset > 128)
                w.gamma((t.offset - 1) >> 7);
            w.gamma(t.length - 1);
            break;
        case TpkTokenKind::repeat:
            if (!after_literals || t.offset == 0 || t.offset > at)
                throw std::logic_error("tpk: repeat out of place");
            w.bit(1);
            w.gamma(t.length);
            break;
        }
        at += t.length;
        after_literals = t.kind == TpkTokenKind::literals;
    }
    if (at != input.size())
        throw std::logic_error("tpk: tokens do not cover the input");
    w.bit(after_literals ? 0 : 1);
    w.byte(0);
    w.gamma(end_code);

    const auto size = static_cast<std::uint16_t>(input.size());
    const std::uint16_t data_crc = rnc_crc16(input);
    const std::uint16_t stream_crc = rnc_crc16(std::span(w.out).subspan(tpk_header_size));
    const std::uint16_t header[] = {size, data_crc, stream_crc};
    for (std::size_t i = 0; i < 3; ++i) {
        w.out[2 * i] = static_cast<std::uint8_t>(header[i]);
        w.out[2 * i + 1] = static_cast<std::uint8_t>(header[i] >> 8);
    }
    return w.out;
}

std::vector<std::uint8_t> tpk_pack(std::span<const std::uint8_t> input)
{
    return tpk_write(input, tpk_parse(input));
}
