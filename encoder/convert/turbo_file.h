#pragma once
// The turbo tape: a standard-format block that BLOAD"CAS:",R reads (the
// bootstrap), the main loader in the bootstrap's two-letter code, then each
// file as one block of the turbo signal in the uniform code.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codec/turbo_code.h"

// One BIN file, tokenized BASIC program or packed image, read and checked
// before anything is written.
struct TurboFile {
    std::string label;              // the argument, for messages and the timeline
    const char* kind = "BIN";       // BIN, BAS, ROM or COM, for the messages
    std::uint16_t start = 0;
    std::uint16_t exec = 0;
    bool run = true;                // start it once loaded ("-n" clears it)
    bool basic = false;             // a BASIC program: stored at TXTTAB, run by BASIC
    bool packed = false;            // a packed image, started through its depacker
    bool page1_ram = false;         // loaded with RAM in page 1 (a packed image, a BIN there)
    bool keep_page1_ram = false;    // started with that RAM still there (a ROM)
    std::vector<std::uint8_t> data; // from start on, end - start + 1 bytes
};

// Reads `path` for the turbo tape: a BIN file, a tokenized BASIC program of
// at most 2048 bytes (its 0xFF included), or, packed with a depacker as the
// fast modes pack them, a ROM, a COM program or a larger BASIC program.
// Refuses (fatal errors) anything else, a BIN shorter than its header says,
// one that would load over the turbo loader, a program that can't be
// restored, and a list longer than the loader holds (`files_before` files
// already taken).
TurboFile read_turbo_file(const std::string& path, char run_flag, std::size_t files_before);

// Refuses (fatal error) a ROM or COM program to be started that is not the
// last file (a started depacker never hands back to the loader), and a
// BASIC program to be run followed by anything but BIN files: BASIC never
// hands back either, its BLOAD statements load the files after it.
void check_turbo_order(const std::vector<TurboFile>& files);

// The code the last file goes in: one fitted to its bytes where the
// description's block and the file's block in that code play shorter than
// the file's one block in the uniform code (the description's block brings
// a lead-in of its own), and the file holds at least the description's 512
// bytes (the MSX reads the description to where the file goes).  `fitted`
// tells which was chosen.
TurboCode turbo_last_file_code(std::span<const std::uint8_t> bytes, bool* fitted);

// Writes the whole tape for `files` (at least one), the last file followed
// by `last_pause_ms` of silence.  `mark` notes where each piece starts, as
// the driver's timeline wants it.
void encode_turbo_tape(const std::vector<TurboFile>& files,
                       void (*mark)(const std::string& kind, const std::string& name), int last_pause_ms);

// A DOS-mode file (or part of one, `part` from 2 on) for K7 in the turbo
// signal: the current input becomes its self-extracting image, sent as a
// header block (the flags, the 11-character name and the image's length)
// and the image's block, which ends with the CRC-16 of the header and the
// image.  The name comes from `path` unless `msx_name` gives it.
void encode_turbo_dos_file(std::string_view path, std::uint8_t flags, int part,
                           std::optional<std::string_view> msx_name = std::nullopt);

// The most bytes of WAV that encode_turbo_dos_file writes for one part of
// `size` bytes.
std::uint64_t turbo_dos_file_bytes_at_most(std::uint64_t size);

// The most bytes of WAV that encode_turbo_tape writes for files whose data
// add up to `total_data` bytes, less the pauses between files.
std::uint64_t turbo_tape_bytes_at_most(std::size_t file_count, std::uint64_t total_data);

// The most files one turbo tape carries (the main loader's list).
std::size_t turbo_files_at_most();
