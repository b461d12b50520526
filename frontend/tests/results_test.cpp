#include "core/file_kinds.h"
#include "core/run_report.h"
#include "core/wav_info.h"
#include "tests/test_classes.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>

using namespace cassonic;

void ResultsTest::report_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("failed");

    const QString done = "Converting...\nEnd of process ! Estimated loading time 0:04 min (4.0 sec)\n";
    QTest::newRow("made") << int(RunResult::Exited) << 0 << done
                          << "Made game.wav, loading time 0:04 min (4.0 sec)" << false;
    QTest::newRow("made, no estimate") << int(RunResult::Exited) << 0 << "" << "Made game.wav." << false;
    QTest::newRow("encoder error")
        << int(RunResult::Exited) << 9 << "Converting...\nERROR: Failed to read input file /m/x.bin\n"
        << "ERROR: Failed to read input file /m/x.bin" << true;
    QTest::newRow("error over two lines")
        << int(RunResult::Exited) << 1 << " Usage: ...\nERROR: 1st argument (x) is not -cd\nor invalid baud rate\n"
        << "ERROR: 1st argument (x) is not -cd or invalid baud rate" << true;
    QTest::newRow("status without a message") << int(RunResult::Exited) << 3 << "usage\n"
                                              << "tapecast failed with status 3: game.wav was not made." << true;
    QTest::newRow("stopped") << int(RunResult::Stopped) << SIGTERM << done << "Stopped: game.wav was not made."
                             << true;
    QTest::newRow("killed") << int(RunResult::Signalled) << SIGSEGV << ""
                            << QString("tapecast was ended by signal %1 (%2): game.wav was not made.")
                                   .arg(SIGSEGV)
                                   .arg(strsignal(SIGSEGV))
                            << true;
}

void ResultsTest::report()
{
    QFETCH(int, kind);
    QFETCH(int, status);
    QFETCH(QString, output);
    const RunReport r = ReportRun(RunResult{RunResult::Kind(kind), status}, output, "/m/game.wav");
    QTEST(r.status, "text");
    QTEST(r.failed, "failed");
}

namespace {

QByteArray chunk(const char* id, const QByteArray& body)
{
    QByteArray c(id, 4);
    char size[4];
    qToLittleEndian<quint32>(quint32(body.size()), size);
    c.append(size, 4).append(body);
    if (body.size() % 2)
        c.append('\0');
    return c;
}

QByteArray format(int tag, int channels, int rate, int bits)
{
    QByteArray f(16, '\0');
    qToLittleEndian<quint16>(quint16(tag), f.data());
    qToLittleEndian<quint16>(quint16(channels), f.data() + 2);
    qToLittleEndian<quint32>(quint32(rate), f.data() + 4);
    qToLittleEndian<quint32>(quint32(rate * channels * bits / 8), f.data() + 8);
    qToLittleEndian<quint16>(quint16(channels * bits / 8), f.data() + 12);
    qToLittleEndian<quint16>(quint16(bits), f.data() + 14);
    return f;
}

QByteArray wav(const QByteArray& chunks) { return "RIFF" + QByteArray(4, '\0') + "WAVE" + chunks; }

}  // namespace

void ResultsTest::wavInfo_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("rate");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("size");

    const QByteArray cd = chunk("fmt ", format(1, 1, 44100, 16));
    QTest::newRow("CD output") << wav(cd + chunk("data", QByteArray(88200, '\0'))) << "" << 44100 << qint64(44)
                               << qint64(88200);
    QTest::newRow("8 bits, odd chunk first")
        << wav(chunk("fmt ", format(1, 1, 9600, 8)) + chunk("LIST", "abc") + chunk("data", "xyz")) << "" << 9600
        << qint64(56) << qint64(3);
    QByteArray cut = wav(cd + chunk("data", QByteArray(100, '\0')));
    cut.chop(51);  // a header that promises more than the file holds
    QTest::newRow("cut short") << cut << "" << 44100 << qint64(44) << qint64(48);
    QTest::newRow("not RIFF") << QByteArray("hello world, not a wav") << "not a WAV file" << 0 << qint64(0)
                              << qint64(0);
    QTest::newRow("not PCM") << wav(chunk("fmt ", format(3, 1, 44100, 16)) + chunk("data", "ab"))
                             << "its samples are not plain PCM" << 0 << qint64(0) << qint64(0);
    QTest::newRow("24 bits") << wav(chunk("fmt ", format(1, 1, 44100, 24)) + chunk("data", "abc"))
                             << "its sample format (44100 Hz, 24 bits, 1 channels) is not one this player takes" << 0
                             << qint64(0) << qint64(0);
    QTest::newRow("data first") << wav(chunk("data", "ab") + cd) << "its samples come before their format" << 0
                                << qint64(0) << qint64(0);
    QTest::newRow("no data") << wav(cd) << "it has no samples" << 0 << qint64(0) << qint64(0);
}

void ResultsTest::wavInfo()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QBuffer buffer(&file);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QString why;
    const std::optional<WavInfo> info = ReadWavInfo(buffer, &why);
    QCOMPARE(why, error);
    QCOMPARE(info.has_value(), error.isEmpty());
    if (info) {
        QTEST(info->sampleRate, "rate");
        QTEST(info->dataOffset, "offset");
        QTEST(info->dataSize, "size");
    }
}

void ResultsTest::fileKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("compression");
    QTest::addColumn<int>("dos");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("problem");

    const int none = NotCompressed, comp = Compressed, off = DosOff, files = DosFilesOnly;
    const QString notCompressed =
        "\"Not compressed\" takes BIN, BASIC and CAS files only. Choose Compressed or Experimental.";
    QTest::newRow("BIN") << "a.bin" << QByteArray("\xFE\x00\x80", 3) << none << off << int(FileKind::Bin) << "";
    QTest::newRow("BASIC") << "a.bas" << QByteArray("\xFF\x01", 2) << none << off << int(FileKind::Basic) << "";
    // The encoder refused these with no hint before the run.
    QTest::newRow("ROM, not compressed") << "GAME.ROM" << QByteArray("AB\x10\x40", 4) << none << off
                                         << int(FileKind::Rom) << "GAME.ROM is a ROM image: " + notCompressed;
    QTest::newRow("ROM, compressed") << "GAME.ROM" << QByteArray("AB\x10\x40", 4) << comp << off
                                     << int(FileKind::Rom) << "";
    QTest::newRow("COM, not compressed") << "prog.com" << QByteArray("\xC3\x00", 2) << none << off
                                         << int(FileKind::Com) << "prog.com is a COM program: " + notCompressed;
    QTest::newRow("A without B is no ROM") << "x.COM" << QByteArray("AX", 2) << comp << off << int(FileKind::Com)
                                           << "";
    QTest::newRow("CAS by name") << "t.CAS" << QByteArray("AB", 2) << none << off << int(FileKind::Cas) << "";
    QTest::newRow("DSK outside DOS mode")
        << "d.dsk" << QByteArray(16, '\0') << comp << off << int(FileKind::Dsk)
        << "d.dsk is a disk image: it goes on tape in DOS mode only (\"Files only\" or \"RAMdisk\", with "
           "compression).";
    QTest::newRow("ROM in turbo") << "GAME.ROM" << QByteArray("AB\x10\x40", 4) << int(Turbo) << off
                                  << int(FileKind::Rom) << "";
    QTest::newRow("COM in turbo") << "prog.com" << QByteArray("\xC3\x00", 2) << int(Turbo) << off
                                  << int(FileKind::Com) << "";
    QTest::newRow("CAS in turbo") << "t.cas" << QByteArray("AB", 2) << int(Turbo) << off << int(FileKind::Cas)
                                  << "t.cas: Turbo takes BIN, BASIC, ROM and COM files only for now. Choose "
                                     "Compressed or Experimental.";
    QTest::newRow("BIN in turbo") << "a.bin" << QByteArray("\xFE\x00\x80", 3) << int(Turbo) << off
                                  << int(FileKind::Bin) << "";
    QTest::newRow("turbo in DOS mode") << "a.txt" << QByteArray("text") << int(Turbo) << files
                                       << int(FileKind::Unknown) << "";
    QTest::newRow("DSK in turbo DOS mode") << "d.dsk" << QByteArray(16, '\0') << int(Turbo) << files
                                           << int(FileKind::Dsk) << "";
    QTest::newRow("DSK in DOS mode") << "d.dsk" << QByteArray(16, '\0') << comp << files << int(FileKind::Dsk)
                                     << "";
    QTest::newRow("unknown") << "x.txt" << QByteArray("hello") << comp << off << int(FileKind::Unknown)
                             << "x.txt is not a file tapecast knows (BIN, BASIC, ROM, COM, CAS or DSK); in DOS "
                                "mode it goes on tape as it is.";
    QTest::newRow("unknown in DOS mode") << "x.txt" << QByteArray("hello") << comp << files
                                         << int(FileKind::Unknown) << "";
}

void ResultsTest::turboKeepsItsLoader()
{
    // tapecast refuses -turbo with -noldr: the list says so before the run.
    FormState s;
    s.cdMode = true;
    s.compression = Turbo;
    s.loader = NoLoader;
    QCOMPARE(FileKindProblem(FileKind::Bin, QStringLiteral("a.bin"), s),
             QStringLiteral("Turbo tapes always carry their loader: choose \"Attach builtin loader\"."));
    s.loader = AttachLoader;
    QCOMPARE(FileKindProblem(FileKind::Bin, QStringLiteral("a.bin"), s), QString());
    // "Files only" has no loader, in turbo as in the other modes.
    s.loader = NoLoader;
    s.dos = DosFilesOnly;
    QCOMPARE(FileKindProblem(FileKind::Bin, QStringLiteral("a.bin"), s), QString());
}

void ResultsTest::fileKinds()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, compression);
    QFETCH(int, dos);
    QTemporaryDir dir;
    QFile f(dir.filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    const FileKind kind = DetectFileKind(f.fileName());
    QTEST(int(kind), "kind");
    FormState s;
    s.compression = compression;
    s.dos = dos;
    QTEST(FileKindProblem(kind, name, s), "problem");
    QCOMPARE(DetectFileKind(dir.path()), FileKind::Folder);
    QCOMPARE(DetectFileKind(dir.filePath("none")), FileKind::Missing);
}
