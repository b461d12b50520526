#include "fast_tape_reader.h"

#include "signal/cells.h"

namespace fast_tape {

namespace {

std::vector<int> as_ints(const Waveform& wave)
{
    std::vector<int> out;
    for (std::size_t i = 0; i < wave.length; ++i)
        out.push_back(wave.u8 ? int(wave.u8[i]) : int(wave.s16[i]));
    return out;
}

}  // namespace

std::vector<int> wav_samples(const std::vector<std::uint8_t>& wav)
{
    std::vector<int> samples;
    if (wav.size() < 44)
        return samples;
    bool wide = wav[34] == 16;
    for (std::size_t i = 44; i + (wide ? 1 : 0) < wav.size(); i += wide ? 2 : 1)
        samples.push_back(wide ? int(std::int16_t(wav[i] | wav[i + 1] << 8)) : int(wav[i]));
    return samples;
}

unsigned unit_value(const std::vector<bool>& cells)
{
    unsigned value = 0;
    for (bool cell : cells)
        value = value * 2 + (cell ? 1 : 0);
    return value;
}

unsigned unit_rank(const std::vector<bool>& cells)
{
    return (1u << cells.size()) - 2 + unit_value(cells);
}

Reader::Reader(std::vector<int> samples, int mode, bool cd, std::size_t start)
    : samples_(std::move(samples)), at_(start), silence_(cd ? 0 : 127)
{
    const SignalCells* cells = signal_cells(mode);
    const SignalCells* lead = signal_cells(mode == 6 ? 8 : mode);
    lead_bit1_ = as_ints(lead->bit1);
    bit0_ = as_ints(cells->bit0);
    bit1_ = as_ints(cells->bit1);
    start_ = as_ints(cells->start_mark);
    end_ = as_ints(cells->end_mark);
}

bool Reader::match(const std::vector<int>& wave)
{
    if (at_ + wave.size() > samples_.size())
        return false;
    for (std::size_t i = 0; i < wave.size(); ++i)
        if (samples_[at_ + i] != wave[i])
            return false;
    at_ += wave.size();
    return true;
}

int Reader::count_cells(const std::vector<int>& wave)
{
    int count = 0;
    while (match(wave))
        ++count;
    return count;
}

bool Reader::next_block(Block& block)
{
    block = Block{};
    // Silence ends at the first sample off the silence level; a lead-in cell
    // may itself begin at that level.
    std::size_t silence_start = at_;
    while (at_ < samples_.size() && samples_[at_] == silence_)
        ++at_;
    if (at_ == samples_.size())
        return false;
    std::size_t leading = 0;
    while (leading < lead_bit1_.size() && lead_bit1_[leading] == silence_)
        ++leading;
    at_ -= leading;
    block.silence_before = at_ - silence_start;

    block.lead_in_cells = count_cells(lead_bit1_);
    if (block.lead_in_cells == 0) {
        error = "no lead-in at sample " + std::to_string(at_);
        return false;
    }
    if (!match(end_)) {
        block.closing_tone = true;
        return true;
    }
    while (match(start_)) {
        std::vector<bool> cells;
        while (!match(end_)) {
            if (match(bit0_))
                cells.push_back(false);
            else if (match(bit1_))
                cells.push_back(true);
            else {
                error = "unreadable cell at sample " + std::to_string(at_);
                return false;
            }
        }
        block.units.push_back(cells);
    }
    block.trailer_cells = count_cells(bit1_);
    if (!match(end_)) {
        error = "no end mark after the trailer at sample " + std::to_string(at_);
        return false;
    }
    return true;
}

bool decode_file(const Block& block, bool dos_mode, FileBlock& file, std::string& error)
{
    std::size_t next = 0;
    auto value = [&](unsigned& out) {
        if (next >= block.units.size())
            return false;
        out = unit_value(block.units[next++]);
        return out < 256;
    };
    unsigned v = 0;
    for (int i = 0; i < 2; ++i) {
        if (!value(v) || v != 0xD0) {
            error = "missing sync value";
            return false;
        }
    }
    if (dos_mode) {
        if (!value(v))
            return error = "missing flags", false;
        file.flags = std::uint8_t(v);
    }
    for (int i = 0; i < (dos_mode ? 11 : 12); ++i) {
        if (!value(v))
            return error = "short name", false;
        file.name += char(v);
    }
    for (auto& entry : file.ranked) {
        if (!value(v))
            return error = "short rank table", false;
        entry = std::uint8_t(v);
    }
    if (!dos_mode) {
        if (!value(v))
            return error = "missing type", false;
        file.description.push_back(std::uint8_t(v));
        for (int i = 0; v != 0xFF && i < 6; ++i) {
            unsigned address_byte = 0;
            if (!value(address_byte))
                return error = "short description", false;
            file.description.push_back(std::uint8_t(address_byte));
        }
    }
    for (; next < block.units.size(); ++next) {
        unsigned rank = unit_rank(block.units[next]);
        if (block.units[next].empty() || rank > 255)
            return error = "bad rank code", false;
        file.payload.push_back(file.ranked[rank]);
    }
    return true;
}

}  // namespace fast_tape
