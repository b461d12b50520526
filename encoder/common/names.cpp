#include "common/names.h"

#include "common/settings.h"

std::string msx_file_name(std::string_view text, bool dos_form)
{
    // The extension starts at the last '.', provided no separator follows it
    // and it is not one of the first two characters.
    std::size_t stem_end = text.size();
    std::size_t last = text.find_last_of("./\\");
    bool has_extension = last != std::string_view::npos && text[last] == '.' && last >= 2;
    if (has_extension)
        stem_end = last;
    std::size_t base = text.substr(0, stem_end).find_last_of("/\\");
    base = base == std::string_view::npos ? 0 : base + 1;

    std::string name(text.substr(base, std::min<std::size_t>(8, stem_end - base)));
    if (has_extension)
        name += text.substr(last, 4);
    if (!dos_form)
        return name;

    std::string entry(11, ' ');
    std::size_t at = 0;
    for (char c : name) {
        if (c == '.') {
            at = 8;
        } else if (at < 11) {
            entry[at++] = c;
        }
    }
    return entry;
}

std::string msx_file_name(std::string_view text)
{
    return msx_file_name(text, settings.dos_mode);
}

std::string tape_name(std::string_view msx_name)
{
    std::string_view name = msx_name.substr(0, 6);
    std::size_t dot = name.find('.', 1);
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name);
}

std::string pad_name(std::string_view text, std::size_t width)
{
    std::string padded(text.substr(0, width));
    padded.resize(width, ' ');
    return padded;
}
