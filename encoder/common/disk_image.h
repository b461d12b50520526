#pragma once
// DSK disk images: the sectors of a 360K or 720K MSX-DOS 1 floppy (FAT12),
// read for the files of their root directory.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct DiskFile {
    std::string name;  // the 11 characters of its directory entry: name, extension
    std::vector<std::uint8_t> data;
};

// The root directory's files in directory order, and the entries passed
// over (subdirectories, which MSX-DOS 1 does not know); or, with `files`
// empty, what makes the image unreadable: a size other than 360K or 720K,
// a volume layout that does not fit it, a cluster chain that leaves the
// volume, loops, or ends before the file's size.
struct DiskImage {
    std::vector<DiskFile> files;
    std::vector<std::string> skipped;  // "NAME.EXT" of each entry passed over
    std::string error;
};
DiskImage read_disk_image(std::span<const std::uint8_t> image);

// "NAME.EXT" (or "NAME") from the 11-character directory form.
std::string disk_display_name(std::string_view entry_name);

// Whether `path` names a disk image: it ends in ".dsk", in any case.
bool is_disk_name(std::string_view path);
