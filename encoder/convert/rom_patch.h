#pragma once
// ROM identification: a checksum of the image's first 8K, looked up in the
// user's patch file and in a built-in table; matching entries patch bytes.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

// The name of the user's patch file, opened in the working directory.
inline constexpr const char* patch_file_name = "tapecast.ptc";

// Sum modulo 2^32 of the first 2048 little-endian 32-bit words; bytes beyond
// a shorter image count as zero.
std::uint32_t rom_checksum(std::span<const std::uint8_t> image);

// Looks the current input's checksum up in the patch file (when it is a
// regular file), then in the built-in table, and applies every matching
// entry in that order.
void identify_rom();

// Applies every line of a patch file whose checksum is `checksum` or
// "00000000", in order, each line read whole; prints "found !" for each.
// Returns the number of lines applied.
int apply_patch_lines(std::FILE* file, std::string_view checksum, std::span<std::uint8_t> image);

// Applies one entry, "cccccccc|Title|AAAA:vv,vv;AAAA:vv", to `image` (the
// cartridge seen at 0x4000) and prints what it changes.  Groups that fall
// outside the image and malformed text are skipped with a printed line.
void apply_patch_line(std::string_view line, std::span<std::uint8_t> image);
