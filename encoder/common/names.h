#pragma once
// The names that tape headers carry, built from a file argument.

#include <string>
#include <string_view>

// The 8.3 form of the argument's file name (case kept), or while `dos_form`
// is set the 11-character form of an MSX-DOS directory entry.
std::string msx_file_name(std::string_view text, bool dos_form);
// The same, in the form the current DOS mode setting asks for.
std::string msx_file_name(std::string_view text);

// The name of a standard tape header without its padding: cut after six
// characters, and at the first '.' found at index 1 to 5.
std::string tape_name(std::string_view msx_name);

// `text` padded with blanks (or cut) to `width` characters.
std::string pad_name(std::string_view text, std::size_t width);
