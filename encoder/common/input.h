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

// "RAMDOS", "RAMDOS." and "RAMDOS." followed by the digits of the RAM-disk
// parameters (video RAM pages, RAM pages) and an 'n' that keeps the DOS
// files off the disk: "RAMDOS.7", "RAMDOS.73", "RAMDOS.73n".  Any other text
// is a path, "RAMDOS.COM" included.
bool is_ramdos_keyword(std::string_view text);
// "LOADER" or a RAMDOS keyword: a built-in image, not a path.
bool is_keyword(std::string_view text);

// Loads a path, or the keyword "LOADER", or a RAMDOS keyword whose suffix
// sets the RAM-disk parameters.  Only regular files are read (a FIFO or a
// device is refused without waiting on it).  Every failure is fatal.
void load_input(std::string_view text);
// Frees the buffer and closes the input handle, each only if held.
void release_input();

// The paths that no packed copy may replace: the run's inputs and output.
void protect_run_files(std::vector<std::string> inputs, std::string output);

// Writes the current data for `base` + `extension` and reports it.  The copy
// goes to a temporary beside that name until commit_packed_copies; one whose
// name is a file of this run is skipped, and one that can't be written is
// reported, the run going on either way.
void write_packed_copy(std::string_view base, std::string_view extension);
// Puts the copies of a run that has succeeded in place, in the order they
// were written.
void commit_packed_copies();
