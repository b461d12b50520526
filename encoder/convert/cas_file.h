#pragma once
// The files of a CAS image in the standard format, block by block.

#include "common/cas_image.h"

// Writes each block of `file` with the cells of `standard_mode` as it is
// stored, behind a sync tone: the descriptor, the short gap a BIN file has
// before its data block, the first data block; further data blocks (an
// ASCII file's) each after a second of silence, as the MSX leaves between
// the blocks it writes, so that it has read and taken in one block before
// the next one's sync tone is over.
void encode_standard_cas_file(const CasFile& file, int standard_mode);
