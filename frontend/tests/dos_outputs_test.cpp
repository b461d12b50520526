// The command runner against real child processes.

#include "core/dos_outputs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
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
    QString run(const QString& commandLine = {})
    {
        chunks.clear();
        arrivals.clear();
        errors.clear();
        clock.start();
        return runner.ExecuteCommand(commandLine);
    }
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
    void storedAndGivenCommandLines();
    void failures();
    void pipeFailure();
    void programBesideTheApplication();
    void childrenAreReaped();
    void runsOnAThreadWithoutEventLoop();
};

void DOSOutputsTest::childWritingNothing()
{
    Recorder r;
    QCOMPARE(r.run("true"), QString());
    QCOMPARE(r.chunks, QStringList{QString()});
    QCOMPARE(r.runner.Outputs(), QString());
    QVERIFY(r.errors.isEmpty());
}

void DOSOutputsTest::largeWriteComesInChunks()
{
    Recorder r;
    const QString result = r.run(R"(/bin/sh -c "head -c 600 /dev/zero | tr '\0' x")");
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
    const QString result = r.run(R"(/bin/sh -c "printf '%255s\303\251' '' | tr ' ' a")");
    QCOMPARE(result, QString(255, u'a') + QChar(0xE9));
    QCOMPARE(r.chunks.join(QString()), result);
}

void DOSOutputsTest::standardErrorInterleaved()
{
    Recorder r;
    QCOMPARE(r.run(R"(/bin/sh -c "echo out1; echo err1 >&2; echo out2; echo err2 >&2")"),
             "out1\nerr1\nout2\nerr2\n");
}

void DOSOutputsTest::standardInputIsEmpty()
{
    Recorder r;
    QCOMPARE(r.run(R"(/bin/sh -c "if read line; then echo got; else echo eof; fi")"), "eof\n");
    QCOMPARE(r.run("cat"), QString());
}

void DOSOutputsTest::grandchildHoldsThePipe()
{
    Recorder r;
    QCOMPARE(r.run(R"(/bin/sh -c "(sleep 1; echo late) & echo early")"), "early\nlate\n");
    QVERIFY2(r.arrivals.last() >= 900, "the run ended before the grandchild closed the pipe");
    QCOMPARE(r.chunks.first(), "early\n");
}

void DOSOutputsTest::outputArrivesWhileTheChildRuns()
{
    Recorder r;
    bool timerFired = false;
    QTimer::singleShot(300, [&] { timerFired = true; });
    QCOMPARE(r.run(R"(/bin/sh -c "echo first; sleep 1; echo second")"), "first\nsecond\n");
    QCOMPARE(r.chunks, (QStringList{"first\n", "second\n", QString()}));
    QVERIFY2(r.arrivals[0] < 700, "the first chunk waited for the end of the run");
    QVERIFY(r.arrivals[1] >= 900);
    QVERIFY2(timerFired, "the event loop stood still during the run");
}

void DOSOutputsTest::argumentsReachTheChild()
{
    Recorder r;
    QCOMPARE(r.run("printf \"[%s]\" \"a b\" c \"\" \"d\\\"e\""), "[a b][c][][d\"e]");
}

void DOSOutputsTest::storedAndGivenCommandLines()
{
    Recorder r;
    r.runner.SetCommandLine("echo stored");
    QCOMPARE(r.run(), "stored\n");
    QCOMPARE(r.run("echo given"), "given\n");
    QCOMPARE(r.runner.CommandLine(), "echo given");
    QCOMPARE(r.run(), "given\n");
}

void DOSOutputsTest::failures()
{
    Recorder r;
    QCOMPARE(r.run(), QString());
    QCOMPARE(r.errors, QStringList{"Command Line empty"});
    QVERIFY(r.chunks.isEmpty());

    r.run("echo kept");
    QCOMPARE(r.run("cassonic-no-such-program -x"), QString());
    QCOMPARE(r.errors, QStringList{"File or command not found"});
    QVERIFY(r.chunks.isEmpty());
    QCOMPARE(r.runner.Outputs(), "kept\n");

    QCOMPARE(r.run("   "), QString());
    QCOMPARE(r.errors, QStringList{"File or command not found"});
    QCOMPARE(r.run(R"("" x)"), QString());
    QCOMPARE(r.errors, QStringList{"File or command not found"});
    QCOMPARE(r.runner.Outputs(), "kept\n");

    // A directory is found but cannot be started.
    QCOMPARE(r.run("/tmp"), QString());
    QCOMPARE(r.errors, QStringList{"File or command not found"});
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
    const QString result = r.run("echo never");
    for (int fd : fillers)
        ::close(fd);
    setrlimit(RLIMIT_NOFILE, &saved);

    QCOMPARE(dupError, EMFILE);
    QCOMPARE(result, QString());
    QCOMPARE(r.errors, QStringList{"CreatePipe failed. Error: " + QString::number(EMFILE)});
    QVERIFY(r.chunks.isEmpty());
}

void DOSOutputsTest::programBesideTheApplication()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile script(dir.filePath("cassonic-beside"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho beside \"$1\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile plain(dir.filePath("echo"));  // not executable: the PATH's echo runs
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    Recorder r;
    r.runner.programDirectory = dir.path();
    QCOMPARE(r.run(R"(cassonic-beside "a b")"), "beside a b\n");
    QCOMPARE(r.run("echo path"), "path\n");
    QCOMPARE(cassonic::ResolveProgram("cassonic-beside", dir.path()), dir.filePath("cassonic-beside"));
    QCOMPARE(cassonic::ResolveProgram("./cassonic-beside", dir.path()), "./cassonic-beside");
    QCOMPARE(cassonic::ResolveProgram("echo", dir.path()), "echo");
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

void DOSOutputsTest::runsOnAThreadWithoutEventLoop()
{
    QString result;
    QStringList chunks;
    std::thread worker([&] {
        DOSOutputs runner;
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs,
                         [&](const QString& c) { chunks << c; });
        result = runner.ExecuteCommand(R"(/bin/sh -c "echo a; sleep 0.2; echo b")");
    });
    worker.join();
    QCOMPARE(result, "a\nb\n");
    QCOMPARE(chunks, (QStringList{"a\n", "b\n", QString()}));
}

QTEST_GUILESS_MAIN(DOSOutputsTest)
#include "dos_outputs_test.moc"
