#include "common/cas_image.h"

#include <algorithm>
#include <strings.h>

namespace {

constexpr std::size_t descriptor_length = 16;  // ten type bytes, six name bytes
constexpr std::size_t type_bytes = 10;
constexpr std::size_t bin_addresses = 6;       // start, end, exec
constexpr std::size_t basic_end_zeros = 10;    // last line's 00h, end link, seven more
constexpr std::size_t ascii_block_length = 256;
constexpr std::uint8_t ascii_end_of_file = 0x1A;
constexpr std::size_t mark_alignment = 8;

struct Block {
    std::size_t offset;  // of its mark
    std::span<const std::uint8_t> bytes;
};

bool mark_at(std::span<const std::uint8_t> image, std::size_t at)
{
    return at + cas_block_mark.size() <= image.size()
           && std::equal(cas_block_mark.begin(), cas_block_mark.end(), image.begin() + std::ptrdiff_t(at));
}

std::vector<Block> split_blocks(std::span<const std::uint8_t> image)
{
    std::vector<Block> blocks;
    std::size_t start = 0;
    auto close = [&](std::size_t end) {
        std::size_t from = start + cas_block_mark.size();
        blocks.push_back({start, image.subspan(from, end - from)});
    };
    for (std::size_t at = mark_alignment; at + cas_block_mark.size() <= image.size(); at += mark_alignment) {
        if (mark_at(image, at)) {
            close(at);
            start = at;
        }
    }
    close(image.size());
    return blocks;
}

bool is_type_byte(std::uint8_t byte) { return byte == 0xD0 || byte == 0xD3 || byte == 0xEA; }

// A block that begins with ten equal type bytes.
bool begins_as_descriptor(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= type_bytes && is_type_byte(bytes[0])
           && std::all_of(bytes.begin(), bytes.begin() + type_bytes, [&](std::uint8_t b) { return b == bytes[0]; });
}

// A block that can only be the descriptor of the next file.
bool is_descriptor(const Block& block)
{
    return block.bytes.size() == descriptor_length && begins_as_descriptor(block.bytes);
}

std::string at_byte(const Block& block) { return "the block at byte " + std::to_string(block.offset); }

const char* kind_words(CasKind kind)
{
    switch (kind) {
    case CasKind::bin: return "BIN file";
    case CasKind::basic: return "BASIC program";
    case CasKind::ascii: return "ASCII file";
    case CasKind::headerless: break;
    }
    return "block";
}

std::string described(const CasFile& file)
{
    return std::string(kind_words(file.kind)) + " \"" + cas_display_name(file) + "\"";
}

std::uint16_t word_at(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint16_t(bytes[at] | bytes[at + 1] << 8);
}

// Bytes BLOAD reads from a BIN data block: the addresses and start..end.
std::size_t bin_length(std::span<const std::uint8_t> data)
{
    std::uint16_t start = word_at(data, 0);
    std::uint16_t end = word_at(data, 2);
    return bin_addresses + std::uint16_t(end - start) + 1u;
}

// Bytes CLOAD reads from a BASIC data block: up to its tenth 00h in a row,
// or 0 when there is none.
std::size_t basic_length(std::span<const std::uint8_t> data)
{
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        zeros = data[i] == 0 ? zeros + 1 : 0;
        if (zeros == basic_end_zeros)
            return i + 1;
    }
    return 0;
}

// The block as it goes on tape: the MSX reads `used` bytes of it; fewer
// than 8 after them only fill it up to the next mark.
std::vector<std::uint8_t> used_part(std::span<const std::uint8_t> bytes, std::size_t used)
{
    std::size_t kept = bytes.size() - used < mark_alignment ? used : bytes.size();
    return {bytes.begin(), bytes.begin() + std::ptrdiff_t(kept)};
}

CasImage failed(std::string reason)
{
    return {{}, std::move(reason)};
}

}  // namespace

CasImage read_cas_image(std::span<const std::uint8_t> image)
{
    if (!mark_at(image, 0))
        return failed("no block mark at its start");
    const std::vector<Block> blocks = split_blocks(image);
    CasImage result;
    std::size_t i = 0;
    while (i < blocks.size()) {
        const Block& block = blocks[i];
        CasFile file;
        file.offset = block.offset;
        if (block.bytes.empty())
            return failed(at_byte(block) + " is empty");
        if (!begins_as_descriptor(block.bytes)) {
            file.blocks.emplace_back(block.bytes.begin(), block.bytes.end());
            result.files.push_back(std::move(file));
            ++i;
            continue;
        }
        if (block.bytes.size() < descriptor_length)
            return failed(at_byte(block) + " is cut short: a file descriptor needs 16 bytes, it holds "
                          + std::to_string(block.bytes.size()));
        file.kind = block.bytes[0] == 0xD0 ? CasKind::bin : block.bytes[0] == 0xD3 ? CasKind::basic : CasKind::ascii;
        file.name.assign(block.bytes.begin() + type_bytes, block.bytes.begin() + descriptor_length);
        file.blocks.emplace_back(block.bytes.begin(), block.bytes.end());
        ++i;
        if (i == blocks.size() || is_descriptor(blocks[i]))
            return failed("the " + described(file) + " (descriptor at byte " + std::to_string(file.offset)
                          + ") has no data block");

        const Block& data = blocks[i];
        if (file.kind == CasKind::bin) {
            std::size_t needed = data.bytes.size() < bin_addresses ? bin_addresses : bin_length(data.bytes);
            if (data.bytes.size() < needed)
                return failed(at_byte(data) + " is cut short: the " + described(file) + " needs "
                              + std::to_string(needed) + " bytes, it holds " + std::to_string(data.bytes.size()));
            file.blocks.push_back(used_part(data.bytes, needed));
            ++i;
        } else if (file.kind == CasKind::basic) {
            std::size_t needed = basic_length(data.bytes);
            if (needed == 0)
                return failed(at_byte(data) + " is cut short: the " + described(file)
                              + " has no end (ten 00h bytes)");
            file.blocks.push_back(used_part(data.bytes, needed));
            ++i;
        } else {
            // ASCII: 256-byte blocks up to the one that holds the end-of-file mark.
            bool ended = false;
            while (!ended) {
                if (i == blocks.size() || is_descriptor(blocks[i]))
                    return failed("the " + described(file) + " (descriptor at byte " + std::to_string(file.offset)
                                  + ") ends without its end-of-file mark (1Ah)");
                std::span<const std::uint8_t> bytes = blocks[i].bytes;
                if (bytes.size() < ascii_block_length)
                    return failed(at_byte(blocks[i]) + " is cut short: the " + described(file)
                                  + " needs 256 bytes in each block, it holds " + std::to_string(bytes.size()));
                ended = std::find(bytes.begin(), bytes.begin() + ascii_block_length, ascii_end_of_file)
                        != bytes.begin() + ascii_block_length;
                file.blocks.emplace_back(bytes.begin(), bytes.end());
                ++i;
            }
        }
        result.files.push_back(std::move(file));
    }
    return result;
}

std::vector<std::uint8_t> cas_file_contents(const CasFile& file)
{
    std::vector<std::uint8_t> contents;
    if (file.kind == CasKind::bin) {
        const std::vector<std::uint8_t>& data = file.blocks.at(1);
        contents.push_back(0xFE);
        contents.insert(contents.end(), data.begin(), data.begin() + std::ptrdiff_t(bin_length(data)));
    } else if (file.kind == CasKind::basic) {
        // The text ends with its end link; the seven zeros after it are the tape's.
        const std::vector<std::uint8_t>& data = file.blocks.at(1);
        contents.push_back(0xFF);
        contents.insert(contents.end(), data.begin(), data.begin() + std::ptrdiff_t(basic_length(data) - 7));
    }
    return contents;
}

std::string cas_display_name(const CasFile& file)
{
    std::size_t end = file.name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : file.name.substr(0, end + 1);
}

bool is_cas_name(std::string_view path)
{
    return path.size() >= 4 && ::strcasecmp(std::string(path.substr(path.size() - 4)).c_str(), ".cas") == 0;
}
