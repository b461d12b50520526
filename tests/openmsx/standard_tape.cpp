#include "standard_tape.h"

#include "tape.h"
#include "test_support.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace openmsx {

namespace {

// Runs of one level, in samples.
struct Run {
    std::size_t start = 0;
    std::size_t length = 0;
};

std::vector<Run> runs_of(const std::vector<float>& samples)
{
    std::vector<Run> runs;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const bool high = samples[i] > 0;
        if (i == 0 || high != (samples[i - 1] > 0))
            runs.push_back({i, 0});
        ++runs.back().length;
    }
    return runs;
}

// Reads bits from the runs: a 0 cell is one cycle (two long halves), a 1
// cell two cycles of half the length (four short halves).
class BitReader {
public:
    explicit BitReader(std::vector<Run> runs) : runs_(std::move(runs)) {}

    // Moves to the next sync tone; false when there is none.  The tone's
    // halves set what short and long mean.
    bool find_tone()
    {
        constexpr std::size_t tone_halves = 200;
        while (at_ + tone_halves < runs_.size()) {
            std::vector<std::size_t> lengths;
            for (std::size_t i = at_; i < at_ + tone_halves; ++i)
                lengths.push_back(runs_[i].length);
            std::nth_element(lengths.begin(), lengths.begin() + tone_halves / 2, lengths.end());
            half_ = double(lengths[tone_halves / 2]);
            const bool steady = std::all_of(runs_.begin() + std::ptrdiff_t(at_),
                                            runs_.begin() + std::ptrdiff_t(at_ + tone_halves),
                                            [this](const Run& r) { return is_short(r); });
            if (steady) {
                while (at_ < runs_.size() && is_short(runs_[at_]))
                    ++at_;
                return true;
            }
            ++at_;
        }
        return false;
    }

    // The next bit: 0, 1, or -1 when the runs form no cell.
    int bit()
    {
        if (at_ + 1 < runs_.size() && is_long(runs_[at_]) && is_long(runs_[at_ + 1])) {
            at_ += 2;
            return 0;
        }
        if (at_ + 3 < runs_.size() &&
            std::all_of(runs_.begin() + std::ptrdiff_t(at_), runs_.begin() + std::ptrdiff_t(at_ + 4),
                        [this](const Run& r) { return is_short(r); })) {
            at_ += 4;
            return 1;
        }
        return -1;
    }

    // The next standard byte, or -1 (the reader left where it was) when
    // none follows.
    int byte()
    {
        const std::size_t from = at_;
        int value = 0;
        bool ok = bit() == 0;
        for (int i = 0; ok && i < 8; ++i) {
            const int b = bit();
            ok = b >= 0;
            value |= (b > 0 ? 1 : 0) << i;
        }
        ok = ok && bit() == 1 && bit() == 1;
        if (!ok) {
            at_ = from;
            return -1;
        }
        return value;
    }

    std::size_t sample() const
    {
        return at_ < runs_.size() ? runs_[at_].start : runs_.back().start + runs_.back().length;
    }

private:
    bool is_short(const Run& r) const { return r.length >= 0.5 * half_ && r.length < 1.5 * half_; }
    bool is_long(const Run& r) const { return r.length >= 1.5 * half_ && r.length < 3.5 * half_; }

    std::vector<Run> runs_;
    std::size_t at_ = 0;
    double half_ = 0;
};

std::uint16_t word(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + std::size_t(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Where a WAV file's chunks are: the "fmt " chunk's header and the data.
struct WavLayout {
    std::size_t fmt = 0;
    std::size_t data = 0;
    std::size_t data_size = 0;
    std::uint32_t rate = 0;
    std::size_t frame = 0;  // bytes per sample of all channels
};

WavLayout layout_of(const std::vector<std::uint8_t>& file, const std::filesystem::path& path)
{
    WavLayout wav;
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::string id(file.begin() + std::ptrdiff_t(at), file.begin() + std::ptrdiff_t(at) + 4);
        const std::size_t size = std::min<std::size_t>(le32(file, at + 4), file.size() - at - 8);
        if (id == "fmt " && size >= 16) {
            wav.fmt = at;
            wav.rate = le32(file, at + 12);
            wav.frame = file[at + 20] | file[at + 21] << 8;
        }
        if (id == "data") {
            wav.data = at + 8;
            wav.data_size = size;
            break;
        }
        at += 8 + size + (size & 1);
    }
    if (file.size() < 12 || !wav.fmt || !wav.data || !wav.rate || !wav.frame)
        throw std::runtime_error(path.string() + ": not a WAV file");
    return wav;
}

}  // namespace

std::vector<StandardBlock> read_standard_blocks(const std::filesystem::path& wav, std::size_t count)
{
    const msxbench::WavSignal signal = msxbench::read_wav(wav.string());
    BitReader reader(runs_of(signal.samples));
    std::vector<StandardBlock> blocks;
    while (blocks.size() < count) {
        if (!reader.find_tone())
            throw std::runtime_error(wav.string() + ": standard block " + std::to_string(blocks.size() + 1) +
                                     " not found");
        StandardBlock block;
        for (int b; (b = reader.byte()) >= 0;)
            block.bytes.push_back(static_cast<std::uint8_t>(b));
        if (block.bytes.empty())
            throw std::runtime_error(wav.string() + ": a sync tone without bytes");
        block.end_sample = reader.sample();
        block.end_seconds = double(block.end_sample) / signal.rate;
        blocks.push_back(std::move(block));
    }
    return blocks;
}

TapeBin read_first_bin(const std::filesystem::path& wav)
{
    const std::vector<StandardBlock> blocks = read_standard_blocks(wav, 2);
    const std::vector<std::uint8_t>& header = blocks[0].bytes;
    const std::vector<std::uint8_t>& data = blocks[1].bytes;
    if (header.size() != 16 || std::any_of(header.begin(), header.begin() + 10, [](auto b) { return b != 0xD0; }))
        throw std::runtime_error(wav.string() + ": the first file is not a BIN file");
    TapeBin bin;
    bin.name.assign(header.begin() + 10, header.end());
    if (data.size() < 6)
        throw std::runtime_error(wav.string() + ": BIN data block too short");
    bin.start = word(data, 0);
    bin.end = word(data, 2);
    bin.exec = word(data, 4);
    const std::size_t length = std::size_t(std::uint16_t(bin.end - bin.start)) + 1;
    if (data.size() - 6 < length)
        throw std::runtime_error(wav.string() + ": BIN data block shorter than its addresses say");
    bin.program.assign(data.begin() + 6, data.begin() + 6 + std::ptrdiff_t(length));
    bin.end_sample = blocks[1].end_sample;
    bin.end_seconds = blocks[1].end_seconds;
    return bin;
}

WavInfo wav_info(const std::filesystem::path& wav)
{
    std::ifstream in(wav, std::ios::binary);
    std::vector<std::uint8_t> head(4096);
    in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
    head.resize(std::size_t(in.gcount()));
    WavLayout layout = layout_of(head, wav);
    // The data chunk runs to the end of the file here.
    layout.data_size = std::min<std::size_t>(le32(head, layout.data - 4), std::filesystem::file_size(wav) - layout.data);
    return {layout.rate, layout.data_size / layout.frame};
}

void write_wav_from(const std::filesystem::path& in, const std::filesystem::path& out, std::size_t first)
{
    const std::vector<std::uint8_t> file = test_support::read_file(in.string());
    const WavLayout layout = layout_of(file, in);
    const std::size_t fmt = layout.fmt, data = layout.data, data_size = layout.data_size, frame = layout.frame;
    const std::size_t skip = std::min(first * frame, data_size);
    const std::size_t fmt_size = le32(file, fmt + 4);
    std::vector<std::uint8_t> wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    wav.insert(wav.end(), file.begin() + std::ptrdiff_t(fmt), file.begin() + std::ptrdiff_t(fmt + 8 + fmt_size));
    wav.insert(wav.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
    put32(wav, wav.size() - 4, std::uint32_t(data_size - skip));
    wav.insert(wav.end(), file.begin() + std::ptrdiff_t(data + skip), file.begin() + std::ptrdiff_t(data + data_size));
    put32(wav, 4, std::uint32_t(wav.size() - 8));
    test_support::write_file(out.string(), wav);
}

}  // namespace openmsx
