#include "common/staged_files.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the signal handler may touch: a path and the identity of the file it
// must still name.  The path is published last and withdrawn first, so the
// handler never sees a half-filled entry.
struct RemovalEntry {
    std::atomic<const char*> path{nullptr};
    dev_t dev = 0;
    ino_t ino = 0;
};
static_assert(std::atomic<const char*>::is_always_lock_free);

// Enough for the output, a copy for each of the 100 files and some more.
constexpr std::size_t max_entries = 256;
RemovalEntry entries[max_entries];
RemovalEntry watched;

struct StagedFile {
    std::string final_path;
    std::string temp_path;
    int entry = -1;  // index in `entries` while the temporary exists
};
// A deque keeps every element (and the path the handler reads) in place as it grows.
std::deque<StagedFile> staged;
std::string watched_path;

void publish(RemovalEntry& entry, const std::string& path, const struct stat& info)
{
    entry.dev = info.st_dev;
    entry.ino = info.st_ino;
    entry.path.store(path.c_str());
}

// Async-signal-safe: lstat and unlink only.
void remove_if_same(const RemovalEntry& entry)
{
    const char* path = entry.path.load();
    struct stat info;
    if (path && ::lstat(path, &info) == 0 && S_ISREG(info.st_mode) && info.st_dev == entry.dev
        && info.st_ino == entry.ino)
        ::unlink(path);
}

std::string folder_of(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void write_text(const char* text)
{
    std::size_t length = std::strlen(text);
    while (length > 0) {
        ssize_t done = ::write(STDOUT_FILENO, text, length);
        if (done <= 0)
            return;
        text += done;
        length -= std::size_t(done);
    }
}

const char* signal_name(int sig)
{
    switch (sig) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

void on_signal(int sig)
{
    for (const RemovalEntry& entry : entries)
        remove_if_same(entry);
    remove_if_same(watched);
    if (sig != SIGPIPE) {
        ::signal(SIGPIPE, SIG_IGN);  // the reader of the output may be gone
        write_text("\nERROR: Interrupted by ");
        write_text(signal_name(sig));
        write_text("; unfinished files removed\n");
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

// The signals that remove the staged files.
constexpr int cleanup_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Holds the clean-up signals back while a temporary exists on disk but is
// not (or no longer) published to the handler, so that no signal can fall
// between the two and leave it behind.
class HoldSignals {
public:
    HoldSignals()
    {
        sigset_t held;
        sigemptyset(&held);
        for (int sig : cleanup_signals)
            sigaddset(&held, sig);
        ::sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~HoldSignals() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    HoldSignals(const HoldSignals&) = delete;
    HoldSignals& operator=(const HoldSignals&) = delete;

private:
    sigset_t previous_;
};

}  // namespace

int stage_file(const std::string& final_path, int& fd)
{
    int entry = 0;
    while (entry < int(max_entries) && entries[entry].path.load())
        ++entry;
    if (entry == int(max_entries))
        return -1;

    // A new file gets 0666 less the umask from open; one that replaces a
    // regular file keeps that file's permissions.
    struct stat old {};
    bool replaces = ::lstat(final_path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    std::string folder = folder_of(final_path);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = folder + "/.tapecast-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)
                           + ".tmp";
        HoldSignals hold;
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return -1;
        struct stat info {};
        ::fstat(fd, &info);
        if (replaces)
            ::fchmod(fd, old.st_mode & 07777);
        staged.push_back({final_path, temp, entry});
        publish(entries[entry], staged.back().temp_path, info);
        return int(staged.size()) - 1;
    }
    return -1;
}

const std::string& staged_path(int id) { return staged[std::size_t(id)].temp_path; }

bool commit_staged_file(int id)
{
    StagedFile& file = staged[std::size_t(id)];
    if (file.entry < 0)
        return false;
    if (::rename(file.temp_path.c_str(), file.final_path.c_str()) != 0) {
        discard_staged_file(id);
        return false;
    }
    entries[file.entry].path.store(nullptr);
    file.entry = -1;
    return true;
}

void discard_staged_file(int id)
{
    StagedFile& file = staged[std::size_t(id)];
    if (file.entry < 0)
        return;
    HoldSignals hold;
    entries[file.entry].path.store(nullptr);
    file.entry = -1;
    ::unlink(file.temp_path.c_str());
}

void discard_staged_files()
{
    for (std::size_t id = 0; id < staged.size(); ++id)
        discard_staged_file(int(id));
}

void watch_unfinished_file(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    forget_unfinished_file();
    watched_path = path;
    publish(watched, watched_path, info);
}

void forget_unfinished_file() { watched.path.store(nullptr); }

void remove_staged_files_on_signals()
{
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int sig : cleanup_signals)
        sigaddset(&action.sa_mask, sig);
    for (int sig : cleanup_signals) {
        struct sigaction previous {};
        // A signal that was ignored when the program started (as nohup
        // does) stays ignored.
        if (::sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(sig, &action, nullptr);
    }
}

bool write_all(int fd, const std::uint8_t* data, std::size_t length)
{
    while (length > 0) {
        ssize_t done = ::write(fd, data, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        length -= std::size_t(done);
    }
    return true;
}

bool same_file(const std::string& a, const std::string& b)
{
    struct stat info_a {}, info_b {};
    bool has_a = ::stat(a.c_str(), &info_a) == 0;
    bool has_b = ::stat(b.c_str(), &info_b) == 0;
    if (has_a && has_b)
        return info_a.st_dev == info_b.st_dev && info_a.st_ino == info_b.st_ino;
    if (has_a != has_b)
        return false;
    std::error_code error;
    auto canonical = [&error](const std::string& path) {
        return std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    };
    std::filesystem::path canonical_a = canonical(a);
    std::filesystem::path canonical_b = canonical(b);
    return error ? a == b : canonical_a == canonical_b;
}
