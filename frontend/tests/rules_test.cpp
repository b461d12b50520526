#include "core/option_store.h"
#include "core/rules.h"
#include "tests/test_classes.h"

#include <QSettings>
#include <QTemporaryDir>
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
        AddFiles(s, {"/msx/x.bin"}, "/home/u", [](const QString&) { return true; });
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
    QTest::addColumn<int>("compression");
    QTest::addColumn<bool>("turboEnabled");
    QTest::addColumn<int>("loader");
    QTest::addColumn<bool>("attachEnabled");
    QTest::addColumn<bool>("makeWav");
    QTest::addColumn<bool>("ramDiskSizes");

    auto row = [](const char* name, const QStringList& actions, const QString& baud, bool baudEnabled,
                  int compression, bool turbo, int loader, bool attach, bool makeWav, bool sizes = false) {
        QTest::newRow(name) << actions << baud << baudEnabled << compression << turbo << loader << attach
                            << makeWav << sizes;
    };
    row("initial", {}, "3675", false, 1, true, 2, true, true);
    row("untick CD mode", {"cd"}, "3675", true, 1, false, 0, false, false);
    row("untick CD mode with files", {"file", "cd"}, "3675", true, 1, false, 0, false, true);
    // Re-ticking CD mode brings back the loader the user had chosen.
    row("tick CD mode again", {"cd", "baud=1200", "cd"}, "3675", false, 1, true, 2, true, true);
    row("tick CD mode, experimental", {"cd", "comp2", "cd"}, "5512", false, 2, true, 2, true, true);
    row("no loader stays chosen", {"loader0", "cd", "cd"}, "3675", false, 1, true, 0, true, false);
    row("not compressed in CD mode", {"comp0"}, "2205", false, 0, true, 0, false, false);
    row("then experimental", {"comp0", "comp2"}, "5512", false, 2, true, 2, true, true);
    row("compression outside CD mode keeps the rate", {"cd", "baud=2400", "comp0", "comp2"}, "2400", true, 2,
        false, 0, false, false);
    row("ticking CD mode while not compressed keeps the rate", {"cd", "comp0", "baud=1200", "cd"}, "1200", false,
        0, true, 0, false, false);
    row("ticking CD mode with files only keeps the rate", {"cd", "dos1", "baud=1200", "cd"}, "1200", false, 1,
        true, 0, false, false);
    row("RAM disk keeps the loader", {"dos2"}, "3675", false, 1, true, 2, true, true, true);
    row("files only forces no loader", {"dos2", "dos1"}, "3675", false, 1, true, 0, false, false);
    row("files only, then off", {"dos1", "dos0"}, "3675", false, 1, true, 2, true, true);
    row("loader clicked back", {"loader0", "loader2"}, "3675", false, 1, true, 2, true, true);
    row("no loader clicked", {"loader0"}, "3675", false, 1, true, 0, true, false);
    row("turbo", {"comp3"}, "", false, 3, true, 2, true, true);
    row("turbo, CD mode unticked", {"comp3", "cd"}, "3675", true, 1, false, 0, false, false);
    row("turbo comes back with CD mode", {"comp3", "cd", "cd"}, "", false, 3, true, 2, true, true);
    row("empty baud rate outside CD mode", {"file", "cd", "baud="}, "", true, 1, false, 0, false, false);
}

void RulesTest::optionClicks()
{
    QFETCH(QStringList, actions);
    FormState s;
    for (const QString& a : actions)
        act(s, a);
    QTEST(s.baudRate, "baudRate");
    QTEST(s.baudRateEnabled, "baudRateEnabled");
    QTEST(s.compression, "compression");
    QTEST(s.turboEnabled, "turboEnabled");
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

void RulesTest::pause_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("legal");
    QTest::addColumn<QString>("sent");

    QTest::newRow("default") << "1000" << true << "1000";
    QTest::newRow("zero") << "0" << true << "0";
    QTest::newRow("longest") << "99999" << true << "99999";
    // An empty field once made the first file the pause (-p FILE ...).
    QTest::newRow("empty restores the default") << "" << false << "1000";
    QTest::newRow("too long") << "100000" << false << "1000";
    QTest::newRow("letters") << "abc" << false << "1000";
    QTest::newRow("negative") << "-5" << false << "1000";
    QTest::newRow("two numbers") << "1 2" << false << "1000";
}

void RulesTest::pause()
{
    QFETCH(QString, text);
    QTEST(IsLegalPause(text), "legal");
    QTEST(PauseForRun(text), "sent");
    FormState s;
    s.pause = text;
    FinishPauseEdit(s);
    QTEST(s.pause, "sent");
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
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("loaderAttached");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("outputName");
    QTest::addColumn<bool>("makeWav");

    const int del = int(ListKey::Delete), up = int(ListKey::Up), down = int(ListKey::Down),
              other = int(ListKey::Other);
    const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::newRow("ctrl+down moves the row") << "a* b! c" << down << ctrl << false << "b! a* c" << "g.wav" << true;
    QTest::newRow("ctrl+up moves the row") << "a b c*!" << up << ctrl << false << "a c*! b" << "g.wav" << true;
    QTest::newRow("plain down only moves the selection") << "a* b" << down << none << false << "a* b" << "g.wav"
                                                         << true;
    QTest::newRow("ctrl+up on the first row") << "a* b" << up << ctrl << false << "a* b" << "g.wav" << true;
    QTest::newRow("ctrl+down on the last row") << "a b*" << down << ctrl << false << "a b*" << "g.wav" << true;
    QTest::newRow("ctrl+shift+down") << "a* b" << down << ctrlShift << false << "a* b" << "g.wav" << true;
    QTest::newRow("ctrl+down moves a block") << "a* b* c" << down << ctrl << false << "c a* b*" << "g.wav" << true;
    QTest::newRow("ctrl+up moves scattered rows") << "a b* c d*" << up << ctrl << false << "b* a d* c" << "g.wav"
                                                  << true;
    QTest::newRow("delete several") << "a* b c* d" << del << none << false << "b d" << "g.wav" << true;
    QTest::newRow("delete none selected") << "a b" << del << none << false << "a b" << "g.wav" << true;
    QTest::newRow("delete the last row") << "a*" << del << none << true << "" << "out.wav" << true;
    QTest::newRow("delete the last row, no loader") << "a*" << del << none << false << "" << "out.wav" << false;
    QTest::newRow("other key, empty list") << "" << other << none << false << "" << "out.wav" << false;
    QTest::newRow("other key enables") << "a" << other << none << false << "a" << "g.wav" << true;
}

void RulesTest::listKeys()
{
    QFETCH(QString, before);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, loaderAttached);
    FormState s;
    s.files = rows(before);
    s.outputName = "g.wav";
    s.loader = loaderAttached ? AttachLoader : NoLoader;
    s.makeWavEnabled = !s.makeWavEnabled;  // the rule decides either way
    ApplyListKey(s, ListKey(key), Qt::KeyboardModifiers(modifiers));
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
    const auto writable = [](const QString& folder) { return folder != "/cdrom"; };
    FormState s;
    act(s, "loader0");
    QVERIFY(!s.makeWavEnabled);

    // A cancelled dialog changes nothing.
    const FormState before = s;
    AddFiles(s, {}, "/home/u", writable);
    QCOMPARE(s, before);

    // "Make WAV" follows at once, drops included; the name follows the
    // first file of the addition.
    AddFiles(s, {"/msx/a.rom", "/msx/b.bin"}, "/home/u", writable);
    QCOMPARE(words(s.files), "/msx/a.rom /msx/b.bin");
    QCOMPARE(s.outputName, "/msx/a.wav");
    QVERIFY(s.makeWavEnabled);

    // A folder that cannot be written sends the WAV home.
    AddFiles(s, {"/cdrom/game.rom"}, "/home/u", writable);
    QCOMPARE(s.outputName, "/home/u/game.wav");
    QCOMPARE(s.files.size(), 3);
    QCOMPARE(s.files[2].run, kRunYes);

    // A name the user chose stays.
    ChooseOutputName(s, "/tmp/mine.wav");
    AddFiles(s, {"/msx/c.bin"}, "/home/u", writable);
    QCOMPARE(s.outputName, "/tmp/mine.wav");

    // "Empty list" resets the name, and "Make WAV" follows the list.
    EmptyList(s);
    QVERIFY(s.files.isEmpty());
    QCOMPARE(s.outputName, kDefaultOutputName);
    QVERIFY(!s.outputChosen);
    QVERIFY(!s.makeWavEnabled);
    AddFiles(s, {"/msx/d.bin"}, "/home/u", writable);
    QCOMPARE(s.outputName, "/msx/d.wav");
}

void RulesTest::onlyFilesAreAdded()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath("game.rom"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QDir(dir.path()).mkdir("folder"));

    QString refused;
    QCOMPARE(FilesToAdd({"game.rom", dir.filePath("folder"), "none.bin"}, dir.path(), &refused),
             QStringList{dir.filePath("game.rom")});
    QCOMPARE(refused, "Not added, a folder: " + dir.filePath("folder") + "; not found: " + dir.filePath("none.bin"));
    QCOMPARE(FilesToAdd({dir.filePath("game.rom")}, "/", &refused).size(), 1);
    QCOMPARE(refused, QString());
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

void RulesTest::settingsKept()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("kept.ini"), QSettings::IniFormat);
    FormState s;
    for (const char* a : {"cd", "baud=2400", "comp2", "dos2"})
        act(s, a);
    s.patch = false;
    s.pause = "250";
    s.vram = 2;
    s.ram = 0;
    SaveOptions(s, settings);

    const FormState loaded = LoadOptions(settings);
    QVERIFY(!loaded.cdMode);
    QCOMPARE(loaded.baudRate, "2400");
    QVERIFY(loaded.baudRateEnabled);
    QCOMPARE(loaded.compression, int(Experimental));
    QCOMPARE(loaded.loader, int(NoLoader));
    QVERIFY(!loaded.attachLoaderEnabled);
    QCOMPARE(loaded.loaderWanted, int(AttachLoader));  // the choice that CD mode brings back
    QVERIFY(!loaded.patch);
    QCOMPARE(loaded.pause, "250");
    QCOMPARE(loaded.dos, int(DosRamDisk));
    QVERIFY(loaded.ramDiskSizesEnabled);
    QCOMPARE(loaded.vram, 2);
    QCOMPARE(loaded.ram, 0);

    // Turbo kept outside CD mode comes back with it.
    act(s, "cd");
    act(s, "comp3");
    act(s, "cd");
    SaveOptions(s, settings);
    FormState turbo = LoadOptions(settings);
    QCOMPARE(turbo.compression, int(Compressed));
    act(turbo, "cd");
    QCOMPARE(turbo.compression, int(Turbo));
}

void RulesTest::settingsOutOfRange()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("odd.ini"), QSettings::IniFormat);
    settings.setValue("options/cdMode", "maybe");
    settings.setValue("options/baudRate", "12abc");
    settings.setValue("options/compression", 9);
    settings.setValue("options/loader", 1);
    settings.setValue("options/pause", "-5");
    settings.setValue("options/dos", "two");
    settings.setValue("options/vram", 8);
    settings.setValue("options/ram", -1);
    QCOMPARE(LoadOptions(settings), FormState());
}
