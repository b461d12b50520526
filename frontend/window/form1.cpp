#include "window/form1.h"

#include "core/dos_outputs.h"
#include "window/desktop.h"
#include "window/file_list.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>

namespace cassonic {

namespace {

constexpr int px(int twips) { return twips / 15; }

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
    font.setPointSizeF(8.25);
    if (!QFontDatabase::hasFamily(QStringLiteral("Lucida Console"))) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(8.25);
    }
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
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

}  // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent)
{
    startDirectory_ = QDir::currentPath();
    encoderProgram = EncoderProgramName();
    chooseFiles = [](QWidget* parent) {
        return QFileDialog::getOpenFileNames(parent, kAppName, QString(),
                                             QStringLiteral("MSX file(s) (*)"));
    };
    showError = [this](const QString& message) {
        QMessageBox::critical(this, kAppName, message);
    };
    openDocument = OpenWithDesktop;

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kWindowTitle);
    buildControls();
    connectRules();
    SetIcon(this, QStringLiteral("Cassonic"), true);
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    auto* menu = menuBar();
    auto addCommand = [&](const char* name, const QString& caption, void (Form1::*command)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, command);
        return action;
    };
    Archivo_ = addCommand("Archivo", QStringLiteral("Add file(s)"), &Form1::addFiles);
    emptyList_ = addCommand("emptyList", QStringLiteral("Empty list"), &Form1::emptyList);
    wav_ = addCommand("wav", QStringLiteral("Make WAV"), &Form1::makeWav);
    playWAV_ = addCommand("playWAV", QStringLiteral("PLAY"), &Form1::playWav);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    // The controls are small; a narrow sans-serif face keeps their captions
    // within them.
    QFont small = font();
    small.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                       QStringLiteral("Liberation Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                       QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), small.family()});
    small.setPixelSize(10);
    client->setFont(small);

    // Positions are given in twips relative to the client area; a control
    // inside a frame is placed relative to that frame.
    auto place = [client](QWidget* w, const char* name, int left, int top, int width, int height) {
        w->setObjectName(QString::fromLatin1(name));
        const QPoint origin = w->parentWidget() == client
                                  ? QPoint(0, 0)
                                  : w->parentWidget()->mapTo(client, QPoint(0, 0));
        w->setGeometry(px(left) - origin.x(), px(top) - origin.y(), px(width), px(height));
        return w;
    };
    auto frame = [&](QWidget* parent, const char* name, const QString& title, int l, int t, int w, int h) {
        auto* box = new QGroupBox(title, parent);
        place(box, name, l, t, w, h);
        return box;
    };
    auto option = [&](QButtonGroup* group, int member, QRadioButton* button, const char* name,
                      int l, int t, int w, int h) {
        place(button, name, l, t, w, h);
        button->setProperty("member", member);
        group->addButton(button, member);
        return button;
    };

    ListView1_ = new FileListView(client);
    place(ListView1_, "ListView1", 0, 0, 7335, 2175);
    ListView1_->header()->resizeSection(0, px(6300));
    ListView1_->header()->resizeSection(1, (400 + 14) / 15);

    auto* frame3 = frame(client, "Frame3", QStringLiteral(" Output file "), 0, 2160, 7335, 615);
    Text3_ = new QLineEdit(kDefaultOutputName, frame3);
    place(Text3_, "Text3", 120, 2400, 7095, 285);

    auto* frame1 = frame(client, "Frame1", QStringLiteral(" Options "), 0, 2880, 7335, 1935);

    auto* frame2 = frame(frame1, "Frame2", QStringLiteral(" Baud rate "), 120, 3120, 1095, 1575);
    Text1_ = new QLineEdit(QStringLiteral("3675"), frame2);
    place(Text1_, "Text1", 240, 3480, 615, 285);
    Text1_->setEnabled(false);
    place(new QLabel(QStringLiteral("bps"), frame2), "Label1", 840, 3480, 255, 255);
    Check1_ = new WrappingCheckBox(QStringLiteral("CD mode"), frame2);
    place(Check1_, "Check1", 240, 3960, 735, 375);
    Check1_->setChecked(true);

    auto* cmode = frame(frame1, "CMode", QStringLiteral(" Compression mode "), 1320, 3120, 1695, 1575);
    Option1_ = new QButtonGroup(this);
    Option1_->setObjectName(QStringLiteral("Option1"));
    option(Option1_, NotCompressed, new WrappingRadioButton(QStringLiteral("Not compressed  (BLOAD-able)"), cmode),
           "Option1_0", 1440, 3360, 1455, 495);
    option(Option1_, Compressed, new QRadioButton(QStringLiteral("Compressed"), cmode), "Option1_1",
           1440, 3840, 1335, 375)->setChecked(true);
    option(Option1_, Experimental, new QRadioButton(QStringLiteral("Experimental"), cmode), "Option1_2",
           1440, 4320, 1215, 255);

    auto* loader = frame(frame1, "Loader", QStringLiteral(" Loader "), 3120, 3120, 1455, 1575);
    Option2_ = new QButtonGroup(this);
    Option2_->setObjectName(QStringLiteral("Option2"));
    option(Option2_, NoLoader, new QRadioButton(QStringLiteral("No loader"), loader), "Option2_0",
           3240, 3600, 1095, 255);
    option(Option2_, AttachLoader, new WrappingRadioButton(QStringLiteral("Attach  builtin loader"), loader),
           "Option2_2", 3240, 3960, 1215, 615)->setChecked(true);

    auto* frame4 = frame(frame1, "Frame4", QStringLiteral(" Optimizations "), 4680, 3120, 1215, 1575);
    Check3_ = new QCheckBox(QStringLiteral("Patch"), frame4);
    place(Check3_, "Check3", 4800, 3480, 855, 255);
    Check3_->setChecked(true);
    auto* label3 = new QLabel(QStringLiteral("Pause between files"), frame4);
    label3->setWordWrap(true);
    label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label3, "Label3", 4800, 3840, 975, 375);
    Text2_ = new QLineEdit(QStringLiteral("1000"), frame4);
    place(Text2_, "Text2", 4800, 4320, 615, 285);
    place(new QLabel(QStringLiteral("ms"), frame4), "Label2", 5400, 4320, 375, 255);

    auto* frame5 = frame(frame1, "Frame5", QStringLiteral(" DOS "), 6000, 3120, 1215, 1575);
    Option3_ = new QButtonGroup(this);
    Option3_->setObjectName(QStringLiteral("Option3"));
    option(Option3_, DosOff, new QRadioButton(QStringLiteral("OFF"), frame5), "Option3_0",
           6120, 3360, 975, 195)->setChecked(true);
    option(Option3_, DosFilesOnly, new QRadioButton(QStringLiteral("Files only"), frame5), "Option3_1",
           6120, 3600, 975, 195);
    option(Option3_, DosRamDisk, new QRadioButton(QStringLiteral("RAMdisk"), frame5), "Option3_2",
           6120, 3840, 975, 195);
    const QStringList sizes[2] = {
        {QStringLiteral("No VRAM"), QStringLiteral("16K VRAM"), QStringLiteral("32K VRAM"),
         QStringLiteral("48K VRAM"), QStringLiteral("64K VRAM"), QStringLiteral("80K VRAM"),
         QStringLiteral("96K VRAM"), QStringLiteral("112K VRAM")},
        {QStringLiteral("16K RAM"), QStringLiteral("32K RAM"), QStringLiteral("48K RAM")}};
    for (int member = 0; member < 2; ++member) {
        auto* combo = new QComboBox(frame5);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(sizes[member]);
        combo->setCurrentIndex(int(sizes[member].size()) - 1);
        combo->setProperty("member", member);
        combo->setEnabled(false);
        place(combo, member == 0 ? "Combo1_0" : "Combo1_1", 6000, member == 0 ? 4080 : 4320, 1215, 315);
        Combo1_[member] = combo;
    }

    auto* status = new QLabel(client);
    status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status->setTextFormat(Qt::PlainText);
    place(status, "StatusBar1", 0, 4800, 7335, 375);
    StatusBar1_ = status;

    txtOutputs_ = new QPlainTextEdit(client);
    place(txtOutputs_, "txtOutputs", 0, 5160, 7335, 2655);
    txtOutputs_->setFont(outputFont());
    txtOutputs_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtOutputs_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtOutputs_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtOutputs_->setUndoRedoEnabled(false);

    // The layout is fixed: the window keeps the size of its contents.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void Form1::connectRules()
{
    connect(Check1_, &QCheckBox::clicked, this, [this] { apply(ClickCDMode); });
    connect(Option1_, &QButtonGroup::idClicked, this, [this] { apply(ClickCompression); });
    connect(Option2_, &QButtonGroup::idClicked, this, [this] { apply(ClickLoader); });
    connect(Option3_, &QButtonGroup::idClicked, this, [this] { apply(ClickDos); });
    connect(Text1_, &QLineEdit::textChanged, this, [this] { apply(ValidateBaudRate); });

    connect(ListView1_, &FileListView::keyPressed, this, [this](int key, Qt::KeyboardModifiers mods) {
        const bool held = mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        apply([&](FormState& s) { ApplyListKey(s, listKey(key), held); });
    });
    connect(ListView1_, &FileListView::doubleClicked, this, [this] { apply(FlipRunFlags); });
    connect(ListView1_, &FileListView::filesDropped, this, [this](const QStringList& paths) {
        apply([&](FormState& s) { AddDroppedFiles(s, paths); });
    });

    // The pane always shows the end of the output.
    connect(txtOutputs_, &QPlainTextEdit::textChanged, this, [this] {
        txtOutputs_->moveCursor(QTextCursor::End);
    });
}

FormState Form1::state() const
{
    FormState s;
    s.cdMode = Check1_->isChecked();
    s.baudRate = Text1_->text();
    s.baudRateEnabled = Text1_->isEnabled();
    s.compression = Option1_->checkedId();
    s.loader = Option2_->checkedId();
    s.attachLoaderEnabled = Option2_->button(AttachLoader)->isEnabled();
    s.patch = Check3_->isChecked();
    s.pause = Text2_->text();
    s.dos = Option3_->checkedId();
    s.vram = Combo1_[0]->currentText();
    s.ram = Combo1_[1]->currentText();
    s.ramDiskSizesEnabled = Combo1_[0]->isEnabled();
    s.outputName = Text3_->text();
    for (int i = 0; i < ListView1_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ListView1_->topLevelItem(i);
        s.files.append(FileRow{item->text(0), item->text(1), item->isSelected()});
    }
    s.addFilesEnabled = Archivo_->isEnabled();
    s.makeWavEnabled = wav_->isEnabled();
    s.status = StatusBar1_->text();
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
    if (auto* b = Option2_->button(s.loader))
        b->setChecked(true);
    Option2_->button(AttachLoader)->setEnabled(s.attachLoaderEnabled);
    Check3_->setChecked(s.patch);
    if (Text2_->text() != s.pause)
        Text2_->setText(s.pause);
    if (auto* b = Option3_->button(s.dos))
        b->setChecked(true);
    const QString sizes[2] = {s.vram, s.ram};
    for (int member = 0; member < 2; ++member) {
        if (Combo1_[member]->currentText() != sizes[member])
            Combo1_[member]->setEditText(sizes[member]);
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
        if (item->text(0) != s.files[i].name)
            item->setText(0, s.files[i].name);
        if (item->text(1) != s.files[i].run)
            item->setText(1, s.files[i].run);
        item->setSelected(s.files[i].selected);
    }

    Archivo_->setEnabled(s.addFilesEnabled);
    wav_->setEnabled(s.makeWavEnabled);
    setStatus(s.status);
}

void Form1::apply(const std::function<void(FormState&)>& rule)
{
    FormState s = state();
    rule(s);
    setState(s);
}

void Form1::setStatus(const QString& text)
{
    if (StatusBar1_->text() != text)
        StatusBar1_->setText(text);
}

void Form1::addFiles()
{
    const QStringList paths = chooseFiles(this);
    apply([&](FormState& s) { AddChosenFiles(s, paths); });
}

void Form1::emptyList() { apply(EmptyList); }

void Form1::makeWav()
{
    if (objDOS_)
        return;
    // Relative names are resolved from the directory the program started in,
    // wherever the file dialog has left the working directory.
    QDir::setCurrent(startDirectory_);
    const QString command = BuildEncoderCommand(state(), encoderProgram);

    Archivo_->setEnabled(false);
    wav_->setEnabled(false);
    setStatus(QStringLiteral("Running tapecast.exe ..."));
    txtOutputs_->clear();
    StatusBar1_->repaint();
    txtOutputs_->repaint();

    objDOS_ = std::make_unique<DOSOutputs>();
    objDOS_->showError = showError;
    connect(objDOS_.get(), &DOSOutputs::ReceiveOutputs, this, &Form1::appendOutput);
    objDOS_->SetCommandLine(command);
    objDOS_->ExecuteCommand();
    objDOS_.reset();

    setStatus(QStringLiteral("End of process !"));
    Archivo_->setEnabled(true);
    wav_->setEnabled(true);

    if (closeRequested_)
        QTimer::singleShot(0, this, &QWidget::close);
}

void Form1::appendOutput(const QString& chunk)
{
    QString text = chunk;
    text.remove(u'\r');  // a line break is "\n" in the pane
    QTextCursor cursor(txtOutputs_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    emit outputAppended(chunk);
}

void Form1::playWav()
{
    const QString f = Text3_->text();
    if (FileExists(f)) {
        setStatus(QStringLiteral("Playing ") + f);
        StatusBar1_->repaint();
        openDocument(f);
        setStatus(QString());
    } else {
        setStatus(f + QStringLiteral(" doesn't exist !"));
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A run cannot be cancelled; the window closes when it is over.
    if (objDOS_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

}  // namespace cassonic
