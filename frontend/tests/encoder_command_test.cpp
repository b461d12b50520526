#include "core/encoder_command.h"
#include "tests/test_classes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace cassonic;

void EncoderCommandTest::arguments_data()
{
    QTest::addColumn<FormState>("state");
    QTest::addColumn<QStringList>("args");

    FormState initial;
    QTest::newRow("initial settings, empty list")
        << initial << QStringList{"-cd", "-o", "out.wav", "-c", "-p", "1000", "-timeline"};

    FormState two = initial;
    two.outputName = "/msx/game.wav";
    two.files = {{"/msx/game.rom"}, {"/msx/tool.bin", kRunNo}};
    QTest::newRow("two files, the second not run")
        << two << QStringList{"-cd", "-o", "/msx/game.wav", "-c", "-p", "1000", "-timeline", "/msx/game.rom",
                              "/msx/tool.bin", "-n"};

    FormState standard = initial;
    standard.cdMode = false;
    standard.baudRate = "2400";
    standard.compression = NotCompressed;
    standard.loader = NoLoader;
    standard.patch = false;
    standard.pause = "500";
    standard.dos = DosRamDisk;
    standard.files = {{"/msx/prog.com"}};
    QTest::newRow("baud rate, no patch, RAM disk")
        << standard << QStringList{"2400", "-o", "out.wav", "-nofix", "-p", "500", "-noldr", "-timeline",
                                   "RAMDOS.73", "/msx/prog.com"};

    FormState smallest = initial;
    smallest.dos = DosRamDisk;
    smallest.vram = 0;
    smallest.ram = 0;
    QTest::newRow("smallest RAM disk")
        << smallest << QStringList{"-cd", "-o", "out.wav", "-c", "-p", "1000", "-timeline", "RAMDOS.01"};

    FormState modes = initial;
    modes.compression = Experimental;
    modes.dos = DosFilesOnly;
    modes.loader = NoLoader;
    QTest::newRow("experimental, files only")
        << modes << QStringList{"-cd", "-o", "out.wav", "-xp", "-p", "1000", "-dos", "-noldr", "-timeline"};
    modes.compression = Turbo;
    modes.dos = DosOff;
    modes.loader = AttachLoader;
    QTest::newRow("turbo") << modes << QStringList{"-cd", "-o", "out.wav", "-turbo", "-p", "1000", "-timeline"};
    modes.dos = DosFilesOnly;
    modes.loader = NoLoader;
    QTest::newRow("turbo, files only")
        << modes << QStringList{"-cd", "-o", "out.wav", "-turbo", "-p", "1000", "-dos", "-timeline"};
    modes.dos = DosRamDisk;
    modes.loader = AttachLoader;
    QTest::newRow("turbo, RAM disk")
        << modes << QStringList{"-cd", "-o", "out.wav", "-turbo", "-p", "1000", "-timeline", "RAMDOS.73"};

    // Each name is one argument, whatever it holds; a quote once split it.
    FormState odd = initial;
    odd.outputName = R"(my "best" tape.wav)";
    odd.pause = "";
    odd.files = {{R"(/msx/my "best".rom)"}, {"-x.bin"}};
    QTest::newRow("odd names, empty pause")
        << odd << QStringList{"-cd", "-o", R"(my "best" tape.wav)", "-c", "-p", "1000", "-timeline",
                              R"(/msx/my "best".rom)", "./-x.bin"};
}

void EncoderCommandTest::arguments()
{
    QFETCH(FormState, state);
    QTEST(BuildEncoderArguments(state), "args");
}

void EncoderCommandTest::display_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plain") << QStringList{"-cd", "-o", "/m/out.wav", "RAMDOS.73"}
                           << "/bin/tapecast -cd -o /m/out.wav RAMDOS.73";
    QTest::newRow("blank") << QStringList{"/m/my game.rom"} << "/bin/tapecast '/m/my game.rom'";
    QTest::newRow("quotes") << QStringList{R"(it's "x")"} << R"(/bin/tapecast 'it'\''s "x"')";
    QTest::newRow("empty") << QStringList{""} << "/bin/tapecast ''";
    QTest::newRow("non-ASCII") << QStringList{"/m/juego\u00f1.rom"} << "/bin/tapecast '/m/juego\u00f1.rom'";
}

void EncoderCommandTest::display()
{
    QFETCH(QStringList, args);
    QTEST(DisplayCommandLine("/bin/tapecast", args), "shown");
}

void EncoderCommandTest::findEncoder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir root(dir.path());
    for (const char* sub : {"own", "installed", "path1", "path2"})
        QVERIFY(root.mkdir(sub));
    auto put = [&](const QString& folder, bool executable) {
        QFile f(root.filePath(folder + "/tapecast"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        f.setPermissions(executable ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner);
    };
    const QString own = root.filePath("own"), installed = root.filePath("installed");
    const QString path = root.filePath("path1") + ":" + root.filePath("path2") + ":" + own;

    EncoderSearch none = FindEncoder("tapecast", own, installed, path);
    QCOMPARE(none.path, QString());
    QCOMPARE(none.lookedIn, (QStringList{own, installed, root.filePath("path1"), root.filePath("path2")}));
    const QString message = EncoderNotFoundMessage("tapecast", none);
    QVERIFY2(message.contains(own + ", " + installed), qPrintable(message));

    put("path2", false);  // not executable: passed over
    QCOMPARE(FindEncoder("tapecast", own, installed, path).path, QString());
    put("path1", true);
    QCOMPARE(FindEncoder("tapecast", own, installed, path).path, root.filePath("path1/tapecast"));
    put("installed", true);
    QCOMPARE(FindEncoder("tapecast", own, installed, path).path, root.filePath("installed/tapecast"));
    put("own", true);
    const EncoderSearch beside = FindEncoder("tapecast", own, installed, path);
    QCOMPARE(beside.path, root.filePath("own/tapecast"));
    QCOMPARE(beside.lookedIn, QStringList{own});
}
