#pragma once
// Packed images: a program compressed and wrapped with the Z80 code that
// restores and starts it on the MSX.
//
// BIN image (COM, ROM, BASIC): 0xFE, start S = 0xE000 - P, end (last byte of
// the depacker), exec 0xE000; the P bytes of packed data; the BIN depacker
// with its parameter block (offsets 2..10) filled in: mode, S, destination,
// R, the CRC of stored data (else 0), and in its last two bytes the CRC of
// its own bytes before them.  Self-extracting image (SFX): a 23-byte COM
// prologue that moves the image so that the SFX depacker sits at 0xBC00 with
// the packed data right below it, the packed data, the SFX depacker, whose
// last two bytes hold the CRC of the data and the depacker before them.
// CRCs are the method-2 header's CRC-16, stored low byte first.  The
// depackers check them, and packed data's own header CRCs, and start
// nothing damaged.  Packed data is in method 2, except in the turbo tape's
// BIN images (DepackerSite::turbo), whose depacker decodes tpk and leaves
// the CRCs to the turbo loader, which checks the whole image first.
//
// P is the packed data's length and R the stored length: when packing does
// not make the input smaller the packed data is the input itself (P = L) and
// R = L tells the depacker to copy it; otherwise R = 0.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class PackMode : std::uint8_t { com = 0x00, sfx = 0x01, rom = 0x41, basic = 0xFF };

// Where a BIN image's depacker runs: at 0xE000 for the fast loader and
// BLOAD, or below the turbo main loader (turbo_depacker_address()), which
// occupies 0xE000 on.  The image ends with the depacker either way, so the
// site is also the ceiling of the packed data and of the restored program.
enum class DepackerSite : std::uint8_t { fast, turbo };

// The depacker's code for `site` and the kind of program it restores, and
// its address for `site`.
std::span<const std::uint8_t> bin_depacker_for(DepackerSite site, PackMode mode);
std::uint16_t bin_depacker_address_for(DepackerSite site);

// Builds the image in `buffer` from offset 0 over the input in its first
// `length` bytes; grows the buffer when the image needs more room than it
// has (never writes past its end).  Returns the image length.
std::uint32_t pack_image(std::vector<std::uint8_t>& buffer, std::uint32_t length, PackMode mode,
                         DepackerSite site = DepackerSite::fast);

// The SFX depacker as it goes right behind `data` (packed or stored), its
// last word the CRC of the data and the depacker's other bytes.
std::vector<std::uint8_t> sfx_depacker_behind(std::span<const std::uint8_t> data);

// Room for a self-extracting image where the DOS tape reader receives it:
// from 0x0400 up to 0xBA00, where it stops taking bytes.
inline constexpr std::uint32_t dos_reader_image_room = 0xBA00 - 0x0400;

// Addresses of the images.
inline constexpr std::uint16_t bin_depacker_address = 0xE000;
inline constexpr std::uint16_t sfx_depacker_address = 0xBC00;
inline constexpr std::uint32_t bin_header_length = 7;
inline constexpr std::uint32_t sfx_header_length = 23;

// Memory on the MSX.  The fast loader stores an image with page 1 on RAM,
// page 0 holding the BIOS; the depacker of a BASIC program runs with page 1
// back on the BASIC ROM, so that image must load in pages 2 and 3.  A BASIC
// program is restored at the start of BASIC text less one (its leading
// 0x00), 0x8000 on the machines with RAM from there up that the loader needs.
inline constexpr std::uint32_t lowest_image_address = 0x4000;
inline constexpr std::uint32_t lowest_basic_image_address = 0x8000;
inline constexpr std::uint32_t basic_restore_address = 0x8000;

// Where the BIN depacker restores the program: 0x0100 for a COM program,
// the 16 KB page of a ROM's INIT address (whose high byte is input byte 3),
// BASIC text for a BASIC program.
std::uint32_t restore_address(PackMode mode, std::uint8_t byte3);

// Why a program of `length` bytes can't be restored by the BIN depacker,
// checked before packing: it would reach the depacker, or (a ROM) land in
// page 0 over the BIOS.  Empty when it may fit.
std::string restore_fault(PackMode mode, std::uint8_t byte3, std::uint32_t length,
                          DepackerSite site = DepackerSite::fast);

// Why the BIN image that pack_image built from `length` input bytes can't be
// loaded and restored, or empty when it can: it must load at or above the
// lowest address for its mode (a COM image also above the helper that its
// depacker copies to 0x4000), and decoding must neither overtake the packed
// data it reads nor reach the depacker.
std::string bin_image_fault(std::span<const std::uint8_t> image, PackMode mode, std::uint32_t length,
                            std::uint8_t byte3, DepackerSite site = DepackerSite::fast);
