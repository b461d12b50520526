#include "core/rules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <unistd.h>

namespace cassonic {

// --- Options ---------------------------------------------------------------

bool ApplyLoaderRule(FormState& s)
{
    const bool allowed = s.cdMode && s.compression != NotCompressed && s.dos != DosFilesOnly;
    s.attachLoaderEnabled = allowed;
    if (!allowed)
        s.loader = NoLoader;
    else if (s.loaderWanted == AttachLoader)
        s.loader = AttachLoader;
    UpdateMakeWavMenu(s);
    return allowed;
}

void ApplyTurboRule(FormState& s)
{
    s.turboEnabled = s.cdMode;
    if (!s.cdMode && s.compression == Turbo)
        s.compression = Compressed;
    else if (s.cdMode && s.compressionWanted == Turbo)
        s.compression = Turbo;
}

void SetCDBaudRate(FormState& s)
{
    switch (s.compression) {
    case NotCompressed: s.baudRate = QStringLiteral("2205"); break;
    case Compressed: s.baudRate = QStringLiteral("3675"); break;
    case Experimental: s.baudRate = QStringLiteral("5512"); break;
    case Turbo: s.baudRate.clear(); return;
    default: return;
    }
    ValidateBaudRate(s);
}

namespace {

// Digits only, leading zeros allowed, and what is left no larger than `max`.
bool isNumberUpTo(const QString& text, int max, int min)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    qsizetype first = 0;
    while (first < text.size() && text[first] == u'0')
        ++first;
    const QString digits = text.mid(first);
    if (digits.size() > 9)
        return false;
    const int value = digits.isEmpty() ? 0 : digits.toInt();
    return value >= min && value <= max;
}

}  // namespace

bool IsLegalBaudRate(const QString& text) { return isNumberUpTo(text, 5999, 1); }

void ValidateBaudRate(FormState& s)
{
    if (s.baudRate.isEmpty()) {
        UpdateMakeWavMenu(s);
        return;
    }
    if (IsLegalBaudRate(s.baudRate)) {
        s.status.clear();
        s.statusIsError = false;
    } else {
        s.baudRate.clear();
        s.status = kIllegalBaudRate;
        s.statusIsError = true;
    }
    UpdateMakeWavMenu(s);
}

bool IsLegalPause(const QString& text) { return isNumberUpTo(text, kMaxPause, 0); }

QString PauseForRun(const QString& text) { return IsLegalPause(text) ? text : kDefaultPause; }

void FinishPauseEdit(FormState& s) { s.pause = PauseForRun(s.pause); }

void UpdateMakeWavMenu(FormState& s)
{
    const bool somethingToWrite = !s.files.isEmpty() || s.loader == AttachLoader;
    const bool rateKnown = s.cdMode || IsLegalBaudRate(s.baudRate);
    s.makeWavEnabled = !s.running && somethingToWrite && rateKnown;
}

void ClickCDMode(FormState& s)
{
    s.baudRateEnabled = !s.cdMode;
    ApplyTurboRule(s);
    if (ApplyLoaderRule(s)) {
        SetCDBaudRate(s);
    } else if (!s.cdMode && s.baudRate.isEmpty()) {
        // Turbo left no rate in the field; start from the CD rate of the
        // mode that stands in for it.
        SetCDBaudRate(s);
    }
    UpdateMakeWavMenu(s);
}

void ClickCompression(FormState& s)
{
    s.compressionWanted = s.compression;
    ApplyLoaderRule(s);
    if (s.cdMode)
        SetCDBaudRate(s);
}

void ClickLoader(FormState& s)
{
    s.loaderWanted = s.loader;
    UpdateMakeWavMenu(s);
}

void ClickDos(FormState& s)
{
    s.ramDiskSizesEnabled = s.dos == DosRamDisk;
    ApplyLoaderRule(s);
}

void ApplyAllRules(FormState& s)
{
    const FormState defaults;
    if (s.compressionWanted < NotCompressed || s.compressionWanted > Turbo)
        s.compressionWanted = defaults.compressionWanted;
    if (s.loaderWanted != NoLoader && s.loaderWanted != AttachLoader)
        s.loaderWanted = defaults.loaderWanted;
    if (s.dos < DosOff || s.dos > DosRamDisk)
        s.dos = defaults.dos;
    if (s.vram < 0 || s.vram >= kVramSizes.size())
        s.vram = defaults.vram;
    if (s.ram < 0 || s.ram >= kRamSizes.size())
        s.ram = defaults.ram;
    if (!IsLegalBaudRate(s.baudRate))
        s.baudRate = defaults.baudRate;
    s.pause = PauseForRun(s.pause);

    s.compression = s.compressionWanted;
    s.loader = s.loaderWanted;
    s.baudRateEnabled = !s.cdMode;
    s.ramDiskSizesEnabled = s.dos == DosRamDisk;
    ApplyTurboRule(s);
    if (ApplyLoaderRule(s) || s.cdMode)
        SetCDBaudRate(s);
    if (!s.cdMode && s.baudRate.isEmpty())
        s.baudRate = defaults.baudRate;
    UpdateMakeWavMenu(s);
}

// --- Output name -----------------------------------------------------------

QString ForceWavExtension(const QString& name)
{
    QString t = name;
    for (qsizetype p = t.size() - 1; p >= 1; --p) {
        const QChar c = t[p];
        if (c == u'\\' || c == u'/')
            break;
        if (c == u'.') {
            t.truncate(p);
            break;
        }
    }
    return t + QStringLiteral(".wav");
}

void ForceWavExtension(FormState& s) { s.outputName = ForceWavExtension(s.outputName); }

bool IsWritableFolder(const QString& folder)
{
    // access() also knows read-only mounts and the user's groups.
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

QString DefaultOutputName(const QString& file, const QString& home, const FolderCheck& writable)
{
    const QFileInfo info(file);
    const QString wavName = ForceWavExtension(info.fileName());
    const QString folder = info.absolutePath();
    return QDir(writable(folder) ? folder : home).filePath(wavName);
}

void ResetOutputName(FormState& s)
{
    s.outputName = kDefaultOutputName;
    s.outputChosen = false;
}

void ChooseOutputName(FormState& s, const QString& name)
{
    s.outputName = name;
    s.outputChosen = true;
}

// --- File list -------------------------------------------------------------

void SwapListItems(QList<FileRow>& rows, int k)
{
    if (k < 1 || k >= rows.size())
        return;
    FileRow& a = rows[k - 1];
    FileRow& b = rows[k];
    std::swap(a.name, b.name);
    std::swap(a.run, b.run);
}

namespace {

// Moves every selected row one place up (or down), the selection with it;
// a block of selected rows that touches the end stays where it is.
void moveSelected(QList<FileRow>& rows, bool up)
{
    const qsizetype n = rows.size();
    auto step = [&](qsizetype i, qsizetype other) {
        if (rows[i].selected && !rows[other].selected)
            std::swap(rows[i], rows[other]);
    };
    if (up) {
        if (n > 0 && rows[0].selected)
            return;
        for (qsizetype i = 1; i < n; ++i)
            step(i, i - 1);
    } else {
        if (n > 0 && rows[n - 1].selected)
            return;
        for (qsizetype i = n - 2; i >= 0; --i)
            step(i, i + 1);
    }
}

}  // namespace

void ApplyListKey(FormState& s, ListKey key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrlOnly = (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier
                                        | Qt::MetaModifier))
                          == Qt::ControlModifier;
    if (key == ListKey::Delete) {
        s.files.removeIf([](const FileRow& r) { return r.selected; });
    } else if ((key == ListKey::Up || key == ListKey::Down) && ctrlOnly) {
        moveSelected(s.files, key == ListKey::Up);
    }
    if (s.files.isEmpty())
        ResetOutputName(s);
    UpdateMakeWavMenu(s);
}

void FlipRunFlags(FormState& s)
{
    for (qsizetype i = s.files.size() - 1; i >= 0; --i) {
        FileRow& r = s.files[i];
        if (r.selected)
            r.run = r.run == kRunYes ? kRunNo : kRunYes;
    }
}

void AddFiles(FormState& s, const QStringList& paths, const QString& home, const FolderCheck& writable)
{
    if (paths.isEmpty())
        return;
    for (const QString& p : paths)
        s.files.append(FileRow{p});
    if (!s.outputChosen)
        s.outputName = DefaultOutputName(paths.first(), home, writable);
    UpdateMakeWavMenu(s);
}

QStringList FilesToAdd(const QStringList& paths, const QString& base, QString* refused)
{
    QStringList files, folders, missing;
    for (const QString& p : paths) {
        const QFileInfo info(QDir(base), p);
        if (info.isDir())
            folders << QDir::toNativeSeparators(info.absoluteFilePath());
        else if (!info.exists())
            missing << QDir::toNativeSeparators(info.absoluteFilePath());
        else
            files << info.absoluteFilePath();
    }
    QStringList parts;
    if (!folders.isEmpty())
        parts << (folders.size() == 1 ? QStringLiteral("a folder: ") : QStringLiteral("folders: "))
                     + folders.join(QStringLiteral(", "));
    if (!missing.isEmpty())
        parts << QStringLiteral("not found: ") + missing.join(QStringLiteral(", "));
    if (refused)
        *refused = parts.isEmpty() ? QString() : QStringLiteral("Not added, ") + parts.join(QStringLiteral("; "));
    return files;
}

bool AcceptsFileDrop(Qt::DropActions offered, bool hasLocalFiles)
{
    return hasLocalFiles && offered.testFlag(Qt::CopyAction);
}

void EmptyList(FormState& s)
{
    s.files.clear();
    ResetOutputName(s);
    UpdateMakeWavMenu(s);
}

}  // namespace cassonic
