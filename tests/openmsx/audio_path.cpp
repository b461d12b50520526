#include "audio_path.h"

#include "child_process.h"
#include "tape.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>

namespace tools {

namespace fs = std::filesystem;

namespace {

void run_tool(const std::vector<std::string>& argv)
{
    const ChildResult result = run_child(argv);
    if (result.status != 0) {
        std::string command;
        for (const std::string& arg : argv)
            command += arg + " ";
        throw std::runtime_error(command + "failed (status " + std::to_string(result.status) + "):\n" + result.output);
    }
}

// sox, repeatable (-R) and without dither (-D), writing 16-bit PCM.
void sox(const std::vector<std::string>& inputs, const fs::path& out, const std::vector<std::string>& effects)
{
    std::vector<std::string> argv = {"sox", "-R", "-D"};
    argv.insert(argv.end(), inputs.begin(), inputs.end());
    argv.insert(argv.end(), {"-b", "16", "-e", "signed-integer", out.string()});
    argv.insert(argv.end(), effects.begin(), effects.end());
    run_tool(argv);
}

void write_wav16(const fs::path& path, std::uint32_t rate, const std::vector<std::int16_t>& samples)
{
    const auto data = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> header = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                        16,  0,   0,   0,   1, 0, 1, 0, 0,   0,   0,   0,   0,   0,   0,   0,
                                        2,   0,   16,  0,   'd', 'a', 't', 'a', 0, 0, 0, 0};
    const auto put = [&header](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + std::size_t(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(4, 36 + data);
    put(24, rate);
    put(28, rate * 2);
    put(40, data);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    for (const std::int16_t s : samples) {
        const char bytes[2] = {static_cast<char>(s & 0xFF), static_cast<char>((s >> 8) & 0xFF)};
        out.write(bytes, 2);
    }
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

// White noise of the recording's length whose power is the recording's
// (around its mean, silences included) less `snr_db`: Gaussian, from a
// Mersenne twister seeded with `seed` (Box-Muller on its raw output, so the
// noise is the same on every platform).
void write_noise(const fs::path& recording, const fs::path& noise, double snr_db, std::uint32_t seed)
{
    const msxbench::WavSignal signal = msxbench::read_wav(recording.string());
    double mean = 0, power = 0;
    for (const float s : signal.samples)
        mean += s;
    mean /= double(signal.samples.size());
    for (const float s : signal.samples)
        power += (s - mean) * (s - mean);
    power /= double(signal.samples.size());
    const double sigma = std::sqrt(power / std::pow(10.0, snr_db / 10.0)) * 32768.0;
    std::mt19937 random(seed);
    const auto uniform = [&random] { return (double(random()) + 0.5) / 4294967296.0; };
    std::vector<std::int16_t> samples(signal.samples.size());
    for (std::int16_t& s : samples) {
        const double gauss = std::sqrt(-2.0 * std::log(uniform())) * std::cos(2.0 * std::numbers::pi * uniform());
        s = static_cast<std::int16_t>(std::clamp(std::lround(sigma * gauss), -32768L, 32767L));
    }
    write_wav16(noise, signal.rate, samples);
}

}  // namespace

std::string label(const AudioCondition& condition)
{
    switch (condition.path) {
    case AudioPath::as_written:
        return "as written";
    case AudioPath::slower_4:
        return "played 4% slower";
    case AudioPath::faster_4:
        return "played 4% faster";
    case AudioPath::quarter_amplitude:
        return "25% amplitude";
    case AudioPath::inverted:
        return "inverted polarity";
    case AudioPath::noise_20db:
        return "white noise 20 dB SNR, seed " + std::to_string(condition.seed);
    case AudioPath::resampled_48k:
        return "resampled to 48 kHz";
    case AudioPath::mp3_128:
        return "MP3 128 kbit/s";
    case AudioPath::mp3_192:
        return "MP3 192 kbit/s";
    }
    return "?";
}

double time_scale(AudioPath path)
{
    return path == AudioPath::slower_4 ? 1 / 0.96 : path == AudioPath::faster_4 ? 1 / 1.04 : 1.0;
}

std::string missing_tools()
{
    for (const char* tool : {"sox", "lame"})
        if (!in_path(tool))
            return std::string(tool) + " is not installed";
    return {};
}

void spoil(const fs::path& in, const fs::path& out, const AudioCondition& condition, const fs::path& work)
{
    const std::string stem = out.stem().string();
    switch (condition.path) {
    case AudioPath::as_written:
        fs::copy_file(in, out, fs::copy_options::overwrite_existing);
        return;
    case AudioPath::slower_4:
        sox({in.string()}, out, {"speed", "0.96"});
        return;
    case AudioPath::faster_4:
        sox({in.string()}, out, {"speed", "1.04"});
        return;
    case AudioPath::quarter_amplitude:
        sox({in.string()}, out, {"vol", "0.25"});
        return;
    case AudioPath::inverted:
        sox({in.string()}, out, {"vol", "-1"});
        return;
    case AudioPath::noise_20db: {
        // Both halved, so that the noise on top of a full-scale signal
        // does not clip.
        const fs::path noise = work / (stem + "-noise.wav");
        write_noise(in, noise, 20.0, condition.seed);
        sox({"-m", "-v", "0.5", in.string(), "-v", "0.5", noise.string()}, out, {});
        fs::remove(noise);
        return;
    }
    case AudioPath::resampled_48k:
        sox({in.string()}, out, {"rate", "48000"});
        return;
    case AudioPath::mp3_128:
    case AudioPath::mp3_192: {
        const fs::path pcm = work / (stem + "-pcm.wav");
        const fs::path mp3 = work / (stem + ".mp3");
        sox({in.string()}, pcm, {});
        run_tool({"lame", "--quiet", "-b", condition.path == AudioPath::mp3_128 ? "128" : "192", pcm.string(),
                  mp3.string()});
        run_tool({"lame", "--quiet", "--decode", mp3.string(), out.string()});
        fs::remove(pcm);
        fs::remove(mp3);
        return;
    }
    }
}

}  // namespace tools
