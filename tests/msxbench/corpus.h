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

// Where the cbios package keeps its ROM images, and whether they are there.
inline constexpr const char* cbios_dir = "/usr/share/cbios";
bool cbios_installed();

// For a test that needs the C-BIOS images: in its body,
// `if (!cbios_installed()) CBIOS_SKIP();`
#define CBIOS_SKIP() GTEST_SKIP() << "the cbios package's ROM images are not in " << ::msxbench::cbios_dir

}  // namespace msxbench
