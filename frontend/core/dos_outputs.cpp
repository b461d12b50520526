#include "core/dos_outputs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace cassonic {

namespace {

// How often a child that has closed its output is looked at until it has
// ended too.
constexpr int kReapPollMs = 10;

class SpawnSetup {
public:
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
};

}  // namespace

DOSOutputs::DOSOutputs(QObject* parent)
    : QObject(parent), reapTimer_(new QTimer(this)), killTimer_(new QTimer(this))
{
    reapTimer_->setInterval(kReapPollMs);
    connect(reapTimer_, &QTimer::timeout, this, &DOSOutputs::collectChild);
    killTimer_->setSingleShot(true);
    connect(killTimer_, &QTimer::timeout, this, [this] {
        if (pid_ > 0)
            ::kill(-pid_, SIGKILL);
    });
}

DOSOutputs::~DOSOutputs()
{
    if (pid_ > 0 && !childDone_) {
        ::kill(-pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    notifier_.reset();
    if (readEnd_ >= 0)
        ::close(readEnd_);
}

void DOSOutputs::fail(const QString& message)
{
    if (showError)
        showError(message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

bool DOSOutputs::Start(const QString& program, const QStringList& arguments)
{
    if (IsRunning()) {
        fail(QStringLiteral("A command is already running"));
        return false;
    }
    if (program.isEmpty()) {
        fail(QStringLiteral("Command Line empty"));
        return false;
    }

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        const int error = errno;
        fail(QStringLiteral("CreatePipe failed. Error: ") + QString::number(error));
        return false;
    }
    const int writeEnd = pipeFds[1];

    std::vector<QByteArray> encoded{QFile::encodeName(program)};
    for (const QString& a : arguments)
        encoded.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : encoded)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    // Standard input empty; standard output and standard error both the
    // pipe (dup2 drops the close-on-exec mark of the copies).
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd, STDERR_FILENO);
    posix_spawnattr_setpgroup(&setup.attr, 0);
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigmask(&setup.attr, &mask);
    sigaddset(&mask, SIGPIPE);
    posix_spawnattr_setsigdefault(&setup.attr, &mask);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int spawnError = ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attr, argv.data(), environ);
    // From here on only the child (and whatever it hands the pipe on to)
    // writes, so the pipe reports its end when the last of them is done.
    ::close(writeEnd);
    if (spawnError != 0) {
        ::close(pipeFds[0]);
        fail(QStringLiteral("File or command not found: %1 (%2)")
                 .arg(program, QString::fromLocal8Bit(std::strerror(spawnError))));
        return false;
    }

    pid_ = pid;
    readEnd_ = pipeFds[0];
    ::fcntl(readEnd_, F_SETFL, ::fcntl(readEnd_, F_GETFL) | O_NONBLOCK);
    outputDone_ = false;
    childDone_ = false;
    stopRequested_ = false;
    result_ = {};
    outputs_.clear();
    decoder_ = std::make_unique<QStringDecoder>(QStringDecoder::System);
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &DOSOutputs::readOnce);
    return true;
}

void DOSOutputs::readOnce()
{
    char buffer[kReadSize];
    const ssize_t n = ::read(readEnd_, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n > 0) {
        // A character split between two reads is completed by the next one.
        const QString chunk = (*decoder_)(QByteArrayView(buffer, n));
        outputs_ += chunk;
        emit ReceiveOutputs(chunk);
        return;
    }
    // This runs inside the notifier's own signal: it goes later.
    notifier_->setEnabled(false);
    notifier_.release()->deleteLater();
    ::close(readEnd_);
    readEnd_ = -1;
    outputDone_ = true;
    emit ReceiveOutputs(QString());
    collectChild();
}

void DOSOutputs::collectChild()
{
    if (childDone_ || pid_ <= 0)
        return;
    int status = 0;
    const pid_t got = ::waitpid(pid_, &status, WNOHANG);
    if (got == 0) {
        if (!reapTimer_->isActive())
            reapTimer_->start();
        return;
    }
    reapTimer_->stop();
    childDone_ = true;
    if (got < 0) {
        result_ = {RunResult::Signalled, 0};
    } else if (WIFSIGNALED(status)) {
        result_ = {stopRequested_ ? RunResult::Stopped : RunResult::Signalled, WTERMSIG(status)};
    } else {
        const int code = WEXITSTATUS(status);
        result_ = {stopRequested_ && code != 0 ? RunResult::Stopped : RunResult::Exited, code};
    }
    finishIfDone();
}

void DOSOutputs::finishIfDone()
{
    if (!outputDone_ || !childDone_)
        return;
    killTimer_->stop();
    pid_ = -1;
    emit Finished(result_);
}

void DOSOutputs::Stop()
{
    if (pid_ <= 0 || stopRequested_)
        return;
    stopRequested_ = true;
    ::kill(-pid_, SIGTERM);
    killTimer_->start(killDelayMs);
}

QString DOSOutputs::ExecuteCommand(const QString& program, const QStringList& arguments)
{
    QEventLoop loop;
    connect(this, &DOSOutputs::Finished, &loop, &QEventLoop::quit);
    if (!Start(program, arguments))
        return {};
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return outputs_;
}

}  // namespace cassonic
