#include "signal/turbo.h"

#include "codec/turbo_code.h"
#include "signal/wav.h"

std::vector<std::uint8_t> turbo_block_halves(std::span<const std::uint8_t> bytes, const TurboCode& code)
{
    std::vector<std::uint8_t> letters;
    letters.reserve(bytes.size() * 10);
    code.encode(bytes, letters);
    std::vector<std::uint8_t> halves(turbo_lead_in_halves, turbo_half_samples[1]);
    halves.insert(halves.end(), turbo_sync_halves, turbo_half_samples[2]);
    for (const std::uint8_t letter : letters)
        halves.push_back(turbo_half_samples[letter]);
    halves.push_back(turbo_half_samples[1]);
    return halves;
}

std::vector<std::uint8_t> turbo_boot_halves(std::span<const std::uint8_t> bytes)
{
    const std::uint8_t short_half = turbo_boot_half_samples[0];
    const std::uint8_t long_half = turbo_boot_half_samples[1];
    std::vector<std::uint8_t> halves(turbo_boot_lead_in_halves, long_half);
    halves.reserve(halves.size() + 2 + 8 * bytes.size());
    halves.push_back(short_half);
    for (const std::uint8_t byte : bytes)
        for (int bit = 7; bit >= 0; --bit)
            halves.push_back((byte >> bit) & 1 ? long_half : short_half);
    halves.push_back(long_half);
    return halves;
}

std::vector<std::int16_t> turbo_samples(std::span<const std::uint8_t> halves, TurboEdges edges)
{
    std::vector<std::int16_t> samples;
    std::int16_t level = turbo_level;
    for (const std::uint8_t length : halves) {
        const std::size_t from = samples.size();
        samples.insert(samples.end(), length, level);
        if (edges == TurboEdges::stepped && length > 0)
            samples[from] = std::int16_t(level / 4);
        level = std::int16_t(-level);
    }
    return samples;
}

void emit_turbo_halves(std::span<const std::uint8_t> halves, TurboEdges edges)
{
    for (const std::int16_t sample : turbo_samples(halves, edges))
        wav_put_s16(sample);
}
