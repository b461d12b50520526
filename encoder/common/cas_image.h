#pragma once
// CAS tape images: the blocks of a cassette as bytes, without the signal.
// Each block stands behind an 8-byte block mark that starts at a multiple of
// 8 bytes from the start of the image, and runs up to the next mark (or the
// end of the image).  A file is a descriptor block (ten type bytes 0xD0, 0xD3
// or 0xEA and six name bytes) and its data blocks; a block that no
// descriptor claims is read by a program with a loader of its own.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::array<std::uint8_t, 8> cas_block_mark = {0x1F, 0xA6, 0xDE, 0xBA, 0xCC, 0x13, 0x7D, 0x74};

enum class CasKind {
    bin,         // 0xD0: BLOAD; one data block: start, end, exec, the bytes
    basic,       // 0xD3: CLOAD; one data block: the program text, ten 00h at its end
    ascii,       // 0xEA: LOAD, OPEN; 256-byte data blocks up to the one with 1Ah
    headerless,  // one block without a descriptor
};

struct CasFile {
    CasKind kind = CasKind::headerless;
    std::string name;       // the descriptor's six name bytes; empty without one
    std::size_t offset = 0; // where its first block's mark stands in the image
    // The blocks as they go on tape, the descriptor first.  A BIN or BASIC
    // data block ends where the MSX stops reading it: the fewer than 8 bytes
    // after that only fill it up to the next block mark.
    std::vector<std::vector<std::uint8_t>> blocks;
};

// The files of an image in tape order, or (with `files` empty) what makes
// the image unreadable: no block mark at its start, a descriptor without
// its data, a block cut short.
struct CasImage {
    std::vector<CasFile> files;
    std::string error;
};
CasImage read_cas_image(std::span<const std::uint8_t> image);

// A BIN or BASIC file of the image as a file of that kind on disk is:
// 0xFE, the addresses and the data; or 0xFF and the program text up to its
// end link.
std::vector<std::uint8_t> cas_file_contents(const CasFile& file);

// The descriptor's name without the blanks that pad it.
std::string cas_display_name(const CasFile& file);

// Whether `path` names a CAS image: it ends in ".cas", in any case.
bool is_cas_name(std::string_view path);
