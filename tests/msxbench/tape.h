#pragma once
// The cassette input of the emulated MSX: WAV files played one after the
// other in emulated time into the level that PSG register 14 bit 7 shows.
//
// The samples are turned into levels once, when the tape is made: the plain
// model compares each sample with the middle of the range; the AC-coupled
// model, as real machines have it, passes the signal through a first-order
// high-pass filter first and compares it with a point a little above the
// resting level, so that a level held for a millisecond or two fades.  Played at the MSX clock, sample n of a
// recording covers the T-states from n * 3579545 / rate on; the levels are
// kept as the times at which they change.

#include <cstdint>
#include <string>
#include <vector>

namespace msxbench {

inline constexpr double msx_clock = 3579545.0;

enum class InputModel {
    threshold,   // the sample's sign around the middle of the range
    ac_coupled,  // high-pass filter, then the sign (a held level fades to low)
};

// Ways of spoiling a recording, for the robustness tests.
struct TapeConditions {
    double speed = 1.0;            // playing speed: 1.04 plays 4% faster
    double amplitude = 1.0;        // gain applied to the signal
    bool inverted = false;         // polarity turned over
    double noise_snr_db = 0.0;     // white noise at this signal-to-noise ratio; 0 = none
    std::uint32_t noise_seed = 1;
};

struct TapeOptions {
    InputModel model = InputModel::ac_coupled;
    double high_pass_hz = 300.0;   // corner of the AC coupling
    bool motor_controlled = true;  // false: the tape runs whatever the motor does
    TapeConditions conditions;
    // Where the level changes between two samples: false, at the later one
    // (a sample-and-hold input); true, where the line between them crosses
    // the switching point, as a player's output puts it: a resampled
    // recording's changes, and a sine wave's, fall between samples.
    bool interpolate = false;
};

// A mono WAV file's samples as numbers from -1 to 1 (8-bit unsigned and
// 16-bit signed PCM; of several channels the first).
struct WavSignal {
    std::uint32_t rate = 0;
    std::vector<float> samples;
};
WavSignal parse_wav(const std::vector<std::uint8_t>& file);
WavSignal read_wav(const std::string& path);
// `seconds` of silence at `rate`.
WavSignal silence(double seconds, std::uint32_t rate = 44100);

class Tape {
public:
    // The recordings in playing order, under the same conditions.
    Tape(const std::vector<WavSignal>& recordings, const TapeOptions& options = {});

    // The level seen at emulated time `t` (T-states since the machine was
    // made).  Times must not go backwards.
    bool level(std::uint64_t t);
    // The motor line: the tape stands still while it is off, unless it runs
    // regardless of the motor.
    void set_motor(bool on, std::uint64_t t);
    // Where the tape is, in T-states of playing time; past the end it reads
    // the last level.
    std::uint64_t position(std::uint64_t t);
    std::uint64_t length() const { return length_; }
    // The number of level changes on the whole tape.
    std::size_t changes() const { return changes_.size(); }
    bool at_end(std::uint64_t t) { return position(t) >= length(); }

private:
    void advance(std::uint64_t t);

    std::vector<std::uint64_t> changes_;  // playing times at which the level turns over
    bool first_level_ = false;
    std::uint64_t length_ = 0;
    std::size_t next_change_ = 0;         // the first change not yet passed
    bool motor_controlled_;
    bool motor_ = false;
    std::uint64_t last_t_ = 0;
    std::uint64_t played_ = 0;  // T-states of playing time so far
};

}  // namespace msxbench
