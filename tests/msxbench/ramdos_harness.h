#pragma once
// Booting the RAM-disk DOS in the emulated MSX from a real tapecast WAV: the
// BIOS loads the fast loader from the signal, the loader loads the RAMDOS
// image and starts it, and the image brings the DOS up.

#include "loader_harness.h"
#include "msx.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ramdos_harness {

inline constexpr std::uint16_t image_entry = 0x8304;

// Runs tapecast in `shop` with `args` (e.g. {"-cd", "-c", "RAMDOS.73n"})
// and plays the WAV into an MSX of `layout` from its first sample until the
// fast loader starts the image.  From then on the machine holds leftovers
// (Msx::leave_leftovers), so that nothing the DOS does relies on zeroed
// memory.  Fails the test and returns null when the image is not started.
std::unique_ptr<msxbench::Msx> start_image(const loader_harness::Workshop& shop, const std::vector<std::string>& args,
                                           const msxbench::MsxLayout& layout = msxbench::msx2_layout());

// Runs until PC reaches the kernel's label `label` (e.g. "cold"); fails the
// test when the run stops anywhere else first or a fault is recorded.
bool run_to_kernel(msxbench::Msx& msx, std::string_view label, double seconds_limit = 5);

// The RAM disk as the DOS laid it out: the pages its boot parameters give.
std::vector<std::uint8_t> disk_image(const msxbench::Msx& msx);

}  // namespace ramdos_harness
