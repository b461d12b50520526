#include "window/form1.h"

#include "core/dos_outputs.h"
#include "core/encoder_command.h"
#include "core/file_kinds.h"
#include "core/option_store.h"
#include "core/run_report.h"
#include "window/desktop.h"
#include "window/file_list.h"
#include "window/tape_player.h"
#include "window/timeline_view.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>
#include <QVBoxLayout>

#ifndef CASSONIC_INSTALL_BINDIR
#error "CASSONIC_INSTALL_BINDIR names the folder tapecast is installed in"
#endif

namespace cassonic {

namespace {

constexpr int px(int twips) { return twips / 15; }

// How often the cursor and the countdown follow the playing tape.
constexpr int kPlaybackTickMs = 100;

// A tick box or option button whose caption wraps onto further lines
// within its width.
template <typename Button, QStyle::PrimitiveElement Indicator, QStyle::SubElement IndicatorRect,
          QStyle::PixelMetric Spacing>
class Wrapping : public Button {
public:
    using Button::Button;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter p(this);
        QStyleOptionButton opt;
        this->initStyleOption(&opt);
        const QStyle* style = this->style();
        const QRect indicator = style->subElementRect(IndicatorRect, &opt, this);
        QStyleOptionButton indicatorOpt = opt;
        indicatorOpt.rect = QRect(indicator.x(), (this->height() - indicator.height()) / 2,
                                  indicator.width(), indicator.height());
        p.drawPrimitive(Indicator, indicatorOpt);
        const int textLeft = indicator.right() + 1 + style->pixelMetric(Spacing, &opt, this);
        const QRect textRect(textLeft, 0, this->width() - textLeft, this->height());
        p.drawItemText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, opt.palette,
                       this->isEnabled(), this->text(), QPalette::WindowText);
        if (this->hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = textRect;
            p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
    bool hitButton(const QPoint& pos) const override { return this->rect().contains(pos); }
};

using WrappingRadioButton = Wrapping<QRadioButton, QStyle::PE_IndicatorRadioButton,
                                     QStyle::SE_RadioButtonIndicator, QStyle::PM_RadioButtonLabelSpacing>;
using WrappingCheckBox = Wrapping<QCheckBox, QStyle::PE_IndicatorCheckBox, QStyle::SE_CheckBoxIndicator,
                                  QStyle::PM_CheckBoxLabelSpacing>;

// The output pane's font: Lucida Console 8.25 point, or the desktop's
// monospace font at that size.
QFont outputFont()
{
    QFont font(QStringLiteral("Lucida Console"));
    if (!QFontDatabase::hasFamily(QStringLiteral("Lucida Console")))
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(8.25);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

ListKey listKey(int key)
{
    switch (key) {
    case Qt::Key_Delete: return ListKey::Delete;
    case Qt::Key_Up: return ListKey::Up;
    case Qt::Key_Down: return ListKey::Down;
    default: return ListKey::Other;
    }
}

const QColor kFailureColor(0xb0, 0x00, 0x20);

}  // namespace

// StatusBar1: one line of text, cut at the end with an ellipsis when the
// window is too narrow for it (the tooltip has it whole); a failure shows
// in bold red.
class StatusLine : public QLabel {
public:
    explicit StatusLine(QWidget* parent) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    void show(const QString& text, bool failed)
    {
        failed_ = failed;
        if (this->text() != text)
            setText(text);
        setToolTip(text);
        QFont f = font();
        f.setBold(failed);
        setFont(f);
        update();
    }
    bool failed() const { return failed_; }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QFrame::paintEvent(event);
        QPainter p(this);
        const QRect area = contentsRect().adjusted(3, 0, -3, 0);
        p.setPen(failed_ ? kFailureColor : palette().color(QPalette::WindowText));
        p.drawText(area, Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }

private:
    bool failed_ = false;
};

Form1::Form1(QWidget* parent, QSettings* settings) : QMainWindow(parent), settings_(settings)
{
    startDirectory_ = QDir::currentPath();
    if (!settings_) {
        ownSettings_ = std::make_unique<QSettings>();
        settings_ = ownSettings_.get();
    }
    chooseFiles = [](QWidget* parent, const QString& folder) {
        return QFileDialog::getOpenFileNames(
            parent, kAppName, folder,
            QStringLiteral("MSX file(s) (*.rom *.ROM *.mx1 *.MX1 *.mx2 *.MX2 *.bin *.BIN *.bas *.BAS "
                           "*.com *.COM *.cas *.CAS *.dsk *.DSK);;All files (*)"));
    };
    chooseOutput = [](QWidget* parent, const QString& suggested) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Save the WAV as"), suggested,
                                            QStringLiteral("WAV audio (*.wav *.WAV);;All files (*)"));
    };
    confirmReplace = [this](const QString& path) {
        return QMessageBox::question(this, kAppName,
                                     QStringLiteral("%1 already exists. Replace it?").arg(path),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               == QMessageBox::Yes;
    };
    showError = [this](const QString& message) { QMessageBox::critical(this, kAppName, message); };
    openDocument = [this](const QString& path, const std::function<void(const QString&)>& failed) {
        OpenWithDesktop(path, this, failed);
    };
    makePlayback = [] { return std::make_unique<AudioTapePlayback>(); };

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kWindowTitle);
    buildControls();
    addTooltips();
    connectRules();
    playTimer_ = new QTimer(this);
    playTimer_->setInterval(kPlaybackTickMs);
    connect(playTimer_, &QTimer::timeout, this, &Form1::updatePlayback);
    loadSettings();
    updateCommands();
    SetIcon(this, QStringLiteral("Cassonic"), true);
}

Form1::~Form1()
{
    saveSettings();
    if (player_)
        player_->stop();
}

void Form1::buildControls()
{
    auto* menu = menuBar();
    auto addCommand = [&](const char* name, const QString& caption, const QKeySequence& keys,
                          void (Form1::*command)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, command);
        return action;
    };
    Archivo_ = addCommand("Archivo", QStringLiteral("Add file(s)"), QKeySequence(Qt::CTRL | Qt::Key_O),
                          &Form1::addFiles);
    emptyList_ = addCommand("emptyList", QStringLiteral("Empty list"), QKeySequence(), &Form1::emptyList);
    wav_ = addCommand("wav", QStringLiteral("Make WAV"), QKeySequence(Qt::CTRL | Qt::Key_M), &Form1::makeWav);
    playWAV_ = addCommand("playWAV", QStringLiteral("PLAY"), QKeySequence(Qt::CTRL | Qt::Key_P), &Form1::playWav);
    stop_ = addCommand("stop", QStringLiteral("Stop"), QKeySequence(Qt::Key_Escape), &Form1::stop);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setMinimumSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    // The option frames are small; a narrow sans-serif face keeps their
    // captions within them.
    QFont small = font();
    small.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                       QStringLiteral("Liberation Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                       QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), small.family()});
    small.setPixelSize(10);
    client->setFont(small);

    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);

    ListView1_ = new FileListView(client);
    ListView1_->setObjectName(QStringLiteral("ListView1"));
    ListView1_->header()->resizeSection(1, 32);
    ListView1_->setMinimumHeight(90);
    column->addWidget(ListView1_, 2);

    auto* frame3 = new QGroupBox(QStringLiteral(" Output file "), client);
    frame3->setObjectName(QStringLiteral("Frame3"));
    auto* outputRow = new QHBoxLayout(frame3);
    outputRow->setContentsMargins(8, 2, 8, 4);
    Text3_ = new QLineEdit(kDefaultOutputName, frame3);
    Text3_->setObjectName(QStringLiteral("Text3"));
    saveAs_ = new QPushButton(QStringLiteral("Save as\u2026"), frame3);
    saveAs_->setObjectName(QStringLiteral("saveAs"));
    connect(saveAs_, &QPushButton::clicked, this, &Form1::saveAs);
    outputRow->addWidget(Text3_, 1);
    outputRow->addWidget(saveAs_);
    column->addWidget(frame3);

    column->addWidget(buildOptions(client));

    auto* tapeRow = new QHBoxLayout;
    tapeRow->setContentsMargins(2, 0, 2, 0);
    tape_ = new TimelineView(client);
    tape_->setObjectName(QStringLiteral("Timeline"));
    tape_->setPlaceholder(QStringLiteral("The tape's timeline shows here after Make WAV"));
    openInPlayer_ = new QPushButton(QStringLiteral("Open in player\u2026"), client);
    openInPlayer_->setObjectName(QStringLiteral("openInPlayer"));
    connect(openInPlayer_, &QPushButton::clicked, this, &Form1::openInPlayer);
    tapeRow->addWidget(tape_, 1);
    tapeRow->addWidget(openInPlayer_);
    column->addLayout(tapeRow);

    StatusBar1_ = new StatusLine(client);
    StatusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1_->setFixedHeight(px(375));
    column->addWidget(StatusBar1_);

    txtOutputs_ = new QPlainTextEdit(client);
    txtOutputs_->setObjectName(QStringLiteral("txtOutputs"));
    txtOutputs_->setFont(outputFont());
    txtOutputs_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtOutputs_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtOutputs_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtOutputs_->setUndoRedoEnabled(false);
    txtOutputs_->setReadOnly(true);
    txtOutputs_->setMinimumHeight(100);
    column->addWidget(txtOutputs_, 3);

    resize(minimumSizeHint().expandedTo(QSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height())));
}

// The options keep the places they have always had, in twips from the top
// left of the " Options " frame; the frame widens with the window.
QWidget* Form1::buildOptions(QWidget* parent)
{
    const QPoint origin(0, 2880);  // of Frame1, in twips
    auto* frame1 = new QGroupBox(QStringLiteral(" Options "), parent);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setFixedHeight(px(1935));
    frame1->setMinimumWidth(px(7335));

    auto place = [frame1, origin](QWidget* w, const char* name, int left, int top, int width, int height) {
        w->setObjectName(QString::fromLatin1(name));
        const QPoint offset = w->parentWidget() == frame1
                                  ? QPoint(0, 0)
                                  : w->parentWidget()->mapTo(frame1, QPoint(0, 0));
        w->setGeometry(px(left - origin.x()) - offset.x(), px(top - origin.y()) - offset.y(), px(width),
                       px(height));
        return w;
    };
    auto frame = [&](const char* name, const QString& title, int l, int t, int w, int h) {
        auto* box = new QGroupBox(title, frame1);
        place(box, name, l, t, w, h);
        return box;
    };
    auto option = [&](QButtonGroup* group, int member, QRadioButton* button, const char* name, int l, int t,
                      int w, int h) {
        place(button, name, l, t, w, h);
        button->setProperty("member", member);
        group->addButton(button, member);
        return button;
    };

    auto* frame2 = frame("Frame2", QStringLiteral(" Baud rate "), 120, 3120, 1095, 1575);
    Text1_ = new QLineEdit(QStringLiteral("3675"), frame2);
    place(Text1_, "Text1", 240, 3480, 615, 285);
    Text1_->setEnabled(false);
    place(new QLabel(QStringLiteral("bps"), frame2), "Label1", 840, 3480, 255, 255);
    Check1_ = new WrappingCheckBox(QStringLiteral("CD mode"), frame2);
    place(Check1_, "Check1", 240, 3960, 735, 375);
    Check1_->setChecked(true);

    auto* cmode = frame("CMode", QStringLiteral(" Compression mode "), 1320, 3120, 1695, 1575);
    Option1_ = new QButtonGroup(this);
    Option1_->setObjectName(QStringLiteral("Option1"));
    option(Option1_, NotCompressed, new WrappingRadioButton(QStringLiteral("Not compressed  (BLOAD-able)"), cmode),
           "Option1_0", 1440, 3330, 1455, 420);
    option(Option1_, Compressed, new QRadioButton(QStringLiteral("Compressed"), cmode), "Option1_1", 1440, 3765,
           1335, 255)
        ->setChecked(true);
    option(Option1_, Experimental, new QRadioButton(QStringLiteral("Experimental"), cmode), "Option1_2", 1440,
           4035, 1215, 255);
    option(Option1_, Turbo, new QRadioButton(QStringLiteral("Turbo"), cmode), "Option1_3", 1440, 4305, 1215, 255);

    auto* loader = frame("Loader", QStringLiteral(" Loader "), 3120, 3120, 1455, 1575);
    Option2_ = new QButtonGroup(this);
    Option2_->setObjectName(QStringLiteral("Option2"));
    option(Option2_, NoLoader, new QRadioButton(QStringLiteral("No loader"), loader), "Option2_0", 3240, 3600,
           1095, 255);
    option(Option2_, AttachLoader, new WrappingRadioButton(QStringLiteral("Attach  builtin loader"), loader),
           "Option2_2", 3240, 3960, 1215, 615)
        ->setChecked(true);

    auto* frame4 = frame("Frame4", QStringLiteral(" Optimizations "), 4680, 3120, 1215, 1575);
    Check3_ = new QCheckBox(QStringLiteral("Patch"), frame4);
    place(Check3_, "Check3", 4800, 3480, 855, 255);
    Check3_->setChecked(true);
    auto* label3 = new QLabel(QStringLiteral("Pause between files"), frame4);
    label3->setWordWrap(true);
    label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label3, "Label3", 4800, 3840, 975, 375);
    Text2_ = new QLineEdit(kDefaultPause, frame4);
    place(Text2_, "Text2", 4800, 4320, 615, 285);
    Text2_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), Text2_));
    place(new QLabel(QStringLiteral("ms"), frame4), "Label2", 5400, 4320, 375, 255);

    auto* frame5 = frame("Frame5", QStringLiteral(" DOS "), 6000, 3120, 1215, 1575);
    Option3_ = new QButtonGroup(this);
    Option3_->setObjectName(QStringLiteral("Option3"));
    option(Option3_, DosOff, new QRadioButton(QStringLiteral("OFF"), frame5), "Option3_0", 6120, 3360, 975, 195)
        ->setChecked(true);
    option(Option3_, DosFilesOnly, new QRadioButton(QStringLiteral("Files only"), frame5), "Option3_1", 6120,
           3600, 975, 195);
    option(Option3_, DosRamDisk, new QRadioButton(QStringLiteral("RAMdisk"), frame5), "Option3_2", 6120, 3840, 975,
           195);
    const QStringList* sizes[2] = {&kVramSizes, &kRamSizes};
    for (int member = 0; member < 2; ++member) {
        auto* combo = new QComboBox(frame5);
        combo->addItems(*sizes[member]);
        combo->setCurrentIndex(int(sizes[member]->size()) - 1);
        combo->setProperty("member", member);
        combo->setEnabled(false);
        place(combo, member == 0 ? "Combo1_0" : "Combo1_1", 6000, member == 0 ? 4080 : 4320, 1215, 315);
        Combo1_[member] = combo;
    }
    return frame1;
}

void Form1::addTooltips()
{
    Archivo_->setToolTip(QStringLiteral("Add MSX files to the tape (Ctrl+O)"));
    emptyList_->setToolTip(QStringLiteral("Remove every file from the list"));
    wav_->setToolTip(QStringLiteral("Run tapecast and write the WAV (Ctrl+M)"));
    playWAV_->setToolTip(QStringLiteral("Play the WAV here, into the MSX's cassette input (Ctrl+P)"));
    stop_->setToolTip(QStringLiteral("Stop the running encoder or the playing tape (Esc)"));
    menuBar()->setToolTipDuration(-1);
    for (QAction* a : menuBar()->actions())
        a->setStatusTip(a->toolTip());

    ListView1_->setToolTip(QStringLiteral(
        "The files in the order they go on tape. Double click flips \"Run\" (start the program after "
        "loading, or only load it); Delete removes, Ctrl+Up and Ctrl+Down move the selected files."));
    Text3_->setToolTip(QStringLiteral("The WAV file to write"));
    saveAs_->setToolTip(QStringLiteral("Choose where the WAV goes"));
    Text1_->setToolTip(QStringLiteral("Baud rate, 1 to 5999. In CD mode the rate is fixed by the compression mode."));
    Check1_->setToolTip(QStringLiteral("44.1 kHz 16-bit WAV at fixed rates, safe to burn on an audio CD or play "
                                       "from a phone; needed for the built-in loader and Turbo"));
    Option1_->button(NotCompressed)->setToolTip(QStringLiteral(
        "The MSX's own tape format: BIN and BASIC files, loaded with BLOAD\"CAS:\",R or CLOAD. Slow, "
        "needs no loader."));
    Option1_->button(Compressed)->setToolTip(
        QStringLiteral("Fast format read by Cassonic's loader; ROMs and COM programs are packed"));
    Option1_->button(Experimental)->setToolTip(
        QStringLiteral("Faster than Compressed, with less margin for a worn recording"));
    Option1_->button(Turbo)->setToolTip(
        QStringLiteral("The fastest format, with a check of every file (CD mode only)"));
    Option2_->button(NoLoader)->setToolTip(QStringLiteral(
        "No loader on the tape: the MSX must already have it (load it from another tape first)"));
    Option2_->button(AttachLoader)->setToolTip(QStringLiteral(
        "Put Cassonic's loader in front of the files: type BLOAD\"CAS:\",R on the MSX and press PLAY"));
    Check3_->setToolTip(QStringLiteral("Patch known ROMs so that they run after loading from tape"));
    Text2_->setToolTip(QStringLiteral(
        "Silence between files in milliseconds (0 to 99999; empty means 1000). Large files get longer "
        "pauses by themselves, so that the MSX has unpacked one before the next arrives."));
    Option3_->button(DosOff)->setToolTip(QStringLiteral("Files are loaded into memory and started"));
    Option3_->button(DosFilesOnly)->setToolTip(QStringLiteral(
        "Every file is saved to disk from MSX-DOS (the MSX runs DOS and the tape reader K7)"));
    Option3_->button(DosRamDisk)->setToolTip(QStringLiteral(
        "Bring a RAM-disk DOS up from the tape first, then save the files on it: for an MSX without drives"));
    Combo1_[0]->setToolTip(QStringLiteral("Video RAM the RAM disk takes (16K pages)"));
    Combo1_[1]->setToolTip(QStringLiteral("Main RAM the RAM disk takes (16K pages)"));
    tape_->setToolTip(QStringLiteral("The tape's blocks in playing order; PLAY moves a cursor along it"));
    openInPlayer_->setToolTip(QStringLiteral("Open the WAV in the desktop's own player"));
    StatusBar1_->setToolTip(QString());
    txtOutputs_->setToolTip(QStringLiteral("What tapecast printed"));
}

void Form1::connectRules()
{
    connect(Check1_, &QCheckBox::clicked, this, [this] { apply(ClickCDMode); });
    connect(Option1_, &QButtonGroup::idClicked, this, [this] { apply(ClickCompression); });
    connect(Option2_, &QButtonGroup::idClicked, this, [this] { apply(ClickLoader); });
    connect(Option3_, &QButtonGroup::idClicked, this, [this] { apply(ClickDos); });
    connect(Text1_, &QLineEdit::textChanged, this, [this] { apply(ValidateBaudRate); });
    connect(Text2_, &QLineEdit::editingFinished, this, [this] { apply(FinishPauseEdit); });
    connect(Text3_, &QLineEdit::textEdited, this, [this](const QString& text) {
        apply([&](FormState& s) { ChooseOutputName(s, text); });
    });

    ListView1_->keyHandler = [this](int key, Qt::KeyboardModifiers mods) { return handleListKey(key, mods); };
    connect(ListView1_, &FileListView::doubleClicked, this, [this] { apply(FlipRunFlags); });
    connect(ListView1_, &FileListView::filesDropped, this, &Form1::addPaths);

    // The pane always shows the end of the output.
    connect(txtOutputs_, &QPlainTextEdit::textChanged, this, [this] { txtOutputs_->moveCursor(QTextCursor::End); });
}

FormState Form1::state() const
{
    FormState s;
    s.cdMode = Check1_->isChecked();
    s.baudRate = Text1_->text();
    s.baudRateEnabled = Text1_->isEnabled();
    s.compression = Option1_->checkedId();
    s.turboEnabled = Option1_->button(Turbo)->isEnabled();
    s.loader = Option2_->checkedId();
    s.attachLoaderEnabled = Option2_->button(AttachLoader)->isEnabled();
    s.patch = Check3_->isChecked();
    s.pause = Text2_->text();
    s.dos = Option3_->checkedId();
    s.vram = Combo1_[0]->currentIndex();
    s.ram = Combo1_[1]->currentIndex();
    s.ramDiskSizesEnabled = Combo1_[0]->isEnabled();
    s.outputName = Text3_->text();
    for (int i = 0; i < ListView1_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ListView1_->topLevelItem(i);
        s.files.append(FileRow{item->data(0, Qt::UserRole).toString(), item->text(1), item->isSelected()});
    }
    s.addFilesEnabled = Archivo_->isEnabled();
    s.makeWavEnabled = wav_->isEnabled();
    s.status = StatusBar1_->text();
    s.statusIsError = StatusBar1_->failed();
    s.loaderWanted = loaderWanted_;
    s.compressionWanted = compressionWanted_;
    s.outputChosen = outputChosen_;
    s.running = isRunning();
    return s;
}

void Form1::setState(const FormState& s)
{
    // Writing the controls raises none of their change handlers: the rules
    // have already run on the values.
    const QSignalBlocker block(Text1_);
    Check1_->setChecked(s.cdMode);
    if (Text1_->text() != s.baudRate)
        Text1_->setText(s.baudRate);
    Text1_->setEnabled(s.baudRateEnabled);
    if (auto* b = Option1_->button(s.compression))
        b->setChecked(true);
    Option1_->button(Turbo)->setEnabled(s.turboEnabled);
    if (auto* b = Option2_->button(s.loader))
        b->setChecked(true);
    Option2_->button(AttachLoader)->setEnabled(s.attachLoaderEnabled);
    Check3_->setChecked(s.patch);
    if (Text2_->text() != s.pause)
        Text2_->setText(s.pause);
    if (auto* b = Option3_->button(s.dos))
        b->setChecked(true);
    const int sizes[2] = {s.vram, s.ram};
    for (int member = 0; member < 2; ++member) {
        Combo1_[member]->setCurrentIndex(sizes[member]);
        Combo1_[member]->setEnabled(s.ramDiskSizesEnabled);
    }
    if (Text3_->text() != s.outputName)
        Text3_->setText(s.outputName);

    while (ListView1_->topLevelItemCount() > s.files.size())
        delete ListView1_->takeTopLevelItem(ListView1_->topLevelItemCount() - 1);
    for (int i = 0; i < s.files.size(); ++i) {
        QTreeWidgetItem* item = ListView1_->topLevelItem(i);
        if (!item)
            item = new QTreeWidgetItem(ListView1_);
        const FileRow& row = s.files[i];
        if (item->data(0, Qt::UserRole).toString() != row.name) {
            item->setData(0, Qt::UserRole, row.name);
            item->setText(0, QDir::toNativeSeparators(row.name));
            item->setToolTip(0, QDir::toNativeSeparators(row.name));
        }
        if (item->text(1) != row.run)
            item->setText(1, row.run);
        item->setSelected(row.selected);
    }

    loaderWanted_ = s.loaderWanted;
    compressionWanted_ = s.compressionWanted;
    outputChosen_ = s.outputChosen;
    Archivo_->setEnabled(s.addFilesEnabled);
    wav_->setEnabled(s.makeWavEnabled);
    setStatus(s.status, s.statusIsError);
}

void Form1::apply(const std::function<void(FormState&)>& rule)
{
    FormState s = state();
    rule(s);
    setState(s);
    refreshRowHints(true);
    updateCommands();
}

void Form1::setStatus(const QString& text, bool failed) { StatusBar1_->show(text, failed); }

void Form1::updateCommands()
{
    const bool running = isRunning();
    Archivo_->setEnabled(!running);
    playWAV_->setEnabled(!running);
    openInPlayer_->setEnabled(!running);
    saveAs_->setEnabled(!running);
    stop_->setEnabled(running || isPlaying());
}

// --- The file list --------------------------------------------------------

bool Form1::handleListKey(int key, Qt::KeyboardModifiers modifiers)
{
    const FormState before = state();
    const int current = ListView1_->currentIndex().row();
    apply([&](FormState& s) { ApplyListKey(s, listKey(key), modifiers); });
    const FormState after = state();
    const bool moved = (key == Qt::Key_Up || key == Qt::Key_Down) && modifiers == Qt::ControlModifier;
    if (!moved)
        return false;
    // The current row follows the file it was on.
    if (after.files != before.files && current >= 0 && before.files[current].selected) {
        const int to = current + (key == Qt::Key_Up ? -1 : 1);
        ListView1_->selectionModel()->setCurrentIndex(ListView1_->model()->index(to, 0),
                                                      QItemSelectionModel::NoUpdate);
    }
    return true;
}

void Form1::refreshRowHints(bool announce)
{
    const FormState s = state();
    QString first;
    for (int i = 0; i < ListView1_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ListView1_->topLevelItem(i);
        const QString path = item->data(0, Qt::UserRole).toString();
        if (!kinds_.contains(path))
            kinds_.insert(path, DetectFileKind(resolved(path)));
        const QString problem = FileKindProblem(kinds_.value(path), QFileInfo(path).fileName(), s);
        const QString tip = QDir::toNativeSeparators(path) + (problem.isEmpty() ? QString() : u'\n' + problem);
        if (item->toolTip(0) != tip) {
            item->setToolTip(0, tip);
            item->setIcon(0, problem.isEmpty() ? QIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
        }
        if (first.isEmpty())
            first = problem;
    }
    // A new problem is said once in the status line, before a run finds it.
    if (announce && !first.isEmpty() && first != lastHint_ && !isRunning())
        setStatus(first, true);
    lastHint_ = first;
}

void Form1::addFiles()
{
    const QString folder = lastFolder_.isEmpty() ? startDirectory_ : lastFolder_;
    const QStringList paths = chooseFiles(this, folder);
    if (paths.isEmpty())
        return;
    lastFolder_ = QFileInfo(paths.first()).absolutePath();
    addPaths(paths);
}

void Form1::addPaths(const QStringList& paths)
{
    QString refused;
    const QStringList files = FilesToAdd(paths, startDirectory_, &refused);
    apply([&](FormState& s) { AddFiles(s, files, QDir::homePath()); });
    if (!refused.isEmpty())
        setStatus(refused, true);
}

void Form1::emptyList() { apply(EmptyList); }

// --- The encoder run ------------------------------------------------------

QString Form1::resolved(const QString& name) const { return QDir(startDirectory_).absoluteFilePath(name); }

QString Form1::findEncoder(QString* problem) const
{
    if (!encoderProgram.isEmpty())
        return encoderProgram;
    const EncoderSearch search = FindEncoder(kEncoderName, QCoreApplication::applicationDirPath(),
                                             QStringLiteral(CASSONIC_INSTALL_BINDIR),
                                             QString::fromLocal8Bit(qgetenv("PATH")));
    if (search.path.isEmpty())
        *problem = EncoderNotFoundMessage(kEncoderName, search);
    return search.path;
}

void Form1::makeWav()
{
    if (isRunning() || !wav_->isEnabled())
        return;
    apply(FinishPauseEdit);
    // Relative names are resolved from the directory the program started in.
    QDir::setCurrent(startDirectory_);

    QString problem;
    const QString program = findEncoder(&problem);
    if (program.isEmpty()) {
        setStatus(problem, true);
        txtOutputs_->setPlainText(problem);
        showError(problem);
        return;
    }
    const FormState s = state();
    const QString wav = resolved(s.outputName);
    const QFileInfo wavInfo(wav);
    if (s.outputName.isEmpty() || wavInfo.isDir()) {
        setStatus(QStringLiteral("Give the WAV a file name (\"Save as\u2026\")."), true);
        return;
    }
    if (!IsWritableFolder(wavInfo.absolutePath())) {
        setStatus(QStringLiteral("%1 cannot be written in %2: choose another place with \"Save as\u2026\".")
                      .arg(wavInfo.fileName(), QDir::toNativeSeparators(wavInfo.absolutePath())),
                  true);
        return;
    }
    if (wavInfo.exists() && !replaceable_.contains(wav)) {
        if (!confirmReplace(wav)) {
            setStatus(QStringLiteral("%1 was kept; nothing was made.").arg(wavInfo.fileName()));
            return;
        }
        replaceable_.insert(wav);
    }
    stopPlayback();

    const QStringList args = BuildEncoderArguments(s);
    objDOS_ = std::make_unique<DOSOutputs>();
    objDOS_->showError = showError;
    filter_ = std::make_unique<TimelineFilter>();
    connect(objDOS_.get(), &DOSOutputs::ReceiveOutputs, this, [this](const QString& chunk) {
        appendOutput(filter_->feed(chunk));
    });
    connect(objDOS_.get(), &DOSOutputs::Finished, this, &Form1::onRunFinished);

    txtOutputs_->setPlainText(QStringLiteral("$ ") + DisplayCommandLine(program, args) + u'\n');
    tape_->setTimeline(std::nullopt);
    tape_->setPlaceholder(QStringLiteral("Making the tape\u2026"));
    timelineWav_.clear();
    runWav_ = wav;
    runWavName_ = s.outputName;
    runStart_ = QDateTime::currentDateTime();
    if (!objDOS_->Start(program, args)) {
        objDOS_.reset();
        tape_->setPlaceholder(QString());
        setStatus(QStringLiteral("%1 could not be started.").arg(program), true);
        apply(UpdateMakeWavMenu);
        return;
    }
    apply([](FormState& st) {
        st.running = true;
        UpdateMakeWavMenu(st);
        st.addFilesEnabled = false;
    });
    setStatus(QStringLiteral("Running tapecast ..."));
}

void Form1::appendOutput(const QString& text)
{
    if (text.isEmpty())
        return;
    QString clean = text;
    clean.remove(u'\r');  // a line break is "\n" in the pane
    QTextCursor cursor(txtOutputs_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(clean);
    emit outputAppended(text);
}

void Form1::onRunFinished(const RunResult& result)
{
    appendOutput(filter_->finish());
    const QString output = objDOS_->Outputs();
    // The runner is still inside its own signal: it goes later.
    objDOS_.release()->deleteLater();

    std::optional<Timeline> timeline;
    if (filter_->sawTimeline()) {
        timeline = ParseTimeline(filter_->timelineText());
        if (!timeline)  // shown as it came rather than lost
            appendOutput(QStringLiteral("Timeline:\n") + filter_->timelineText());
    }
    const QFileInfo wav(runWav_);
    if (!result.succeeded() && result.kind != RunResult::Exited && wav.isFile()
        && wav.lastModified() >= runStart_.addSecs(-2)) {
        // A stopped or killed encoder may leave a WAV cut short.
        QFile::remove(runWav_);
    }
    if (result.succeeded()) {
        replaceable_.insert(runWav_);
        timelineWav_ = runWav_;
        timelineWavTime_ = QFileInfo(runWav_).lastModified();
    }
    tape_->setTimeline(result.succeeded() ? timeline : std::nullopt);
    tape_->setPlaceholder(result.succeeded() ? QStringLiteral("tapecast gave no timeline for this tape")
                                             : QStringLiteral("No tape was made"));

    const RunReport report = ReportRun(result, output, runWavName_);
    apply([](FormState& s) {
        s.running = false;
        s.addFilesEnabled = true;
        UpdateMakeWavMenu(s);
    });
    setStatus(report.status, report.failed);
    emit runFinished();
    if (closeRequested_)
        QTimer::singleShot(0, this, &QWidget::close);
}

void Form1::stop()
{
    if (isRunning()) {
        objDOS_->Stop();
        setStatus(QStringLiteral("Stopping tapecast ..."));
    } else if (isPlaying()) {
        stopPlayback();
        setStatus(QStringLiteral("Stopped playing %1.").arg(QFileInfo(playingWav_).fileName()));
    }
}

void Form1::saveAs()
{
    const QString suggested = resolved(Text3_->text().isEmpty() ? kDefaultOutputName : Text3_->text());
    const QString chosen = chooseOutput(this, suggested);
    if (chosen.isEmpty())
        return;
    const QString name = chosen.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive) ? chosen : chosen + ".wav";
    // The dialog has asked about replacing the file.
    if (name == chosen)
        replaceable_.insert(QFileInfo(name).absoluteFilePath());
    lastFolder_ = QFileInfo(name).absolutePath();
    apply([&](FormState& s) { ChooseOutputName(s, name); });
}

// --- Playing the tape -----------------------------------------------------

bool Form1::isPlaying() const { return player_ && player_->isPlaying(); }

std::optional<Timeline> Form1::timeline() const { return tape_->timeline(); }

void Form1::playWav()
{
    if (isRunning())
        return;
    const QString f = Text3_->text();
    const QString path = f.isEmpty() ? QString() : resolved(f);
    if (!QFileInfo(path).isFile()) {
        setStatus(f + QStringLiteral(" doesn't exist !"), true);
        return;
    }
    stopPlayback();
    // The strip belongs to the WAV made last, as it was made.
    const bool sameTape = path == timelineWav_ && QFileInfo(path).lastModified() == timelineWavTime_;
    if (!sameTape && tape_->timeline()) {
        tape_->setTimeline(std::nullopt);
        tape_->setPlaceholder(QStringLiteral("No timeline for this WAV: Make WAV draws it"));
    }
    if (!player_) {
        player_ = makePlayback();
        connect(player_.get(), &TapePlayback::finished, this, [this] {
            playTimer_->stop();
            tape_->setCursorPosition(std::nullopt);
            setStatus(QStringLiteral("Played %1 to the end.").arg(QFileInfo(playingWav_).fileName()));
            updateCommands();
        });
        connect(player_.get(), &TapePlayback::failed, this, [this](const QString& reason) {
            playTimer_->stop();
            tape_->setCursorPosition(std::nullopt);
            setStatus(QStringLiteral("Playing %1 failed: %2.").arg(QFileInfo(playingWav_).fileName(), reason), true);
            updateCommands();
        });
    }
    QString error;
    playingWav_ = path;
    if (!player_->play(path, &error)) {
        setStatus(QStringLiteral("%1 cannot be played here: %2. Try \"Open in player\u2026\".")
                      .arg(QFileInfo(path).fileName(), error),
                  true);
        updateCommands();
        return;
    }
    playTimer_->start();
    updatePlayback();
    updateCommands();
}

void Form1::updatePlayback()
{
    if (!isPlaying())
        return;
    const double at = player_->position();
    if (const std::optional<Timeline>& t = tape_->timeline()) {
        tape_->setCursorPosition(at);
        setStatus(NowPlayingText(*t, at));
    } else {
        setStatus(QStringLiteral("Playing %1 \u2014 %2 played")
                      .arg(QFileInfo(playingWav_).fileName(), MinutesSeconds(at)));
    }
}

void Form1::stopPlayback()
{
    if (player_)
        player_->stop();
    playTimer_->stop();
    tape_->setCursorPosition(std::nullopt);
    updateCommands();
}

void Form1::openInPlayer()
{
    const QString f = Text3_->text();
    const QString path = f.isEmpty() ? QString() : resolved(f);
    if (!FileExists(path)) {
        setStatus(f + QStringLiteral(" doesn't exist !"), true);
        return;
    }
    const QString name = QFileInfo(path).fileName();
    setStatus(QStringLiteral("Opening %1 in the desktop's player").arg(name));
    QPointer<Form1> self(this);
    openDocument(path, [self, name](const QString& reason) {
        if (self)
            self->setStatus(QStringLiteral("No player opened %1: %2").arg(name, reason), true);
    });
}

// --- Settings and closing -------------------------------------------------

void Form1::loadSettings()
{
    FormState s = LoadOptions(*settings_);
    s.files = state().files;
    setState(s);
    lastFolder_ = settings_->value(QStringLiteral("folders/last")).toString();
    const QByteArray geometry = settings_->value(QStringLiteral("window/geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void Form1::saveSettings()
{
    SaveOptions(state(), *settings_);
    if (!lastFolder_.isEmpty())
        settings_->setValue(QStringLiteral("folders/last"), lastFolder_);
    settings_->setValue(QStringLiteral("window/geometry"), saveGeometry());
    settings_->sync();
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A run is stopped first; the window closes when it is over.
    if (isRunning()) {
        closeRequested_ = true;
        objDOS_->Stop();
        event->ignore();
        return;
    }
    stopPlayback();
    saveSettings();
    QMainWindow::closeEvent(event);
}

}  // namespace cassonic
