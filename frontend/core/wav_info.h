#pragma once
// The layout of a PCM WAV file, as far as playing it needs: the sample
// format and where the samples are.

#include <QString>

#include <optional>

class QIODevice;

namespace cassonic {

struct WavInfo {
    int sampleRate = 0;
    int bitsPerSample = 0;  // 8 (unsigned) or 16 (signed, little-endian)
    int channels = 0;
    qint64 dataOffset = 0;  // of the first sample byte
    qint64 dataSize = 0;    // bytes of samples, cut to what the file holds

    qint64 bytesPerSecond() const { return qint64(sampleRate) * channels * (bitsPerSample / 8); }
    double seconds() const { return bytesPerSecond() > 0 ? double(dataSize) / double(bytesPerSecond()) : 0; }
};

// Reads the RIFF header of `device` (from its start): a "fmt " chunk of PCM
// with 8 or 16 bits and one or two channels, and the "data" chunk; other
// chunks are skipped.  On failure gives nothing and says why in `error`.
std::optional<WavInfo> ReadWavInfo(QIODevice& device, QString* error);

}  // namespace cassonic
