#include "convert/pack.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <span>

#include "assets/images.h"
#include "codec/rnc_pack.h"
#include "codec/rnc_unpack.h"
#include "codec/tpk_pack.h"
#include "codec/tpk_unpack.h"

namespace {

enum class PackFormat : std::uint8_t { method2, tpk };

// The packed form of the input (tpk for the turbo tape's depacker, method 2
// for the others), or the input itself when that is not smaller.  Empty
// input is always packed: its packed form decodes to nothing, whereas R = 0
// for stored empty data would make the depacker decode whatever lies in
// memory.
std::vector<std::uint8_t> packed_data(std::span<const std::uint8_t> input, PackFormat packing)
{
    std::vector<std::uint8_t> packed = packing == PackFormat::tpk ? tpk_pack(input) : rnc_pack(input);
    if (!input.empty() && packed.size() >= input.size())
        packed.assign(input.begin(), input.end());
    return packed;
}

std::string format(const char* pattern, ...)
{
    char text[200];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::uint32_t word_at(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return bytes[at] | std::uint32_t(bytes[at + 1]) << 8;
}

// What the depacker at `site` decodes, and how long that format's header
// is (it is read before decoding starts, and not again).
PackFormat format_for(DepackerSite site)
{
    return site == DepackerSite::turbo ? PackFormat::tpk : PackFormat::method2;
}

std::uint32_t packed_header_length(PackFormat packing)
{
    return packing == PackFormat::tpk ? static_cast<std::uint32_t>(tpk_header_size) : 18;
}

void put_word(std::vector<std::uint8_t>& buffer, std::size_t offset, std::uint32_t value)
{
    buffer[offset] = static_cast<std::uint8_t>(value);
    buffer[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Header, packed data and BIN depacker with its parameter block.
std::uint32_t build_bin(std::vector<std::uint8_t>& buffer, std::span<const std::uint8_t> packed,
                        std::uint16_t stored, std::uint8_t destination_high, PackMode mode, DepackerSite site)
{
    const std::span<const std::uint8_t> depacker = bin_depacker_for(site, mode);
    const std::uint16_t address = bin_depacker_address_for(site);
    const auto p = static_cast<std::uint32_t>(packed.size());
    const std::uint32_t start = (address - p) & 0xFFFF;
    const std::uint32_t end = (address + depacker.size() - 1) & 0xFFFF;
    const std::uint32_t at = bin_header_length + p;
    const auto image_length = static_cast<std::uint32_t>(at + depacker.size());
    if (buffer.size() < image_length)
        buffer.resize(image_length);

    std::copy(packed.begin(), packed.end(), buffer.begin() + bin_header_length);
    std::copy(depacker.begin(), depacker.end(), buffer.begin() + at);
    buffer[at + 2] = static_cast<std::uint8_t>(mode);
    put_word(buffer, at + 3, start);
    buffer[at + 5] = 0x00;
    buffer[at + 6] = destination_high;
    put_word(buffer, at + 7, stored);
    put_word(buffer, at + 9, stored != 0 ? rnc_crc16(packed) : 0);
    // The depacker checks its own bytes, parameter block included, first.
    const std::size_t self_crc_at = at + depacker.size() - 2;
    put_word(buffer, self_crc_at, rnc_crc16({buffer.data() + at, depacker.size() - 2}));

    buffer[0] = 0xFE;
    put_word(buffer, 1, start);
    put_word(buffer, 3, end);
    put_word(buffer, 5, address);
    return image_length;
}

// COM prologue, packed data and SFX depacker.  The prologue runs at 0x0100:
//   LD HL,0x0100 / PUSH HL / LD DE,0xBC00+size / LD BC,N / ADD HL,BC /
//   LDDR / POP DE / LD HL,0xBC00-P / LD BC,R / JP 0xBC00
// LDDR starts one past the image (0x0100 + N) and one past the depacker's
// place, so the byte after the image goes one past the depacker, every byte
// of the image but the first (already executed) lands where it belongs, and
// the depacker starts exactly at 0xBC00.
std::uint32_t build_sfx(std::vector<std::uint8_t>& buffer, std::span<const std::uint8_t> packed,
                        std::uint16_t stored)
{
    const std::span<const std::uint8_t> depacker = sfx_depacker_image();
    const auto p = static_cast<std::uint32_t>(packed.size());
    const auto image_length = static_cast<std::uint32_t>(sfx_header_length + p + depacker.size());
    const std::uint32_t past_depacker = sfx_depacker_address + depacker.size();
    if (buffer.size() < image_length)
        buffer.resize(image_length);

    std::copy(packed.begin(), packed.end(), buffer.begin() + sfx_header_length);
    const std::vector<std::uint8_t> sealed = sfx_depacker_behind(packed);
    std::copy(sealed.begin(), sealed.end(), buffer.begin() + sfx_header_length + p);

    const std::uint8_t prologue[] = {
        0x21, 0x00, 0x01,                                  // LD HL,0x0100
        0xE5,                                              // PUSH HL
        0x11, 0, 0,                                        // LD DE,one past the depacker
        0x01, 0, 0,                                        // LD BC,N
        0x09,                                              // ADD HL,BC
        0xED, 0xB8,                                        // LDDR
        0xD1,                                              // POP DE
        0x21, 0, 0,                                        // LD HL,packed data
        0x01, 0, 0,                                        // LD BC,R
        0xC3, 0x00, static_cast<std::uint8_t>(sfx_depacker_address >> 8),  // JP 0xBC00
    };
    static_assert(sizeof prologue == sfx_header_length);
    std::copy(std::begin(prologue), std::end(prologue), buffer.begin());
    put_word(buffer, 5, past_depacker & 0xFFFF);
    put_word(buffer, 8, image_length & 0xFFFF);
    put_word(buffer, 15, (sfx_depacker_address - p) & 0xFFFF);
    put_word(buffer, 18, stored);
    return image_length;
}

}  // namespace

std::span<const std::uint8_t> bin_depacker_for(DepackerSite site, PackMode mode)
{
    return site == DepackerSite::turbo ? turbo_depacker_image(std::uint8_t(mode)) : bin_depacker_image();
}

std::uint16_t bin_depacker_address_for(DepackerSite site)
{
    return site == DepackerSite::turbo ? turbo_depacker_address() : bin_depacker_address;
}

std::vector<std::uint8_t> sfx_depacker_behind(std::span<const std::uint8_t> data)
{
    const std::span<const std::uint8_t> depacker = sfx_depacker_image();
    std::vector<std::uint8_t> sealed(depacker.begin(), depacker.end());
    std::vector<std::uint8_t> checked(data.begin(), data.end());
    checked.insert(checked.end(), depacker.begin(), depacker.end() - 2);
    put_word(sealed, sealed.size() - 2, rnc_crc16(checked));
    return sealed;
}

std::uint32_t pack_image(std::vector<std::uint8_t>& buffer, std::uint32_t length, PackMode mode, DepackerSite site)
{
    if (buffer.size() < length)
        buffer.resize(length);
    const PackFormat packing = mode == PackMode::sfx ? PackFormat::method2 : format_for(site);
    const std::vector<std::uint8_t> packed = packed_data({buffer.data(), length}, packing);
    const auto stored = static_cast<std::uint16_t>(packed.size() == length && length > 0 ? length : 0);
    if (mode == PackMode::sfx)
        return build_sfx(buffer, packed, stored);

    // COM programs start at 0x0100; a ROM belongs in the 16 KB page of its
    // INIT address, whose high byte is input byte 3.
    const std::uint8_t byte3 = length > 3 ? buffer[3] : 0;
    const std::uint8_t destination_high = mode == PackMode::com ? 0x01 : byte3 & 0xC0;
    return build_bin(buffer, packed, stored, destination_high, mode, site);
}

std::uint32_t restore_address(PackMode mode, std::uint8_t byte3)
{
    switch (mode) {
    case PackMode::com: return 0x0100;
    case PackMode::basic: return basic_restore_address;
    default: return std::uint32_t(byte3 & 0xC0) << 8;
    }
}

std::string restore_fault(PackMode mode, std::uint8_t byte3, std::uint32_t length, DepackerSite site)
{
    const std::uint32_t destination = restore_address(mode, byte3);
    const std::uint32_t depacker = bin_depacker_address_for(site);
    if (mode == PackMode::rom && destination < lowest_image_address)
        return format("its INIT address 0x%02Xxx lies below 0x4000, where the depacker could only restore it over "
                      "the BIOS", byte3);
    if (std::uint64_t(destination) + length > depacker)
        return format("%u bytes restored at 0x%04X would reach past 0x%04X, where the depacker runs "
                      "(%u bytes fit)", length, destination, depacker - 1, depacker - destination);
    return {};
}

std::string bin_image_fault(std::span<const std::uint8_t> image, PackMode mode, std::uint32_t length,
                            std::uint8_t byte3, DepackerSite site)
{
    const std::size_t depacker = bin_depacker_for(site, mode).size();
    const std::uint32_t address = bin_depacker_address_for(site);
    if (image.size() < bin_header_length + depacker)
        return "the packed image is incomplete";
    const auto packed = std::uint32_t(image.size() - bin_header_length - depacker);
    const std::uint32_t stored = word_at(image, bin_header_length + packed + 7);

    // Decoding in place needs the packed stream to end that many bytes past
    // the end of the output; copying a stored program needs none.
    const PackFormat packing = format_for(site);
    std::uint32_t margin = 0;
    if (stored == 0) {
        const std::span<const std::uint8_t> data = image.subspan(bin_header_length, packed);
        std::string error;
        std::size_t decoded = 0;
        if (packing == PackFormat::tpk) {
            const TpkUnpackResult check = tpk_unpack(data);
            error = check.error;
            decoded = check.data.size();
            margin = check.leeway_needed;
        } else {
            const UnpackResult check = rnc_unpack(data);
            error = check.error;
            decoded = check.data.size();
            margin = check.leeway_needed;
        }
        if (!error.empty() || decoded != length)
            return "the packed data does not decode back (" + error + ")";
    }

    // The lowest address the image may load at.  A COM depacker first puts
    // its helper at 0x4000: that must not cover what it then reads (the
    // packed stream after its header, which is not read, or the stored data).
    std::uint32_t lowest = mode == PackMode::basic ? lowest_basic_image_address : lowest_image_address;
    if (mode == PackMode::com) {
        const AddressRange helper = bin_depacker_com_helper();
        const std::uint32_t skipped = stored == 0 ? packed_header_length(packing) : 0;
        lowest = std::max(lowest, helper.end > skipped ? helper.end - skipped : 0u);
    }
    if (packed > address)
        return format("the packed image of %u bytes would wrap past address 0", packed);
    const std::uint32_t start = address - packed;
    if (start < lowest)
        return format("the packed image would load from 0x%04X, below 0x%04X where the MSX can take it", start,
                      lowest);

    const std::uint32_t destination = restore_address(mode, byte3);
    if (std::uint64_t(destination) + length + margin > address)
        return format("%u bytes restored at 0x%04X, with the %u bytes that decoding them in place needs, would "
                      "reach past 0x%04X, where the depacker runs", length, destination, margin, address - 1);
    return {};
}
