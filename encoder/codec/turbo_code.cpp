#include "codec/turbo_code.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace {

constexpr int kLeaves = 256;

// Least total cost of a tree of n leaves and the leaves under each letter
// of its root, for every n up to 256.
struct Plan {
    std::array<std::uint64_t, kLeaves + 1> cost{};
    std::array<std::array<int, 3>, kLeaves + 1> split{};
};

const Plan& plan()
{
    static const Plan made = [] {
        Plan p;
        for (int n = 2; n <= kLeaves; ++n) {
            std::uint64_t best = std::numeric_limits<std::uint64_t>::max();
            for (int c = 0; 3 * c <= n; ++c)
                for (int b = std::max(c, 1); c + 2 * b <= n; ++b) {
                    const int a = n - b - c;
                    if (a < b)
                        continue;
                    std::uint64_t total = p.cost[a] + a + p.cost[b] + 2ull * b;
                    if (c > 0)
                        total += p.cost[c] + 3ull * c;
                    if (total < best) {
                        best = total;
                        p.split[n] = {a, b, c};
                    }
                }
            p.cost[n] = best;
        }
        return p;
    }();
    return made;
}

// Adds the subtree of n leaves (n >= 2) as node `at`, numbering nodes and
// leaves depth-first.
void build(std::vector<TurboCode::Node>& nodes, int n, int& leaves)
{
    const std::size_t at = nodes.size();
    nodes.emplace_back();
    for (int letter = 0; letter < 3; ++letter) {
        const int under = plan().split[n][letter];
        if (under == 0)
            continue;
        if (under == 1) {
            nodes[at].child[letter] = -1 - leaves++;
        } else {
            nodes[at].child[letter] = int(nodes.size());
            build(nodes, under, leaves);
        }
    }
}

// Leaves under a node, by letter.
std::array<int, 3> leaves_under(const std::vector<TurboCode::Node>& nodes, std::size_t node)
{
    std::array<int, 3> under{};
    for (int letter = 0; letter < 3; ++letter) {
        const int child = nodes[node].child[std::size_t(letter)];
        if (child == TurboCode::kNone)
            continue;
        if (child < 0) {
            under[std::size_t(letter)] = 1;
        } else {
            const std::array<int, 3> below = leaves_under(nodes, std::size_t(child));
            under[std::size_t(letter)] = below[0] + below[1] + below[2];
        }
    }
    return under;
}

// The split tree of a fitted code over bytes sorted by weight, heaviest
// first.  A run of k bytes becomes a leaf (k = 1), a node of two leaves
// (k = 2) or a node of three runs, the heaviest on letter 0, chosen to
// least estimated cost: each run's weight times its letter's cost plus its
// entropy in units.  Odd runs split into odd runs and an even run into one
// even and two odd ones, so that only one node of the tree has two
// children.
struct Splitter {
    std::vector<double> weight;     // prefix sums of the sorted weights
    std::vector<double> weight_log; // prefix sums of w ln w
    const std::array<int, 256>& order;
    TurboCode& code;
    int leaves = 0;
    static constexpr double ln_r = 0.6093778633;  // ln of the root of 1/r + 1/r^2 + 1/r^3 = 1

    double entropy(int lo, int hi) const
    {
        if (hi - lo < 2)
            return 0;
        const double w = weight[std::size_t(hi)] - weight[std::size_t(lo)];
        if (w <= 0)
            return 0;
        return (w * std::log(w) - (weight_log[std::size_t(hi)] - weight_log[std::size_t(lo)])) / ln_r;
    }

    double estimate(int lo, int a, int b, int c) const
    {
        const int cuts[4] = {lo, lo + a, lo + a + b, lo + a + b + c};
        double total = 0;
        for (int letter = 0; letter < 3; ++letter)
            total += (weight[std::size_t(cuts[letter + 1])] - weight[std::size_t(cuts[letter])]) * (letter + 1) +
                     entropy(cuts[letter], cuts[letter + 1]);
        return total;
    }

    // The child for the run [lo, hi): a leaf number (< 0) or a node.
    int build(int lo, int hi)
    {
        const int k = hi - lo;
        if (k == 1) {
            code.leaf_byte[std::size_t(leaves)] = std::uint8_t(order[std::size_t(lo)]);
            return -1 - leaves++;
        }
        const int at = int(code.nodes.size());
        code.nodes.emplace_back();
        std::array<int, 3> parts = {1, 1, 0};
        if (k > 2) {
            double best = std::numeric_limits<double>::max();
            for (int a = 1; a <= k - 2; ++a)
                for (int b = 1; a + b <= k - 1; ++b) {
                    const int c = k - a - b;
                    const int even = (a % 2 == 0) + (b % 2 == 0) + (c % 2 == 0);
                    if (even != (k % 2 == 0 ? 1 : 0))
                        continue;
                    const double cost = estimate(lo, a, b, c);
                    if (cost < best) {
                        best = cost;
                        parts = {a, b, c};
                    }
                }
        }
        int from = lo;
        for (int letter = 0; letter < 3; ++letter) {
            if (parts[std::size_t(letter)] == 0)
                continue;
            const int child = build(from, from + parts[std::size_t(letter)]);
            code.nodes[std::size_t(at)].child[std::size_t(letter)] = child;
            from += parts[std::size_t(letter)];
        }
        return at;
    }
};

// Reads the node records of a description into `code`, for a run of k
// leaves; `next` is the next record.
int read_tree(TurboCode& code, std::span<const std::uint8_t> records, std::size_t& next, int k, int& leaves)
{
    if (k == 1)
        return -1 - leaves++;
    if (next >= records.size() / 2)
        throw std::invalid_argument("turbo code description: too few nodes");
    const int a = records[2 * next];
    const int b = records[2 * next + 1];
    ++next;
    const int c = k - a - b;
    if (a < 1 || b < 1 || c < 0)
        throw std::invalid_argument("turbo code description: a node that splits no run");
    const int at = int(code.nodes.size());
    code.nodes.emplace_back();
    const int parts[3] = {a, b, c};
    for (int letter = 0; letter < 3; ++letter)
        if (parts[letter] > 0) {
            const int child = read_tree(code, records, next, parts[letter], leaves);
            code.nodes[std::size_t(at)].child[std::size_t(letter)] = child;
        }
    return at;
}

}  // namespace

void TurboCode::fill_words()
{
    // Walk the tree keeping the letters on the way to each leaf.
    std::vector<std::uint8_t> path;
    const auto walk = [&](auto&& self, int node) -> void {
        for (int letter = 0; letter < 3; ++letter) {
            const int child = nodes[std::size_t(node)].child[letter];
            if (child == kNone)
                continue;
            path.push_back(std::uint8_t(letter));
            if (child < 0) {
                const std::uint8_t byte = leaf_byte[std::size_t(-1 - child)];
                words[byte] = path;
                cost[byte] = 0;
                for (const std::uint8_t l : path)
                    cost[byte] += l + 1u;
            } else {
                self(self, child);
            }
            path.pop_back();
        }
    };
    walk(walk, 0);
}

const TurboCode& TurboCode::uniform()
{
    static const TurboCode code = [] {
        TurboCode c;
        int leaves = 0;
        build(c.nodes, kLeaves, leaves);
        std::iota(c.leaf_byte.begin(), c.leaf_byte.end(), 0);
        c.fill_words();
        return c;
    }();
    return code;
}

TurboCode TurboCode::fitted(std::span<const std::uint64_t, 256> counts)
{
    std::array<int, kLeaves> bytes;
    std::iota(bytes.begin(), bytes.end(), 0);
    std::stable_sort(bytes.begin(), bytes.end(), [&](int x, int y) { return counts[std::size_t(x)] > counts[std::size_t(y)]; });
    const auto total = [&](const TurboCode& c) {
        std::uint64_t units = 0;
        for (int b = 0; b < kLeaves; ++b)
            units += counts[std::size_t(b)] * c.cost[std::size_t(b)];
        return units;
    };

    // The uniform tree, its cheapest leaves to the most frequent bytes.
    TurboCode kept = uniform();
    std::array<int, kLeaves> leaves;
    std::iota(leaves.begin(), leaves.end(), 0);
    std::stable_sort(leaves.begin(), leaves.end(),
                     [&](int x, int y) { return kept.cost[std::size_t(x)] < kept.cost[std::size_t(y)]; });
    for (int i = 0; i < kLeaves; ++i)
        kept.leaf_byte[std::size_t(leaves[std::size_t(i)])] = std::uint8_t(bytes[std::size_t(i)]);
    kept.fill_words();

    // A tree split for the counts.
    TurboCode split;
    Splitter splitter{{0}, {0}, bytes, split};
    for (const int b : bytes) {
        const double w = double(counts[std::size_t(b)]);
        splitter.weight.push_back(splitter.weight.back() + w);
        splitter.weight_log.push_back(splitter.weight_log.back() + (w > 0 ? w * std::log(w) : 0));
    }
    splitter.build(0, kLeaves);
    split.fill_words();
    return total(split) < total(kept) ? split : kept;
}

std::vector<std::uint8_t> TurboCode::description() const
{
    std::vector<std::uint8_t> out;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const std::array<int, 3> under = leaves_under(nodes, n);
        out.push_back(std::uint8_t(under[0]));
        out.push_back(std::uint8_t(under[1]));
    }
    out.insert(out.end(), leaf_byte.begin(), leaf_byte.end());
    return out;
}

TurboCode TurboCode::from_description(std::span<const std::uint8_t> description)
{
    if (description.size() != 2 * 128 + kLeaves)
        throw std::invalid_argument("turbo code description: not 512 bytes");
    TurboCode code;
    std::size_t next = 0;
    int leaves = 0;
    read_tree(code, description.first(256), next, kLeaves, leaves);
    if (next != 128)
        throw std::invalid_argument("turbo code description: nodes left over");
    std::array<bool, kLeaves> seen{};
    for (int i = 0; i < kLeaves; ++i) {
        const std::uint8_t b = description[std::size_t(256 + i)];
        if (seen[b])
            throw std::invalid_argument("turbo code description: a byte on two leaves");
        seen[b] = true;
        code.leaf_byte[std::size_t(i)] = b;
    }
    code.fill_words();
    return code;
}

std::uint64_t TurboCode::units(std::span<const std::uint8_t> bytes) const
{
    std::uint64_t total = 0;
    for (const std::uint8_t b : bytes)
        total += cost[b];
    return total;
}

void TurboCode::encode(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& letters) const
{
    for (const std::uint8_t b : bytes)
        letters.insert(letters.end(), words[b].begin(), words[b].end());
}

std::vector<std::uint8_t> TurboCode::decode(std::span<const std::uint8_t> letters) const
{
    std::vector<std::uint8_t> bytes;
    int node = 0;
    for (const std::uint8_t letter : letters) {
        const int child = letter < 3 ? nodes[std::size_t(node)].child[letter] : kNone;
        if (child == kNone)
            throw std::invalid_argument("turbo code: a letter no node has");
        if (child < 0) {
            bytes.push_back(leaf_byte[std::size_t(-1 - child)]);
            node = 0;
        } else {
            node = child;
        }
    }
    if (node != 0)
        throw std::invalid_argument("turbo code: letters that end no word");
    return bytes;
}

std::array<std::uint64_t, 256> turbo_byte_counts(std::span<const std::uint8_t> bytes)
{
    std::array<std::uint64_t, 256> counts{};
    for (const std::uint8_t b : bytes)
        ++counts[b];
    return counts;
}

TurboCode turbo_code_for(std::span<const std::uint8_t> bytes, bool* fitted)
{
    const TurboCode& plain = TurboCode::uniform();
    TurboCode own = TurboCode::fitted(turbo_byte_counts(bytes));
    const bool gains = own.units(bytes) + plain.units(own.description()) < plain.units(bytes);
    if (fitted)
        *fitted = gains;
    return gains ? own : plain;
}

std::uint16_t turbo_crc16(std::span<const std::uint8_t> bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t byte : bytes) {
        crc = std::uint16_t(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = std::uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}
