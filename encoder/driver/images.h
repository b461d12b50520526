#pragma once
// Tape and disk images among the inputs.  A CAS image's files go on tape
// one after the other, in the standard format, or in a fast mode as fast
// files where they are BIN or BASIC files; a DSK image's root directory goes
// on tape as DOS-mode files.

#include <cstdint>
#include <vector>

#include "common/settings.h"

// Whether the entry names a CAS or a DSK image (by the ending of its name).
bool is_image_entry(const InputEntry& entry);

// The standard path: every block of a CAS image as a standard block, with
// the pause setting between its files.  A DSK image is refused.
void encode_standard_image(const InputEntry& entry, int standard_mode);

// The fast path: a CAS image's BIN and BASIC files as fast files, its ASCII
// files and headerless blocks in the standard format at the mode's
// standard rate; a DSK image's files as DOS-mode files (outside DOS mode it
// is refused).  Pauses follow each file as they follow entries, and after
// the last one when `more_entries`.  `after_loader`: the entry is the first
// one, right behind the attached loader.
void encode_fast_image(const InputEntry& entry, std::uint8_t fast_mode, bool more_entries, bool after_loader);
