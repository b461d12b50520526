#pragma once
// Form1: the front-end's only window.  Its controls hold the settings of an
// encoder run; the rules of core/rules.h keep them consistent.  "Make WAV"
// runs the encoder, shows its output as it arrives, then the tape's
// timeline; "PLAY" plays the WAV with a cursor on that timeline.

#include "core/rules.h"
#include "core/timeline.h"

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSettings;
class QTimer;

namespace cassonic {

class DOSOutputs;
class FileListView;
class StatusLine;
class TapePlayback;
class TimelineView;
struct RunResult;
enum class FileKind;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    // Options, last folder and window geometry are read from `settings` and
    // written back when the window closes; without one, the user's settings
    // of the application are used.
    explicit Form1(QWidget* parent = nullptr, QSettings* settings = nullptr);
    ~Form1() override;

    // The settings as the controls hold them, and writing them back.
    FormState state() const;
    void setState(const FormState& s);

    QString startDirectory() const { return startDirectory_; }
    bool isRunning() const { return objDOS_ != nullptr; }
    bool isPlaying() const;
    std::optional<Timeline> timeline() const;

    // Desktop services, replaceable (the tests put their own in).
    // The files chosen in the open dialog, starting in `folder`; empty when
    // cancelled.
    std::function<QStringList(QWidget* parent, const QString& folder)> chooseFiles;
    // The WAV name chosen in the save dialog, starting at `suggested`
    // (which the dialog has confirmed replacing); empty when cancelled.
    std::function<QString(QWidget* parent, const QString& suggested)> chooseOutput;
    // Whether an existing WAV may be replaced.
    std::function<bool(const QString& path)> confirmReplace;
    std::function<void(const QString& message)> showError;
    // Opens a document with the desktop's player; reports a failure, maybe
    // later, through the callback.
    std::function<void(const QString& path, const std::function<void(const QString&)>& failed)> openDocument;
    // Makes the in-window player, when PLAY first needs one.
    std::function<std::unique_ptr<TapePlayback>()> makePlayback;
    // The encoder to run; empty means looking for it (FindEncoder).
    QString encoderProgram;

    // The menu commands and buttons.
    void addFiles();
    void emptyList();
    void makeWav();
    void playWav();
    void stop();
    void openInPlayer();
    void saveAs();

    // Files named outside the dialog (command line, drop): folders and
    // missing files are refused with a message.
    void addPaths(const QStringList& paths);

    // The smallest client area below the menu bar, in pixels: the window's
    // size before it could be resized.
    static constexpr int kClientWidth = 7335 / 15;
    static constexpr int kClientHeight = 7875 / 15;

signals:
    // Emitted for every piece of output shown in the pane during a run.
    void outputAppended(const QString& chunk);
    // A run is over, its outcome in the status line.
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    QWidget* buildOptions(QWidget* parent);
    void addTooltips();
    void connectRules();
    // Reads the controls, applies `rule` and writes the result back.
    void apply(const std::function<void(FormState&)>& rule);
    void setStatus(const QString& text, bool failed = false);
    void appendOutput(const QString& text);
    void onRunFinished(const RunResult& result);
    bool handleListKey(int key, Qt::KeyboardModifiers modifiers);
    void refreshRowHints(bool announce);
    QString resolved(const QString& name) const;
    QString findEncoder(QString* problem) const;
    void updateCommands();
    void updatePlayback();
    void stopPlayback();
    void loadSettings();
    void saveSettings();

    QAction* Archivo_ = nullptr;
    QAction* emptyList_ = nullptr;
    QAction* wav_ = nullptr;
    QAction* playWAV_ = nullptr;
    QAction* stop_ = nullptr;

    FileListView* ListView1_ = nullptr;
    QLineEdit* Text3_ = nullptr;
    QPushButton* saveAs_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QCheckBox* Check1_ = nullptr;
    QButtonGroup* Option1_ = nullptr;
    QButtonGroup* Option2_ = nullptr;
    QCheckBox* Check3_ = nullptr;
    QLineEdit* Text2_ = nullptr;
    QButtonGroup* Option3_ = nullptr;
    QComboBox* Combo1_[2] = {nullptr, nullptr};
    TimelineView* tape_ = nullptr;
    QPushButton* openInPlayer_ = nullptr;
    StatusLine* StatusBar1_ = nullptr;
    QPlainTextEdit* txtOutputs_ = nullptr;

    // What the user chose last, kept past rules that override it.
    int loaderWanted_ = AttachLoader;
    int compressionWanted_ = Compressed;
    bool outputChosen_ = false;

    QString startDirectory_;
    QSettings* settings_ = nullptr;
    std::unique_ptr<QSettings> ownSettings_;
    QString lastFolder_;

    // The run in progress.
    std::unique_ptr<DOSOutputs> objDOS_;
    std::unique_ptr<class TimelineFilter> filter_;
    QString runWav_;        // the output, absolute
    QString runWavName_;    // as the user named it
    QDateTime runStart_;
    bool closeRequested_ = false;

    // WAVs made in this session or that the user agreed to replace.
    QSet<QString> replaceable_;
    // The timeline of the WAV made last, and that WAV as it was then.
    QString timelineWav_;
    QDateTime timelineWavTime_;
    // The kinds of the listed files, by path.
    QHash<QString, FileKind> kinds_;
    QString lastHint_;

    std::unique_ptr<TapePlayback> player_;
    QTimer* playTimer_ = nullptr;
    QString playingWav_;
};

}  // namespace cassonic
