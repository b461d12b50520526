#pragma once
// What "Make WAV" hands to the encoder: where tapecast is, and its
// arguments for the window's settings.

#include "core/rules.h"

#include <QString>
#include <QStringList>

namespace cassonic {

inline const QString kEncoderName = QStringLiteral("tapecast");

// The encoder's arguments for the settings and files of `s`, one list item
// per argument (nothing is re-parsed, so quotes and blanks in names reach
// the encoder as they are).  The pause goes as PauseForRun gives it; a file
// name that begins with '-' gets "./" in front so that it is not taken for
// an option; "-timeline" asks for the tape's segments after the summary.
QStringList BuildEncoderArguments(const FormState& s);

// The command as a POSIX shell would take it back, for showing it: words
// with characters other than letters, digits and _@%+=:,./- are put in
// single quotes.
QString DisplayCommandLine(const QString& program, const QStringList& arguments);

struct EncoderSearch {
    QString path;          // the executable found; empty when none was
    QStringList lookedIn;  // the folders tried, in order, each once
};

// Looks for an executable `name` beside the front-end (`ownFolder`), then in
// the install's program folder (`installFolder`), then in each folder of
// `pathVariable` (':'-separated, empty entries meaning the current folder).
EncoderSearch FindEncoder(const QString& name, const QString& ownFolder, const QString& installFolder,
                          const QString& pathVariable);

// The message for a search that found nothing: where it looked.
QString EncoderNotFoundMessage(const QString& name, const EncoderSearch& search);

}  // namespace cassonic
