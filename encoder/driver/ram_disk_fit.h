#pragma once
// Room on the RAM disk that a RAMDOS entry sets up, for the DOS-mode files
// that follow it on the tape: the run says when they will not fit.

#include <cstdint>
#include <span>
#include <string_view>

// A RAMDOS entry has been written: `image` is the RAM-disk DOS as loaded,
// its parameters (video RAM pages, RAM pages, system files) in place.
void ram_disk_chosen(std::string_view keyword, std::span<const std::uint8_t> image);

// A DOS-mode file of `size` bytes, `dos_name` in its 11-character form, is
// about to go on tape.  The first one that finds no room (clusters or
// directory entries) on the disk chosen gets a note; a file of a name the
// disk already holds replaces it, as on the MSX.
void ram_disk_add_file(std::string_view dos_name, std::uint32_t size);
