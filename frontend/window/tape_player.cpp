#include "window/tape_player.h"

#include "core/wav_info.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QMediaDevices>

namespace cassonic {

AudioTapePlayback::AudioTapePlayback(QObject* parent) : TapePlayback(parent) {}

AudioTapePlayback::~AudioTapePlayback() { stop(); }

bool AudioTapePlayback::play(const QString& path, QString* error)
{
    stop();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const std::optional<WavInfo> info = ReadWavInfo(file, error);
    if (!info)
        return false;
    file.seek(info->dataOffset);
    auto samples = std::make_unique<QBuffer>();
    samples->setData(file.read(info->dataSize));
    samples->open(QIODevice::ReadOnly);

    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        *error = QStringLiteral("no sound output device was found");
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(info->sampleRate);
    format.setChannelCount(info->channels);
    format.setSampleFormat(info->bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);

    sink_ = std::make_unique<QAudioSink>(device, format);
    // A tenth of a second in the sound system keeps the cursor close to
    // what is heard.
    sink_->setBufferSize(std::max<qsizetype>(4096, info->bytesPerSecond() / 10));
    // The MSX needs the full level; the desktop's mixer still applies.
    sink_->setVolume(1.0);
    connect(sink_.get(), &QAudioSink::stateChanged, this, &AudioTapePlayback::onStateChanged);
    bytesPerSecond_ = info->bytesPerSecond();
    samples_ = std::move(samples);
    sink_->start(samples_.get());
    if (sink_->error() != QAudio::NoError) {
        *error = QStringLiteral("the sound output (%1) did not open").arg(device.description());
        stop();
        return false;
    }
    return true;
}

void AudioTapePlayback::stop()
{
    // Called from the sink's own signal too: it goes when control is back
    // in the event loop, and the samples after it.
    if (sink_) {
        sink_->disconnect(this);
        sink_->stop();
        sink_.release()->deleteLater();
    }
    if (samples_)
        samples_.release()->deleteLater();
}

double AudioTapePlayback::position() const
{
    if (!sink_ || bytesPerSecond_ <= 0)
        return 0;
    // What the sink has taken, less what still waits in its buffer.
    const qint64 queued = sink_->bufferSize() - sink_->bytesFree();
    const qint64 heard = std::max<qint64>(0, samples_->pos() - queued);
    return double(heard) / double(bytesPerSecond_);
}

bool AudioTapePlayback::isPlaying() const { return sink_ != nullptr; }

void AudioTapePlayback::onStateChanged()
{
    if (!sink_)
        return;
    const QAudio::State state = sink_->state();
    if (state == QAudio::IdleState && samples_->atEnd()) {
        stop();
        emit finished();
    } else if (state == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
        stop();
        emit failed(QStringLiteral("the sound output stopped with an error"));
    }
}

}  // namespace cassonic
