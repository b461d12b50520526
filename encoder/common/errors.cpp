#include "common/errors.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Indexed by code; codes 7 and 8 are reserved and never raised.
constexpr const char* messages[] = {
    "",
    "1st argument (%s) is not -cd\nor invalid baud rate: should be > 0, < 6000",
    "Command line is incomplete",
    "Unrecognized command line option (%s)",
    "Filename(s) to be encoded are not specified",
    "Failed to create output file '%s'",
    "Command line option (%s) is not expected here",
    "",
    "",
    "Failed to read input file %s",
    "Input file size is incorrect (%s)",
    "Can't allocate enough memory to load file %s",
    "Failed to write to output file %s",
    "Failed to fseek in output file %s",
    "STOPPED: Unsupported type of file in this encoding mode",
    "Invalid number of VRAM pages for ramdisk (%s): should be >=0, <=7",
    "Invalid number of RAM  pages for ramdisk (%s): should be >=1, <=3 (8 max)",
    "Too many files to be encoded (%s): no more than 100 are allowed",
    "Output file '%s' is also an input file",
    "Invalid pause length (%s): should be a whole number of milliseconds from 0 to 2147483647",
    "Output file %s would be larger than the 4 GiB that a WAV file can hold",
    "Internal error: %s",
    "A CAS image (%s) holds the standard format only: it can't be written with -c or -xp",
    "Disk image %s can only be encoded in DOS mode: -dos with -c or -xp, or after RAMDOS",
    "CAS image %s can't be encoded in DOS mode (-dos, or after RAMDOS): its files are for BASIC",
    "-turbo writes a CD WAV only: use it after -cd, without -c, -xp, -sine or -noldr (%s)",
    "-turbo takes BIN, BASIC, ROM and COM files, any file in DOS mode (-dos, or after RAMDOS): %s is not one",
    "BIN file %s would load over the turbo loader (E000h to ED5Bh)",
    "-turbo runs a BASIC program only before BIN files, which its BLOAD statements load: give %s last, or -n after it",
    "-turbo starts a ROM or COM program only as the last file: give %s last, or -n after it",
};

std::vector<void (*)()>& cleanups()
{
    static std::vector<void (*)()> registered;
    return registered;
}

}  // namespace

void on_fatal_error(void (*cleanup)())
{
    auto& registered = cleanups();
    if (std::find(registered.begin(), registered.end(), cleanup) == registered.end())
        registered.push_back(cleanup);
}

std::string error_message(int code, std::string_view detail)
{
    std::string text = (code > 0 && code < int(std::size(messages))) ? messages[code] : "";
    if (auto at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, detail);
    return text;
}

void fatal_error(int code, std::string_view detail)
{
    for (void (*cleanup)() : cleanups())
        cleanup();
    std::printf("\nERROR: %s\n", error_message(code, detail).c_str());
    std::exit(code);
}
