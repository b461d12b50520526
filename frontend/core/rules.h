#pragma once
// The window's settings as plain values, and the rules that keep them
// consistent.  Every operation here works on a FormState alone, so the
// window only has to read its controls into one, apply a rule and write the
// result back.

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <Qt>

namespace cassonic {

inline const QString kDefaultOutputName = QStringLiteral("out.wav");
inline const QString kIllegalBaudRate = QStringLiteral("Illegal baud rate (should be >0 and <6000)");
inline const QString kRunYes = QStringLiteral("Yes");
inline const QString kRunNo = QStringLiteral("No");

// Member numbers of the option groups.
enum Compression { NotCompressed = 0, Compressed = 1, Experimental = 2 };
enum Loader { NoLoader = 0, AttachLoader = 2 };
enum DosMode { DosOff = 0, DosFilesOnly = 1, DosRamDisk = 2 };

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
    int loader = AttachLoader;       // Option2
    bool attachLoaderEnabled = true; // Option2 member 2
    bool patch = true;               // Check3 "Patch"
    QString pause = QStringLiteral("1000");  // Text2
    int dos = DosOff;                // Option3
    QString vram = QStringLiteral("112K VRAM");  // Combo1 member 0
    QString ram = QStringLiteral("48K RAM");     // Combo1 member 1
    bool ramDiskSizesEnabled = false;
    QString outputName = kDefaultOutputName;  // Text3
    QList<FileRow> files;            // ListView1, row 1 first
    bool addFilesEnabled = true;     // menu "Add file(s)"
    bool makeWavEnabled = true;      // menu "Make WAV"
    QString status;                  // the status line
    bool operator==(const FormState&) const = default;
};

// --- Options ---------------------------------------------------------------

// Allows "Attach  builtin loader" only in CD mode, with compression and
// without "Files only"; otherwise selects "No loader" (with its click
// behaviour) and disables the attach choice.  Returns whether it is allowed.
bool ApplyLoaderRule(FormState& s);

// Writes the fixed CD rate of the selected compression mode into the baud
// rate field (which validates it).
void SetCDBaudRate(FormState& s);

// Runs on every change of the baud-rate text: an empty text changes nothing;
// a legal one (digits only, 1 to 5999) clears the status line; anything else
// empties the field and shows kIllegalBaudRate.
void ValidateBaudRate(FormState& s);
bool IsLegalBaudRate(const QString& text);

// Enables "Make WAV" exactly when the list has rows or the loader is attached.
void UpdateMakeWavMenu(FormState& s);

// Click behaviours; `cdMode`, `compression`, `loader` and `dos` already hold
// the new value.
void ClickCDMode(FormState& s);
void ClickCompression(FormState& s);
void ClickLoader(FormState& s);
void ClickDos(FormState& s);

// --- Output name -----------------------------------------------------------

// Replaces the extension of the last path component by ".wav" (or appends
// it).  Both '\' and '/' end a path component; the first character is never
// taken as the start of an extension.
QString ForceWavExtension(const QString& name);
void ForceWavExtension(FormState& s);
void ResetOutputName(FormState& s);

// --- File list -------------------------------------------------------------

// Exchanges name and run flag of rows k and k + 1 (rows count from 1); the
// selection marks stay with the rows.
void SwapListItems(QList<FileRow>& rows, int k);

enum class ListKey { Delete, Up, Down, Other };

// A key pressed on the list.  `modifiers` tells whether Shift, Ctrl or Alt
// was held.  Delete removes the selected rows, Up and Down move a single
// selected row; then an emptied list resets the output name and "Make WAV"
// follows the list.
void ApplyListKey(FormState& s, ListKey key, bool modifiers);

// Double click: flips the run flag of every selected row.
void FlipRunFlags(FormState& s);

// Files chosen in the open dialog; the output name follows the first one.
// An empty list (a cancelled dialog) changes nothing.
void AddChosenFiles(FormState& s, const QStringList& paths);

// Files dropped on the list: rows only, nothing else changes.
void AddDroppedFiles(FormState& s, const QStringList& paths);

// Whether a drop is taken: it must carry local files and let them be copied.
bool AcceptsFileDrop(Qt::DropActions offered, bool hasLocalFiles);

// "Empty list".
void EmptyList(FormState& s);

// --- Encoder command -------------------------------------------------------

// "tapecast.exe" on Windows, "tapecast" elsewhere.
QString EncoderProgramName();

// The number at the start of a RAM-disk size text divided by 16, in its
// shortest decimal form ("112K VRAM" gives "7", "No VRAM" gives "0",
// "20K" gives "1.25" with the system's decimal separator).
QString RamDiskDigit(const QString& sizeText, const QLocale& locale = QLocale::system());

// The encoder's command line for the settings and files of `s`.
QString BuildEncoderCommand(const FormState& s, const QString& program = EncoderProgramName());

}  // namespace cassonic
