// The table behind ArchiveNamesEqual: which characters the updater's entry
// lookup cannot tell apart. It is generated (archive_name_folds.cpp; see its
// first lines for how), never written by hand.
//
// A character is one byte, or a CP932 lead byte and the byte after it, coded
// as lead * 256 + second byte; a lead byte that ends the name is a character
// of its own, coded as that byte. Each character folds to the member of its
// class that the generator chose, or, for a character that the lookup takes
// as two, to two single-byte characters. A fold is never longer than the
// character.
#ifndef ARCHIVE_ARCHIVE_NAME_FOLDS_H
#define ARCHIVE_ARCHIVE_NAME_FOLDS_H

#include <cstddef>
#include <cstdint>

// Characters First..Last fold to To (Shift 0) or each to To + (code - First)
// (Shift 1). Sorted by First; ranges do not overlap.
struct NameFoldRange {
  uint16_t First;
  uint16_t Last;
  uint16_t To;
  uint16_t Shift;
};

// A character that folds to two single-byte characters.
struct NameFoldExpansion {
  uint16_t From;
  char To[2];
};

extern const NameFoldRange kNameFoldRanges[];
extern const size_t kNameFoldRangeCount;
extern const NameFoldExpansion kNameFoldExpansions[];
extern const size_t kNameFoldExpansionCount;

#endif
