// turbo_table OUT: writes the decode table of the uniform turbo code as a Z80
// assembler include of three 256-byte pages, one per letter.  In the page of
// letter t, byte n (n < 128) is the node that letter leads to from node n, or
// 0 when it leads to a leaf (the root is never a child); byte 128 + n is that
// leaf's byte.  The includer places the pages on a 256-byte boundary.
//
// turbo_table --sizes OUT: writes what a reader needs to build that table
// itself: for each size of subtree in the uniform code (every subtree of a
// size splits alike), 3 bytes: its leaves (256 as 0) and the leaves under
// its letters 0 and 1, the sizes with the most subtrees first.  The reader
// gives leaf v the byte v, which this checks.
#include "codec/turbo_code.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

void write_table(std::ostream& out, const TurboCode& code)
{
    out << "; The uniform turbo code's decode table, written by turbo_table: three\n"
           "; pages, one per letter; byte n the node the letter leads to from node n\n"
           "; (0: a leaf), byte 128 + n the byte of that leaf.\n";
    for (int letter = 0; letter < 3; ++letter) {
        unsigned char page[256] = {};
        for (std::size_t n = 0; n < code.nodes.size(); ++n) {
            const int child = code.nodes[n].child[std::size_t(letter)];
            if (child == TurboCode::kNone)
                continue;
            if (child < 0)
                page[128 + n] = code.leaf_byte[std::size_t(-1 - child)];
            else
                page[n] = static_cast<unsigned char>(child);
        }
        out << "; letter " << letter << "\n";
        for (int row = 0; row < 16; ++row) {
            out << "        DB ";
            for (int i = 0; i < 16; ++i) {
                char text[8];
                std::snprintf(text, sizeof text, "%s%03u", i ? "," : "", page[row * 16 + i]);
                out << text;
            }
            out << "\n";
        }
    }
}

// Leaves under each letter of a node.
std::array<int, 3> leaves_under(const TurboCode& code, int node)
{
    std::array<int, 3> under{};
    for (std::size_t letter = 0; letter < 3; ++letter) {
        const int child = code.nodes[std::size_t(node)].child[letter];
        if (child == TurboCode::kNone)
            continue;
        if (child < 0) {
            under[letter] = 1;
        } else {
            const std::array<int, 3> below = leaves_under(code, child);
            under[letter] = below[0] + below[1] + below[2];
        }
    }
    return under;
}

bool write_sizes(std::ostream& out, const TurboCode& code)
{
    for (int leaf = 0; leaf < 256; ++leaf)
        if (code.leaf_byte[std::size_t(leaf)] != leaf) {
            std::cerr << "turbo_table: the uniform code's leaves are out of order\n";
            return false;
        }
    struct Size {
        std::array<int, 3> under;
        int subtrees = 0;
    };
    std::map<int, Size> sizes;
    for (int node = 0; node < int(code.nodes.size()); ++node) {
        const std::array<int, 3> under = leaves_under(code, node);
        Size& size = sizes[under[0] + under[1] + under[2]];
        if (size.subtrees++ > 0 && size.under != under) {
            std::cerr << "turbo_table: two subtrees of " << under[0] + under[1] + under[2]
                      << " leaves split apart\n";
            return false;
        }
        size.under = under;
    }
    std::vector<std::pair<int, Size>> order(sizes.begin(), sizes.end());
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.second.subtrees > b.second.subtrees; });
    out << "; The uniform turbo code's subtrees by size, written by turbo_table --sizes:\n"
           "; leaves (256 as 0), leaves under letters 0 and 1; the most subtrees first.\n";
    for (const auto& [leaves, size] : order)
        out << "        DB " << (leaves & 0xFF) << "," << size.under[0] << "," << size.under[1] << "\t; "
            << size.subtrees << " of " << leaves << "\n";
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool sizes = argc == 3 && std::string(argv[1]) == "--sizes";
    if (argc != 2 && !sizes) {
        std::cerr << "usage: turbo_table [--sizes] OUT\n";
        return 2;
    }
    const TurboCode& code = TurboCode::uniform();
    if (code.nodes.size() > 128) {
        std::cerr << "turbo_table: " << code.nodes.size() << " nodes do not fit a page of 128\n";
        return 1;
    }
    // Written whole or not at all: a failed check leaves no file behind.
    std::ostringstream text;
    if (!sizes)
        write_table(text, code);
    else if (!write_sizes(text, code))
        return 1;
    const char* path = argv[argc - 1];
    std::ofstream out(path);
    out << text.str();
    out.close();
    if (!out) {
        std::cerr << "turbo_table: cannot write " << path << "\n";
        std::remove(path);
        return 1;
    }
    return 0;
}
