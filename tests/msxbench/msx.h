#pragma once
// An MSX-like machine on the emulated Z80: main ROM (BIOS and BASIC) in pages
// 0 and 1, RAM in pages 2 and 3, the system variables BASIC leaves after
// boot, the PPI, PSG and VDP, a cassette player, and traps for the BIOS and
// BASIC entries the project's programs call.
//
// The main ROM is HALT wherever no trap or code sits, so a jump where
// nothing is emulated stops the run.  The cassette routines (BREAKX, TAPION,
// TAPIN, TAPIOF) are real Z80 code, and so is what BLOAD"CAS:",R does with
// them (started by bload_run()).  So are the interrupt routine at 0038h,
// CHSNS and CHGET; the interrupt's keyboard scan is a trap.  CHPUT and
// BASIC's end-of-statement scan are traps.

#include "devices.h"
#include "machine.h"
#include "tape.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msxbench {

// System variables and entries.
inline constexpr std::uint16_t enaslt = 0x0024;
inline constexpr std::uint16_t keyint = 0x0038;
inline constexpr std::uint16_t msx_version = 0x002D;
inline constexpr std::uint16_t chsns = 0x009C;
inline constexpr std::uint16_t chget = 0x009F;
inline constexpr std::uint16_t chput = 0x00A2;
inline constexpr std::uint16_t tapiof = 0x00E7;
inline constexpr std::uint16_t bload_run_entry = 0x3000;  // emulated BLOAD"CAS:",R
inline constexpr std::uint16_t cload_run_entry = 0x3100;  // emulated CLOAD and RUN
inline constexpr std::uint16_t basic_return = 0x6CF3;     // where BLOAD ",R" programs return
inline constexpr std::uint16_t newstt = 0x4601;
inline constexpr std::uint16_t gone_return = 0x4649;  // the dispatch after H.GONE
inline constexpr std::uint16_t skip_statement = 0x485B;
inline constexpr std::uint16_t basic_run = 0x73AC;
inline constexpr std::uint16_t linlen = 0xF3B0;
inline constexpr std::uint16_t crtcnt = 0xF3B1;
inline constexpr std::uint16_t csry = 0xF3DC;
inline constexpr std::uint16_t csrx = 0xF3DD;
inline constexpr std::uint16_t cnsdfg = 0xF3DE;
inline constexpr std::uint16_t statfl = 0xF3E7;
inline constexpr std::uint16_t putpnt = 0xF3F8;
inline constexpr std::uint16_t curlin = 0xF41C;  // the line run now, FFFFh in direct mode
inline constexpr std::uint16_t kbuf = 0xF41F;    // the tokenized direct-mode line
inline constexpr std::uint16_t getpnt = 0xF3FA;
inline constexpr std::uint16_t txttab = 0xF676;
inline constexpr std::uint16_t vartab = 0xF6C2;
inline constexpr std::uint16_t nambas = 0xF922;
inline constexpr std::uint16_t mode = 0xFAFC;  // MSX2: bits 2-1 the VRAM size, 00 16K, 01 64K, 10 128K
inline constexpr std::uint16_t oldkey = 0xFBDA;
inline constexpr std::uint16_t newkey = 0xFBE5;
inline constexpr std::uint16_t keybuf = 0xFBF0;
inline constexpr std::uint16_t keybuf_end = 0xFC18;
inline constexpr std::uint16_t intflg = 0xFC9B;
inline constexpr std::uint16_t jiffy = 0xFC9E;
inline constexpr std::uint16_t lowlim = 0xFCA4;
inline constexpr std::uint16_t winwid = 0xFCA5;
inline constexpr std::uint16_t capst = 0xFCAB;
inline constexpr std::uint16_t scrmod = 0xFCAF;
inline constexpr std::uint16_t exptbl = 0xFCC1;
inline constexpr std::uint16_t slttbl = 0xFCC5;
inline constexpr std::uint16_t h_keyi = 0xFD9A;
inline constexpr std::uint16_t h_timi = 0xFD9F;
inline constexpr std::uint16_t h_gone = 0xFF43;
inline constexpr std::uint16_t rg9sav = 0xFFE8;
inline constexpr std::uint16_t rg10sa = 0xFFE9;

struct MsxLayout {
    Slot main_rom{0, 0};           // BIOS in page 0, BASIC in page 1
    Slot ram{3, 0};                // 64 KB of RAM, pages 0 to 3, or the memory mapper
    int mapper_segments = 0;       // a memory mapper of this many 16 KB segments in `ram`, else plain RAM
    bool expand_rom_slot = false;  // main ROM's primary slot expanded (MSX2 style 0-0)
    bool expand_ram_slot = false;
    bool msx2 = false;             // MSX version byte 1 and a V9938; else MSX1 and a TMS9918A
    int screen = 0;                // SCREEN 0 (text 40 or 80 columns) or 1 (32 columns)
    int width = 37;                // WIDTH of that screen
    std::uint16_t stack = 0xF0A0;
    std::uint64_t chput_cost = 1000;  // T-states one CHPUT takes
    int vram_kb = 0;               // 0: the chip's usual (16 KB, 128 KB on an MSX2); 64 or 128 on an MSX2
    bool pal = true;               // 50 Hz frames (an MSX2 also sets R#9 and RG9SAV so)
    bool frame_interrupt = false;  // the VDP's interrupt line reaches the CPU
    std::uint64_t keyscan_cost = 2000;  // T-states the interrupt's keyboard scan takes
};

// An MSX2 whose main ROM and RAM sit in expanded slots (RAM in 3-2): page 1
// RAM is found only by looking at secondary slots.
inline MsxLayout expanded_msx2()
{
    MsxLayout layout;
    layout.msx2 = true;
    layout.expand_rom_slot = true;
    layout.expand_ram_slot = true;
    layout.ram = {3, 2};
    return layout;
}

// An MSX2 as BASIC and the fast loader leave it: main ROM in slot 0 (or in
// expanded slot 0-0), a memory mapper of `mapper_kb` (64 to 512) in
// expanded slot 3-2 with segments 3, 2, 1, 0 in pages 0 to 3, `vram_kb` of
// video memory, SCREEN 0 WIDTH 80, 50 Hz frame interrupts.
MsxLayout msx2_layout(int mapper_kb = 128, int vram_kb = 128, bool rom_in_expanded_slot = false);

// What the run entry of BASIC found when it was reached.
struct BasicRun {
    Slot page0;
    Slot page1;
    std::uint16_t vartab = 0;
};

// One statement of a BASIC program run through the statement hook.
struct Statement {
    std::uint16_t at = 0;       // address of its first token
    std::uint8_t token = 0;
    bool taken_by_hook = false; // the hook consumed it and returned to NEWSTT
};

// A machine set up as BASIC leaves it after boot, with the traps in place.
class Msx {
public:
    explicit Msx(const MsxLayout& layout = {});

    Machine& machine() { return machine_; }
    const Machine& machine() const { return machine_; }
    const MsxLayout& layout() const { return layout_; }
    std::uint8_t main_rom_id() const;
    std::uint8_t ram_id() const;

    Keyboard& keyboard() { return keyboard_; }
    Ppi& ppi() { return ppi_; }
    Psg& psg() { return psg_; }
    Vdp& vdp() { return vdp_; }

    // Puts recordings in the player, to be played one after the other; with
    // motor control the tape stands while the motor is off, otherwise it
    // plays from the present moment on.
    void insert_tape(const std::vector<WavSignal>& recordings, const TapeOptions& options = {});
    Tape* tape() { return tape_.get(); }
    // T-states of tape played so far.
    std::uint64_t tape_position();
    bool tape_at_end();

    // The text screen: row `row` (0-based) of the name table as characters,
    // trailing blanks removed; screen_text() joins all rows with '\n'.
    std::string screen_row(int row) const;
    std::string screen_text() const;
    // Every character CHPUT was given, control codes included, in order.
    const std::string& transcript() const { return transcript_; }

    // Starts BLOAD"CAS:",R: the next run() reads the tape.  A load error
    // halts the CPU at the emulated BASIC's error stop.
    void bload_run();
    // Starts CLOAD and RUN: the program goes to TXTTAB and BASIC's run entry
    // is reached.
    void cload_run();
    // Runs the BASIC program at TXTTAB statement by statement as the run
    // loop does: H.GONE is called before each statement with its token in A
    // and HL on it; a statement the hook leaves to the interpreter is passed
    // over.  Stops at the end of the program, when a run stops for another
    // reason (the result says which), or after `cycle_limit` T-states.
    // CURLIN holds the number of the line run.
    RunResult run_statements(std::uint64_t cycle_limit, std::vector<Statement>& statements);
    // Runs one tokenized statement typed in direct mode (in KBUF, CURLIN =
    // FFFFh) as run_statements runs each: `statement` tells what H.GONE did.
    RunResult run_direct(const std::vector<std::uint8_t>& text, std::uint64_t cycle_limit, Statement& statement);

    // Starts a program at `address` as the fast loader or BLOAD ",R" does:
    // SP = the layout's stack with basic_return pushed (a RET goes back to
    // BASIC; put a breakpoint there to see it).  BLOAD ",R" starts it with
    // interrupts enabled; the fast loader's last slot switch (ENASLT) leaves
    // them disabled.
    void start(std::uint16_t address, bool interrupts_enabled = true);
    // Leaves in memory what a real machine would hold at that point, for
    // programs that must not depend on it: mapper segments from 4 on and
    // the video memory above 16 KB filled with pseudo-random bytes, and
    // H.KEYI and H.TIMI jumping into a ROM that is gone (a fault if called).
    void leave_leftovers(std::uint32_t seed = 1);

    // Keyboard input.  type() puts characters into KEYBUF as the interrupt
    // routine would (PUTPNT advances unless the buffer is full, 39
    // characters at most) and tells whether all fitted.  A run stops with
    // waiting_for_key() when CHGET waits on an empty buffer and no key held
    // on the keyboard is still to be scanned; the next run() continues it.
    bool type(std::string_view text);
    bool waiting_for_key() const;
    std::string keybuf_contents() const;

    // The RAM disk as one image of 16 KB pages: mapper segments 5 to
    // 4 + `ram_pages`, then `vram_pages` pages of video memory from the top
    // one (7 with 128 KB, 3 with 64 KB) downwards.
    std::vector<std::uint8_t> ram_disk_image(int ram_pages, int vram_pages) const;

    // Faults the real machine would crash on (e.g. ENASLT switching page 0
    // away from the BIOS); a fault also stops the run.
    const std::vector<std::string>& faults() const { return faults_; }
    int enaslt_calls() const { return enaslt_calls_; }
    // Set when a program started BASIC through the run entry (the run stops there).
    const std::optional<BasicRun>& basic_run_reached() const { return basic_run_; }

private:
    void fault(const std::string& what);
    void trap_enaslt();
    void trap_basic_run();
    void trap_chput();
    void trap_keyscan();
    void trap_idle();
    bool put_key(std::uint8_t c);
    void trap_skip_statement();
    RunResult call_gone(std::uint16_t at, std::uint64_t cycle_limit, Statement& statement);
    std::uint32_t cursor_address() const;
    int text_columns() const;
    int text_rows() const;
    void put_glyph(std::uint8_t glyph);
    void line_feed();

    MsxLayout layout_;
    Machine machine_;
    Keyboard keyboard_;
    Ppi ppi_;
    Psg psg_;
    Vdp vdp_;
    std::unique_ptr<Tape> tape_;
    bool graphic_prefix_ = false;
    std::vector<std::string> faults_;
    int enaslt_calls_ = 0;
    std::optional<BasicRun> basic_run_;
    std::uint64_t last_scan_ = 0;
    std::string transcript_;
};

}  // namespace msxbench
