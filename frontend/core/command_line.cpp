#include "core/command_line.h"

namespace cassonic {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

}  // namespace

QStringList SplitCommandLine(const QString& commandLine)
{
    QStringList args;
    const qsizetype n = commandLine.size();
    qsizetype i = 0;

    // The program: quotes group, nothing is escaped.
    while (i < n && isBlank(commandLine[i]))
        ++i;
    if (i == n)
        return args;
    {
        QString program;
        bool quoted = false;
        for (; i < n; ++i) {
            const QChar c = commandLine[i];
            if (c == u'"')
                quoted = !quoted;
            else if (isBlank(c) && !quoted)
                break;
            else
                program += c;
        }
        args << program;
    }

    // The arguments.
    for (;;) {
        while (i < n && isBlank(commandLine[i]))
            ++i;
        if (i == n)
            break;
        QString arg;
        bool quoted = false;
        while (i < n) {
            const QChar c = commandLine[i];
            if (c == u'\\') {
                qsizetype backslashes = 0;
                while (i < n && commandLine[i] == u'\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < n && commandLine[i] == u'"') {
                    arg += QString(backslashes / 2, u'\\');
                    if (backslashes % 2 == 1) {
                        arg += u'"';
                        ++i;
                    }
                    // An even count leaves the quote to the code below.
                } else {
                    arg += QString(backslashes, u'\\');
                }
                continue;
            }
            if (c == u'"') {
                if (quoted && i + 1 < n && commandLine[i + 1] == u'"') {
                    arg += u'"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (isBlank(c) && !quoted)
                break;
            arg += c;
            ++i;
        }
        args << arg;
    }
    return args;
}

}  // namespace cassonic
