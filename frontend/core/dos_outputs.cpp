#include "core/dos_outputs.h"

#include "core/command_line.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace cassonic {

namespace {

// Waits until `fd` has data or is closed.  On the thread of a running
// application the event loop goes on meanwhile, without user input.
void waitReadable(int fd, QSocketNotifier* notifier)
{
    if (notifier) {
        bool ready = false;
        const auto connection =
            QObject::connect(notifier, &QSocketNotifier::activated, [&ready] { ready = true; });
        notifier->setEnabled(true);
        while (!ready)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents
                                            | QEventLoop::ExcludeUserInputEvents);
        notifier->setEnabled(false);
        QObject::disconnect(connection);
        return;
    }
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
}

// Collects the child's exit status so that it does not linger as a zombie.
// The run does not wait for the child itself: the end of its output ends it.
void reap(pid_t pid)
{
    if (::waitpid(pid, nullptr, WNOHANG) != 0)
        return;
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
}

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

QString ResolveProgram(const QString& word, const QString& ownDirectory)
{
    if (word.contains(u'/') || ownDirectory.isEmpty())
        return word;
    const QFileInfo beside(ownDirectory + u'/' + word);
    if (beside.isFile() && beside.isExecutable())
        return beside.filePath();
    return word;
}

DOSOutputs::DOSOutputs(QObject* parent) : QObject(parent)
{
    if (QCoreApplication::instance())
        programDirectory = QCoreApplication::applicationDirPath();
}

void DOSOutputs::fail(const QString& message)
{
    if (showError)
        showError(message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

QString DOSOutputs::ExecuteCommand(const QString& commandLine)
{
    if (!commandLine.isEmpty())
        commandLine_ = commandLine;
    if (commandLine_.isEmpty()) {
        fail(QStringLiteral("Command Line empty"));
        return {};
    }

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        const int error = errno;
        fail(QStringLiteral("CreatePipe failed. Error: ") + QString::number(error));
        return {};
    }
    const int readEnd = pipeFds[0];
    const int writeEnd = pipeFds[1];

    const QStringList args = SplitCommandLine(commandLine_);
    pid_t pid = -1;
    int spawnError = ENOENT;
    if (!args.isEmpty() && !args.first().isEmpty()) {
        std::vector<QByteArray> encoded;
        encoded.reserve(size_t(args.size()));
        encoded.push_back(QFile::encodeName(ResolveProgram(args.first(), programDirectory)));
        for (qsizetype i = 1; i < args.size(); ++i)
            encoded.push_back(QFile::encodeName(args[i]));
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
        sigset_t mask;
        sigemptyset(&mask);
        posix_spawnattr_setsigmask(&setup.attr, &mask);
        sigaddset(&mask, SIGPIPE);
        posix_spawnattr_setsigdefault(&setup.attr, &mask);
        posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        spawnError = ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attr, argv.data(), environ);
    }
    if (spawnError != 0) {
        ::close(readEnd);
        ::close(writeEnd);
        fail(QStringLiteral("File or command not found"));
        return {};
    }

    // From here on only the child (and whatever it hands the pipe on to)
    // writes, so the pipe reports its end when the last of them is done.
    ::close(writeEnd);
    ::fcntl(readEnd, F_SETFL, ::fcntl(readEnd, F_GETFL) | O_NONBLOCK);

    QSocketNotifier* notifier = nullptr;
    QSocketNotifier ownNotifier(QSocketNotifier::Read);
    if (auto* app = QCoreApplication::instance(); app && app->thread() == QThread::currentThread()) {
        ownNotifier.setSocket(readEnd);
        notifier = &ownNotifier;
    }

    outputs_.clear();
    QStringDecoder decoder(QStringDecoder::System);
    char buffer[kReadSize];
    for (;;) {
        ssize_t n = ::read(readEnd, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            waitReadable(readEnd, notifier);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const bool end = n <= 0;
        // A character split between two reads is completed by the next one.
        const QString chunk = end ? QString() : QString(decoder(QByteArrayView(buffer, n)));
        outputs_ += chunk;
        emit ReceiveOutputs(chunk);
        if (end)
            break;
    }

    if (notifier)
        notifier->setEnabled(false);
    ::close(readEnd);
    reap(pid);
    return outputs_;
}

}  // namespace cassonic
