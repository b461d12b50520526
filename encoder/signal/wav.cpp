#include "signal/wav.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/errors.h"
#include "common/settings.h"
#include "common/staged_files.h"

WavOutput wav_out;

namespace {

// The header as first written: 44100 Hz, 8-bit, mono, sizes 170 and 0.
constexpr std::array<std::uint8_t, wav_header_size> header_template = {
    0x52, 0x49, 0x46, 0x46, 0xAA, 0x00, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45,
    0x66, 0x6D, 0x74, 0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
    0x44, 0xAC, 0x00, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00,
    0x64, 0x61, 0x74, 0x61, 0x00, 0x00, 0x00, 0x00,
};

// Removes the output only if the path still names the regular file we made.
void remove_if_ours()
{
    struct stat info {};
    if (wav_out.removable && ::lstat(wav_out.path.c_str(), &info) == 0
        && S_ISREG(info.st_mode) && info.st_dev == wav_out.dev && info.st_ino == wav_out.ino)
        ::unlink(wav_out.path.c_str());
    wav_out.removable = false;
    forget_unfinished_file();
}

// The file that a temporary replaces at the end: the path itself when it
// names a regular file or nothing yet, the file a link names when that is a
// regular file; empty when the output is to be written in place.
std::string staging_target(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? path : std::string();
    if (S_ISREG(info.st_mode))
        return path;
    if (!S_ISLNK(info.st_mode) || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

int open_in_place(const std::string& path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return fd;
    struct stat info {};
    wav_out.removable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    wav_out.dev = info.st_dev;
    wav_out.ino = info.st_ino;
    if (wav_out.removable)
        watch_unfinished_file(path);
    return fd;
}

}  // namespace

void wav_flush()
{
    if (wav_out.used == 0)
        return;
    bool ok = write_all(wav_out.fd, wav_out.buffer, wav_out.used);
    wav_out.used = 0;
    // The header's sizes are 32-bit: a longer file could only be a broken WAV.
    if (!ok || ::lseek(wav_out.fd, 0, SEEK_CUR) > off_t(0xFFFFFFFFu))
        fatal_error(err_write_output, wav_out.path);
}

bool wav_create(const std::string& path)
{
    wav_out.path = path;
    wav_out.removable = false;
    int fd = -1;
    std::string target = staging_target(path);
    wav_out.staged = target.empty() ? -1 : stage_file(target, fd);
    if (wav_out.staged < 0)  // also when the folder takes no temporary file
        fd = open_in_place(path);
    if (fd < 0)
        return false;
    wav_out.fd = fd;
    wav_out.used = 0;
    if (!wav_out.buffer)
        wav_out.buffer = new std::uint8_t[WavOutput::capacity];
    return true;
}

bool wav_is_open() { return wav_out.fd >= 0; }

void wav_write_header()
{
    for (std::uint8_t byte : header_template)
        wav_put_u8(byte);
}

std::uint64_t wav_tell()
{
    off_t at = ::lseek(wav_out.fd, 0, SEEK_CUR);
    return at < 0 ? 0 : std::uint64_t(at) + wav_out.used;
}

bool wav_seek(std::uint64_t position)
{
    wav_flush();
    return ::lseek(wav_out.fd, off_t(position), SEEK_SET) >= 0;
}

std::uint64_t wav_seek_end()
{
    wav_flush();
    off_t end = ::lseek(wav_out.fd, 0, SEEK_END);
    if (end < 0)
        fatal_error(err_seek_output, wav_out.path);
    return std::uint64_t(end);
}

void wav_patch_field(std::uint64_t position, std::uint32_t value, int width)
{
    std::uint8_t bytes[4];
    for (int i = 0; i < width; ++i)
        bytes[i] = std::uint8_t(value >> (8 * i));
    wav_flush();
    if (::lseek(wav_out.fd, off_t(position), SEEK_SET) < 0
        || !write_all(wav_out.fd, bytes, std::size_t(width)))
        fatal_error(err_seek_output, wav_out.path);
}

void wav_finish()
{
    std::uint64_t length = wav_seek_end();
    wav_patch_field(4, std::uint32_t(length - 8), 4);
    length = wav_seek_end();
    wav_patch_field(40, std::uint32_t(length - wav_header_size), 4);
    if (settings.cd_mode) {
        wav_patch_field(24, 44100, 4);
        wav_patch_field(28, 88200, 4);
        wav_patch_field(22, 1, 2);
        wav_patch_field(32, 2, 2);
        wav_patch_field(34, 16, 2);
    } else {
        wav_patch_field(24, 8u * std::uint32_t(settings.baud_rate), 4);
        wav_patch_field(28, 8u * std::uint32_t(settings.baud_rate), 4);
    }
}

void wav_close()
{
    if (wav_out.fd < 0)
        return;
    wav_flush();
    int fd = wav_out.fd;
    wav_out.fd = -1;
    int staged = wav_out.staged;
    wav_out.staged = -1;
    if (::close(fd) != 0) {
        if (staged >= 0)
            discard_staged_file(staged);
        remove_if_ours();
        fatal_error(err_write_output, wav_out.path);
    }
    if (staged >= 0 && !commit_staged_file(staged))
        fatal_error(err_create_output, wav_out.path);
    wav_out.removable = false;
    forget_unfinished_file();
}

void wav_abandon()
{
    if (wav_out.fd < 0)
        return;
    ::close(wav_out.fd);
    wav_out.fd = -1;
    wav_out.used = 0;
    if (wav_out.staged >= 0)
        discard_staged_file(wav_out.staged);
    wav_out.staged = -1;
    remove_if_ours();
}
