#include "core/file_kinds.h"

#include <QFile>
#include <QFileInfo>

namespace cassonic {

FileKind DetectFileKind(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return FileKind::Folder;
    if (!info.exists())
        return FileKind::Missing;
    const QString suffix = info.suffix().toLower();
    if (suffix == QStringLiteral("cas"))
        return FileKind::Cas;
    if (suffix == QStringLiteral("dsk"))
        return FileKind::Dsk;

    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(2);
    if (head.startsWith('\xFE'))
        return FileKind::Bin;
    if (head.startsWith('\xFF'))
        return FileKind::Basic;
    if (head == "AB")
        return FileKind::Rom;
    if (path.endsWith(QStringLiteral(".COM"), Qt::CaseInsensitive))
        return FileKind::Com;
    return FileKind::Unknown;
}

QString FileKindProblem(FileKind kind, const QString& name, const FormState& s)
{
    const bool dos = s.compression != NotCompressed && s.dos != DosOff;
    switch (kind) {
    case FileKind::Missing:
        return QStringLiteral("%1 was not found.").arg(name);
    case FileKind::Folder:
        return QStringLiteral("%1 is a folder, not a file.").arg(name);
    default:
        break;
    }
    // The turbo mode takes BIN files, BASIC programs, ROM images and COM
    // programs (whether they fit in memory tapecast checks), and in DOS mode
    // what the other modes take there.  Its tapes carry their loader, but
    // for "Files only", which has none.
    if (s.compression == Turbo && s.loader != AttachLoader && s.dos != DosFilesOnly)
        return QStringLiteral("Turbo tapes always carry their loader: choose \"Attach builtin loader\".");
    if (s.compression == Turbo && s.dos == DosOff && kind != FileKind::Bin && kind != FileKind::Basic
        && kind != FileKind::Rom && kind != FileKind::Com)
        return QStringLiteral("%1: Turbo takes BIN, BASIC, ROM and COM files only for now. Choose Compressed or "
                              "Experimental.")
            .arg(name);
    switch (kind) {
    case FileKind::Missing:
    case FileKind::Folder:
        return {};
    case FileKind::Dsk:
        if (!dos)
            return QStringLiteral("%1 is a disk image: it goes on tape in DOS mode only "
                                  "(\"Files only\" or \"RAMdisk\", with compression).")
                .arg(name);
        return {};
    case FileKind::Rom:
    case FileKind::Com:
        if (s.compression == NotCompressed)
            return QStringLiteral("%1 is a %2: \"Not compressed\" takes BIN, BASIC and CAS files "
                                  "only. Choose Compressed or Experimental.")
                .arg(name, kind == FileKind::Rom ? QStringLiteral("ROM image") : QStringLiteral("COM program"));
        return {};
    case FileKind::Unknown:
        if (!dos)
            return QStringLiteral("%1 is not a file tapecast knows (BIN, BASIC, ROM, COM, CAS or DSK); "
                                  "in DOS mode it goes on tape as it is.")
                .arg(name);
        return {};
    case FileKind::Bin:
    case FileKind::Basic:
    case FileKind::Cas:
        return {};
    }
    return {};
}

}  // namespace cassonic
