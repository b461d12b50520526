// The emulated MSX2: the memory mapper, the V9938's video memory and frame
// interrupt, the BIOS interrupt routine and console input, the start state
// BASIC and the fast loader leave, and the RAM disk dump.
#include "machine.h"
#include "msx.h"

#include <gtest/gtest.h>

#include <vector>

namespace msxbench {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t code = 0xC000;
constexpr std::uint16_t done = 0xC800;  // return address of calls, a breakpoint
constexpr std::uint16_t results = 0xC900;

RunResult run_program(Msx& msx, const Bytes& program, std::uint64_t limit = 100000)
{
    msx.machine().load(code, program);
    return msx.machine().call(code, done, limit);
}

// --- Memory mapper.

class MapperTest : public ::testing::TestWithParam<int> {};

TEST_P(MapperTest, PortsSelectSegmentsModuloTheSizeInEveryPage)
{
    const int kb = GetParam();
    const int segments = kb / 16;
    Msx msx(msx2_layout(kb));
    Machine& m = msx.machine();
    ASSERT_EQ(m.mapper_segments(), segments);
    for (int page = 0; page < 4; ++page)
        EXPECT_EQ(m.mapper_register(page), 3 - page);
    m.segment(1)[0] = 0x11;
    const auto alias = static_cast<std::uint8_t>(4 + segments);
    const Bytes program = {
        0xF3,                    // DI
        0x3E, 0x04, 0xD3, 0xFE,  // LD A,4 / OUT (0FEh),A: page 2 = segment 4
        0x3E, 0x44, 0x32, 0x00, 0x80,  // LD A,44h / LD (8000h),A
        0x3E, alias, 0xD3, 0xFE,       // LD A,4+segments / OUT (0FEh),A: the same segment
        0x3A, 0x00, 0x80, 0x32, 0x00, 0xC9,  // LD A,(8000h) / LD (C900h),A
        0x3E, 0x01, 0xD3, 0xFE,              // LD A,1 / OUT (0FEh),A
        0x3A, 0x00, 0x80, 0x32, 0x01, 0xC9,  // LD A,(8000h) / LD (C901h),A
        // Page 1 to slot 3-2 as well: secondary register, then port A8h.
        0x3E, 0xA8, 0x32, 0xFF, 0xFF,        // LD A,0A8h / LD (0FFFFh),A
        0x3A, 0xFF, 0xFF, 0x32, 0x03, 0xC9,  // LD A,(0FFFFh) / LD (C903h),A
        0xDB, 0xA8, 0xF6, 0x0C, 0xD3, 0xA8,  // IN A,(0A8h) / OR 0Ch / OUT (0A8h),A
        0x3E, 0x04, 0xD3, 0xFD,              // LD A,4 / OUT (0FDh),A
        0x3A, 0x00, 0x40, 0x32, 0x02, 0xC9,  // LD A,(4000h) / LD (C902h),A
        0xC9,                                // RET
    };
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(m.read(results), 0x44);
    EXPECT_EQ(m.read(results + 1), 0x11);
    EXPECT_EQ(m.read(results + 2), 0x44);
    EXPECT_EQ(m.read(results + 3), 0x57);  // the secondary register reads inverted
    EXPECT_EQ(m.segment(4)[0], 0x44);
    EXPECT_EQ(m.segment(4 + segments)[0], 0x44);
    EXPECT_EQ(m.segment(0)[0], 0xF3);  // the program itself, page 3 = segment 0
    EXPECT_EQ(m.slot_of_page(1), (Slot{3, 2}));
    EXPECT_EQ(m.mapper_register(1), 4);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MapperTest, ::testing::Values(128, 256, 512),
                         [](const auto& info) { return std::to_string(info.param) + "K"; });

TEST(Mapper, A64KMapperShowsSegment0AsSegment4)
{
    Msx msx(msx2_layout(64));
    Machine& m = msx.machine();
    m.write(0xC003, 0x00);
    // LD A,5 / OUT (0FEh),A / LD A,0A5h / LD (8003h),A / LD A,1 / OUT (0FEh),A / RET: segment 5 = 1
    ASSERT_EQ(run_program(msx, {0x3E, 0x05, 0xD3, 0xFE, 0x3E, 0xA5, 0x32, 0x03, 0x80, 0x3E, 0x01, 0xD3, 0xFE,
                                0xC9})
                  .reason,
              Stop::breakpoint);
    EXPECT_EQ(m.read(0x8003), 0xA5);
    EXPECT_EQ(m.segment(4).data(), m.segment(0).data());
}

TEST(Mapper, RegistersAreSharedAndMatterOnlyForMapperPages)
{
    Machine m;
    m.install_mapper({1, 0}, 8);
    m.install_ram({2, 0}, 0, 4);
    m.set_primary_register(0x10);  // page 2 on the mapper, the rest on slot 0 (empty)
    m.set_mapper_register(2, 6);
    m.write(0x8000, 0x66);
    EXPECT_EQ(m.segment(6)[0], 0x66);
    m.set_primary_register(0x20);  // page 2 on plain RAM: the register does not apply
    m.write(0x8000, 0x22);
    EXPECT_EQ(m.segment(6)[0], 0x66);
    EXPECT_EQ(m.slot_read({2, 0}, 0x8000), 0x22);
    EXPECT_EQ(m.slot_read({1, 0}, 0x8000), 0x66);
}

}  // namespace
}  // namespace msxbench
