#pragma once
// The most bytes that the WAV of a run can take, worked out from the command
// line and the sizes of the inputs before anything is written.

#include <cstdint>

#include "driver/run.h"

// The largest WAV file whose sizes its 32-bit header fields can state.
inline constexpr std::uint64_t max_wav_size = 0xFFFFFFFFu;

// Reads `settings` (modes resolved) and the inputs' sizes; an input that
// can't be looked at counts as empty (loading it fails later).
std::uint64_t wav_size_at_most(const CommandLine& line);
