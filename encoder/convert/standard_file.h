#pragma once
// A BIN or BASIC file in the MSX standard tape format, as BLOAD and CLOAD
// read it: sync tone, header block, gap, sync tone, data block.

#include <cstdint>
#include <optional>
#include <string_view>

// Loads `path` (a file or a keyword), writes it with the cells of
// `standard_mode` and releases it.  The tape name comes from `label` when
// given (the loader is labelled with the first user file), else from `path`.
void encode_standard_file(std::string_view path, int standard_mode,
                          std::optional<std::string_view> label = std::nullopt);

// The most bytes of WAV that encode_standard_file writes for a file of
// `file_size` bytes.
std::uint64_t standard_file_bytes_at_most(std::uint64_t file_size, int standard_mode);
