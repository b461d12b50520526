#pragma once
// Runs one console command line as a child process and captures what it
// writes to standard output and standard error through one pipe.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace cassonic {

class DOSOutputs : public QObject {
    Q_OBJECT
public:
    explicit DOSOutputs(QObject* parent = nullptr);

    QString CommandLine() const { return commandLine_; }
    void SetCommandLine(const QString& commandLine) { commandLine_ = commandLine; }

    // Everything captured by the most recent run that started its program.
    QString Outputs() const { return outputs_; }

    // Runs `commandLine` (or, when it is empty, the stored command line) and
    // returns once every writer of the pipe has closed it, with the captured
    // text; empty on any failure.  The command line is split into arguments
    // as SplitCommandLine does; the program is looked for beside this
    // application's executable first, then on the PATH.  The child's standard
    // input is empty.  While waiting, the calling thread's event loop keeps
    // running (timers, painting) but user input is held back until the run
    // is over.  ReceiveOutputs is emitted for every read of at most 256
    // bytes, the final empty read included.
    QString ExecuteCommand(const QString& commandLine = {});

    // Shows a failure message; must not return before the user has seen it.
    // The default prints to standard error.
    std::function<void(const QString&)> showError;

    // Directory searched before the PATH; the application's directory by
    // default.
    QString programDirectory;

    static constexpr int kReadSize = 256;

signals:
    void ReceiveOutputs(const QString& commandOutputs);

private:
    void fail(const QString& message);

    QString commandLine_;
    QString outputs_;
};

// The program path a command line's first word names: a word with a '/' is
// taken as it is; otherwise an executable file of that name in `ownDirectory`,
// else the word itself (to be looked up on the PATH).
QString ResolveProgram(const QString& word, const QString& ownDirectory);

}  // namespace cassonic
