// The window driven through its real widgets, on the offscreen platform and
// on an X server, including whole encoder runs.

#include "window/desktop.h"
#include "window/file_list.h"
#include "window/form1.h"
#include "window/tape_player.h"
#include "window/timeline_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <csignal>

using namespace cassonic;

namespace {

// A window with settings of its own, so that no test sees another's (or
// the user's).
struct Window {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("settings.ini"), QSettings::IniFormat};
    Form1 form{nullptr, &settings};
    QStringList errors;

    Window()
    {
        form.showError = [this](const QString& m) { errors << m; };
        form.confirmReplace = [](const QString&) { return true; };
    }
};

template <typename T = QWidget>
T* control(Form1& w, const char* name)
{
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QAction* command(Form1& w, const char* name) { return control<QAction>(w, name); }
QLabel* status(Form1& w) { return control<QLabel>(w, "StatusBar1"); }
QString pane(Form1& w) { return control<QPlainTextEdit>(w, "txtOutputs")->toPlainText(); }

QString text(QWidget* c)
{
    if (auto* b = qobject_cast<QAbstractButton*>(c))
        return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(c))
        return e->text();
    if (auto* l = qobject_cast<QLabel*>(c))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(c))
        return g->title();
    if (auto* box = qobject_cast<QComboBox*>(c))
        return box->currentText();
    if (auto* p = qobject_cast<QPlainTextEdit*>(c))
        return p->toPlainText();
    return {};
}

bool checked(QWidget* c)
{
    auto* b = qobject_cast<QAbstractButton*>(c);
    return b && b->isChecked();
}

void click(Form1& w, const char* name) { control<QAbstractButton>(w, name)->click(); }

// Drops `paths` on the list with the given offered actions.
void drop(Form1& w, const QStringList& paths, Qt::DropActions actions)
{
    auto* list = control<FileListView>(w, "ListView1");
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    const QPoint at = list->viewport()->rect().center();
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QDropEvent dropped(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &dropped);
}

QStringList rowTexts(Form1& w)
{
    QStringList out;
    for (const FileRow& r : w.state().files)
        out << QFileInfo(r.name).fileName() + "|" + r.run + (r.selected ? "*" : "");
    return out;
}

QString writeFile(const QString& path, const QByteArray& content, bool executable = false)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(content);
    f.close();
    if (executable)
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// Shows the window with the keyboard focus; on an X server without a
// window manager only asking for it gives it.
bool showActive(QWidget& w)
{
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

// Runs "Make WAV" and waits until the run is over.
void makeWav(Form1& w)
{
    QSignalSpy done(&w, &Form1::runFinished);
    command(w, "wav")->trigger();
    if (w.isRunning())
        QVERIFY(done.wait(30000));
}

// A player for the tests: no sound device, the position set by the test.
class FakePlayback : public TapePlayback {
public:
    bool play(const QString& path, QString* error) override
    {
        played << path;
        if (!failWith.isEmpty()) {
            *error = failWith;
            return false;
        }
        playing = true;
        at = 0;
        return true;
    }
    void stop() override { playing = false; }
    double position() const override { return at; }
    bool isPlaying() const override { return playing; }
    void end()
    {
        playing = false;
        emit finished();
    }

    QStringList played;
    QString failWith;
    bool playing = false;
    double at = 0;
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void options_data();
    void options();
    void windowResizes();
    void menuAndShortcuts();
    void outputPaneFont();
    void optionRules();
    void baudRateTyping();
    void pauseAndRamDiskAreChecked();
    void fileList();
    void dropsAndEmptyList();
    void hintBeforeTheRun();
    void makeWavRunsTheEncoder();
    void failureIsFlagged();
    void argumentsArriveWhole();
    void outputChooserAndReplacing();
    void stopAndClose();
    void missingEncoder();
    void playWithTimeline();
    void openInPlayer();
    void settingsKept();
    void iconGoesToTheOwnerChain();

private:
    QString startDir_;
    QTemporaryDir scratch_;
    QString echoEncoder_;  // prints its arguments one per line, then fails
};

void WindowTest::initTestCase()
{
    SetApplicationMetadata();
    startDir_ = QDir::currentPath();
    QVERIFY(scratch_.isValid());
    echoEncoder_ = writeFile(scratch_.filePath("echo-encoder"),
                             "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done\n"
                             "echo; echo 'ERROR: Failed to read input file x'; exit 9\n",
                             true);
}

// The options keep their places within the " Options " frame.
void WindowTest::options_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");

    auto row = [](const char* name, const QString& caption, QRect twips, bool enabled = true,
                  bool checked = false) {
        QTest::newRow(name) << QString::fromLatin1(name) << caption << twips << enabled << checked;
    };
    row("Frame2", " Baud rate ", {120, 3120, 1095, 1575});
    row("Text1", "3675", {240, 3480, 615, 285}, false);
    row("Label1", "bps", {840, 3480, 255, 255});
    row("Check1", "CD mode", {240, 3960, 735, 375}, true, true);
    row("CMode", " Compression mode ", {1320, 3120, 1695, 1575});
    row("Option1_0", "Not compressed  (BLOAD-able)", {1440, 3330, 1455, 420});
    row("Option1_1", "Compressed", {1440, 3765, 1335, 255}, true, true);
    row("Option1_2", "Experimental", {1440, 4035, 1215, 255});
    row("Option1_3", "Turbo", {1440, 4305, 1215, 255});
    row("Loader", " Loader ", {3120, 3120, 1455, 1575});
    row("Option2_0", "No loader", {3240, 3600, 1095, 255});
    row("Option2_2", "Attach  builtin loader", {3240, 3960, 1215, 615}, true, true);
    row("Frame4", " Optimizations ", {4680, 3120, 1215, 1575});
    row("Check3", "Patch", {4800, 3480, 855, 255}, true, true);
    row("Label3", "Pause between files", {4800, 3840, 975, 375});
    row("Text2", "1000", {4800, 4320, 615, 285});
    row("Label2", "ms", {5400, 4320, 375, 255});
    row("Frame5", " DOS ", {6000, 3120, 1215, 1575});
    row("Option3_0", "OFF", {6120, 3360, 975, 195}, true, true);
    row("Option3_1", "Files only", {6120, 3600, 975, 195});
    row("Option3_2", "RAMdisk", {6120, 3840, 975, 195});
    row("Combo1_0", "112K VRAM", {6000, 4080, 1215, 315}, false);
    row("Combo1_1", "48K RAM", {6000, 4320, 1215, 315}, false);
}

void WindowTest::options()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    Window w;
    auto* c = control(w.form, qPrintable(name));
    QTEST(text(c), "caption");
    QTEST(c->isEnabled(), "enabled");
    QTEST(checked(c), "checked");
    const QRect px(twips.x() / 15, (twips.y() - 2880) / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(QRect(c->mapTo(control(w.form, "Frame1"), QPoint(0, 0)), c->size()), px);
}

void WindowTest::windowResizes()
{
    Window w;
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    QWidget* client = w.form.centralWidget();
    // The old fixed size is the smallest.
    QCOMPARE(client->minimumSize(), QSize(489, 525));
    QCOMPARE(w.form.minimumSizeHint().width(), 489);
    QVERIFY(w.form.maximumSize().width() > 2000);

    auto* list = control(w.form, "ListView1");
    auto* out = control(w.form, "txtOutputs");
    auto* options = control(w.form, "Frame1");
    const QSize listBefore = list->size(), paneBefore = out->size(), optionsBefore = options->size();
    w.form.resize(w.form.width() + 300, w.form.height() + 200);
    QTRY_VERIFY(list->height() > listBefore.height());
    QVERIFY(out->height() > paneBefore.height());
    QCOMPARE(list->width(), listBefore.width() + 300);
    QCOMPARE(options->height(), optionsBefore.height());
    // The file name column takes the width.
    auto* view = control<FileListView>(w.form, "ListView1");
    QVERIFY(view->header()->sectionSize(0) > 600);
}

void WindowTest::menuAndShortcuts()
{
    Window w;
    QCOMPARE(w.form.objectName(), "Form1");
    QCOMPARE(w.form.windowTitle(), "CassonicRunner for tapecast " CASSONIC_VERSION);
    QCOMPARE(QCoreApplication::applicationVersion(), CASSONIC_VERSION);
    QVERIFY(!w.form.windowIcon().isNull());

    QStringList captions, names, keys;
    for (QAction* a : w.form.menuBar()->actions()) {
        captions << a->text();
        names << a->objectName();
        keys << a->shortcut().toString();
        QVERIFY(!a->toolTip().isEmpty());
    }
    QCOMPARE(captions, (QStringList{"Add file(s)", "Empty list", "Make WAV", "PLAY", "Stop"}));
    QCOMPARE(names, (QStringList{"Archivo", "emptyList", "wav", "playWAV", "stop"}));
    QCOMPARE(keys, (QStringList{"Ctrl+O", "", "Ctrl+M", "Ctrl+P", "Esc"}));
    QVERIFY(!command(w.form, "stop")->isEnabled());
    QCOMPARE(text(control(w.form, "saveAs")), "Save as\u2026");
    QCOMPARE(text(control(w.form, "openInPlayer")), "Open in player\u2026");

    // Every option tells what it does.
    for (const char* name : {"Text1", "Check1", "Option1_0", "Option1_1", "Option1_2", "Option1_3", "Option2_0",
                             "Option2_2", "Check3", "Text2", "Option3_0", "Option3_1", "Option3_2", "Combo1_0",
                             "Combo1_1", "Text3", "saveAs"})
        QVERIFY2(!control(w.form, name)->toolTip().isEmpty(), name);

    // Ctrl+O reaches "Add file(s)" from anywhere in the window.
    QVERIFY(showActive(w.form));
    int asked = 0;
    w.form.chooseFiles = [&](QWidget*, const QString&) {
        ++asked;
        return QStringList{};
    };
    control(w.form, "Text2")->setFocus();
    QTest::keyClick(control(w.form, "Text2"), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(asked, 1);
}

void WindowTest::outputPaneFont()
{
    // Whatever monospace face the desktop has, the pane's columns line up.
    Window w;
    auto* out = control<QPlainTextEdit>(w.form, "txtOutputs");
    const QFontMetricsF metrics(out->font());
    QCOMPARE(metrics.horizontalAdvance("iiiiiiii"), metrics.horizontalAdvance("WWWWWWWW"));
    QCOMPARE(out->font().pointSizeF(), 8.25);
    QCOMPARE(out->lineWrapMode(), QPlainTextEdit::NoWrap);
}

void WindowTest::optionRules()
{
    Window w;
    Form1& f = w.form;
    f.show();
    // Untick "CD mode": the rate is editable and keeps its text; no loader,
    // no Turbo.
    click(f, "Check1");
    QVERIFY(control(f, "Text1")->isEnabled());
    QCOMPARE(text(control(f, "Text1")), "3675");
    QVERIFY(checked(control(f, "Option2_0")));
    QVERIFY(!control(f, "Option2_2")->isEnabled());
    QVERIFY(!control(f, "Option1_3")->isEnabled());
    QVERIFY(!command(f, "wav")->isEnabled());

    // Tick it again: the fixed rate, and the loader the user had.
    control<QLineEdit>(f, "Text1")->setText("1200");
    click(f, "Check1");
    QVERIFY(!control(f, "Text1")->isEnabled());
    QCOMPARE(text(control(f, "Text1")), "3675");
    QVERIFY(checked(control(f, "Option2_2")));
    QVERIFY(command(f, "wav")->isEnabled());

    click(f, "Option1_0");
    QCOMPARE(text(control(f, "Text1")), "2205");
    QVERIFY(!control(f, "Option2_2")->isEnabled());
    click(f, "Option1_3");
    QCOMPARE(text(control(f, "Text1")), "");
    QVERIFY(checked(control(f, "Option2_2")));
    click(f, "Check1");  // Turbo is CD mode only
    QVERIFY(checked(control(f, "Option1_1")));
    QCOMPARE(text(control(f, "Text1")), "3675");
    click(f, "Check1");
    QVERIFY(checked(control(f, "Option1_3")));

    click(f, "Option3_2");
    QVERIFY(control(f, "Combo1_0")->isEnabled());
    QVERIFY(control(f, "Combo1_1")->isEnabled());
    QVERIFY(checked(control(f, "Option2_2")));
    click(f, "Option3_1");
    QVERIFY(!control(f, "Combo1_0")->isEnabled());
    QVERIFY(checked(control(f, "Option2_0")));
    QVERIFY(!command(f, "wav")->isEnabled());

    // The real clicks land on the wrapping captions too.
    click(f, "Option3_0");
    QTest::mouseClick(control(f, "Option1_0"), Qt::LeftButton, {}, QPoint(60, 20));
    QVERIFY(checked(control(f, "Option1_0")));
}

void WindowTest::baudRateTyping()
{
    Window w;
    w.form.show();
    click(w.form, "Check1");
    auto* rate = control<QLineEdit>(w.form, "Text1");
    rate->clear();
    rate->setFocus();
    QTest::keyClicks(rate, "12");
    QCOMPARE(rate->text(), "12");
    QCOMPARE(status(w.form)->text(), "");
    QTest::keyClicks(rate, "a");
    QCOMPARE(rate->text(), "");
    QCOMPARE(status(w.form)->text(), "Illegal baud rate (should be >0 and <6000)");
    QTest::keyClicks(rate, "600");
    QCOMPARE(status(w.form)->text(), "");
    QTest::keyClicks(rate, "0");
    QCOMPARE(rate->text(), "");
    QTest::keyClicks(rate, "5999");
    QCOMPARE(rate->text(), "5999");
}

void WindowTest::pauseAndRamDiskAreChecked()
{
    Window w;
    QVERIFY(showActive(w.form));
    auto* pause = control<QLineEdit>(w.form, "Text2");
    pause->setFocus();
    pause->selectAll();
    QTest::keyClicks(pause, "2a5-0");
    QCOMPARE(pause->text(), "250");
    pause->selectAll();
    QTest::keyClick(pause, Qt::Key_Delete);
    control(w.form, "Text3")->setFocus();  // leaving the field
    QCOMPARE(pause->text(), "1000");

    // Fixed lists: nothing else can be typed in.
    for (const char* name : {"Combo1_0", "Combo1_1"})
        QVERIFY(!control<QComboBox>(w.form, name)->isEditable());
}

void WindowTest::fileList()
{
    Window w;
    Form1& f = w.form;
    f.show();
    QStringList chosen;
    QString startedIn;
    f.chooseFiles = [&](QWidget*, const QString& folder) {
        startedIn = folder;
        return chosen;
    };
    auto* list = control<FileListView>(f, "ListView1");
    const QString folder = w.dir.path();
    for (const char* name : {"a.rom", "b.bin", "c.com"})
        writeFile(folder + "/" + name, "\xFE....");

    chosen = {folder + "/a.rom", folder + "/b.bin", folder + "/c.com"};
    command(f, "Archivo")->trigger();
    QCOMPARE(rowTexts(f), (QStringList{"a.rom|Yes", "b.bin|Yes", "c.com|Yes"}));
    QCOMPARE(text(control(f, "Text3")), folder + "/a.wav");
    QCOMPARE(startedIn, f.startDirectory());
    chosen.clear();  // cancelled; the dialog starts where the last one ended
    command(f, "Archivo")->trigger();
    QCOMPARE(list->topLevelItemCount(), 3);
    QCOMPARE(startedIn, folder);

    // Long paths lose their middle; the tooltip has them whole.
    QCOMPARE(list->textElideMode(), Qt::ElideMiddle);
    QVERIFY(list->topLevelItem(0)->toolTip(0).startsWith(folder + "/a.rom"));

    // Up and Down move the selection, Ctrl with them moves the file.
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(rowTexts(f), (QStringList{"a.rom|Yes", "b.bin|Yes*", "c.com|Yes"}));
    QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(rowTexts(f), (QStringList{"b.bin|Yes*", "a.rom|Yes", "c.com|Yes"}));
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(rowTexts(f), (QStringList{"a.rom|Yes", "c.com|Yes", "b.bin|Yes*"}));
    QCOMPARE(list->currentIndex().row(), 2);
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);  // the last row stays
    QCOMPARE(rowTexts(f).last(), "b.bin|Yes*");

    // A double click flips the selected rows.
    list->clearSelection();
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    const QRect cell = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, cell.center());
    const QStringList flags = rowTexts(f);
    QCOMPARE(flags[1], "c.com|Yes");
    QVERIFY(flags[2].startsWith("b.bin|No"));

    // Delete removes what is selected; the last row resets the name.
    list->clearSelection();
    list->topLevelItem(1)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->topLevelItemCount(), 2);
    list->selectAll();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(text(control(f, "Text3")), "out.wav");
    QVERIFY(command(f, "wav")->isEnabled());  // the loader is attached
}

void WindowTest::dropsAndEmptyList()
{
    Window w;
    Form1& f = w.form;
    f.show();
    click(f, "Option2_0");
    QVERIFY(!command(f, "wav")->isEnabled());
    const QString x = writeFile(w.dir.filePath("x.bin"), "\xFE"), y = writeFile(w.dir.filePath("y.bin"), "\xFE");

    // A drop enables "Make WAV" and names the output; folders stay out.
    drop(f, {x, w.dir.path(), y}, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
    QCOMPARE(rowTexts(f), (QStringList{"x.bin|Yes", "y.bin|Yes"}));
    QCOMPARE(text(control(f, "Text3")), w.dir.filePath("x.wav"));
    QVERIFY(command(f, "wav")->isEnabled());
    QCOMPARE(status(f)->text(), "Not added, a folder: " + w.dir.path());
    drop(f, {x}, Qt::MoveAction);  // a move is not a file drop
    QCOMPARE(rowTexts(f).size(), 2);

    // "Empty list" without the loader leaves nothing to make.
    command(f, "emptyList")->trigger();
    QCOMPARE(control<FileListView>(f, "ListView1")->topLevelItemCount(), 0);
    QCOMPARE(text(control(f, "Text3")), "out.wav");
    QVERIFY(!command(f, "wav")->isEnabled());
}

void WindowTest::hintBeforeTheRun()
{
    Window w;
    Form1& f = w.form;
    const QString rom = writeFile(w.dir.filePath("GAME.ROM"), "AB\x10\x40");
    f.addPaths({rom});
    QCOMPARE(status(f)->text(), "");
    click(f, "Option1_0");
    QVERIFY2(status(f)->text().startsWith("GAME.ROM is a ROM image: \"Not compressed\" takes BIN"),
             qPrintable(status(f)->text()));
    QVERIFY(f.state().statusIsError);
    auto* item = control<FileListView>(f, "ListView1")->topLevelItem(0);
    QVERIFY(item->toolTip(0).contains("Choose Compressed"));
    QVERIFY(!item->icon(0).isNull());
    click(f, "Option1_1");
    QVERIFY(item->icon(0).isNull());
}

void WindowTest::makeWavRunsTheEncoder()
{
    QTemporaryDir runDir;
    QVERIFY(QDir::setCurrent(runDir.path()));
    Window w;
    Form1& f = w.form;
    QVERIFY(QDir::setCurrent(startDir_));  // wherever the dialogs leave it
    f.resize(640, 560);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.addPaths({QStringLiteral(EXAMPLES_DIR "/hello.bin")});
    control<QLineEdit>(f, "Text3")->setText("hello.wav");  // relative to the start folder
    control<QPlainTextEdit>(f, "txtOutputs")->setPlainText("old output");

    QStringList paneAtChunk, statusAtChunk;
    bool commandsDisabled = true;
    connect(&f, &Form1::outputAppended, this, [&](const QString&) {
        paneAtChunk << pane(f);
        statusAtChunk << status(f)->text();
        commandsDisabled = commandsDisabled && !command(f, "Archivo")->isEnabled()
                           && !command(f, "wav")->isEnabled() && !command(f, "playWAV")->isEnabled()
                           && command(f, "stop")->isEnabled();
    });
    makeWav(f);

    QVERIFY(w.errors.isEmpty());
    QVERIFY2(paneAtChunk.size() >= 2, "the output came in one piece");
    QVERIFY(!paneAtChunk.first().contains("old output"));
    QVERIFY2(paneAtChunk.first().startsWith("$ " + QDir(QCoreApplication::applicationDirPath()).filePath("tapecast")
                                            + " -cd -o hello.wav -c -p 1000 -timeline "),
             qPrintable(paneAtChunk.first()));
    QCOMPARE(statusAtChunk.first(), "Running tapecast ...");
    QVERIFY(commandsDisabled);

    const QString output = pane(f);
    QVERIFY2(output.contains("Output file: hello.wav"), qPrintable(output));
    QVERIFY(output.contains("End of process ! Estimated loading time"));
    QVERIFY2(!output.contains("Timeline:"), "the timeline is drawn, not printed");
    QVERIFY2(status(f)->text().startsWith("Made hello.wav, loading time 0:"), qPrintable(status(f)->text()));
    QVERIFY(!f.state().statusIsError);
    QVERIFY(command(f, "Archivo")->isEnabled());
    QVERIFY(command(f, "wav")->isEnabled());
    QVERIFY(!command(f, "stop")->isEnabled());

    // The strip: the loader, the file, the pauses and the tone, end to end.
    const std::optional<Timeline> t = f.timeline();
    QVERIFY(t.has_value());
    QCOMPARE(t->segments.first().kind, TapeSegment::Loader);
    QCOMPARE(t->segments.first().name, "LOADER");
    QCOMPARE(t->segments[2].kind, TapeSegment::File);
    QCOMPARE(t->segments[2].name, QStringLiteral(EXAMPLES_DIR "/hello.bin"));
    QCOMPARE(t->segments.last().kind, TapeSegment::Tone);

    const QFileInfo wav(w.form.startDirectory() + "/hello.wav");
    QVERIFY2(wav.exists(), "the WAV was not written in the start folder");
    QCOMPARE(QDir::currentPath(), QDir(runDir.path()).canonicalPath());
    // The playing time the strip shows is the WAV's: 88200 bytes a second.
    QVERIFY(std::abs(t->total() - double(wav.size() - 44) / 88200) < 0.002);

    // One picture per platform, so that the two runs of this test can go
    // side by side.
    QVERIFY(f.grab().toImage().save(QStringLiteral(SCREENSHOT_DIR "/CassonicRunner-%1.png")
                                        .arg(QGuiApplication::platformName())));
    QFile::remove(wav.filePath());
    QVERIFY(QDir::setCurrent(startDir_));
}

void WindowTest::failureIsFlagged()
{
    // The exit status is read: an encoder that fails is not a made WAV.
    Window w;
    w.form.encoderProgram = echoEncoder_;
    w.form.show();
    makeWav(w.form);
    QCOMPARE(status(w.form)->text(), "ERROR: Failed to read input file x");
    QVERIFY(w.form.state().statusIsError);
    QVERIFY(!w.form.timeline());
    QVERIFY(w.errors.isEmpty());
}

void WindowTest::argumentsArriveWhole()
{
    // A quote in a name, a name that starts with '-', an empty pause: each
    // reaches the encoder as the one argument it is.
    Window w;
    Form1& f = w.form;
    f.encoderProgram = echoEncoder_;
    const QString odd = writeFile(w.dir.filePath(R"(my "best" game.bin)"), "\xFE");
    f.addPaths({odd});
    control<QLineEdit>(f, "Text2")->clear();
    makeWav(f);
    const QString printed = pane(f);
    QVERIFY2(printed.contains("\n[-p]\n[1000]\n[-timeline]\n[" + odd + "]\n"), qPrintable(printed));
    QVERIFY(printed.contains("[" + w.dir.filePath(R"(my "best" game.wav)") + "]"));
}

void WindowTest::outputChooserAndReplacing()
{
    Window w;
    Form1& f = w.form;
    f.encoderProgram = writeFile(w.dir.filePath("ok-encoder"), "#!/bin/sh\necho made > \"$3\"\n", true);
    const QString chosen = w.dir.filePath("tapes/mine");
    QVERIFY(QDir(w.dir.path()).mkdir("tapes"));
    QString suggested;
    f.chooseOutput = [&](QWidget*, const QString& s) {
        suggested = s;
        return chosen;
    };
    click(f, "saveAs");
    QCOMPARE(suggested, f.startDirectory() + "/out.wav");
    QCOMPARE(text(control(f, "Text3")), chosen + ".wav");
    // A chosen name stays when files are added.
    f.addPaths({writeFile(w.dir.filePath("a.bin"), "\xFE")});
    QCOMPARE(text(control(f, "Text3")), chosen + ".wav");

    // An existing WAV is replaced only when the user agrees, and asked
    // about once.
    writeFile(chosen + ".wav", "older");
    QStringList asked;
    bool agree = false;
    f.confirmReplace = [&](const QString& path) {
        asked << path;
        return agree;
    };
    makeWav(f);
    QCOMPARE(asked, QStringList{chosen + ".wav"});
    QCOMPARE(status(f)->text(), "mine.wav was kept; nothing was made.");
    agree = true;
    makeWav(f);
    makeWav(f);
    QCOMPARE(asked.size(), 2);
    QVERIFY(status(f)->text().startsWith("Made mine.wav"));

    // A folder that cannot be written is said before the run.
    control<QLineEdit>(f, "Text3")->setText("/no-such-folder/out.wav");
    makeWav(f);
    QCOMPARE(status(f)->text(),
             "out.wav cannot be written in /no-such-folder: choose another place with \"Save as\u2026\".");
}

void WindowTest::stopAndClose()
{
    Window w;
    Form1& f = w.form;
    // A stand-in encoder that writes part of the WAV, then takes its time.
    f.encoderProgram = writeFile(w.dir.filePath("slow-encoder"),
                                 "#!/bin/sh\necho start; echo part > \"$3\"; sleep 20; echo end\n", true);
    const QString wav = w.dir.filePath("slow.wav");
    control<QLineEdit>(f, "Text3")->setText(wav);
    QVERIFY(showActive(f));

    QSignalSpy done(&f, &Form1::runFinished);
    command(f, "wav")->trigger();
    QVERIFY(f.isRunning());
    QTRY_COMPARE(pane(f).section('\n', 1), "start\n");
    QTRY_VERIFY(QFileInfo::exists(wav));
    // The window takes input during the run: Esc stops it.
    QTest::keyClick(&f, Qt::Key_Escape);
    QVERIFY(done.wait(5000));
    QCOMPARE(status(f)->text(), "Stopped: slow.wav was not made.");
    QVERIFY2(!QFileInfo::exists(wav), "the cut-short WAV was left behind");

    // Closing during a run stops it, then closes.
    command(f, "wav")->trigger();
    QVERIFY(f.isRunning());
    f.close();
    QVERIFY(f.isVisible());
    QTRY_VERIFY(!f.isVisible());
    QVERIFY(!f.isRunning());
}

void WindowTest::missingEncoder()
{
    Window w;
    w.form.encoderProgram = w.dir.filePath("no-such-encoder");
    makeWav(w.form);
    QCOMPARE(w.errors.size(), 1);
    QVERIFY(w.errors[0].startsWith("File or command not found: " + w.form.encoderProgram));
    QVERIFY(w.form.state().statusIsError);
    QVERIFY(status(w.form)->text().endsWith("could not be started."));
    QVERIFY(command(w.form, "wav")->isEnabled());
}

void WindowTest::playWithTimeline()
{
    Window w;
    Form1& f = w.form;
    auto* fake = new FakePlayback;
    f.makePlayback = [&] { return std::unique_ptr<TapePlayback>(fake); };
    // A stand-in encoder that writes a WAV and reports its timeline.
    f.encoderProgram = writeFile(w.dir.filePath("timeline-encoder"),
                                 "#!/bin/sh\necho RIFF > \"$3\"\n"
                                 "echo 'End of process ! Estimated loading time 0:22 min (21.8 sec)'\n"
                                 "echo; echo 'Timeline:'\n"
                                 "echo '   start   length  kind    name'\n"
                                 "echo '   0.000    9.120  loader  LOADER'\n"
                                 "echo '   9.120    0.010  pause'\n"
                                 "echo '   9.130   12.400  file    games/GAME.ROM'\n"
                                 "echo '  21.530    0.237  tone'\n",
                                 true);
    const QString wav = w.dir.filePath("game.wav");
    control<QLineEdit>(f, "Text3")->setText(wav);

    command(f, "playWAV")->trigger();  // nothing made yet
    QCOMPARE(status(f)->text(), wav + " doesn't exist !");
    QVERIFY(f.state().statusIsError);

    makeWav(f);
    QVERIFY(f.timeline().has_value());
    auto* strip = control<TimelineView>(f, "Timeline");
    command(f, "playWAV")->trigger();
    QCOMPARE(fake->played, QStringList{wav});
    QVERIFY(command(f, "stop")->isEnabled());
    fake->at = 9.53;
    QTRY_COMPARE(status(f)->text(), "Now loading GAME.ROM \u2014 0:12 left");
    QCOMPARE(strip->cursorPosition(), std::optional<double>(9.53));
    fake->end();
    QCOMPARE(status(f)->text(), "Played game.wav to the end.");
    QVERIFY(!strip->cursorPosition());
    QVERIFY(!command(f, "stop")->isEnabled());

    // Stop ends it; a sound output that cannot play says so.
    command(f, "playWAV")->trigger();
    command(f, "stop")->trigger();
    QCOMPARE(status(f)->text(), "Stopped playing game.wav.");
    fake->failWith = "no sound output device was found";
    command(f, "playWAV")->trigger();
    QCOMPARE(status(f)->text(),
             "game.wav cannot be played here: no sound output device was found. Try \"Open in player\u2026\".");
    QVERIFY(f.state().statusIsError);

    // Another WAV has no timeline of its own.
    const QString other = writeFile(w.dir.filePath("other.wav"), "RIFF");
    fake->failWith.clear();
    control<QLineEdit>(f, "Text3")->setText(other);
    command(f, "playWAV")->trigger();
    QVERIFY(!f.timeline());
    QTRY_VERIFY(status(f)->text().startsWith("Playing other.wav \u2014 0:00 played"));
}

void WindowTest::openInPlayer()
{
    Window w;
    QStringList opened;
    std::function<void(const QString&)> fail;
    w.form.openDocument = [&](const QString& path, const std::function<void(const QString&)>& failed) {
        opened << path;
        fail = failed;
    };
    auto* name = control<QLineEdit>(w.form, "Text3");
    name->setText(w.dir.filePath("none.wav"));
    click(w.form, "openInPlayer");
    QCOMPARE(status(w.form)->text(), w.dir.filePath("none.wav") + " doesn't exist !");
    QVERIFY(opened.isEmpty());

    const QString wav = writeFile(w.dir.filePath("t.wav"), "RIFF");
    name->setText(wav);
    click(w.form, "openInPlayer");
    QCOMPARE(opened, QStringList{wav});
    QCOMPARE(status(w.form)->text(), "Opening t.wav in the desktop's player");
    // With no player for WAV files, the desktop's answer is shown.
    fail("no application can open it");
    QCOMPARE(status(w.form)->text(), "No player opened t.wav: no application can open it");
    QVERIFY(w.form.state().statusIsError);
}

void WindowTest::settingsKept()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("kept.ini"), QSettings::IniFormat);
    QRect geometry;
    {
        Form1 f(nullptr, &settings);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        click(f, "Option1_2");
        click(f, "Check3");
        control<QLineEdit>(f, "Text2")->setText("300");
        click(f, "Option3_2");
        control<QComboBox>(f, "Combo1_0")->setCurrentIndex(3);
        f.resize(700, 650);
        QTRY_COMPARE(f.size(), QSize(700, 650));
        f.close();
    }
    Form1 again(nullptr, &settings);
    QVERIFY(checked(control(again, "Option1_2")));
    QCOMPARE(text(control(again, "Text1")), "5512");
    QVERIFY(!checked(control(again, "Check3")));
    QCOMPARE(text(control(again, "Text2")), "300");
    QVERIFY(checked(control(again, "Option3_2")));
    QVERIFY(control(again, "Combo1_0")->isEnabled());
    QCOMPARE(text(control(again, "Combo1_0")), "48K VRAM");
    QCOMPARE(again.size(), QSize(700, 650));
}

void WindowTest::iconGoesToTheOwnerChain()
{
    QApplication::setWindowIcon(QIcon());
    QWidget owner;
    QWidget middle(&owner, Qt::Window);
    QWidget dialog(&middle, Qt::Dialog);

    SetIcon(&dialog, "CASSONIC", false);  // names match regardless of case
    QVERIFY(!dialog.windowIcon().isNull());
    QVERIFY(owner.windowIcon().isNull());
    QVERIFY(QApplication::windowIcon().isNull());
    for (int size : {16, 32, 48, 256})
        QVERIFY(dialog.windowIcon().availableSizes().contains(QSize(size, size)));

    SetIcon(&dialog, "Cassonic", true);
    QVERIFY(owner.testAttribute(Qt::WA_SetWindowIcon));
    QVERIFY(!middle.testAttribute(Qt::WA_SetWindowIcon));
    QVERIFY(!QApplication::windowIcon().isNull());

    // A missing icon leaves the window without one of its own.
    QWidget plain;
    SetIcon(&plain, "NoSuchIcon", false);
    QVERIFY(plain.windowIcon().cacheKey() == QApplication::windowIcon().cacheKey());
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
