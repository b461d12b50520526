#pragma once
// Running the external tools of the tests (openMSX, sox, lame) as child
// processes: arguments passed as they are, never through a shell, and
// every run bounded by a wall-clock limit.

#include <filesystem>
#include <string>
#include <vector>

namespace tools {

struct ChildOptions {
    std::filesystem::path cwd;                 // empty: the current directory
    std::vector<std::string> environment;      // "NAME=value" set on top of ours
    int timeout_seconds = 120;                 // then the child is killed
};

struct ChildResult {
    int status = -1;     // exit status; -1 when it did not exit normally
    bool timed_out = false;
    std::string output;  // standard output and standard error together
};

// Runs `argv` (argv[0] looked up in PATH) and waits for it.  Throws
// std::runtime_error when the program cannot be started at all.
ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options = {});

// Whether `program` is found in PATH.
bool in_path(const std::string& program);

}  // namespace tools
