#pragma once
// Runs one program as a child process and captures what it writes to
// standard output and standard error through one pipe, piece by piece as it
// arrives, then reports how the program ended.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <sys/types.h>

class QSocketNotifier;
class QStringDecoder;
class QTimer;

namespace cassonic {

struct RunResult {
    enum Kind {
        Exited,     // the program ended by itself with `status`
        Signalled,  // a signal (`status`) ended it, not a stop request
        Stopped,    // Stop() ended it
    };
    Kind kind = Exited;
    int status = 0;
    bool succeeded() const { return kind == Exited && status == 0; }
    bool operator==(const RunResult&) const = default;
};

class DOSOutputs : public QObject {
    Q_OBJECT
public:
    explicit DOSOutputs(QObject* parent = nullptr);
    // A child still running is killed and collected.
    ~DOSOutputs() override;

    // Starts `program` with `arguments`, each passed as it is.  A program
    // name without '/' is looked for on the PATH.  The child gets an empty
    // standard input, the pipe as standard output and standard error, and a
    // process group of its own (so that Stop reaches whatever it starts).
    // Returns false, after showError, when it cannot be started; then
    // nothing is emitted.  Needs an event loop on this object's thread.
    bool Start(const QString& program, const QStringList& arguments);

    // Asks the child's process group to end (SIGTERM), and kills it
    // (SIGKILL) if it is still there killDelayMs later.
    void Stop();

    bool IsRunning() const { return pid_ > 0; }

    // Everything captured by the most recent run that started its program.
    QString Outputs() const { return outputs_; }
    RunResult Result() const { return result_; }

    // Start, then wait (in a local event loop that holds back user input)
    // until Finished; returns the captured text, empty when the program
    // could not be started.
    QString ExecuteCommand(const QString& program, const QStringList& arguments);

    // Shows a failure to start; the default prints to standard error.
    std::function<void(const QString&)> showError;

    int killDelayMs = 2000;

    static constexpr int kReadSize = 256;

signals:
    // One read of the pipe, at most kReadSize bytes; the end of the output
    // is one last, empty chunk.
    void ReceiveOutputs(const QString& commandOutputs);
    // After the end of the output and of the child, whichever comes last.
    void Finished(const cassonic::RunResult& result);

private:
    void fail(const QString& message);
    void readOnce();
    void collectChild();
    void finishIfDone();

    pid_t pid_ = -1;
    int readEnd_ = -1;
    bool outputDone_ = true;
    bool childDone_ = true;
    bool stopRequested_ = false;
    QString outputs_;
    RunResult result_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer* reapTimer_ = nullptr;
    QTimer* killTimer_ = nullptr;
    std::unique_ptr<QStringDecoder> decoder_;
};

}  // namespace cassonic
