// The window driven through its real widgets on the offscreen platform,
// including a whole encoder run.

#include "window/desktop.h"
#include "window/file_list.h"
#include "window/form1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace cassonic;

namespace {

QWidget* client(Form1& w) { return w.centralWidget(); }

template <typename T = QWidget>
T* control(Form1& w, const char* name)
{
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QAction* command(Form1& w, const char* name) { return control<QAction>(w, name); }

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
    if (auto* pane = qobject_cast<QPlainTextEdit*>(c))
        return pane->toPlainText();
    return {};
}

bool checked(QWidget* c)
{
    auto* b = qobject_cast<QAbstractButton*>(c);
    return b && b->isChecked();
}

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
        out << r.name + "|" + r.run + (r.selected ? "*" : "");
    return out;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void controls_data();
    void controls();
    void windowAndMenu();
    void optionRules();
    void baudRateTyping();
    void fileList();
    void dropsAndEmptyList();
    void play();
    void makeWavRunsTheEncoder();
    void runKeepsTheWindowAlive();
    void missingEncoder();
    void iconGoesToTheOwnerChain();

private:
    QString startDir_;
};

void WindowTest::initTestCase()
{
    SetApplicationMetadata();
    startDir_ = QDir::currentPath();
}

void WindowTest::controls_data()
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
    row("ListView1", "", {0, 0, 7335, 2175});
    row("Frame3", " Output file ", {0, 2160, 7335, 615});
    row("Text3", "out.wav", {120, 2400, 7095, 285});
    row("Frame1", " Options ", {0, 2880, 7335, 1935});
    row("Frame2", " Baud rate ", {120, 3120, 1095, 1575});
    row("Text1", "3675", {240, 3480, 615, 285}, false);
    row("Label1", "bps", {840, 3480, 255, 255});
    row("Check1", "CD mode", {240, 3960, 735, 375}, true, true);
    row("CMode", " Compression mode ", {1320, 3120, 1695, 1575});
    row("Option1_0", "Not compressed  (BLOAD-able)", {1440, 3360, 1455, 495});
    row("Option1_1", "Compressed", {1440, 3840, 1335, 375}, true, true);
    row("Option1_2", "Experimental", {1440, 4320, 1215, 255});
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
    row("StatusBar1", "", {0, 4800, 7335, 375});
    row("txtOutputs", "", {0, 5160, 7335, 2655});
}

void WindowTest::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    Form1 w;
    auto* c = control(w, qPrintable(name));
    QTEST(text(c), "caption");
    QTEST(c->isEnabled(), "enabled");
    QTEST(checked(c), "checked");
    const QRect px(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(QRect(c->mapTo(client(w), QPoint(0, 0)), c->size()), px);
}

void WindowTest::windowAndMenu()
{
    Form1 w;
    w.show();
    QCOMPARE(w.objectName(), "Form1");
    QCOMPARE(w.windowTitle(), "CassonicRunner for tapecast 0.91");
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(!QApplication::windowIcon().isNull());
    QCOMPARE(client(w)->size(), QSize(489, 525));
    QCOMPARE(w.minimumSize(), w.maximumSize());  // the layout stays fixed

    QStringList captions, names;
    for (QAction* a : w.menuBar()->actions()) {
        captions << a->text();
        names << a->objectName();
        QVERIFY(a->isEnabled());
        QVERIFY(!a->menu());
    }
    QCOMPARE(captions, (QStringList{"Add file(s)", "Empty list", "Make WAV", "PLAY"}));
    QCOMPARE(names, (QStringList{"Archivo", "emptyList", "wav", "playWAV"}));

    auto* list = control<FileListView>(w, "ListView1");
    QCOMPARE(list->headerItem()->text(0), "File name");
    QCOMPARE(list->headerItem()->text(1), "Run");
    QCOMPARE(list->header()->sectionSize(0), 420);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);

    auto* pane = control<QPlainTextEdit>(w, "txtOutputs");
    QVERIFY(QFontInfo(pane->font()).fixedPitch());
    QCOMPARE(pane->font().pointSizeF(), 8.25);
    QCOMPARE(pane->lineWrapMode(), QPlainTextEdit::NoWrap);

    QCOMPARE(QCoreApplication::applicationName(), "CassonicRunner");
    QCOMPARE(QCoreApplication::applicationVersion(), "1.00");
}

void WindowTest::optionRules()
{
    Form1 w;
    w.show();
    // Untick "CD mode": the rate is editable and keeps its text; no loader.
    control<QCheckBox>(w, "Check1")->click();
    QVERIFY(control(w, "Text1")->isEnabled());
    QCOMPARE(text(control(w, "Text1")), "3675");
    QVERIFY(checked(control(w, "Option2_0")));
    QVERIFY(!control(w, "Option2_2")->isEnabled());
    QVERIFY(!command(w, "wav")->isEnabled());

    // Tick it again: the fixed rate, the loader allowed but not chosen.
    control<QLineEdit>(w, "Text1")->setText("1200");
    control<QCheckBox>(w, "Check1")->click();
    QVERIFY(!control(w, "Text1")->isEnabled());
    QCOMPARE(text(control(w, "Text1")), "3675");
    QVERIFY(control(w, "Option2_2")->isEnabled());
    QVERIFY(checked(control(w, "Option2_0")));

    control<QRadioButton>(w, "Option1_0")->click();
    QCOMPARE(text(control(w, "Text1")), "2205");
    QVERIFY(!control(w, "Option2_2")->isEnabled());
    control<QRadioButton>(w, "Option1_2")->click();
    QCOMPARE(text(control(w, "Text1")), "5512");
    QVERIFY(control(w, "Option2_2")->isEnabled());

    control<QRadioButton>(w, "Option2_2")->click();
    QVERIFY(command(w, "wav")->isEnabled());
    control<QRadioButton>(w, "Option3_2")->click();
    QVERIFY(control(w, "Combo1_0")->isEnabled());
    QVERIFY(control(w, "Combo1_1")->isEnabled());
    QVERIFY(checked(control(w, "Option2_2")));
    control<QRadioButton>(w, "Option3_1")->click();
    QVERIFY(!control(w, "Combo1_0")->isEnabled());
    QVERIFY(checked(control(w, "Option2_0")));
    QVERIFY(!command(w, "wav")->isEnabled());

    // The real clicks land on the wrapping captions too.
    control<QRadioButton>(w, "Option3_0")->click();
    QTest::mouseClick(control(w, "Option1_0"), Qt::LeftButton, {}, QPoint(60, 26));
    QVERIFY(checked(control(w, "Option1_0")));
}

void WindowTest::baudRateTyping()
{
    Form1 w;
    w.show();
    control<QCheckBox>(w, "Check1")->click();
    auto* rate = control<QLineEdit>(w, "Text1");
    auto* status = control<QLabel>(w, "StatusBar1");
    rate->clear();
    rate->setFocus();
    QTest::keyClicks(rate, "12");
    QCOMPARE(rate->text(), "12");
    QCOMPARE(status->text(), "");
    QTest::keyClicks(rate, "a");
    QCOMPARE(rate->text(), "");
    QCOMPARE(status->text(), "Illegal baud rate (should be >0 and <6000)");
    QTest::keyClicks(rate, "600");
    QCOMPARE(status->text(), "");
    QTest::keyClicks(rate, "0");
    QCOMPARE(rate->text(), "");
    QTest::keyClicks(rate, "5999");
    QCOMPARE(rate->text(), "5999");
}

void WindowTest::fileList()
{
    Form1 w;
    w.show();
    QStringList chosen;
    w.chooseFiles = [&](QWidget*) { return chosen; };
    auto* list = control<FileListView>(w, "ListView1");

    chosen = {"/msx/a.rom", "/msx/b.bin", "/msx/c.com"};
    command(w, "Archivo")->trigger();
    QCOMPARE(rowTexts(w), (QStringList{"/msx/a.rom|Yes", "/msx/b.bin|Yes", "/msx/c.com|Yes"}));
    QCOMPARE(text(control(w, "Text3")), "/msx/a.wav");

    chosen.clear();  // cancelled
    command(w, "Archivo")->trigger();
    QCOMPARE(list->topLevelItemCount(), 3);

    // Down carries the file along with the selection.
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(rowTexts(w), (QStringList{"/msx/b.bin|Yes", "/msx/a.rom|Yes*", "/msx/c.com|Yes"}));
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(rowTexts(w), (QStringList{"/msx/b.bin|Yes", "/msx/c.com|Yes", "/msx/a.rom|Yes*"}));
    QTest::keyClick(list, Qt::Key_Down);  // the last row stays
    QCOMPARE(rowTexts(w).last(), "/msx/a.rom|Yes*");
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(rowTexts(w), (QStringList{"/msx/b.bin|Yes", "/msx/a.rom|Yes*", "/msx/c.com|Yes"}));
    QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);  // extends the selection
    QCOMPARE(rowTexts(w), (QStringList{"/msx/b.bin|Yes", "/msx/a.rom|Yes*", "/msx/c.com|Yes*"}));

    // A double click flips the selected rows.
    const QRect cell = list->visualItemRect(list->topLevelItem(0));
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    list->topLevelItem(1)->setSelected(false);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, cell.center());
    const QStringList flags = rowTexts(w);
    QCOMPARE(flags[1], "/msx/a.rom|Yes");
    QVERIFY(flags[2].startsWith("/msx/c.com|No"));

    // Delete removes what is selected; the last row resets the name.
    list->clearSelection();
    list->topLevelItem(1)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(text(control(w, "Text3")), "/msx/a.wav");
    list->selectAll();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(text(control(w, "Text3")), "out.wav");
    QVERIFY(command(w, "wav")->isEnabled());  // the loader is attached
}

void WindowTest::dropsAndEmptyList()
{
    Form1 w;
    w.show();
    control<QRadioButton>(w, "Option2_0")->click();
    QVERIFY(!command(w, "wav")->isEnabled());

    drop(w, {"/msx/x.bin", "/msx/y.rom"}, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
    QCOMPARE(rowTexts(w), (QStringList{"/msx/x.bin|Yes", "/msx/y.rom|Yes"}));
    QCOMPARE(text(control(w, "Text3")), "out.wav");
    QVERIFY(!command(w, "wav")->isEnabled());  // until a rule runs
    drop(w, {"/msx/z.bin"}, Qt::MoveAction);   // a move is not a file drop
    QCOMPARE(rowTexts(w).size(), 2);

    auto* list = control<FileListView>(w, "ListView1");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Shift);
    QVERIFY(command(w, "wav")->isEnabled());

    control<QLineEdit>(w, "Text3")->setText("mine.wav");
    command(w, "emptyList")->trigger();
    QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(text(control(w, "Text3")), "out.wav");
    QVERIFY(command(w, "wav")->isEnabled());
}

void WindowTest::play()
{
    QTemporaryDir dir;
    Form1 w;
    QStringList opened;
    QString statusWhileOpening;
    w.openDocument = [&](const QString& path) {
        opened << path;
        statusWhileOpening = control<QLabel>(w, "StatusBar1")->text();
        return true;
    };
    auto* name = control<QLineEdit>(w, "Text3");
    auto* status = control<QLabel>(w, "StatusBar1");

    name->setText(dir.filePath("none.wav"));
    command(w, "playWAV")->trigger();
    QCOMPARE(status->text(), dir.filePath("none.wav") + " doesn't exist !");
    name->clear();
    command(w, "playWAV")->trigger();
    QCOMPARE(status->text(), " doesn't exist !");
    QVERIFY(opened.isEmpty());

    name->setText(dir.path());  // a directory counts
    command(w, "playWAV")->trigger();
    QCOMPARE(opened, QStringList{dir.path()});
    QCOMPARE(statusWhileOpening, "Playing " + dir.path());
    QCOMPARE(status->text(), "");
    QVERIFY(FileExists(dir.path()));
    QVERIFY(!FileExists(""));
}

void WindowTest::makeWavRunsTheEncoder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    Form1 w;
    QVERIFY(QDir::setCurrent(startDir_));  // as a file dialog might leave it
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString example = QStringLiteral(EXAMPLES_DIR "/hello.bin");
    w.chooseFiles = [&](QWidget*) { return QStringList{example}; };
    QStringList errors;
    w.showError = [&](const QString& m) { errors << m; };

    command(w, "Archivo")->trigger();
    control<QRadioButton>(w, "Option1_0")->click();   // the standard format
    control<QLineEdit>(w, "Text3")->setText("hello.wav");  // relative to the start folder
    auto* pane = control<QPlainTextEdit>(w, "txtOutputs");
    pane->setPlainText("old output");

    QStringList paneAtChunk, statusAtChunk;
    bool commandsDisabled = true;
    connect(&w, &Form1::outputAppended, this, [&](const QString&) {
        paneAtChunk << pane->toPlainText();
        statusAtChunk << control<QLabel>(w, "StatusBar1")->text();
        commandsDisabled = commandsDisabled && !command(w, "Archivo")->isEnabled()
                           && !command(w, "wav")->isEnabled() && command(w, "playWAV")->isEnabled();
    });
    command(w, "wav")->trigger();

    QVERIFY(errors.isEmpty());
    QVERIFY2(paneAtChunk.size() >= 3, "the output came in one piece");
    QVERIFY(!paneAtChunk.first().contains("old output"));
    QVERIFY(!paneAtChunk.first().contains("End of process"));
    QCOMPARE(statusAtChunk.first(), "Running tapecast.exe ...");
    QVERIFY(commandsDisabled);

    const QString output = pane->toPlainText();
    QVERIFY2(output.contains("Output file: hello.wav"), qPrintable(output));
    QVERIFY(output.contains("(BIN)... done."));
    QVERIFY(output.contains("End of process ! Estimated loading time"));
    QCOMPARE(pane->textCursor().position(), pane->document()->characterCount() - 1);
    QCOMPARE(control<QLabel>(w, "StatusBar1")->text(), "End of process !");
    QVERIFY(command(w, "Archivo")->isEnabled());
    QVERIFY(command(w, "wav")->isEnabled());
    QVERIFY(!w.isRunning());

    const QFileInfo wav(dir.filePath("hello.wav"));
    QVERIFY2(wav.exists(), "the WAV was not written in the start folder");
    QVERIFY(wav.size() > 44);
    QCOMPARE(QDir::currentPath(), QDir(dir.path()).canonicalPath());

    const QImage shot = w.grab().toImage();
    QVERIFY(shot.save(QStringLiteral(SCREENSHOT_PATH)));
    QVERIFY(QDir::setCurrent(startDir_));
}

void WindowTest::runKeepsTheWindowAlive()
{
    // A stand-in encoder that takes its time.
    QTemporaryDir dir;
    QFile script(dir.filePath("slow-encoder"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho start; sleep 2; echo end\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    Form1 w;
    w.encoderProgram = script.fileName();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* pane = control<QPlainTextEdit>(w, "txtOutputs");
    QString paneAtTimer;
    bool closedDuringRun = true;
    QTimer::singleShot(700, &w, [&] {
        paneAtTimer = pane->toPlainText();
        w.close();
        closedDuringRun = !w.isVisible();
    });
    command(w, "wav")->trigger();
    QCOMPARE(paneAtTimer, "start\n");  // shown while the encoder still runs
    QVERIFY2(!closedDuringRun, "the window closed in the middle of a run");
    QCOMPARE(pane->toPlainText(), "start\nend\n");
    QTRY_VERIFY(!w.isVisible());  // the close request is carried out afterwards
}

void WindowTest::missingEncoder()
{
    Form1 w;
    w.encoderProgram = "cassonic-missing-encoder";
    w.show();
    QString boxTitle, boxText;
    QTimer::singleShot(100, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxTitle = box->windowTitle();
            boxText = box->text();
            box->accept();
        }
    });
    command(w, "wav")->trigger();
    QCOMPARE(boxTitle, "CassonicRunner");
    QCOMPARE(boxText, "File or command not found");
    QCOMPARE(control<QLabel>(w, "StatusBar1")->text(), "End of process !");
    QCOMPARE(text(control(w, "txtOutputs")), "");
    QVERIFY(command(w, "wav")->isEnabled());
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
    QVERIFY(dialog.windowIcon().availableSizes().contains(QSize(16, 16)));
    QVERIFY(dialog.windowIcon().availableSizes().contains(QSize(32, 32)));

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
