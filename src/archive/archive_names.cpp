#include "archive/archive_names.h"

#include <cstring>

#include "archive/archive_name_folds.h"

namespace {

// The table's fold of one character (see archive_name_folds.h), as bytes in
// out; returns their count.
size_t FoldCharacter(unsigned code, char* out) {
  for (size_t i = 0; i < kNameFoldExpansionCount; ++i) {
    if (kNameFoldExpansions[i].From == code) {
      out[0] = kNameFoldExpansions[i].To[0];
      out[1] = kNameFoldExpansions[i].To[1];
      return 2;
    }
  }
  // The last range that starts at or before code.
  size_t low = 0, high = kNameFoldRangeCount;
  while (low < high) {
    const size_t middle = (low + high) / 2;
    if (kNameFoldRanges[middle].First <= code)
      low = middle + 1;
    else
      high = middle;
  }
  if (low > 0 && code <= kNameFoldRanges[low - 1].Last) {
    const NameFoldRange& range = kNameFoldRanges[low - 1];
    code = range.Shift ? range.To + (code - range.First) : range.To;
  }
  if (code < 0x100) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  out[0] = static_cast<char>(code >> 8);
  out[1] = static_cast<char>(code & 0xFF);
  return 2;
}

// The next character of name at *at, folded: its bytes go to out (two at
// the most) and their count is returned (0 at the end of the name). A lead
// byte takes the byte after it, whatever it is, as the system's conversion
// does; a lead byte that ends the name is a character of its own.
size_t NextFoldedCharacter(const char* name, size_t length, size_t* at, char* out) {
  if (*at >= length) return 0;
  unsigned code = static_cast<unsigned char>(name[*at]);
  *at += 1;
  if (IsCp932LeadByte(static_cast<unsigned char>(code)) && *at < length) {
    code = code * 256 + static_cast<unsigned char>(name[*at]);
    *at += 1;
  }
  return FoldCharacter(code, out);
}

}  // namespace

size_t ArchiveEntryNameLength(const ArchiveEntry& entry) {
  const void* end = std::memchr(entry.Name, 0, kArchiveNameSize);
  return end ? static_cast<size_t>(static_cast<const char*>(end) - entry.Name) : kArchiveNameSize;
}

int ArchiveNamesEqual(const char* a, size_t aLength, const char* b, size_t bLength) {
  // The two folds, compared byte by byte as they are made: a character of one
  // name may fold to two of the other.
  size_t atA = 0, atB = 0, countA = 0, countB = 0, usedA = 0, usedB = 0;
  char foldedA[2], foldedB[2];
  for (;;) {
    if (usedA == countA) countA = NextFoldedCharacter(a, aLength, &atA, foldedA), usedA = 0;
    if (usedB == countB) countB = NextFoldedCharacter(b, bLength, &atB, foldedB), usedB = 0;
    if (countA == 0 || countB == 0) return countA == 0 && countB == 0;
    if (foldedA[usedA++] != foldedB[usedB++]) return 0;
  }
}

size_t FoldArchiveName(const char* name, size_t length, char* out) {
  size_t at = 0, folded = 0, n;
  while ((n = NextFoldedCharacter(name, length, &at, out + folded)) != 0) folded += n;
  return folded;
}
