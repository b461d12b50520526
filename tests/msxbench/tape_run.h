#pragma once
// Running an emulated MSX until the program under test gets somewhere.

#include "msx.h"

#include <cstdint>
#include <initializer_list>

namespace msxbench {

// Runs until the CPU is about to execute one of `stops`, or stops for
// another reason (a trap, a HALT with interrupts off, a fault), or after
// `cycle_limit` T-states.
RunResult run_to(Machine& machine, std::initializer_list<std::uint16_t> stops, std::uint64_t cycle_limit);

// T-states per second of emulated time.
inline constexpr std::uint64_t seconds(double s)
{
    return static_cast<std::uint64_t>(s * msx_clock);
}

}  // namespace msxbench
