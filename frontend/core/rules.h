#pragma once
// The window's settings as plain values, and the rules that keep them
// consistent.  Every operation here works on a FormState alone, so the
// window only has to read its controls into one, apply a rule and write the
// result back.

#include <QList>
#include <QString>
#include <QStringList>
#include <Qt>

#include <functional>

namespace cassonic {

inline const QString kDefaultOutputName = QStringLiteral("out.wav");
inline const QString kDefaultPause = QStringLiteral("1000");
inline const QString kIllegalBaudRate = QStringLiteral("Illegal baud rate (should be >0 and <6000)");
inline const QString kRunYes = QStringLiteral("Yes");
inline const QString kRunNo = QStringLiteral("No");

// The longest pause the window takes, in milliseconds.
constexpr int kMaxPause = 99999;

// Member numbers of the option groups.
enum Compression { NotCompressed = 0, Compressed = 1, Experimental = 2, Turbo = 3 };
enum Loader { NoLoader = 0, AttachLoader = 2 };
enum DosMode { DosOff = 0, DosFilesOnly = 1, DosRamDisk = 2 };

// The RAM disk's sizes, as the two lists offer them: the VRAM list's index
// is its number of 16K pages, the RAM list's index one less than its pages.
inline const QStringList kVramSizes = {
    QStringLiteral("No VRAM"),  QStringLiteral("16K VRAM"), QStringLiteral("32K VRAM"),
    QStringLiteral("48K VRAM"), QStringLiteral("64K VRAM"), QStringLiteral("80K VRAM"),
    QStringLiteral("96K VRAM"), QStringLiteral("112K VRAM")};
inline const QStringList kRamSizes = {QStringLiteral("16K RAM"), QStringLiteral("32K RAM"),
                                      QStringLiteral("48K RAM")};

struct FileRow {
    QString name;          // column "File name": the path as delivered
    QString run = kRunYes; // column "Run": "Yes" or "No"
    bool selected = false;
    bool operator==(const FileRow&) const = default;
};

// One field per control state that a rule reads or writes.
struct FormState {
    bool cdMode = true;              // Check1 "CD mode"
    QString baudRate = QStringLiteral("3675");  // Text1
    bool baudRateEnabled = false;
    int compression = Compressed;    // Option1
    bool turboEnabled = true;        // Option1 member 3, CD mode only
    int loader = AttachLoader;       // Option2
    bool attachLoaderEnabled = true; // Option2 member 2
    bool patch = true;               // Check3 "Patch"
    QString pause = kDefaultPause;   // Text2
    int dos = DosOff;                // Option3
    int vram = 7;                    // Combo1 member 0, index in kVramSizes
    int ram = 2;                     // Combo1 member 1, index in kRamSizes
    bool ramDiskSizesEnabled = false;
    QString outputName = kDefaultOutputName;  // Text3
    QList<FileRow> files;            // ListView1, row 1 first
    bool addFilesEnabled = true;     // menu "Add file(s)"
    bool makeWavEnabled = true;      // menu "Make WAV"
    QString status;                  // the status line
    bool statusIsError = false;      // shown marked as a failure

    // What the user chose last, which a rule may have overridden for the
    // time being: the loader comes back when it is allowed again, Turbo
    // when CD mode is ticked again.
    int loaderWanted = AttachLoader;
    int compressionWanted = Compressed;
    // The output name was typed or picked by the user (not derived from a
    // file), so adding files leaves it alone.
    bool outputChosen = false;
    // An encoder run is in progress.
    bool running = false;

    bool operator==(const FormState&) const = default;
};

// --- Options ---------------------------------------------------------------

// Allows "Attach  builtin loader" only in CD mode, with compression and
// without "Files only"; otherwise selects "No loader" and disables the
// attach choice.  When it is allowed again and the user had chosen it, it is
// selected again.  Returns whether it is allowed.
bool ApplyLoaderRule(FormState& s);

// "Turbo" exists in CD mode only: outside it "Compressed" stands in, and
// ticking CD mode again brings Turbo back if the user had chosen it.
void ApplyTurboRule(FormState& s);

// Writes the fixed CD rate of the selected compression mode into the baud
// rate field (which validates it).  Turbo's rate is the encoder's own: the
// field is left empty.
void SetCDBaudRate(FormState& s);

// Runs on every change of the baud-rate text: an empty text changes nothing;
// a legal one (digits only, 1 to 5999) clears the status line; anything else
// empties the field and shows kIllegalBaudRate.
void ValidateBaudRate(FormState& s);
bool IsLegalBaudRate(const QString& text);

// Whole milliseconds from 0 to kMaxPause, digits only.
bool IsLegalPause(const QString& text);
// The pause the encoder gets: an empty field restores the default.
QString PauseForRun(const QString& text);
// Leaving the pause field: empty or illegal text becomes the default.
void FinishPauseEdit(FormState& s);

// Enables "Make WAV" exactly when no run is going on, the list has rows or
// the loader is attached, and the baud rate is legal where it is used.
void UpdateMakeWavMenu(FormState& s);

// Click behaviours; `cdMode`, `compression`, `loader` and `dos` already hold
// the new value.
void ClickCDMode(FormState& s);
void ClickCompression(FormState& s);
void ClickLoader(FormState& s);
void ClickDos(FormState& s);

// Runs every rule once, for settings that come from elsewhere (a previous
// session): out-of-range values fall back to the defaults and the enabled
// states follow the choices.
void ApplyAllRules(FormState& s);

// --- Output name -----------------------------------------------------------

// Replaces the extension of the last path component by ".wav" (or appends
// it).  Both '\' and '/' end a path component; the first character is never
// taken as the start of an extension.
QString ForceWavExtension(const QString& name);
void ForceWavExtension(FormState& s);

// Whether files can be created in a folder.
using FolderCheck = std::function<bool(const QString& folder)>;
bool IsWritableFolder(const QString& folder);

// The WAV name that goes with `file`: its name with ".wav", in its folder
// when that can be written, else in `home`.
QString DefaultOutputName(const QString& file, const QString& home,
                          const FolderCheck& writable = IsWritableFolder);

// "out.wav", which the run creates in the start folder.
void ResetOutputName(FormState& s);

// The user typed a name or picked one with "Save as…".
void ChooseOutputName(FormState& s, const QString& name);

// --- File list -------------------------------------------------------------

// Exchanges name and run flag of rows k and k + 1 (rows count from 1); the
// selection marks stay with the rows.
void SwapListItems(QList<FileRow>& rows, int k);

enum class ListKey { Delete, Up, Down, Other };

// A key pressed on the list.  Delete removes the selected rows; Ctrl+Up and
// Ctrl+Down (no other modifier) move the selected rows one place, as a
// block that stops at the ends; plain Up and Down only move the selection,
// which the list does itself.  Then an emptied list resets the output name
// and "Make WAV" follows the list.
void ApplyListKey(FormState& s, ListKey key, Qt::KeyboardModifiers modifiers);

// Double click: flips the run flag of every selected row.
void FlipRunFlags(FormState& s);

// Files added through the dialog, a drop or the command line, in order.
// Unless the user chose the output name, it follows the first of them
// (DefaultOutputName).  "Make WAV" follows the list.  An empty list (a
// cancelled dialog) changes nothing.
void AddFiles(FormState& s, const QStringList& paths, const QString& home,
              const FolderCheck& writable = IsWritableFolder);

// Splits paths into the files that can go into the list and a message that
// names the rest (folders, missing paths); the message is empty when all
// are files.  Relative paths are made absolute against `base`.
QStringList FilesToAdd(const QStringList& paths, const QString& base, QString* refused);

// Whether a drop is taken: it must carry local files and let them be copied.
bool AcceptsFileDrop(Qt::DropActions offered, bool hasLocalFiles);

// "Empty list": no rows, the default output name, "Make WAV" follows.
void EmptyList(FormState& s);

}  // namespace cassonic
