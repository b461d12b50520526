#pragma once
// Reading the MSX standard tape format back from a WAV, as the BIOS would
// read the first file of a fast-mode tape: the loader that BLOAD"CAS:",R
// loads.  Machines without tape routines (C-BIOS) get that program from
// here, and the tape from the sample after it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace openmsx {

// One block of standard bytes: a sync tone, then bytes of 11 cells (a 0
// start bit, eight data bits from bit 0, two 1 stop bits).
struct StandardBlock {
    std::vector<std::uint8_t> bytes;
    std::size_t end_sample = 0;  // the sample after the block's last cell
    double end_seconds = 0;      // the same as playing time
};

// The first `count` blocks of the recording (its samples read by their
// sign, as a level).  Throws std::runtime_error when the recording does
// not hold them.
std::vector<StandardBlock> read_standard_blocks(const std::filesystem::path& wav, std::size_t count);

// The BIN file at the start of a recording: a header block of ten 0xD0 and
// a name, then its data block.
struct TapeBin {
    std::string name;
    std::uint16_t start = 0;
    std::uint16_t end = 0;   // the address of the last byte
    std::uint16_t exec = 0;
    std::vector<std::uint8_t> program;
    std::size_t end_sample = 0;  // the sample after its last cell
    double end_seconds = 0;
};
TapeBin read_first_bin(const std::filesystem::path& wav);

// A WAV file's sample rate and number of samples, from its header.
struct WavInfo {
    std::uint32_t rate = 0;
    std::size_t samples = 0;
    double seconds() const { return double(samples) / rate; }
};
WavInfo wav_info(const std::filesystem::path& wav);

// Writes `out` as the samples of `in` from `first` on, in the same format.
void write_wav_from(const std::filesystem::path& in, const std::filesystem::path& out, std::size_t first);

}  // namespace openmsx
