// Measures how close tapecast's WAV writing comes to the disk's own speed:
// a 48K BIN encoded at 1200 baud and in CD mode, each timed against one
// large write of the same number of bytes into the same directory, made by
// a fresh process (this program in its writing role, linked statically as
// tapecast is, so both pay the same for starting) and from inside this
// process (which pays nothing for it).
//
// Usage: wav_bench [directory]   (default: the current directory)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int rounds = 15;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs a program directly (no shell in between) with its output discarded.
double time_program(const char* program, const std::vector<std::string>& args)
{
    std::vector<char*> argv = {const_cast<char*>(program)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

    auto start = Clock::now();
    pid_t child;
    int status = -1;
    if (posix_spawnp(&child, program, &actions, nullptr, argv.data(), environ) == 0)
        waitpid(child, &status, 0);
    double elapsed = seconds_since(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", program);
        std::exit(1);
    }
    return elapsed;
}

double time_tapecast(const std::vector<std::string>& args) { return time_program(TAPECAST_PATH, args); }

// The same bytes written with one write by this program started anew in
// its writing role, so that both sides pay for starting a process.
const char* self_path = nullptr;
double time_writer_process(const std::string& path, std::size_t size)
{
    return time_program(self_path, {"--write-once", path, std::to_string(size)});
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double time_single_write(const std::string& path, const std::vector<char>& bytes)
{
    auto start = Clock::now();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done = 0;
    while (fd >= 0 && done < bytes.size()) {
        ssize_t got = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (got <= 0)
            break;
        done += std::size_t(got);
    }
    if (fd >= 0)
        ::close(fd);
    return seconds_since(start);
}

void measure(const char* title, const std::string& dir, const std::string& mode, const std::string& input)
{
    std::string wav = dir + "/bench_tapecast.wav";
    std::string raw = dir + "/bench_raw.bin";
    const std::vector<std::string> args = {mode, "-o", wav, input};
    time_tapecast(args);  // warm up the page cache
    std::vector<char> bytes(std::filesystem::file_size(wav), 'x');

    // Alternate the three so that all see the same state of the machine.
    std::vector<double> encoder, process, single;
    for (int i = 0; i < rounds; ++i) {
        encoder.push_back(time_tapecast(args));
        process.push_back(time_writer_process(raw, bytes.size()));
        single.push_back(time_single_write(raw, bytes));
    }
    double e = median(encoder), p = median(process), s = median(single);
    std::printf("%-17s %9zu bytes  tapecast %6.1f ms | one write by a process %6.1f ms, ratio %.2f"
                " | one write in this process %6.1f ms, ratio %.2f\n",
                title, bytes.size(), e * 1000, p * 1000, e / p, s * 1000, e / s);
    std::filesystem::remove(wav);
    std::filesystem::remove(raw);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--write-once") {
        std::vector<char> bytes(std::stoul(argv[3]), 'x');
        time_single_write(argv[2], bytes);
        return 0;
    }
    self_path = argv[0];
    std::string dir = argc > 1 ? argv[1] : ".";
    std::string input = dir + "/bench_48k.bin";

    std::vector<unsigned char> bin = {0xFE, 0x00, 0x40, 0xFF, 0xFF, 0x00, 0x40};
    std::mt19937 random(48);
    for (int i = 0; i < 49152; ++i)
        bin.push_back((unsigned char)random());
    if (std::FILE* file = std::fopen(input.c_str(), "wb")) {
        std::fwrite(bin.data(), 1, bin.size(), file);
        std::fclose(file);
    }

    std::printf("48K BIN, median of %d runs each (target: ratio at most 1.5)\n", rounds);
    measure("1200 baud, 8-bit", dir, "1200", input);
    measure("CD mode, 16-bit", dir, "-cd", input);
    std::filesystem::remove(input);
    return 0;
}
