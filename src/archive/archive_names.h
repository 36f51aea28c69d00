// Entry names: CP932 bytes without a folder part, compared as the updater
// finds entries. fa2 uses the same comparison, so that it refuses to pack two
// names that the updater could not tell apart and extracts by name the entry
// that the updater would take. Nothing here allocates or reads past the
// lengths given.
//
// The comparison is that of lstrcmpiA under code page 932 and the Japanese
// locale, as measured under wine (archive_name_folds.cpp): case is ignored
// for Latin, Greek, Cyrillic and full-width letters and Roman numerals, the
// duplicate codes of the vendor extensions are one character, every byte pair
// that names no character is the default character "・", and a unit symbol
// such as "㎜" is its two letters. Where lstrcmpiA looks at the character
// before (the prolonged sound mark and the iteration marks after kana, a unit
// symbol before such a mark), this comparison is coarser: it finds equal every
// pair that lstrcmpiA finds equal, and there a few more.
#ifndef ARCHIVE_ARCHIVE_NAMES_H
#define ARCHIVE_ARCHIVE_NAMES_H

#include <cstddef>

#include "archive/archive_format.h"

// Whether byte starts a double-byte character in code page 932 (0x81-0x9F,
// 0xE0-0xFC). Its second byte may be anything from 0x40 up, letters and the
// backslash included.
constexpr int IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The length of an entry's name: the bytes of Name up to its first NUL, or
// all 260 when a damaged record has none.
size_t ArchiveEntryNameLength(const ArchiveEntry& entry);

// Whether the two names are equal under the updater's comparison. A lead byte
// takes the byte after it as its second byte, whatever it is.
int ArchiveNamesEqual(const char* a, size_t aLength, const char* b, size_t bLength);

// Writes name folded to out, which has room for length + 1 bytes (only a lead
// byte at the end of a name grows, to "・"), and returns the folded length. Two names are equal under
// ArchiveNamesEqual exactly when their folds are equal byte for byte.
size_t FoldArchiveName(const char* name, size_t length, char* out);

#endif
