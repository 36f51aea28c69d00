#include "archive/archive_names.h"

#include <cstring>

namespace {

// The next character of name at *at, folded: its bytes go to out and their
// count is returned (0 at the end of the name).
size_t NextFoldedCharacter(const char* name, size_t length, size_t* at, char* out) {
  if (*at >= length) return 0;
  const unsigned char c = static_cast<unsigned char>(name[*at]);
  if (IsCp932LeadByte(c) && *at + 1 < length) {
    out[0] = name[*at];
    out[1] = name[*at + 1];
    *at += 2;
    return 2;
  }
  out[0] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : name[*at];
  *at += 1;
  return 1;
}

}  // namespace

size_t ArchiveEntryNameLength(const ArchiveEntry& entry) {
  const void* end = std::memchr(entry.Name, 0, kArchiveNameSize);
  return end ? static_cast<size_t>(static_cast<const char*>(end) - entry.Name) : kArchiveNameSize;
}

int ArchiveNamesEqual(const char* a, size_t aLength, const char* b, size_t bLength) {
  size_t atA = 0, atB = 0;
  for (;;) {
    char foldedA[2], foldedB[2];
    const size_t n = NextFoldedCharacter(a, aLength, &atA, foldedA);
    const size_t m = NextFoldedCharacter(b, bLength, &atB, foldedB);
    if (n != m || std::memcmp(foldedA, foldedB, n) != 0) return 0;
    if (n == 0) return 1;
  }
}

size_t FoldArchiveName(const char* name, size_t length, char* out) {
  size_t at = 0, folded = 0, n;
  while ((n = NextFoldedCharacter(name, length, &at, out + folded)) != 0) folded += n;
  return folded;
}
