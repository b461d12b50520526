#include "window/desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QUrl>
#include <QWidget>

#include <sys/stat.h>

// The icon lives in a resource of this static library; it has to be
// registered before first use.
static void initFrontendResources() { Q_INIT_RESOURCE(frontend); }

namespace cassonic {

void SetApplicationMetadata()
{
    QCoreApplication::setApplicationName(kAppName);
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
    const QPixmap image(QStringLiteral(":/icons/") + iconResName.toLower() + QStringLiteral(".xpm"));
    if (image.isNull())
        return;  // no icon of its own; the desktop's default stays
    QIcon icon;
    icon.addPixmap(image.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    icon.addPixmap(image.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
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

bool OpenWithDesktop(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

}  // namespace cassonic
