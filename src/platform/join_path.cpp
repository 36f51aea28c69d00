#include "platform/join_path.h"

#include <windows.h>

#include <cstring>

#include "common/updater_state_win32.h"

namespace {

// True when the last character of text (length bytes long) is a single-byte
// backslash or slash. The string is walked from its start, because a trail
// byte of a double-byte character can hold any value from 0x40 up, 0x5C
// included, and cannot be told from a lead byte by looking backwards.
bool EndsWithSeparator(const char* text, size_t length) {
  size_t last = 0;
  size_t i = 0;
  while (i < length) {
    last = i;
    // A lead byte followed by the terminator is a cut character; it counts
    // as one byte, so the terminator is never stepped over.
    i += (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < length) ? 2 : 1;
  }
  if (length == 0 || i - last != 1) return false;
  return text[last] == '\\' || text[last] == '/';
}

}  // namespace

int JoinPath(char* path, size_t pathSize, const char* name) {
  size_t pathLength = strnlen(path, pathSize);
  if (pathLength == pathSize) return 0;  // no terminator inside the buffer
  size_t nameLength = std::strlen(name);
  size_t separator = (pathLength != 0 && !EndsWithSeparator(path, pathLength)) ? 1 : 0;

  // Text, separator, name and the two NULs must all fit.
  if (nameLength > pathSize || pathLength + separator + nameLength + 2 > pathSize) return 0;

  char* end = path + pathLength;
  if (separator) *end++ = '\\';
  std::memmove(end, name, nameLength);  // name may lie in the same buffer
  end[nameLength] = '\0';
  end[nameLength + 1] = '\0';
  return 1;
}

int JoinPath(char* path, const char* name) {
  return JoinPath(path, kPathSize, name);
}
