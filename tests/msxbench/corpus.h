#pragma once
// Real MSX binaries for tests and benchmarks: the C-BIOS ROM images of the
// cbios package and the bundled example programs.

#include <cstdint>
#include <string>
#include <vector>

namespace msxbench {

struct CorpusFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

// The files in name order, C-BIOS first; missing files are left out.
std::vector<CorpusFile> load_corpus(const std::string& examples_dir);

}  // namespace msxbench
