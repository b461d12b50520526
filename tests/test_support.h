#pragma once
// Helpers shared by the encoder tests: scratch directories, running the
// tapecast program, reading WAV files back.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

struct RunResult {
    int status = -1;
    std::string output;  // standard output and standard error together
};

// Runs the tapecast program with `args` in directory `cwd`.
RunResult run_tapecast(const std::vector<std::string>& args, const std::filesystem::path& cwd);
// Runs `command` (a program and its arguments, looked up on the PATH) in
// directory `cwd`.
RunResult run_command(const std::vector<std::string>& command, const std::filesystem::path& cwd);

std::vector<std::uint8_t> read_file(const std::string& path);
void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes);

// `size` bytes from a seeded generator, the same for a seed on every machine:
// values 0 to alphabet - 1, each as likely (256: bytes that do not pack).
std::vector<std::uint8_t> seeded_bytes(std::size_t size, std::uint32_t seed, unsigned alphabet = 256);

// `size` bytes shaped like machine code, from a seeded generator: literals,
// and pieces of 2 to 301 bytes copied from up to 300 bytes back or, as often,
// from up to `reach` back (SIZE_MAX: anywhere before).
std::vector<std::uint8_t> seeded_patchwork(std::size_t size, std::uint32_t seed, std::size_t reach);

// A BIN file: 0xFE, start, end (start + size - 1), exec, then the data.
std::vector<std::uint8_t> make_bin(std::uint16_t start, std::uint16_t exec, const std::vector<std::uint8_t>& data);

// A CAS image of these blocks, each behind the 8-byte block mark at an
// 8-byte boundary, `filler` up to it.
std::vector<std::uint8_t> make_cas(const std::vector<std::vector<std::uint8_t>>& blocks, std::uint8_t filler = 0);
// A file descriptor: ten `type` bytes and `name` padded to six characters.
std::vector<std::uint8_t> cas_descriptor(std::uint8_t type, const std::string& name);

// Runs a shell command line in `cwd`, its output thrown away; true when it
// succeeds.
bool run_shell(const std::string& command, const std::filesystem::path& cwd);

// Makes a 720K MSX-DOS 1 floppy image with mtools (360K: one side) at
// `image`, holding `files` (name "NAME.EXT", contents) in this order; true
// when it succeeds.
using FloppyFile = std::pair<std::string, std::vector<std::uint8_t>>;
bool make_floppy(const std::string& image, const std::vector<FloppyFile>& files, bool two_sides = true);

// The text after the banner (the banner's logo is free to change).
std::string after_banner(const std::string& output);

}  // namespace test_support
