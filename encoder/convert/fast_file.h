#pragma once
// One file in a fast format (compressed or experimental), converted first
// into what the loader on the MSX takes.

#include <cstdint>
#include <optional>
#include <string_view>

// Encodes the current input.  `run_flag` is 'r' or 'n'; `dos_flags` is
// written in DOS mode only; `sfx_allowed` permits saving a self-extracting
// copy; `part` is 1 or less for a whole file or a first part.  The name on
// tape is built from `path`, unless `msx_name` gives it (a file taken from
// a tape or disk image, which has a name of its own); `path` then only names
// the copies saved beside the input.
void encode_fast_file(std::string_view path, char run_flag, int fast_wave_mode, std::uint8_t dos_flags,
                      bool sfx_allowed, int part, std::optional<std::string_view> msx_name = std::nullopt);

// DOS mode: the current input becomes, in place, its self-extracting image,
// whose length it returns; one longer than `room` (where the DOS tape
// reader takes it) is refused (status 10).
std::uint32_t pack_for_dos(std::string_view path, std::uint32_t room);

// What pack_for_turbo made of the current input.
enum class PackedKind { none, rom, com, basic };

// The turbo tape's conversion: a ROM (patched as the fast modes patch it), a
// COM program (`name`, the name on tape, ends in .COM) or a BASIC program
// of more than 2048 bytes becomes, in place, the packed BIN image whose
// depacker runs below the turbo loader; one that can't be restored there is
// refused (status 10).  Anything else is left alone (none).
PackedKind pack_for_turbo(std::string_view path, std::string_view name);

// The most bytes of WAV that encode_fast_file writes for an input of
// `input_size` bytes, whatever it is converted into.
std::uint64_t fast_file_bytes_at_most(std::uint64_t input_size, int fast_wave_mode);
