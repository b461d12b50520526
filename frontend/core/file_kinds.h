#pragma once
// What kind of MSX file a path holds, as the encoder will judge it, and
// whether the chosen options can take it: the window warns before a run
// rather than after the encoder has refused.

#include "core/rules.h"

#include <QString>

namespace cassonic {

enum class FileKind { Missing, Folder, Bin, Basic, Rom, Com, Cas, Dsk, Unknown };

// By name for tape and disk images (".cas", ".dsk", any case), else by the
// first bytes as the encoder looks at them: 0xFE a BIN file, 0xFF a
// tokenized BASIC program, "AB" a ROM image, else a name ending in ".COM"
// (any case) a COM program.
FileKind DetectFileKind(const QString& path);

// Why the options of `s` cannot take a file of this kind, said so that the
// user knows what to change; empty when they can.  `name` is the file's
// name as shown to the user.
QString FileKindProblem(FileKind kind, const QString& name, const FormState& s);

}  // namespace cassonic
