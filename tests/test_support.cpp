#include "test_support.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/wait.h>

namespace test_support {

ScratchDir::ScratchDir()
{
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("cassonic-test-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

std::string quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

}  // namespace

RunResult run_tapecast(const std::vector<std::string>& args, const std::filesystem::path& cwd)
{
    std::vector<std::string> command = {TAPECAST_PATH};
    command.insert(command.end(), args.begin(), args.end());
    return run_command(command, cwd);
}

RunResult run_command(const std::vector<std::string>& words, const std::filesystem::path& cwd)
{
    std::string command = "cd " + quote(cwd.string()) + " &&";
    for (const std::string& word : words)
        command += " " + quote(word);
    command += " 2>&1";
    RunResult result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> chunk;
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        result.output.append(chunk.data(), got);
    int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::vector<std::uint8_t> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::uint8_t> make_bin(std::uint16_t start, std::uint16_t exec, const std::vector<std::uint8_t>& data)
{
    std::uint16_t end = std::uint16_t(start + data.size() - 1);
    std::vector<std::uint8_t> bin(7 + data.size());
    const std::uint8_t header[] = {0xFE, std::uint8_t(start), std::uint8_t(start >> 8), std::uint8_t(end),
                                   std::uint8_t(end >> 8), std::uint8_t(exec), std::uint8_t(exec >> 8)};
    std::copy(std::begin(header), std::end(header), bin.begin());
    std::copy(data.begin(), data.end(), bin.begin() + 7);
    return bin;
}

std::string after_banner(const std::string& output)
{
    // The banner is five lines after a leading line break, then one more.
    std::size_t at = 0;
    for (int line = 0; line < 6 && at != std::string::npos; ++line)
        at = output.find('\n', at + (line ? 1 : 0));
    return at == std::string::npos ? std::string() : output.substr(at + 1);
}

}  // namespace test_support
