#include "common/names.h"

#include "common/settings.h"

namespace {

// Bytes of the UTF-8 sequence at `at`; 1 for ASCII, and for a byte that
// starts no complete sequence (such a byte stands for itself).
std::size_t sequence_length(std::string_view text, std::size_t at)
{
    unsigned lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4                                  ? 4
                                                                                         : 1;
    if (at + length > text.size())
        return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

// The longest start of `text` of at most `limit` bytes that does not end
// inside a character.
std::string_view cut(std::string_view text, std::size_t limit)
{
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = sequence_length(text, at);
        if (at + length > limit)
            break;
        at += length;
    }
    return text.substr(0, at);
}

}  // namespace

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

    // At most 8 bytes of the stem and 3 of the extension, never cutting a
    // character in two.
    std::string name(cut(text.substr(base, stem_end - base), 8));
    if (has_extension)
        name += cut(text.substr(last), 4);
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
    std::string_view name = cut(msx_name, 6);
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
