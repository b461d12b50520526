#pragma once
// What the front-end asks of the desktop: its identity, its icon, whether a
// file exists, and opening a document with its associated program.

#include <QString>

class QWidget;

namespace cassonic {

inline const QString kAppName = QStringLiteral("CassonicRunner");
inline const QString kAppVersion = QStringLiteral("1.00");
inline const QString kAppDescription =
    QStringLiteral("Frontend to tapecast.exe - converter of MSX files to loadable WAV file");
inline const QString kWindowTitle = QStringLiteral("CassonicRunner for tapecast 0.91");

// Sets name, version and desktop entry of the running application.
void SetApplicationMetadata();

// True when the path's attributes can be read (a directory counts).
bool FileExists(const QString& path);

// Gives `window` the program's icon `iconResName` (matched without regard to
// case) at the large and the small size; with `setAsAppIcon` also the top of
// its owner chain and the application as a whole.
void SetIcon(QWidget* window, const QString& iconResName, bool setAsAppIcon);

// Opens `path` with the desktop's associated program; returns at once.
bool OpenWithDesktop(const QString& path);

}  // namespace cassonic
