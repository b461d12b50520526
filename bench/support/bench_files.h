#pragma once
// What the benchmark programs share: files in a scratch folder and tapecast
// runs there.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

std::vector<std::uint8_t> read_all(const std::filesystem::path& path);
void write_all(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// Runs tapecast in `dir` with `args` (the mode first; "-o wav" is put after
// it), its output discarded; true when it succeeded and wrote `wav`.
bool tapecast(const std::filesystem::path& dir, std::vector<std::string> args, const std::string& wav);

}  // namespace bench
