#include "tape_run.h"

#include <vector>

namespace msxbench {

RunResult run_to(Machine& machine, std::initializer_list<std::uint16_t> stops, std::uint64_t cycle_limit)
{
    std::vector<std::uint16_t> added;
    for (std::uint16_t stop : stops) {
        machine.add_breakpoint(stop);
        added.push_back(stop);
    }
    const RunResult result = machine.run(cycle_limit);
    for (std::uint16_t stop : added)
        machine.remove_breakpoint(stop);
    return result;
}

}  // namespace msxbench
