#pragma once
// The byte code of the turbo tape signal: a ternary prefix code whose three
// letters cost 1, 2 and 3 units (half-cycles of 3, 6 and 9 samples).
//
// A code is a tree in which every internal node has two or three children,
// the cheapest letter always leading to the largest subtree.  The uniform
// code is the tree of least total cost for 256 equally likely bytes (about
// 9.35 units a byte); a fitted code is a tree shaped for the byte counts of
// one file, its cheapest leaves holding the most frequent bytes.  Every
// tree has 128 internal nodes (one of them with two children), so that a
// reader's table has room for them in half a page.
//
// Leaves are numbered in depth-first order, letter 0 first; the code is the
// tree plus the byte held by each leaf.  Internal nodes are numbered in the
// same walk, the root 0, so that a reader's table can hold a child node's
// number or 0 for a leaf.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct TurboCode {
    // One internal node: for each letter the child, a node number (>= 1) or
    // a leaf number (< 0: leaf = -1 - child); letter 2 may be absent (kNone).
    static constexpr int kNone = 0x7FFF;
    struct Node {
        std::array<int, 3> child{kNone, kNone, kNone};
    };
    std::vector<Node> nodes;                // nodes[0] is the root
    std::array<std::uint8_t, 256> leaf_byte{};  // the byte of each leaf

    // Letters (0, 1, 2) of every byte's code word, and its cost in units.
    std::array<std::vector<std::uint8_t>, 256> words;
    std::array<unsigned, 256> cost{};

    // The tree of least cost for 256 equally likely bytes, byte v on leaf v.
    static const TurboCode& uniform();
    // A tree for `counts`: the cheaper of the uniform tree with its leaves
    // given to the most frequent bytes first, and a tree that splits the
    // bytes, most frequent first, into three runs at each node, chosen by
    // the entropy bound of each run.
    static TurboCode fitted(std::span<const std::uint64_t, 256> counts);

    // How a reader learns a code: for each internal node in order, the
    // leaves under its letters 0 and 1 (letter 2 has the rest), then the
    // byte of each leaf (512 bytes).
    std::vector<std::uint8_t> description() const;
    // The code a description tells; throws std::invalid_argument on one that
    // tells no code of this kind.
    static TurboCode from_description(std::span<const std::uint8_t> description);

    // Units the bytes take in this code.
    std::uint64_t units(std::span<const std::uint8_t> bytes) const;
    // Appends the letters of `bytes`.
    void encode(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& letters) const;
    // The bytes of a letter sequence; throws std::invalid_argument on a
    // letter that no node has, or letters left that end no word.
    std::vector<std::uint8_t> decode(std::span<const std::uint8_t> letters) const;

private:
    void fill_words();
};

// Byte counts of `bytes`.
std::array<std::uint64_t, 256> turbo_byte_counts(std::span<const std::uint8_t> bytes);

// The code a file is sent with: the fitted code when it saves more units
// than its description costs in the uniform code, else the uniform.
// `fitted` tells which was chosen.
TurboCode turbo_code_for(std::span<const std::uint8_t> bytes, bool* fitted = nullptr);

// The CRC-16 that the turbo loaders check: polynomial 0x1021, initial value
// 0xFFFF, bits most significant first, nothing inverted.
std::uint16_t turbo_crc16(std::span<const std::uint8_t> bytes);
