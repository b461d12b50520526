#pragma once
// The MSX-side programs that tapecast carries, built from msx/ at build time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The fast loader, a BIN image loaded and started at 0xE400 (keyword LOADER).
std::span<const std::uint8_t> loader_image();
// The RAM-disk DOS, a BIN image loaded at 0x8300 and started at 0x8304
// (keyword RAMDOS); its first three data bytes are the RAM-disk parameters.
std::span<const std::uint8_t> ramdos_image();
// The BIN depacker, raw code run at 0xE000; bytes 2 to 10 are its parameter
// block (mode, packed data address, destination, stored length, stored
// data's CRC), its last two bytes the CRC of the bytes before them.
std::span<const std::uint8_t> bin_depacker_image();
// The same depacker as the turbo tape carries it, run at
// turbo_depacker_address(), below the turbo main loader: one for each kind
// of program, by the mode byte of its parameter block (0x00 COM, 0x41 ROM,
// 0xFF BASIC), without the code for the other kinds.
std::span<const std::uint8_t> turbo_depacker_image(std::uint8_t mode);
std::uint16_t turbo_depacker_address();
// The addresses in page 1 RAM (first, one past the last) that the BIN
// depacker overwrites with a helper before it restores a COM program.
struct AddressRange {
    std::uint16_t first = 0;
    std::uint16_t end = 0;
};
AddressRange bin_depacker_com_helper();
// The self-extracting depacker, raw code run at 0xBC00; its last two bytes
// are the CRC of the data below it and of its bytes before them.
std::span<const std::uint8_t> sfx_depacker_image();
// The turbo mode's bootstrap: raw code that BLOAD loads to and starts at
// `turbo_boot_address`; the main loader's length and CRC-16 go at the
// offsets given.
struct TurboBoot {
    std::span<const std::uint8_t> image;
    std::uint16_t address = 0;
    std::size_t length_offset = 0;
    std::size_t crc_offset = 0;
};
TurboBoot turbo_boot();
// The turbo main loader: raw code the bootstrap reads to and starts at
// `address`.  Its list of files goes right after its image and must end by
// `list_end`.  No file may load into [busy_start, busy_end) (its code, its
// decode table and its reader's work pages and loops).  A tape with no
// BASIC program that keeps it as its BLOAD hook gets the image up to
// `hook_part` only, with that address in the word at `list_at`.
struct TurboLoader {
    std::span<const std::uint8_t> image;
    std::uint16_t address = 0;
    std::uint16_t list_end = 0;
    std::uint16_t busy_start = 0;
    std::uint16_t busy_end = 0;
    std::uint16_t hook_part = 0;
    std::uint16_t list_at = 0;
};
TurboLoader turbo_loader();
// Sizes of the system files the RAM-disk DOS writes onto its disk at start-up
// (COMMAND.COM, MSXDOS.SYS, K7.COM), unless told to leave them off.
std::array<std::size_t, 3> ramdos_system_file_sizes();
