#include "test_support.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
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

std::vector<std::uint8_t> seeded_bytes(std::size_t size, std::uint32_t seed, unsigned alphabet)
{
    std::mt19937 random(seed);  // its sequence is fixed by the standard
    std::vector<std::uint8_t> bytes(size);
    for (std::uint8_t& byte : bytes)
        byte = std::uint8_t(random() % alphabet);
    return bytes;
}

std::vector<std::uint8_t> seeded_patchwork(std::size_t size, std::uint32_t seed, std::size_t reach)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> out;
    while (out.size() < size) {
        if (out.size() < 16 || random() % 3 == 0) {
            out.push_back(std::uint8_t(random()));
            continue;
        }
        const std::size_t back = 1 + random() % std::min<std::size_t>(out.size(), random() % 2 ? 300 : reach);
        const std::size_t length = 2 + random() % (random() % 8 == 0 ? 300 : 12);
        for (std::size_t i = 0; i < length && out.size() < size; ++i)
            out.push_back(out[out.size() - back]);
    }
    return out;
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

std::vector<std::uint8_t> make_cas(const std::vector<std::vector<std::uint8_t>>& blocks, std::uint8_t filler)
{
    static const std::uint8_t mark[] = {0x1F, 0xA6, 0xDE, 0xBA, 0xCC, 0x13, 0x7D, 0x74};
    std::vector<std::uint8_t> image;
    for (const std::vector<std::uint8_t>& block : blocks) {
        image.resize((image.size() + 7) / 8 * 8, filler);
        image.insert(image.end(), std::begin(mark), std::end(mark));
        image.insert(image.end(), block.begin(), block.end());
    }
    return image;
}

std::vector<std::uint8_t> cas_descriptor(std::uint8_t type, const std::string& name)
{
    std::vector<std::uint8_t> block(16, ' ');
    std::fill_n(block.begin(), 10, type);
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 6), block.begin() + 10);
    return block;
}

bool run_shell(const std::string& command, const std::filesystem::path& cwd)
{
    std::string line = "cd " + quote(cwd.string()) + " && (" + command + ") >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

bool make_floppy(const std::string& image, const std::vector<FloppyFile>& files, bool two_sides)
{
    const std::string geometry = two_sides ? "-f 720" : "-t 80 -h 1 -s 9 -c 2 -r 7 -L 2 -m 0xF8";
    const std::filesystem::path cwd = std::filesystem::path(image).parent_path();
    const std::string source = image + ".file";
    bool ok = run_shell("rm -f " + quote(image) + " && mformat -C -i " + quote(image) + " " + geometry + " ::", cwd);
    for (const FloppyFile& file : files) {
        write_file(source, file.second);
        ok = ok && run_shell("mcopy -i " + quote(image) + " " + quote(source) + " " + quote("::" + file.first), cwd);
    }
    std::filesystem::remove(source);
    return ok;
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
