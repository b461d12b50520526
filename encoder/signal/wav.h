#pragma once
// The output WAV file: a 44-byte header, then mono samples, written through
// one buffered writer strictly in playing order.

#include <cstddef>
#include <cstdint>
#include <string>

// Size of the header that precedes the samples.
inline constexpr std::uint32_t wav_header_size = 44;

// The buffered output stream.  Only the inline put below touches it on the
// hot path; everything else goes through the functions of wav.cpp.
struct WavOutput {
    static constexpr std::size_t capacity = 1 << 18;
    int fd = -1;
    std::size_t used = 0;
    std::uint8_t* buffer = nullptr;
    std::string path;            // as given to wav_create
    int staged = -1;             // the temporary it is written to, or -1 when in place
    bool removable = false;      // written in place: a regular file this run created or truncated
    unsigned long long dev = 0;  // identity of that file, checked before removal
    unsigned long long ino = 0;
};
extern WavOutput wav_out;

void wav_flush();

// Opens the output for writing.  A regular file (or a new one) is written to
// a temporary beside it that wav_close renames over it, so that a failed run
// leaves an older file of that name as it was; through a link, the file the
// link names is the one replaced.  Anything else (a device such as /dev/null,
// a FIFO), or a file whose folder takes no temporary, is written in place.
// False when it can't be opened.
bool wav_create(const std::string& path);
bool wav_is_open();

// Writes the 44-byte template header.
void wav_write_header();

inline void wav_put_u8(std::uint8_t value)
{
    if (wav_out.used == WavOutput::capacity)
        wav_flush();
    wav_out.buffer[wav_out.used++] = value;
}

inline void wav_put_s16(std::int16_t value)
{
    wav_put_u8(std::uint8_t(std::uint16_t(value) & 0xFF));
    wav_put_u8(std::uint8_t(std::uint16_t(value) >> 8));
}

// Room for `count` bytes (at most the capacity) at the end of the buffer;
// the caller fills them all.
inline std::uint8_t* wav_reserve(std::size_t count)
{
    if (wav_out.used + count > WavOutput::capacity)
        wav_flush();
    std::uint8_t* room = wav_out.buffer + wav_out.used;
    wav_out.used += count;
    return room;
}

// Current write position in bytes from the start of the file.
std::uint64_t wav_tell();
// Moves the write position; false when the seek fails.
bool wav_seek(std::uint64_t position);
// Moves to the end and returns the file length; error 13 when that fails.
std::uint64_t wav_seek_end();
// Writes `value` little-endian over `width` bytes at `position`; error 13.
void wav_patch_field(std::uint64_t position, std::uint32_t value, int width);
// Fills in the sizes and the format of the header (CD or baud-rate output).
void wav_finish();
// Flushes and closes the finished file (error 12 if the last write fails)
// and puts it in place (error 5 if that fails).
void wav_close();
// Closes the unfinished file and removes it (its temporary, or the regular
// file this run created in place): a device such as /dev/null is never
// removed.
void wav_abandon();
