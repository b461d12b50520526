#include "child_process.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tools {

namespace {

// The child's output goes to a temporary file: a pipe would need a reader
// while we wait.
std::filesystem::path output_file()
{
    std::random_device random;
    return std::filesystem::temp_directory_path() / ("cassonic-child-" + std::to_string(random()) + ".txt");
}

std::vector<char*> c_strings(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options)
{
    if (argv.empty())
        throw std::invalid_argument("run_child: no program");
    // timeout(1) sends TERM at the limit and KILL five seconds later, and
    // exits with 124 when the limit was reached.
    std::vector<std::string> args = {"timeout", "--kill-after=5", std::to_string(options.timeout_seconds)};
    args.insert(args.end(), argv.begin(), argv.end());
    // Ours, without the variables the options set.
    std::vector<std::string> env = options.environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(options.environment.begin(), options.environment.end(),
                         [&name](const std::string& set) { return set.starts_with(name); }))
            env.push_back(entry);
    }

    const std::filesystem::path log = output_file();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (!options.cwd.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
    std::vector<char*> arg_pointers = c_strings(args);
    std::vector<char*> env_pointers = c_strings(env);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "timeout", &actions, nullptr, arg_pointers.data(), env_pointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ChildResult result;
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
        result.timed_out = result.status == 124;
    }
    std::ifstream in(log, std::ios::binary);
    result.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    in.close();
    std::error_code ignored;
    std::filesystem::remove(log, ignored);
    if (result.status == 127 && result.output.find("No such file") != std::string::npos)
        throw std::runtime_error("cannot start " + argv[0] + ": " + result.output);
    return result;
}

bool in_path(const std::string& program)
{
    const char* path = std::getenv("PATH");
    if (!path)
        return false;
    std::string dirs = path;
    std::size_t from = 0;
    while (from <= dirs.size()) {
        const std::size_t to = std::min(dirs.find(':', from), dirs.size());
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(from, to - from)) / program;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        from = to + 1;
    }
    return false;
}

}  // namespace tools
