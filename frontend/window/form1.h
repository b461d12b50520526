#pragma once
// Form1: the front-end's only window.  Its controls hold the settings of an
// encoder run; the rules of core/rules.h keep them consistent.  "Make WAV"
// runs the encoder and shows its output as it arrives.

#include "core/rules.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace cassonic {

class DOSOutputs;
class FileListView;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The settings as the controls hold them, and writing them back.
    FormState state() const;
    void setState(const FormState& s);

    QString startDirectory() const { return startDirectory_; }
    bool isRunning() const { return objDOS_ != nullptr; }

    // Desktop services, replaceable (the tests put their own in).
    std::function<QStringList(QWidget* parent)> chooseFiles;  // empty when cancelled
    std::function<void(const QString& message)> showError;
    std::function<bool(const QString& path)> openDocument;
    // The program name that starts the command line.
    QString encoderProgram;

    // The menu commands.
    void addFiles();
    void emptyList();
    void makeWav();
    void playWav();

    // The size of the client area below the menu bar, in pixels.
    static constexpr int kClientWidth = 7335 / 15;
    static constexpr int kClientHeight = 7875 / 15;

signals:
    // Emitted for every piece of output shown in the pane during a run.
    void outputAppended(const QString& chunk);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectRules();
    // Reads the controls, applies `rule` and writes the result back.
    void apply(const std::function<void(FormState&)>& rule);
    void setStatus(const QString& text);
    void appendOutput(const QString& chunk);

    QAction* Archivo_ = nullptr;
    QAction* emptyList_ = nullptr;
    QAction* wav_ = nullptr;
    QAction* playWAV_ = nullptr;

    FileListView* ListView1_ = nullptr;
    QLineEdit* Text3_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QCheckBox* Check1_ = nullptr;
    QButtonGroup* Option1_ = nullptr;
    QButtonGroup* Option2_ = nullptr;
    QCheckBox* Check3_ = nullptr;
    QLineEdit* Text2_ = nullptr;
    QButtonGroup* Option3_ = nullptr;
    QComboBox* Combo1_[2] = {nullptr, nullptr};
    QLabel* StatusBar1_ = nullptr;
    QPlainTextEdit* txtOutputs_ = nullptr;

    QString startDirectory_;
    std::unique_ptr<DOSOutputs> objDOS_;
    bool closeRequested_ = false;
};

}  // namespace cassonic
