#include "core/run_report.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cstring>

namespace cassonic {

namespace {

QString oneLine(QString text) { return text.simplified(); }

}  // namespace

RunReport ReportRun(const RunResult& result, const QString& output, const QString& wavName)
{
    const QString name = QFileInfo(wavName).fileName();
    switch (result.kind) {
    case RunResult::Stopped:
        return {QStringLiteral("Stopped: %1 was not made.").arg(name), true};
    case RunResult::Signalled:
        return {QStringLiteral("tapecast was ended by signal %1 (%2): %3 was not made.")
                    .arg(result.status)
                    .arg(QString::fromLocal8Bit(strsignal(result.status)), name),
                true};
    case RunResult::Exited:
        break;
    }
    if (result.status != 0) {
        const qsizetype at = output.lastIndexOf(QStringLiteral("ERROR:"));
        if (at >= 0)
            return {oneLine(output.mid(at)), true};
        return {QStringLiteral("tapecast failed with status %1: %2 was not made.").arg(result.status).arg(name),
                true};
    }
    static const QRegularExpression estimate(
        QStringLiteral(R"(Estimated loading time (\d+:\d\d) min \((\d+(?:\.\d+)?) sec\))"));
    const QRegularExpressionMatch m = estimate.match(output);
    if (!m.hasMatch())
        return {QStringLiteral("Made %1.").arg(name), false};
    return {QStringLiteral("Made %1, loading time %2 min (%3 sec)").arg(name, m.captured(1), m.captured(2)), false};
}

}  // namespace cassonic
