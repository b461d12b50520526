#include "core/rules.h"

#include <algorithm>

namespace cassonic {

// --- Options ---------------------------------------------------------------

bool ApplyLoaderRule(FormState& s)
{
    const bool allowed = s.cdMode && s.compression != NotCompressed && s.dos != DosFilesOnly;
    if (allowed) {
        s.attachLoaderEnabled = true;
        return true;
    }
    s.loader = NoLoader;
    ClickLoader(s);
    s.attachLoaderEnabled = false;
    return false;
}

void SetCDBaudRate(FormState& s)
{
    switch (s.compression) {
    case NotCompressed: s.baudRate = QStringLiteral("2205"); break;
    case Compressed: s.baudRate = QStringLiteral("3675"); break;
    case Experimental: s.baudRate = QStringLiteral("5512"); break;
    default: return;
    }
    ValidateBaudRate(s);
}

bool IsLegalBaudRate(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    // Leading zeros are allowed; what is left must be a number below 6000.
    qsizetype first = 0;
    while (first < text.size() && text[first] == u'0')
        ++first;
    const QString digits = text.mid(first);
    return !digits.isEmpty() && digits.size() <= 4 && digits.toInt() < 6000;
}

void ValidateBaudRate(FormState& s)
{
    if (s.baudRate.isEmpty())
        return;
    if (IsLegalBaudRate(s.baudRate)) {
        s.status.clear();
    } else {
        s.baudRate.clear();
        s.status = kIllegalBaudRate;
    }
}

void UpdateMakeWavMenu(FormState& s)
{
    s.makeWavEnabled = !s.files.isEmpty() || s.loader == AttachLoader;
}

void ClickCDMode(FormState& s)
{
    s.baudRateEnabled = !s.cdMode;
    if (ApplyLoaderRule(s))
        SetCDBaudRate(s);
}

void ClickCompression(FormState& s)
{
    ApplyLoaderRule(s);
    if (s.cdMode)
        SetCDBaudRate(s);
}

void ClickLoader(FormState& s) { UpdateMakeWavMenu(s); }

void ClickDos(FormState& s)
{
    s.ramDiskSizesEnabled = s.dos == DosRamDisk;
    ApplyLoaderRule(s);
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

void ResetOutputName(FormState& s) { s.outputName = kDefaultOutputName; }

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

void ApplyListKey(FormState& s, ListKey key, bool modifiers)
{
    const auto selected = std::count_if(s.files.cbegin(), s.files.cend(),
                                        [](const FileRow& r) { return r.selected; });
    for (int i = int(s.files.size()); i >= 1; --i) {
        if (i > s.files.size() || !s.files[i - 1].selected)
            continue;
        if (key == ListKey::Delete)
            s.files.removeAt(i - 1);
        else if (key == ListKey::Down && !modifiers && selected == 1 && i != s.files.size())
            SwapListItems(s.files, i);
        else if (key == ListKey::Up && !modifiers && selected == 1 && i != 1)
            SwapListItems(s.files, i - 1);
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

void AddChosenFiles(FormState& s, const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    for (const QString& p : paths)
        s.files.append(FileRow{p});
    s.outputName = paths.first();
    ForceWavExtension(s);
    s.makeWavEnabled = true;
}

void AddDroppedFiles(FormState& s, const QStringList& paths)
{
    for (const QString& p : paths)
        s.files.append(FileRow{p});
}

bool AcceptsFileDrop(Qt::DropActions offered, bool hasLocalFiles)
{
    return hasLocalFiles && offered.testFlag(Qt::CopyAction);
}

void EmptyList(FormState& s)
{
    s.files.clear();
    ResetOutputName(s);
}

// --- Encoder command -------------------------------------------------------

QString EncoderProgramName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("tapecast.exe");
#else
    return QStringLiteral("tapecast");
#endif
}

QString RamDiskDigit(const QString& sizeText, const QLocale& locale)
{
    // A leading decimal number: blanks, an optional sign, digits and an
    // optional fraction; no number at the start reads as 0.
    qsizetype i = 0;
    const qsizetype n = sizeText.size();
    while (i < n && (sizeText[i] == u' ' || sizeText[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (sizeText[i] == u'+' || sizeText[i] == u'-'))
        ++i;
    while (i < n && sizeText[i] >= u'0' && sizeText[i] <= u'9')
        ++i;
    if (i < n && sizeText[i] == u'.') {
        ++i;
        while (i < n && sizeText[i] >= u'0' && sizeText[i] <= u'9')
            ++i;
    }
    bool ok = false;
    double value = sizeText.mid(start, i - start).toDouble(&ok);
    if (!ok)
        value = 0;
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    // Adding 0.0 turns a negative zero into a plain 0.
    return plain.toString(value / 16 + 0.0, 'g', QLocale::FloatingPointShortest);
}

QString BuildEncoderCommand(const FormState& s, const QString& program)
{
    const QChar quote = u'"';
    QString cmd = program;
    if (s.cdMode)
        cmd += QStringLiteral(" -cd");
    else
        cmd += u' ' + s.baudRate;
    cmd += QStringLiteral(" -o ") + quote + s.outputName + quote;
    if (s.compression == Compressed)
        cmd += QStringLiteral(" -c");
    if (s.compression == Experimental)
        cmd += QStringLiteral(" -xp");
    if (!s.patch)
        cmd += QStringLiteral(" -nofix");
    cmd += QStringLiteral(" -p ") + s.pause;
    if (s.dos == DosFilesOnly)
        cmd += QStringLiteral(" -dos");
    if (s.loader != AttachLoader)
        cmd += QStringLiteral(" -noldr");
    if (s.dos == DosRamDisk)
        cmd += QStringLiteral(" RAMDOS.") + RamDiskDigit(s.vram) + RamDiskDigit(s.ram);
    for (const FileRow& r : s.files) {
        cmd += u' ' + quote + r.name + quote;
        if (r.run == kRunNo)
            cmd += QStringLiteral(" -n");
    }
    return cmd;
}

}  // namespace cassonic
