#include "bench_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace bench {
namespace {

std::string quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::vector<std::uint8_t> read_all(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_all(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool tapecast(const std::filesystem::path& dir, std::vector<std::string> args, const std::string& wav)
{
    args.insert(args.begin() + 1, {"-o", wav});
    std::string command = "cd " + quote(dir.string()) + " && " + quote(TAPECAST_PATH);
    for (const std::string& arg : args)
        command += " " + quote(arg);
    command += " > /dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(dir / wav);
}

}  // namespace bench
