#include "convert/cas_file.h"

#include <cstdio>

#include "signal/standard.h"

namespace {

constexpr int ascii_block_pause_ms = 1000;

const char* kind_report(CasKind kind)
{
    switch (kind) {
    case CasKind::bin: return "(BIN)";
    case CasKind::basic: return "(BAS)";
    case CasKind::ascii: return "(ASCII)";
    case CasKind::headerless: break;
    }
    return "";
}

void emit_block(const std::vector<std::uint8_t>& bytes, int mode)
{
    emit_sync_tone(mode);
    for (std::uint8_t byte : bytes)
        emit_std_byte(byte, mode);
}

}  // namespace

void encode_standard_cas_file(const CasFile& file, int standard_mode)
{
    if (file.kind == CasKind::headerless)
        std::printf("Block without a descriptor [%zu bytes]", file.blocks.front().size());
    else
        std::printf("Converting:  \"%s\"\t%s", cas_display_name(file).c_str(), kind_report(file.kind));
    std::printf("... ");
    for (std::size_t i = 0; i < file.blocks.size(); ++i) {
        if (i == 1)
            emit_block_gap();
        else if (i > 1)
            emit_pause(ascii_block_pause_ms);
        emit_block(file.blocks[i], standard_mode);
    }
    std::printf("done.\n");
}
