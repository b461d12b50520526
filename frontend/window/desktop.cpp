#include "window/desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#include <sys/stat.h>

// The icons live in a resource of this static library; it has to be
// registered before first use.
static void initFrontendResources() { Q_INIT_RESOURCE(frontend); }

namespace cassonic {

void SetApplicationMetadata()
{
    QCoreApplication::setApplicationName(kAppName);
    QCoreApplication::setOrganizationName(kOrganization);
    QCoreApplication::setApplicationVersion(kAppVersion);
    QGuiApplication::setDesktopFileName(kAppName);
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

void SetIcon(QWidget* window, const QString& iconResName, bool setAsAppIcon)
{
    initFrontendResources();
    // The sizes are files named NAME-SIZE.png.
    QIcon icon;
    const QString prefix = iconResName.toLower() + u'-';
    QDirIterator it(QStringLiteral(":/icons"));
    while (it.hasNext()) {
        const QString file = it.next();
        if (QFileInfo(file).fileName().startsWith(prefix))
            icon.addFile(file);
    }
    if (icon.isNull())
        return;  // no icon of its own; the desktop's default stays
    if (setAsAppIcon) {
        QWidget* owner = window;
        while (owner->parentWidget())
            owner = owner->parentWidget()->window();
        if (owner != window)
            owner->setWindowIcon(icon);
        QApplication::setWindowIcon(icon);
    }
    window->setWindowIcon(icon);
}

void OpenWithDesktop(const QString& path, QObject* context, const OpenFailure& failed)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(absolute)))
            failed(QStringLiteral("the desktop has no program for it"));
        return;
    }
    // xdg-open tells by its exit status whether a program took the file;
    // on some desktops it runs as long as the player does.
    auto* process = new QProcess(context);
    process->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            failed(QStringLiteral("xdg-open could not be started"));
            process->deleteLater();
        }
    });
    QObject::connect(process, &QProcess::finished, process, [process, failed](int code, QProcess::ExitStatus) {
        if (code != 0) {
            const QString said = QString::fromLocal8Bit(process->readAll()).simplified();
            failed(said.isEmpty() ? QStringLiteral("the desktop has no program for it (xdg-open status %1)").arg(code)
                                : said);
        }
        process->deleteLater();
    });
    process->start(opener, {absolute});
}

}  // namespace cassonic
