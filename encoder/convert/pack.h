#pragma once
// Packed images: a program compressed and wrapped with the Z80 code that
// restores and starts it on the MSX.
//
// BIN image (COM, ROM, BASIC): 0xFE, start S = 0xE000 - P, end (last byte of
// the depacker), exec 0xE000; the P bytes of packed data; the BIN depacker
// with its parameter block (offsets 2..8) filled in: mode, S, destination,
// R.  Self-extracting image (SFX): a 23-byte COM prologue that moves the
// image so that the SFX depacker sits at 0xBC00 with the packed data right
// below it, the packed data, the SFX depacker.
//
// P is the packed data's length and R the stored length: when packing does
// not make the input smaller the packed data is the input itself (P = L) and
// R = L tells the depacker to copy it; otherwise R = 0.

#include <cstdint>
#include <vector>

enum class PackMode : std::uint8_t { com = 0x00, sfx = 0x01, rom = 0x41, basic = 0xFF };

// Builds the image in `buffer` from offset 0 over the input in its first
// `length` bytes; grows the buffer when the image needs more room than it
// has (never writes past its end).  Returns the image length.
std::uint32_t pack_image(std::vector<std::uint8_t>& buffer, std::uint32_t length, PackMode mode);

// Addresses of the images.
inline constexpr std::uint16_t bin_depacker_address = 0xE000;
inline constexpr std::uint16_t sfx_depacker_address = 0xBC00;
inline constexpr std::uint32_t bin_header_length = 7;
inline constexpr std::uint32_t sfx_header_length = 23;
