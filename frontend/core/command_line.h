#pragma once
// Splitting a command line into program arguments the way the Windows C
// runtime does it, so that a composed command line reaches the program with
// the same arguments on every platform.

#include <QString>
#include <QStringList>

namespace cassonic {

// Blanks (space, tab) separate arguments; double quotes group blanks into an
// argument and are removed.  From the second argument on, backslashes are
// literal except directly before a double quote: 2n backslashes and a quote
// give n backslashes and a grouping quote, 2n+1 backslashes and a quote give
// n backslashes and a literal quote, and "" inside a quoted part is a literal
// quote.  The first argument (the program) takes no backslash escapes.
// An empty quoted argument ("") is kept as an empty argument.
QStringList SplitCommandLine(const QString& commandLine);

}  // namespace cassonic
