#pragma once
// Playing a WAV inside the window, so that the user can watch the tape's
// timeline while the MSX loads.  The window talks to the TapePlayback
// interface only; tests put in one that needs no sound device.

#include <QObject>
#include <QString>

#include <memory>

class QAudioSink;
class QBuffer;

namespace cassonic {

class TapePlayback : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts playing `path` from its beginning at full volume; false, with
    // the reason in `error`, when it cannot.
    virtual bool play(const QString& path, QString* error) = 0;
    // Ends playing; `finished` is not emitted for it.
    virtual void stop() = 0;
    // Seconds of the tape heard so far.
    virtual double position() const = 0;
    virtual bool isPlaying() const = 0;

signals:
    // The whole WAV has been played.
    void finished();
    // The sound output failed while playing.
    void failed(const QString& reason);
};

// Plays through the desktop's default sound output.
class AudioTapePlayback : public TapePlayback {
    Q_OBJECT
public:
    explicit AudioTapePlayback(QObject* parent = nullptr);
    ~AudioTapePlayback() override;

    bool play(const QString& path, QString* error) override;
    void stop() override;
    double position() const override;
    bool isPlaying() const override;

private:
    void onStateChanged();

    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QBuffer> samples_;
    qint64 bytesPerSecond_ = 0;
};

}  // namespace cassonic
