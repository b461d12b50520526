#include "core/encoder_command.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace cassonic {

QStringList BuildEncoderArguments(const FormState& s)
{
    QStringList args;
    args << (s.cdMode ? QStringLiteral("-cd") : s.baudRate);
    args << QStringLiteral("-o") << s.outputName;
    if (s.compression == Compressed)
        args << QStringLiteral("-c");
    else if (s.compression == Experimental)
        args << QStringLiteral("-xp");
    else if (s.compression == Turbo)
        args << QStringLiteral("-turbo");
    if (!s.patch)
        args << QStringLiteral("-nofix");
    args << QStringLiteral("-p") << PauseForRun(s.pause);
    if (s.dos == DosFilesOnly)
        args << QStringLiteral("-dos");
    if (s.loader != AttachLoader && s.compression != Turbo)  // a turbo DOS tape has no loader anyway
        args << QStringLiteral("-noldr");
    args << QStringLiteral("-timeline");
    // The sizes are the lists' indexes: VRAM pages of 16K, RAM pages less one.
    if (s.dos == DosRamDisk)
        args << QStringLiteral("RAMDOS.%1%2").arg(s.vram).arg(s.ram + 1);
    for (const FileRow& r : s.files) {
        args << (r.name.startsWith(u'-') ? QStringLiteral("./") + r.name : r.name);
        if (r.run == kRunNo)
            args << QStringLiteral("-n");
    }
    return args;
}

namespace {

QString shellWord(const QString& word)
{
    static const QString plain = QStringLiteral("_@%+=:,./-");
    const bool safe = !word.isEmpty() && std::all_of(word.cbegin(), word.cend(), [](QChar c) {
        return (c.isLetterOrNumber() && c.unicode() < 128) || plain.contains(c);
    });
    if (safe)
        return word;
    QString quoted = word;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

}  // namespace

QString DisplayCommandLine(const QString& program, const QStringList& arguments)
{
    QStringList words{shellWord(program)};
    for (const QString& a : arguments)
        words << shellWord(a);
    return words.join(u' ');
}

EncoderSearch FindEncoder(const QString& name, const QString& ownFolder, const QString& installFolder,
                          const QString& pathVariable)
{
    QStringList folders{ownFolder, installFolder};
    for (const QString& entry : pathVariable.split(u':'))
        folders << (entry.isEmpty() ? QStringLiteral(".") : entry);

    EncoderSearch search;
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        const QString clean = QDir::cleanPath(folder);
        if (search.lookedIn.contains(clean))
            continue;
        search.lookedIn << clean;
        const QFileInfo candidate(QDir(clean).filePath(name));
        if (candidate.isFile() && candidate.isExecutable()) {
            search.path = candidate.absoluteFilePath();
            break;
        }
    }
    return search;
}

QString EncoderNotFoundMessage(const QString& name, const EncoderSearch& search)
{
    return QStringLiteral("The encoder %1 was not found. CassonicRunner looked beside itself, in its "
                          "install folder and on the PATH: %2. Install %1 in one of these folders.")
        .arg(name, search.lookedIn.join(QStringLiteral(", ")));
}

}  // namespace cassonic
