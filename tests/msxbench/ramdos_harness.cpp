#include "ramdos_harness.h"

#include "ramdos_parts.h"
#include "tape_run.h"

#include <gtest/gtest.h>

namespace ramdos_harness {

std::unique_ptr<msxbench::Msx> start_image(const loader_harness::Workshop& shop, const std::vector<std::string>& args,
                                           const msxbench::MsxLayout& layout)
{
    auto msx = loader_harness::play({shop.tapecast(args)}, layout);
    if (!loader_harness::reach(*msx, {image_entry}, 30, image_entry))
        return nullptr;
    msx->leave_leftovers();
    return msx;
}

bool run_to_kernel(msxbench::Msx& msx, std::string_view label, double seconds_limit)
{
    const std::uint16_t address = ramdos_parts::kernel_symbol(label);
    const msxbench::RunResult run = msxbench::run_to(msx.machine(), {address}, msxbench::seconds(seconds_limit));
    const bool ok = run.reason == msxbench::Stop::breakpoint && run.pc == address && msx.faults().empty();
    EXPECT_TRUE(ok) << "stopped (" << int(run.reason) << ") at " << std::hex << run.pc << " instead of " << label
                    << (msx.faults().empty() ? "" : ": " + msx.faults().front()) << "\n"
                    << msx.screen_text();
    return ok;
}

std::vector<std::uint8_t> disk_image(const msxbench::Msx& msx)
{
    const msxbench::Machine& m = msx.machine();
    return msx.ram_disk_image(m.read(ramdos_parts::kernel_symbol("bp_ram_pages")),
                              m.read(ramdos_parts::kernel_symbol("bp_vram_pages")));
}

}  // namespace ramdos_harness
