#pragma once
// The single current input: a file from disk or a built-in image, loaded by
// keyword, read sequentially and rewritten in place by the conversions.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The 7-byte header of an MSX BIN (BLOAD) file; numbers little-endian.
struct BinHeader {
    static constexpr std::uint8_t type = 0xFE;
    std::uint16_t start = 0;  // where the data is loaded
    std::uint16_t end = 0;    // address of the last data byte
    std::uint16_t exec = 0;   // where the program is started

    static BinHeader read(const std::uint8_t* bytes);
};

struct LoadedFile {
    std::vector<std::uint8_t> data;  // file size + 1024 spare bytes, or the image
    std::uint32_t size = 0;          // valid bytes
    std::uint32_t position = 0;      // next byte to read
    int handle = -1;                 // the open disk file, -1 for built-in images
    bool loaded = false;

    bool at_end() const { return position >= size; }
    std::uint8_t next() { return data[position++]; }
};

extern LoadedFile current_input;

// Spare bytes after a disk file's data, room for conversions that grow it.
inline constexpr std::uint32_t input_spare_bytes = 1024;
// Largest ROM image accepted outside DOS mode.
inline constexpr std::uint32_t max_rom_size = 49152;

// Loads a path, or the keyword "LOADER", or a text beginning with "RAMDOS"
// whose suffix sets the RAM-disk parameters.  Every failure is fatal.
void load_input(std::string_view text);
// Frees the buffer and closes the input handle, each only if held.
void release_input();

// Writes the current data to `base` + `extension` and reports it; a copy that
// can't be written is reported and the run goes on.
void write_packed_copy(std::string_view base, std::string_view extension);
