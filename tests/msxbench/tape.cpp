#include "tape.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <stdexcept>

namespace msxbench {

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// The comparator's switching point on the coupled signal, a little above the
// resting level: a held level fades to low within a millisecond or two.
constexpr double comparator_offset = 0.02;

// The signal after the conditions: speed is left to the player.
std::vector<float> spoil(std::vector<float> samples, const TapeConditions& conditions)
{
    const double gain = conditions.amplitude * (conditions.inverted ? -1.0 : 1.0);
    double power = 0;
    if (conditions.noise_snr_db > 0 && !samples.empty()) {
        double mean = 0;
        for (float s : samples)
            mean += s;
        mean /= double(samples.size());
        for (float s : samples)
            power += (s - mean) * (s - mean);
        power /= double(samples.size());
    }
    const double noise = conditions.noise_snr_db > 0
                             ? std::sqrt(power * gain * gain / std::pow(10.0, conditions.noise_snr_db / 10.0))
                             : 0.0;
    std::mt19937 random(conditions.noise_seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (float& s : samples) {
        double v = s * gain;
        if (noise > 0)
            v += noise * gauss(random);
        s = static_cast<float>(v);
    }
    return samples;
}

}  // namespace

WavSignal parse_wav(const std::vector<std::uint8_t>& file)
{
    if (file.size() < 12 || std::string(file.begin(), file.begin() + 4) != "RIFF" ||
        std::string(file.begin() + 8, file.begin() + 12) != "WAVE")
        throw std::invalid_argument("not a WAV file");
    WavSignal signal;
    int channels = 0, bits = 0;
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::string id(file.begin() + std::ptrdiff_t(at), file.begin() + std::ptrdiff_t(at) + 4);
        std::size_t size = le32(file, at + 4);
        const std::size_t body = at + 8;
        size = std::min(size, file.size() - body);
        if (id == "fmt ") {
            if (size < 16 || le16(file, body) != 1)
                throw std::invalid_argument("WAV is not PCM");
            channels = le16(file, body + 2);
            signal.rate = le32(file, body + 4);
            bits = le16(file, body + 14);
        } else if (id == "data") {
            if (channels < 1 || (bits != 8 && bits != 16) || signal.rate == 0)
                throw std::invalid_argument("unsupported WAV format");
            const std::size_t frame = std::size_t(channels) * std::size_t(bits / 8);
            signal.samples.reserve(size / frame);
            for (std::size_t i = body; i + frame <= body + size; i += frame) {
                if (bits == 8)
                    signal.samples.push_back(float(int(file[i]) - 128) / 128.0f);
                else
                    signal.samples.push_back(float(std::int16_t(le16(file, i))) / 32768.0f);
            }
            return signal;
        }
        at = body + size + (size & 1);
    }
    throw std::invalid_argument("WAV has no data");
}

WavSignal read_wav(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    return parse_wav({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
}

WavSignal silence(double seconds, std::uint32_t rate)
{
    WavSignal signal;
    signal.rate = rate;
    signal.samples.assign(std::size_t(seconds * rate), 0.0f);
    return signal;
}

Tape::Tape(const std::vector<WavSignal>& recordings, const TapeOptions& options)
    : motor_controlled_(options.motor_controlled)
{
    double y = 0, previous = 0;  // the high-pass filter's state
    bool level = false;
    bool first = true;
    double start = 0;  // playing time of the recording's first sample, in T-states
    std::uint32_t seed = options.conditions.noise_seed;
    for (const WavSignal& recording : recordings) {
        TapeConditions conditions = options.conditions;
        conditions.noise_seed = seed++;
        const std::vector<float> samples = spoil(recording.samples, conditions);
        const double rate = double(recording.rate) * conditions.speed;
        const double t_per_sample = msx_clock / rate;
        const double rc = 1.0 / (2.0 * std::numbers::pi * options.high_pass_hz);
        const double a = rc / (rc + 1.0 / rate);
        double before = 0;  // the compared value of the sample before
        for (std::size_t i = 0; i < samples.size(); ++i) {
            bool now;
            double value;
            if (options.model == InputModel::threshold) {
                value = samples[i];
                now = value > 0;
            } else {
                // y[n] = a (y[n-1] + x[n] - x[n-1]): the RC high-pass.
                if (first)
                    previous = samples[i];
                y = a * (y + samples[i] - previous);
                previous = samples[i];
                value = y - comparator_offset;
                now = value > 0;
            }
            if (first) {
                first_level_ = level = now;
                first = false;
            } else if (now != level) {
                level = now;
                double at = double(i);
                if (options.interpolate && value != before)
                    at = double(i) - value / (value - before);
                changes_.push_back(static_cast<std::uint64_t>(std::ceil(start + at * t_per_sample)));
            }
            before = value;
        }
        start += double(samples.size()) * t_per_sample;
    }
    length_ = static_cast<std::uint64_t>(std::ceil(start));
}

void Tape::advance(std::uint64_t t)
{
    if (t < last_t_)
        t = last_t_;
    if (motor_ || !motor_controlled_)
        played_ += t - last_t_;
    last_t_ = t;
}

bool Tape::level(std::uint64_t t)
{
    const std::uint64_t at = position(t);
    while (next_change_ < changes_.size() && changes_[next_change_] <= at)
        ++next_change_;
    return first_level_ ^ (next_change_ & 1);
}

void Tape::set_motor(bool on, std::uint64_t t)
{
    advance(t);
    motor_ = on;
}

std::uint64_t Tape::position(std::uint64_t t)
{
    advance(t);
    return played_;
}

}  // namespace msxbench
