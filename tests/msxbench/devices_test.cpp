// The emulated MSX's chips, tape and BIOS stand-ins as a program sees them
// through the Z80: PPI, keyboard, PSG tape input, VDP, the cassette player,
// CHPUT and BASIC's end-of-statement scan.
#include "msx.h"
#include "tape_run.h"

#include <gtest/gtest.h>

#include <vector>

namespace msxbench {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t code = 0xC000;
constexpr std::uint16_t done = 0xC800;

RunResult run_program(Msx& msx, const Bytes& program, std::uint64_t limit = 100000)
{
    msx.machine().load(code, program);
    return msx.machine().call(code, done, limit);
}

// A square wave of `cycles` cycles, `half` samples per half, between
// silences (`silence_samples` long after it, one half before it).
WavSignal square(int cycles, int half, std::uint32_t rate, int silence_samples = 0)
{
    WavSignal signal;
    signal.rate = rate;
    signal.samples.assign(std::size_t(half), 0.0f);
    for (int c = 0; c < cycles; ++c) {
        signal.samples.insert(signal.samples.end(), std::size_t(half), -0.5f);
        signal.samples.insert(signal.samples.end(), std::size_t(half), 0.5f);
    }
    signal.samples.insert(signal.samples.end(), std::size_t(silence_samples), 0.0f);
    return signal;
}

TEST(Ppi, PortCReadsBackAndBitSetResetDrivesTheMotor)
{
    Msx msx;
    // LD A,08h / OUT (0ABh),A / IN A,(0AAh) / LD (C900h),A / LD A,09h / OUT (0ABh),A /
    // IN A,(0AAh) / LD (C901h),A / RET
    const Bytes program = {0x3E, 0x08, 0xD3, 0xAB, 0xDB, 0xAA, 0x32, 0x00, 0xC9, 0x3E, 0x09,
                           0xD3, 0xAB, 0xDB, 0xAA, 0x32, 0x01, 0xC9, 0xC9};
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(msx.machine().read(0xC900), 0x40);  // motor bit 4 reset: on
    EXPECT_EQ(msx.machine().read(0xC901), 0x50);
    EXPECT_FALSE(msx.ppi().motor_on());
    // A mode word reprograms the PPI: every page on slot 0, which crashes a real MSX.
    const Bytes mode = {0x3E, 0x82, 0xD3, 0xAB, 0xC9};
    run_program(msx, mode);
    EXPECT_FALSE(msx.faults().empty());
}

TEST(Ppi, KeyRowsFollowTheSelectedRowAndTheEmulatedTime)
{
    Msx msx;
    msx.keyboard().hold(key::f2[0], key::f2[1], 1000, 5000);
    msx.keyboard().hold(key::stop[0], key::stop[1]);
    // row 6 at once, row 6 after 8000 T of waiting, row 7:
    // LD A,46h / OUT (0AAh),A / IN A,(0A9h) / LD (C900h),A / LD BC,<n> / loop: DEC BC / LD A,B /
    // OR C / JR NZ,loop / IN A,(0A9h) / LD (C901h),A / LD A,47h / OUT (0AAh),A / IN A,(0A9h) /
    // LD (C902h),A / RET
    const Bytes program = {0x3E, 0x46, 0xD3, 0xAA, 0xDB, 0xA9, 0x32, 0x00, 0xC9, 0x01, 0x00, 0x01, 0x0B,
                           0x78, 0xB1, 0x20, 0xFB, 0xDB, 0xA9, 0x32, 0x01, 0xC9, 0x3E, 0x47, 0xD3,
                           0xAA, 0xDB, 0xA9, 0x32, 0x02, 0xC9, 0xC9};
    msx.machine().spend(2000);
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(msx.machine().read(0xC900), 0xBF);  // F2 held
    EXPECT_EQ(msx.machine().read(0xC901), 0xFF);  // released by then
    EXPECT_EQ(msx.machine().read(0xC902), 0xEF);  // STOP
}

TEST(Psg, Register14Bit7IsTheTapeLevelAndOtherRegistersReadBack)
{
    Msx msx;
    msx.insert_tape({square(100, 10, 44100)}, {InputModel::threshold, 300, false, {}});
    // LD A,7 / OUT (0A0h),A / LD A,0B8h / OUT (0A1h),A / IN A,(0A2h) / LD (C900h),A /
    // LD A,14 / OUT (0A0h),A / IN A,(0A2h) / LD (C901h),A / RET
    const Bytes program = {0x3E, 0x07, 0xD3, 0xA0, 0x3E, 0xB8, 0xD3, 0xA1, 0xDB, 0xA2, 0x32, 0x00,
                           0xC9, 0x3E, 0x0E, 0xD3, 0xA0, 0xDB, 0xA2, 0x32, 0x01, 0xC9, 0xC9};
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(msx.machine().read(0xC900), 0xB8);
    EXPECT_EQ(msx.machine().read(0xC901), 0x7F);  // the first half is low
}

// Level changes the Z80 counts with the tape running for `t` T-states.
int changes_seen(Msx& msx, std::uint64_t t)
{
    Machine& m = msx.machine();
    int changes = 0;
    bool level = msx.tape()->level(m.cycles());
    const std::uint64_t end = m.cycles() + t;
    while (m.cycles() < end) {
        m.spend(50);
        const bool now = msx.tape()->level(m.cycles());
        changes += now != level;
        level = now;
    }
    return changes;
}

TEST(TapePlayer, PlaysInEmulatedTimeAndOnlyWhileTheMotorRuns)
{
    Msx msx;
    // 1 kHz at 8 kHz sampling: a change every 1790 T.
    msx.insert_tape({square(1000, 4, 8000)}, {InputModel::threshold, 300, true, {}});
    EXPECT_EQ(changes_seen(msx, 100000), 0);  // motor off: the tape stands
    msx.ppi().write(0xAB, 0x08);
    EXPECT_NEAR(changes_seen(msx, 358000), 200, 1);
    EXPECT_NEAR(double(msx.tape_position()), 358000.0, 100.0);

    Msx free_running;
    free_running.insert_tape({square(1000, 4, 8000)}, {InputModel::threshold, 300, false, {}});
    EXPECT_NEAR(changes_seen(free_running, 358000), 200, 1);
}

TEST(TapePlayer, AcCouplingLetsAHeldLevelFadeWhereTheThresholdKeepsIt)
{
    // A tone, then the high level held for 10 ms: the plain threshold keeps
    // reading high; the AC-coupled input falls back after a millisecond or two.
    WavSignal held = square(50, 10, 44100);
    held.samples.insert(held.samples.end(), 441, 0.5f);
    const std::uint64_t t_held = std::uint64_t(1010.0 * msx_clock / 44100.0);  // the tone's end
    Tape plain({held}, {InputModel::threshold, 300, false, {}});
    Tape coupled({held}, {InputModel::ac_coupled, 300, false, {}});
    EXPECT_TRUE(plain.level(t_held + seconds(0.0002)));
    EXPECT_TRUE(coupled.level(t_held + seconds(0.0002)));
    EXPECT_TRUE(plain.level(t_held + seconds(0.008)));
    EXPECT_FALSE(coupled.level(t_held + seconds(0.008)));
}

TEST(TapePlayer, ConditionsChangeSpeedPolarityAndAddNoise)
{
    const WavSignal tone = square(500, 10, 44100, 4410);
    TapeOptions normal;
    normal.motor_controlled = false;
    TapeOptions faster = normal;
    faster.conditions.speed = 1.04;
    EXPECT_NEAR(double(Tape({tone}, faster).length()), double(Tape({tone}).length()) / 1.04, 2.0);

    TapeOptions inverted = normal;
    inverted.conditions.inverted = true;
    Tape normal_tape({tone}, normal), inverted_tape({tone}, inverted);
    EXPECT_NE(normal_tape.level(seconds(0.01)), inverted_tape.level(seconds(0.01)));
    EXPECT_NEAR(double(normal_tape.changes()), double(inverted_tape.changes()), 2.0);  // the ends fade differently

    // Noise at 20 dB leaves a square tone's changes as they were but makes the
    // silence after it flicker.
    TapeOptions noisy = normal;
    noisy.conditions.noise_snr_db = 20;
    const Tape noisy_tape({tone}, noisy);
    EXPECT_NEAR(double(normal_tape.changes()), 1000.0, 1.0);
    EXPECT_GT(noisy_tape.changes(), 2000u);
}

// A sample-and-hold input sees a change at the first sample past it; a
// player's output crosses between the samples.
TEST(TapePlayer, InterpolationPutsAChangeWhereTheSignalCrosses)
{
    const WavSignal ramp{1000, {-0.5f, -0.5f, -0.25f, 0.75f, 0.75f}};  // crosses 0 at 2.25 ms
    TapeOptions held{InputModel::threshold, 300, false, {}};
    TapeOptions interpolated = held;
    interpolated.interpolate = true;
    Tape held_tape({ramp}, held), interpolated_tape({ramp}, interpolated);
    EXPECT_FALSE(held_tape.level(seconds(0.0024)));
    EXPECT_TRUE(held_tape.level(seconds(0.0031)));
    EXPECT_FALSE(interpolated_tape.level(seconds(0.0022)));
    EXPECT_TRUE(interpolated_tape.level(seconds(0.0023)));
}

TEST(TapePlayer, ReadsEightAndSixteenBitWavFiles)
{
    const Bytes wav8 = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                        1,   0,   1,   0,   0x80, 0x25, 0, 0, 0x80, 0x25, 0, 0, 1, 0, 8, 0,
                        'd', 'a', 't', 'a', 4, 0, 0, 0, 127, 255, 0, 128};
    const WavSignal a = parse_wav(wav8);
    EXPECT_EQ(a.rate, 9600u);
    ASSERT_EQ(a.samples.size(), 4u);
    EXPECT_LT(a.samples[0], 0.0f);
    EXPECT_GT(a.samples[1], 0.9f);
    EXPECT_FLOAT_EQ(a.samples[2], -1.0f);
    const Bytes wav16 = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                         1,   0,   1,   0,   0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 0, 2, 0, 16, 0,
                         'd', 'a', 't', 'a', 4, 0, 0, 0, 0xFF, 0x7F, 0x00, 0x80};
    const WavSignal b = parse_wav(wav16);
    EXPECT_EQ(b.rate, 44100u);
    ASSERT_EQ(b.samples.size(), 2u);
    EXPECT_GT(b.samples[0], 0.99f);
    EXPECT_FLOAT_EQ(b.samples[1], -1.0f);
}

TEST(Vdp, WritesPairOnPort99AndAnyReadResetsThePairing)
{
    Msx msx;
    Vdp& vdp = msx.vdp();
    // LD A,05h / OUT (99h),A / IN A,(99h) / LD A,34h / OUT (99h),A / LD A,41h / OUT (99h),A /
    // LD A,'X' / OUT (98h),A / NOP x4 / LD A,'Y' / OUT (98h),A / RET
    const Bytes program = {0x3E, 0x05, 0xD3, 0x99, 0xDB, 0x99, 0x3E, 0x34, 0xD3, 0x99, 0x3E, 0x41, 0xD3,
                           0x99, 0x3E, 'X',  0xD3, 0x98, 0x00, 0x00, 0x00, 0x00, 0x3E, 'Y',  0xD3, 0x98, 0xC9};
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(vdp.vram(0x0134), 'X');
    EXPECT_EQ(vdp.vram(0x0135), 'Y');
    EXPECT_EQ(vdp.close_accesses(), 0);
}

TEST(Vdp, Msx1ChipTakesRegisterNumbersModulo8AndMsx2ChipHasR14)
{
    // LD A,0AAh / OUT (99h),A / LD A,89h / OUT (99h),A / LD A,1 / OUT (99h),A / LD A,8Eh /
    // OUT (99h),A / LD A,00h / OUT (99h),A / LD A,40h / OUT (99h),A / LD A,'Z' / OUT (98h),A / RET
    const Bytes program = {0x3E, 0xAA, 0xD3, 0x99, 0x3E, 0x89, 0xD3, 0x99, 0x3E, 0x01, 0xD3, 0x99, 0x3E, 0x8E,
                           0xD3, 0x99, 0x3E, 0x00, 0xD3, 0x99, 0x3E, 0x40, 0xD3, 0x99, 0x3E, 'Z',  0xD3, 0x98, 0xC9};
    Msx msx1;
    ASSERT_EQ(run_program(msx1, program).reason, Stop::breakpoint);
    EXPECT_EQ(msx1.vdp().reg(1), 0xAA);  // "R#9" landed in R#1
    EXPECT_EQ(msx1.vdp().reg(6), 0x01);  // "R#14" in R#6
    EXPECT_EQ(msx1.vdp().vram(0x0000), 'Z');

    MsxLayout layout;
    layout.msx2 = true;
    Msx msx2(layout);
    ASSERT_EQ(run_program(msx2, program).reason, Stop::breakpoint);
    EXPECT_EQ(msx2.vdp().reg(9), 0xAA);
    EXPECT_EQ(msx2.vdp().reg(1), 0xF0);
    EXPECT_EQ(msx2.vdp().vram(0x4000), 'Z');  // R#14 = 1: the second 16 KB
    EXPECT_EQ(msx2.vdp().vram(0x0000), ' ');
}

TEST(Chput, PrintsAtTheCursorWithTheWidthOffsetAndHandlesLineBreaks)
{
    Msx msx;  // WIDTH 37 in 40 columns: text starts in column 3
    // LD HL,text / loop: LD A,(HL) / OR A / RET Z / CALL 00A2h / INC HL / JR loop
    Bytes program = {0x21, 0x0C, 0xC0, 0x7E, 0xB7, 0xC8, 0xCD, 0xA2, 0x00, 0x23, 0x18, 0xF7};
    for (char c : std::string("AB\r\nC\x01\x57"))
        program.push_back(std::uint8_t(c));
    program.push_back(0);
    const std::uint64_t before = msx.machine().cycles();
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(msx.screen_row(0), "  AB");
    EXPECT_EQ(msx.screen_row(1), "  C\x17");
    EXPECT_EQ(msx.transcript(), "AB\r\nC\x01\x57");
    EXPECT_EQ(msx.machine().read(csrx), 3);
    EXPECT_EQ(msx.machine().read(csry), 2);
    EXPECT_EQ(msx.machine().reg(Reg::iff1), 1);
    EXPECT_GE(msx.machine().cycles() - before, 6 * msx.layout().chput_cost);
}

TEST(Chput, WrapsAtTheWidthAndScrollsAtTheBottom)
{
    MsxLayout layout;
    layout.msx2 = true;
    layout.width = 80;
    Msx msx(layout);
    msx.machine().write(csry, 24);
    msx.machine().write(csrx, 79);
    // LD A,'P' / CALL 00A2h / LD A,'Q' / CALL 00A2h / LD A,'R' / CALL 00A2h / RET
    const Bytes program = {0x3E, 'P', 0xCD, 0xA2, 0x00, 0x3E, 'Q', 0xCD, 0xA2, 0x00,
                           0x3E, 'R', 0xCD, 0xA2, 0x00, 0xC9};
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(msx.screen_row(22), std::string(78, ' ') + "PQ");
    EXPECT_EQ(msx.screen_row(23), "R");
}

TEST(SkipStatement, StopsAtTheColonOutsideQuotesOrAtTheLineEnd)
{
    Msx msx;
    Machine& m = msx.machine();
    const std::string line = "\xCF\"CAS:\",R:PRINT";
    for (std::size_t i = 0; i < line.size(); ++i)
        m.write(std::uint16_t(0x9000 + i), std::uint8_t(line[i]));
    m.write(std::uint16_t(0x9000 + line.size()), 0);
    // LD HL,9000h / CALL 485Bh / RET
    const Bytes program = {0x21, 0x00, 0x90, 0xCD, 0x5B, 0x48, 0xC9};
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(m.reg(Reg::hl), 0x9009);
    EXPECT_EQ(m.reg(Reg::af) >> 8, ':');
    m.write(0x9009, 0);
    ASSERT_EQ(run_program(msx, program).reason, Stop::breakpoint);
    EXPECT_EQ(m.reg(Reg::hl), 0x9009);
}

}  // namespace
}  // namespace msxbench
