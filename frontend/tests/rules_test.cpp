#include "core/command_line.h"
#include "core/rules.h"
#include "tests/test_classes.h"

#include <QTest>

using namespace cassonic;

namespace {

// Applies one user action, written as a word: "cd" clicks "CD mode",
// "comp0".."comp2", "loader0"/"loader2" and "dos0".."dos2" click option
// members, "baud=N" types a baud rate, "file" adds a dropped file.
void act(FormState& s, const QString& action)
{
    if (action == "cd") {
        s.cdMode = !s.cdMode;
        ClickCDMode(s);
    } else if (action.startsWith("comp")) {
        s.compression = action.mid(4).toInt();
        ClickCompression(s);
    } else if (action.startsWith("loader")) {
        s.loader = action.mid(6).toInt();
        ClickLoader(s);
    } else if (action.startsWith("dos")) {
        s.dos = action.mid(3).toInt();
        ClickDos(s);
    } else if (action.startsWith("baud=")) {
        s.baudRate = action.mid(5);
        ValidateBaudRate(s);
    } else if (action == "file") {
        AddDroppedFiles(s, {"x.bin"});
    } else {
        QFAIL(qPrintable("unknown action " + action));
    }
}

// Rows written as words, a '*' marking a selected row, "!" marking run "No":
// "a* b!" is row a selected, row b not executed.
QList<FileRow> rows(const QString& text)
{
    QList<FileRow> list;
    for (QString word : text.split(' ', Qt::SkipEmptyParts)) {
        FileRow r;
        if (word.endsWith('!')) {
            r.run = kRunNo;
            word.chop(1);
        }
        if (word.endsWith('*')) {
            r.selected = true;
            word.chop(1);
        }
        r.name = word;
        list << r;
    }
    return list;
}

QString words(const QList<FileRow>& list)
{
    QStringList out;
    for (const FileRow& r : list)
        out << r.name + (r.selected ? "*" : "") + (r.run == kRunNo ? "!" : "");
    return out.join(' ');
}

}  // namespace

void RulesTest::optionClicks_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("baudRate");
    QTest::addColumn<bool>("baudRateEnabled");
    QTest::addColumn<int>("loader");
    QTest::addColumn<bool>("attachEnabled");
    QTest::addColumn<bool>("makeWav");
    QTest::addColumn<bool>("ramDiskSizes");

    QTest::newRow("initial") << QStringList{} << "3675" << false << 2 << true << true << false;
    QTest::newRow("untick CD mode") << QStringList{"cd"} << "3675" << true << 0 << false << false << false;
    QTest::newRow("untick CD mode with files") << QStringList{"file", "cd"} << "3675" << true << 0 << false
                                               << true << false;
    QTest::newRow("tick CD mode again") << QStringList{"cd", "baud=1200", "cd"} << "3675" << false << 0
                                        << true << false << false;
    QTest::newRow("tick CD mode, experimental") << QStringList{"cd", "comp2", "cd"} << "5512" << false << 0
                                                << true << false << false;
    QTest::newRow("not compressed in CD mode") << QStringList{"comp0"} << "2205" << false << 0 << false
                                               << false << false;
    QTest::newRow("then experimental") << QStringList{"comp0", "comp2"} << "5512" << false << 0 << true
                                       << false << false;
    QTest::newRow("compression outside CD mode keeps the rate")
        << QStringList{"cd", "baud=2400", "comp0", "comp2"} << "2400" << true << 0 << false << false << false;
    QTest::newRow("ticking CD mode while not compressed keeps the rate")
        << QStringList{"cd", "comp0", "baud=1200", "cd"} << "1200" << false << 0 << false << false << false;
    QTest::newRow("ticking CD mode with files only keeps the rate")
        << QStringList{"cd", "dos1", "baud=1200", "cd"} << "1200" << false << 0 << false << false << false;
    QTest::newRow("RAM disk keeps the loader") << QStringList{"dos2"} << "3675" << false << 2 << true << true
                                               << true;
    QTest::newRow("files only forces no loader") << QStringList{"dos2", "dos1"} << "3675" << false << 0
                                                 << false << false << false;
    QTest::newRow("loader clicked back") << QStringList{"loader0", "loader2"} << "3675" << false << 2
                                         << true << true << false;
    QTest::newRow("no loader clicked") << QStringList{"loader0"} << "3675" << false << 0 << true << false
                                       << false;
}

void RulesTest::optionClicks()
{
    QFETCH(QStringList, actions);
    FormState s;
    for (const QString& a : actions)
        act(s, a);
    QTEST(s.baudRate, "baudRate");
    QTEST(s.baudRateEnabled, "baudRateEnabled");
    QTEST(s.loader, "loader");
    QTEST(s.attachLoaderEnabled, "attachEnabled");
    QTEST(s.makeWavEnabled, "makeWav");
    QTEST(s.ramDiskSizesEnabled, "ramDiskSizes");
}

void RulesTest::baudRateValidation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("status");

    const QString before = "End of process !";
    QTest::newRow("empty leaves the status") << "" << "" << before;
    QTest::newRow("1") << "1" << "1" << "";
    QTest::newRow("5999") << "5999" << "5999" << "";
    QTest::newRow("leading zeros") << "05" << "05" << "";
    QTest::newRow("many leading zeros") << "000000000000000005999" << "000000000000000005999" << "";
    QTest::newRow("0") << "0" << "" << kIllegalBaudRate;
    QTest::newRow("000") << "000" << "" << kIllegalBaudRate;
    QTest::newRow("6000") << "6000" << "" << kIllegalBaudRate;
    QTest::newRow("huge") << "99999999999999999999" << "" << kIllegalBaudRate;
    QTest::newRow("letter") << "12a" << "" << kIllegalBaudRate;
    QTest::newRow("sign") << "+5" << "" << kIllegalBaudRate;
    QTest::newRow("blank") << " 5" << "" << kIllegalBaudRate;
    QTest::newRow("fraction") << "1.5" << "" << kIllegalBaudRate;
    QTest::newRow("other script digit") << QString(QChar(0x0663)) << "" << kIllegalBaudRate;
}

void RulesTest::baudRateValidation()
{
    QFETCH(QString, text);
    FormState s;
    s.status = "End of process !";
    s.baudRate = text;
    ValidateBaudRate(s);
    QTEST(s.baudRate, "kept");
    QTEST(s.status, "status");
}

void RulesTest::typingIntoBaudRate_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("texts");  // the field after each key
    QTest::addColumn<QString>("status");

    QTest::newRow("1 2 a") << "12a" << QStringList{"1", "12", ""} << kIllegalBaudRate;
    QTest::newRow("6000") << "6000" << QStringList{"6", "60", "600", ""} << kIllegalBaudRate;
    QTest::newRow("5999") << "5999" << QStringList{"5", "59", "599", "5999"} << "";
    QTest::newRow("0 then 5") << "05" << QStringList{"", "5"} << "";
}

void RulesTest::typingIntoBaudRate()
{
    QFETCH(QString, keys);
    QFETCH(QStringList, texts);
    FormState s;
    s.baudRate.clear();
    for (qsizetype i = 0; i < keys.size(); ++i) {
        s.baudRate += keys[i];
        ValidateBaudRate(s);
        QCOMPARE(s.baudRate, texts[i]);
    }
    QTEST(s.status, "status");
}

void RulesTest::forceWavExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("wav");

    QTest::newRow("already wav") << "out.wav" << "out.wav";
    QTest::newRow("windows path") << R"(C:\games\zanac.rom)" << R"(C:\games\zanac.wav)";
    QTest::newRow("two dots") << "my.file.bin" << "my.file.wav";
    QTest::newRow("dotted folder, windows") << R"(C:\old.dir\prog)" << R"(C:\old.dir\prog.wav)";
    QTest::newRow("dotted folder, posix") << "/home/u/old.dir/prog" << "/home/u/old.dir/prog.wav";
    QTest::newRow("posix path") << "/home/u/msx/game.ROM" << "/home/u/msx/game.wav";
    QTest::newRow("no extension") << "prog" << "prog.wav";
    QTest::newRow("first character never an extension") << ".rom" << ".rom.wav";
    QTest::newRow("trailing dot") << "prog." << "prog.wav";
    QTest::newRow("empty") << "" << ".wav";
}

void RulesTest::forceWavExtension()
{
    QFETCH(QString, name);
    QTEST(ForceWavExtension(name), "wav");
}

void RulesTest::listKeys_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("modifiers");
    QTest::addColumn<bool>("loaderAttached");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("outputName");
    QTest::addColumn<bool>("makeWav");

    const int del = int(ListKey::Delete), up = int(ListKey::Up), down = int(ListKey::Down),
              other = int(ListKey::Other);
    QTest::newRow("down moves the row") << "a* b! c" << down << false << false << "b*! a c" << "g.wav" << true;
    QTest::newRow("up moves the row") << "a b c*!" << up << false << false << "a c! b*" << "g.wav" << true;
    QTest::newRow("up on the first row") << "a* b" << up << false << false << "a* b" << "g.wav" << true;
    QTest::newRow("down on the last row") << "a b*" << down << false << false << "a b*" << "g.wav" << true;
    QTest::newRow("shift+down") << "a* b" << down << true << false << "a* b" << "g.wav" << true;
    QTest::newRow("down with two selected") << "a* b* c" << down << false << false << "a* b* c" << "g.wav"
                                            << true;
    QTest::newRow("delete several") << "a* b c* d" << del << false << false << "b d" << "g.wav" << true;
    QTest::newRow("delete none selected") << "a b" << del << false << false << "a b" << "g.wav" << true;
    QTest::newRow("delete the last row") << "a*" << del << false << true << "" << "out.wav" << true;
    QTest::newRow("delete the last row, no loader") << "a*" << del << false << false << "" << "out.wav"
                                                    << false;
    QTest::newRow("other key, empty list") << "" << other << false << false << "" << "out.wav" << false;
    QTest::newRow("other key enables") << "a" << other << false << false << "a" << "g.wav" << true;
}

void RulesTest::listKeys()
{
    QFETCH(QString, before);
    QFETCH(int, key);
    QFETCH(bool, modifiers);
    QFETCH(bool, loaderAttached);
    FormState s;
    s.files = rows(before);
    s.outputName = "g.wav";
    s.loader = loaderAttached ? AttachLoader : NoLoader;
    s.makeWavEnabled = !s.makeWavEnabled;  // the rule decides either way
    ApplyListKey(s, ListKey(key), modifiers);
    QTEST(words(s.files), "after");
    QTEST(s.outputName, "outputName");
    QTEST(s.makeWavEnabled, "makeWav");
}

void RulesTest::doubleClickFlipsSelectedRows()
{
    FormState s;
    s.files = rows("a* b c*! d");
    FlipRunFlags(s);
    QCOMPARE(words(s.files), "a*! b c* d");
    FlipRunFlags(s);
    QCOMPARE(words(s.files), "a* b c*! d");
}

void RulesTest::addingAndEmptying()
{
    FormState s;
    s.loader = NoLoader;
    s.makeWavEnabled = false;

    // A cancelled dialog changes nothing.
    AddChosenFiles(s, {});
    QCOMPARE(s, FormState(s));
    QCOMPARE(s.files.size(), 0);
    QVERIFY(!s.makeWavEnabled);

    // Drops add rows only.
    AddDroppedFiles(s, {"/m/x.bin", "/m/y.rom"});
    QCOMPARE(words(s.files), "/m/x.bin /m/y.rom");
    QCOMPARE(s.outputName, kDefaultOutputName);
    QVERIFY(!s.makeWavEnabled);

    // The dialog's files follow in order; the output name follows the first.
    AddChosenFiles(s, {"/msx/a.rom", "/msx/b.bin"});
    QCOMPARE(words(s.files), "/m/x.bin /m/y.rom /msx/a.rom /msx/b.bin");
    QCOMPARE(s.outputName, "/msx/a.wav");
    QVERIFY(s.makeWavEnabled);
    AddChosenFiles(s, {"/msx/b.bin"});
    QCOMPARE(s.files.size(), 5);
    QCOMPARE(s.files[4].name, "/msx/b.bin");
    QCOMPARE(s.files[4].run, kRunYes);
    QCOMPARE(s.outputName, "/msx/b.wav");

    // "Empty list" resets the name and leaves "Make WAV" as it is.
    EmptyList(s);
    QVERIFY(s.files.isEmpty());
    QCOMPARE(s.outputName, kDefaultOutputName);
    QVERIFY(s.makeWavEnabled);
}

void RulesTest::fileDrops_data()
{
    QTest::addColumn<int>("actions");
    QTest::addColumn<bool>("files");
    QTest::addColumn<bool>("taken");

    QTest::newRow("copy, move and link") << int(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) << true << true;
    QTest::newRow("copy only") << int(Qt::CopyAction) << true << true;
    QTest::newRow("move only") << int(Qt::MoveAction) << true << false;
    QTest::newRow("no files") << int(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) << false << false;
}

void RulesTest::fileDrops()
{
    QFETCH(int, actions);
    QFETCH(bool, files);
    QTEST(AcceptsFileDrop(Qt::DropActions(actions), files), "taken");
}

void RulesTest::ramDiskDigit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("digit");

    QTest::newRow("No VRAM") << "No VRAM" << "C" << "0";
    QTest::newRow("16K VRAM") << "16K VRAM" << "C" << "1";
    QTest::newRow("112K VRAM") << "112K VRAM" << "C" << "7";
    QTest::newRow("48K RAM") << "48K RAM" << "C" << "3";
    QTest::newRow("typed 20K") << "20K" << "C" << "1.25";
    QTest::newRow("typed 20K, decimal comma") << "20K" << "de_DE" << "1,25";
    QTest::newRow("blanks first") << "  64K" << "C" << "4";
    QTest::newRow("empty") << "" << "C" << "0";
    QTest::newRow("large, no grouping") << "160000K" << "en_US" << "10000";
    QTest::newRow("negative zero") << "-0K" << "C" << "0";
}

void RulesTest::ramDiskDigit()
{
    QFETCH(QString, text);
    QFETCH(QString, locale);
    QTEST(RamDiskDigit(text, QLocale(locale)), "digit");
}

void RulesTest::encoderCommand_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("pause");
    QTest::addColumn<QString>("command");

    QTest::newRow("initial settings, empty list")
        << QStringList{} << "" << "1000" << R"(tapecast -cd -o "out.wav" -c -p 1000)";
    QTest::newRow("two files, the second not run")
        << QStringList{} << R"(C:\msx\game.rom C:\msx\tool.bin!)" << "1000"
        << R"(tapecast -cd -o "C:\msx\game.wav" -c -p 1000 "C:\msx\game.rom" "C:\msx\tool.bin" -n)";
    QTest::newRow("baud rate, no patch, RAM disk")
        << QStringList{"cd", "baud=2400", "comp0", "nofix", "dos2", "drop"} << R"(C:\msx\prog.com)" << "500"
        << R"(tapecast 2400 -o "out.wav" -nofix -p 500 -noldr RAMDOS.73 "C:\msx\prog.com")";
    QTest::newRow("experimental") << QStringList{"comp2"} << "" << "1000"
                                  << R"(tapecast -cd -o "out.wav" -xp -p 1000)";
    QTest::newRow("files only") << QStringList{"dos1"} << "a" << "1000"
                                << R"(tapecast -cd -o "a.wav" -c -p 1000 -dos -noldr "a")";
    QTest::newRow("smallest RAM disk") << QStringList{"dos2", "vram=No VRAM", "ram=16K RAM"} << "" << "1000"
                                       << R"(tapecast -cd -o "out.wav" -c -p 1000 RAMDOS.01)";
    QTest::newRow("empty baud rate and pause") << QStringList{"cd", "baud="} << "a" << ""
                                               << R"(tapecast  -o "a.wav" -c -p  -noldr "a")";
    QTest::newRow("pause with a blank") << QStringList{} << "" << "1 2"
                                        << R"(tapecast -cd -o "out.wav" -c -p 1 2)";
}

void RulesTest::encoderCommand()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, files);
    QFETCH(QString, pause);
    FormState s;
    for (const QString& a : actions) {
        if (a == "nofix")
            s.patch = false;
        else if (a.startsWith("vram="))
            s.vram = a.mid(5);
        else if (a.startsWith("ram="))
            s.ram = a.mid(4);
        else if (a != "drop")
            act(s, a);
    }
    if (!files.isEmpty()) {
        const QList<FileRow> list = rows(files);
        QStringList names;
        for (const FileRow& r : list)
            names << r.name;
        if (actions.contains("drop"))
            AddDroppedFiles(s, names);
        else
            AddChosenFiles(s, names);
        for (qsizetype i = 0; i < list.size(); ++i)
            s.files[i].run = list[i].run;
    }
    s.pause = pause;
    QTEST(BuildEncoderCommand(s, "tapecast"), "command");
}
