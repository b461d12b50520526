#pragma once
// What the status line says after an encoder run.

#include "core/dos_outputs.h"

#include <QString>

namespace cassonic {

struct RunReport {
    QString status;
    bool failed = false;
    bool operator==(const RunReport&) const = default;
};

// A run that exited with 0: "Made NAME.wav, loading time 0:04 min (4.0 sec)"
// with the encoder's own estimate.  A failure: the encoder's last "ERROR:"
// text on one line, or how the run ended when it printed none.  `wavName`
// is the output as the user named it.
RunReport ReportRun(const RunResult& result, const QString& output, const QString& wavName);

}  // namespace cassonic
