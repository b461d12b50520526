#pragma once
// What the front-end asks of the desktop: its identity, its icon, whether a
// file exists, and opening a document with its associated program.

#include <QString>

#include <functional>

class QObject;
class QWidget;

#ifndef CASSONIC_VERSION
#error "CASSONIC_VERSION comes from the project's version in CMake"
#endif

namespace cassonic {

inline const QString kAppName = QStringLiteral("CassonicRunner");
inline const QString kOrganization = QStringLiteral("Cassonic");
inline const QString kAppVersion = QStringLiteral(CASSONIC_VERSION);
inline const QString kAppDescription =
    QStringLiteral("Front-end to tapecast - converter of MSX files to loadable WAV file");
inline const QString kWindowTitle = QStringLiteral("CassonicRunner for tapecast " CASSONIC_VERSION);

// Sets name, organization, version and desktop entry of the running
// application (where its settings are kept follows from them).
void SetApplicationMetadata();

// True when the path's attributes can be read (a directory counts).
bool FileExists(const QString& path);

// Gives `window` the program's icon `iconResName` (matched without regard to
// case) at every size it comes in; with `setAsAppIcon` also the top of its
// owner chain and the application as a whole.
void SetIcon(QWidget* window, const QString& iconResName, bool setAsAppIcon);

// Asks the desktop to open `path` with its associated program and returns
// at once.  `failed` is called, maybe later, with what went wrong if the
// desktop does not open it; `context` owns what waits for that answer.
using OpenFailure = std::function<void(const QString& reason)>;
void OpenWithDesktop(const QString& path, QObject* context, const OpenFailure& failed);

}  // namespace cassonic
