#include "core/wav_info.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace cassonic {

namespace {

quint32 le32(const char* p) { return qFromLittleEndian<quint32>(p); }
quint16 le16(const char* p) { return qFromLittleEndian<quint16>(p); }

std::optional<WavInfo> fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

}  // namespace

std::optional<WavInfo> ReadWavInfo(QIODevice& device, QString* error)
{
    if (!device.seek(0))
        return fail(error, QStringLiteral("cannot read the file"));
    const QByteArray riff = device.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return fail(error, QStringLiteral("not a WAV file"));

    WavInfo info;
    bool haveFormat = false;
    const qint64 fileSize = device.size();
    qint64 at = 12;
    while (at + 8 <= fileSize) {
        device.seek(at);
        // Fixed buffers rather than QByteArrays: a short read leaves them
        // whole, so no pointer ever reaches past what was read.
        char head[8];
        if (device.read(head, 8) < 8)
            break;
        const quint32 size = le32(head + 4);
        const qint64 body = at + 8;
        if (std::memcmp(head, "fmt ", 4) == 0) {
            char fmt[16];
            if (size < 16 || device.read(fmt, 16) < 16)
                return fail(error, QStringLiteral("its format chunk is cut short"));
            if (le16(fmt) != 1)
                return fail(error, QStringLiteral("its samples are not plain PCM"));
            info.channels = le16(fmt + 2);
            info.sampleRate = int(le32(fmt + 4));
            info.bitsPerSample = le16(fmt + 14);
            if ((info.bitsPerSample != 8 && info.bitsPerSample != 16) || info.channels < 1
                || info.channels > 2 || info.sampleRate < 1 || info.sampleRate > 384000)
                return fail(error, QStringLiteral("its sample format (%1 Hz, %2 bits, %3 channels) is not one "
                                                  "this player takes")
                                       .arg(info.sampleRate)
                                       .arg(info.bitsPerSample)
                                       .arg(info.channels));
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFormat)
                return fail(error, QStringLiteral("its samples come before their format"));
            info.dataOffset = body;
            info.dataSize = std::min<qint64>(size, fileSize - body);
            const qint64 frame = info.channels * (info.bitsPerSample / 8);
            info.dataSize -= info.dataSize % frame;
            return info;
        }
        at = body + size + (size & 1);  // chunks are padded to even sizes
    }
    return fail(error, haveFormat ? QStringLiteral("it has no samples") : QStringLiteral("it has no format chunk"));
}

}  // namespace cassonic
