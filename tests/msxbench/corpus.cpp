#include "corpus.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace msxbench {

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> read_all(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<CorpusFile> files_in(const fs::path& dir, const std::vector<std::string>& extensions)
{
    std::vector<CorpusFile> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
            continue;
        files.push_back({entry.path().filename().string(), read_all(entry.path())});
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return files;
}

}  // namespace

bool cbios_installed()
{
    return std::filesystem::exists(std::filesystem::path(cbios_dir) / "cbios_main_msx1.rom");
}

std::vector<CorpusFile> load_corpus(const std::string& examples_dir)
{
    std::vector<CorpusFile> corpus = files_in(cbios_dir, {".rom"});
    for (auto& file : files_in(examples_dir, {".bin", ".bas"}))
        corpus.push_back(std::move(file));
    return corpus;
}

}  // namespace msxbench
