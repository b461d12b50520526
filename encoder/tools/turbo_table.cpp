// turbo_table OUT: writes the decode table of the uniform turbo code as a Z80
// assembler include of three 256-byte pages, one per letter.  In the page of
// letter t, byte n (n < 128) is the node that letter leads to from node n, or
// 0 when it leads to a leaf (the root is never a child); byte 128 + n is that
// leaf's byte.  The includer places the pages on a 256-byte boundary.
#include "codec/turbo_code.h"

#include <cstdio>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: turbo_table OUT\n";
        return 2;
    }
    const TurboCode& code = TurboCode::uniform();
    if (code.nodes.size() > 128) {
        std::cerr << "turbo_table: " << code.nodes.size() << " nodes do not fit a page of 128\n";
        return 1;
    }
    std::ofstream out(argv[1]);
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
    out.close();
    if (!out) {
        std::cerr << "turbo_table: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
