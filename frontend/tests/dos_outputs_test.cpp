// The command runner against real child processes.

#include "core/dos_outputs.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>
#include <vector>

using cassonic::DOSOutputs;

namespace {

// A runner with its events and failure messages recorded.
struct Recorder {
    DOSOutputs runner;
    QStringList chunks;
    QList<qint64> arrivals;  // milliseconds since the start of the run
    QStringList errors;
    QElapsedTimer clock;

    Recorder()
    {
        runner.showError = [this](const QString& m) { errors << m; };
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, [this](const QString& chunk) {
            chunks << chunk;
            arrivals << clock.elapsed();
        });
    }
    QString run(const QString& program, const QStringList& args = {})
    {
        chunks.clear();
        arrivals.clear();
        errors.clear();
        clock.start();
        return runner.ExecuteCommand(program, args);
    }
    QString sh(const QString& script) { return run("/bin/sh", {"-c", script}); }
};

}  // namespace

class DOSOutputsTest : public QObject {
    Q_OBJECT
private slots:
    void childWritingNothing();
    void largeWriteComesInChunks();
    void characterSplitBetweenReads();
    void standardErrorInterleaved();
    void standardInputIsEmpty();
    void grandchildHoldsThePipe();
    void outputArrivesWhileTheChildRuns();
    void argumentsReachTheChild();
    void exitStatus_data();
    void exitStatus();
    void stopEndsTheWholeGroup();
    void stopKillsWhatIgnoresIt();
    void failures();
    void pipeFailure();
    void childrenAreReaped();
};

void DOSOutputsTest::childWritingNothing()
{
    Recorder r;
    QCOMPARE(r.run("true"), QString());
    QCOMPARE(r.runner.Result(), (cassonic::RunResult{cassonic::RunResult::Exited, 0}));
    QCOMPARE(r.chunks, QStringList{QString()});
    QCOMPARE(r.runner.Outputs(), QString());
    QVERIFY(r.errors.isEmpty());
}

void DOSOutputsTest::largeWriteComesInChunks()
{
    Recorder r;
    const QString result = r.sh(R"(head -c 600 /dev/zero | tr '\0' x)");
    QCOMPARE(result, QString(600, u'x'));
    QVERIFY(r.chunks.size() >= 4);  // 600 bytes need three reads at least
    QCOMPARE(r.chunks.last(), QString());
    for (qsizetype i = 0; i + 1 < r.chunks.size(); ++i) {
        QVERIFY(!r.chunks[i].isEmpty());
        QVERIFY(r.chunks[i].size() <= DOSOutputs::kReadSize);
    }
    QCOMPARE(r.chunks.join(QString()), result);
    QCOMPARE(r.runner.Outputs(), result);
}

void DOSOutputsTest::characterSplitBetweenReads()
{
    // 255 letters and a two-byte character: the first read ends inside it.
    Recorder r;
    const QString result = r.sh(R"(printf '%255s\303\251' '' | tr ' ' a)");
    QCOMPARE(result, QString(255, u'a') + QChar(0xE9));
    QCOMPARE(r.chunks.join(QString()), result);
}

void DOSOutputsTest::standardErrorInterleaved()
{
    Recorder r;
    QCOMPARE(r.sh("echo out1; echo err1 >&2; echo out2; echo err2 >&2"),
             "out1\nerr1\nout2\nerr2\n");
}

void DOSOutputsTest::standardInputIsEmpty()
{
    Recorder r;
    QCOMPARE(r.sh("if read line; then echo got; else echo eof; fi"), "eof\n");
    QCOMPARE(r.run("cat"), QString());
}

void DOSOutputsTest::grandchildHoldsThePipe()
{
    Recorder r;
    QCOMPARE(r.sh("(sleep 1; echo late) & echo early"), "early\nlate\n");
    QVERIFY2(r.arrivals.last() >= 900, "the run ended before the grandchild closed the pipe");
    QCOMPARE(r.chunks.first(), "early\n");
}

void DOSOutputsTest::outputArrivesWhileTheChildRuns()
{
    Recorder r;
    bool timerFired = false;
    QTimer::singleShot(300, [&] { timerFired = true; });
    QCOMPARE(r.sh("echo first; sleep 1; echo second"), "first\nsecond\n");
    QCOMPARE(r.chunks, (QStringList{"first\n", "second\n", QString()}));
    QVERIFY2(r.arrivals[0] < 700, "the first chunk waited for the end of the run");
    QVERIFY(r.arrivals[1] >= 900);
    QVERIFY2(timerFired, "the event loop stood still during the run");
}

void DOSOutputsTest::argumentsReachTheChild()
{
    // Each argument arrives whole: blanks, quotes, backslashes, nothing.
    Recorder r;
    QCOMPARE(r.run("printf", {"[%s]", "a b", R"(c"d)", R"(e\"f)", "", "-n"}), R"([a b][c"d][e\"f][][-n])");
}

void DOSOutputsTest::exitStatus_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("status");

    QTest::newRow("success") << "exit 0" << int(cassonic::RunResult::Exited) << 0;
    QTest::newRow("failure") << "echo ERROR; exit 9" << int(cassonic::RunResult::Exited) << 9;
    QTest::newRow("killed") << "kill -SEGV $$" << int(cassonic::RunResult::Signalled) << int(SIGSEGV);
    // The child's end is awaited even when its output closes first.
    QTest::newRow("exits after closing its output") << "exec >&- 2>&-; sleep 0.3; exit 4"
                                                    << int(cassonic::RunResult::Exited) << 4;
}

void DOSOutputsTest::exitStatus()
{
    QFETCH(QString, script);
    QFETCH(int, kind);
    QFETCH(int, status);
    Recorder r;
    r.sh(script);
    QCOMPARE(r.runner.Result(), (cassonic::RunResult{cassonic::RunResult::Kind(kind), status}));
    QVERIFY(!r.runner.IsRunning());
}

void DOSOutputsTest::stopEndsTheWholeGroup()
{
    Recorder r;
    QTimer::singleShot(300, &r.runner, [&] { r.runner.Stop(); });
    // The grandchild holds the pipe too; it goes with its group.
    r.sh("(sleep 30; echo late) & echo started; sleep 30");
    QCOMPARE(r.runner.Outputs(), "started\n");
    QCOMPARE(r.runner.Result(), (cassonic::RunResult{cassonic::RunResult::Stopped, SIGTERM}));
    QVERIFY2(r.arrivals.last() < 2000, "the run outlived its stop");
}

void DOSOutputsTest::stopKillsWhatIgnoresIt()
{
    Recorder r;
    r.runner.killDelayMs = 300;
    QTimer::singleShot(200, &r.runner, [&] { r.runner.Stop(); });
    r.sh("trap '' TERM; echo ready; while :; do sleep 0.1; done");
    QCOMPARE(r.runner.Result(), (cassonic::RunResult{cassonic::RunResult::Stopped, SIGKILL}));
    QVERIFY(r.arrivals.last() >= 400);  // not before the delay
}

void DOSOutputsTest::failures()
{
    Recorder r;
    QCOMPARE(r.run(""), QString());
    QCOMPARE(r.errors, QStringList{"Command Line empty"});
    QVERIFY(r.chunks.isEmpty());

    r.run("echo", {"kept"});
    QCOMPARE(r.run("cassonic-no-such-program", {"-x"}), QString());
    QCOMPARE(r.errors.size(), 1);
    QVERIFY2(r.errors[0].startsWith("File or command not found: cassonic-no-such-program"), qPrintable(r.errors[0]));
    QVERIFY(r.chunks.isEmpty());
    QCOMPARE(r.runner.Outputs(), "kept\n");

    // A directory is found but cannot be started.
    QCOMPARE(r.run("/tmp"), QString());
    QVERIFY(r.errors[0].startsWith("File or command not found: /tmp"));
}

void DOSOutputsTest::pipeFailure()
{
    // With every descriptor in use the pipe cannot be created.
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_NOFILE, &saved) == 0);
    rlimit low = saved;
    low.rlim_cur = 256;
    QVERIFY(setrlimit(RLIMIT_NOFILE, &low) == 0);
    std::vector<int> fillers;
    const int base = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    QVERIFY(base >= 0);
    fillers.push_back(base);
    for (int fd; (fd = ::fcntl(base, F_DUPFD_CLOEXEC, 0)) >= 0;)
        fillers.push_back(fd);
    const int dupError = errno;

    Recorder r;
    const QString result = r.run("echo", {"never"});
    for (int fd : fillers)
        ::close(fd);
    setrlimit(RLIMIT_NOFILE, &saved);

    QCOMPARE(dupError, EMFILE);
    QCOMPARE(result, QString());
    QCOMPARE(r.errors, QStringList{"CreatePipe failed. Error: " + QString::number(EMFILE)});
    QVERIFY(r.chunks.isEmpty());
}

void DOSOutputsTest::childrenAreReaped()
{
    Recorder r;
    for (int i = 0; i < 3; ++i)
        r.run("true");
    // A moment later no child is left waiting to be collected.
    QTest::qWait(500);
    const pid_t p = ::waitpid(-1, nullptr, WNOHANG);
    QCOMPARE(p, pid_t(-1));
    QCOMPARE(errno, ECHILD);
}

QTEST_GUILESS_MAIN(DOSOutputsTest)
#include "dos_outputs_test.moc"
