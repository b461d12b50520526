#pragma once
// What the loader tests share: tapecast runs in a scratch directory, and an
// emulated MSX that plays the resulting WAV from its first sample.

#include "msx.h"
#include "tape_run.h"
#include "test_support.h"

#include <string>
#include <vector>

namespace loader_harness {

inline constexpr std::uint16_t loader_entry = 0xE400;

// A scratch directory with the example programs in it.
class Workshop {
public:
    Workshop();
    std::string file(const std::string& name) const { return dir_.file(name); }
    void put(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    // Runs tapecast with `args` and "-o <name>"; returns the WAV's path.
    std::string tapecast(std::vector<std::string> args, const std::string& name = "out.wav") const;

private:
    test_support::ScratchDir dir_;
};

}  // namespace loader_harness
