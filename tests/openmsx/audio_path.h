#pragma once
// What happens to a tape's WAV between the encoder and an MSX, made with
// real audio tools (sox, lame): a player a little slow or fast, a low or
// inverted output, hiss, a sound card at 48 kHz, an MP3 on a phone.  The
// result is a 16-bit PCM WAV (as written: the file itself) that both
// emulated MSXs read.

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

namespace tools {

enum class AudioPath {
    as_written,         // the file itself
    slower_4,           // played 4% slower (pitch and tempo, resampled)
    faster_4,           // played 4% faster
    quarter_amplitude,  // 25% amplitude
    inverted,           // polarity turned over
    noise_20db,         // white noise at 20 dB signal-to-noise ratio
    resampled_48k,      // resampled to 48 kHz
    mp3_128,            // MP3 at 128 kbit/s and back
    mp3_192,            // MP3 at 192 kbit/s and back
};

struct AudioCondition {
    AudioPath path = AudioPath::as_written;
    std::uint32_t seed = 1;  // of the noise; the other paths have no randomness
};

// "4% slower", "noise 20 dB (seed 2)", ...
std::string label(const AudioCondition& condition);
// For test names and messages: the label.
inline void PrintTo(const AudioCondition& condition, std::ostream* out)
{
    *out << label(condition);
}

// Playing time after the path over playing time before.
double time_scale(AudioPath path);

// Empty when sox and lame are installed, else which is not.
std::string missing_tools();

// Writes `out` as `in` after `condition`, using `work` for intermediate
// files.  Throws std::runtime_error (with the tool's output) on failure.
void spoil(const std::filesystem::path& in, const std::filesystem::path& out, const AudioCondition& condition,
           const std::filesystem::path& work);


}  // namespace tools
