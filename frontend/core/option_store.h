#pragma once
// The options kept between sessions.  What the user chose is kept (also a
// choice that a rule overrides for the time being); the list and the
// output name are not.

#include "core/rules.h"

class QSettings;

namespace cassonic {

void SaveOptions(const FormState& s, QSettings& settings);

// The defaults, with whatever valid values `settings` holds, and every rule
// applied (values out of range or of the wrong kind are ignored).
FormState LoadOptions(const QSettings& settings);

}  // namespace cassonic
