#include "driver/update_message.h"

#include <windows.h>

void ConvertUpdateMessage(const char* text, char* out, size_t outSize) {
  if (outSize == 0) return;
  size_t used = 0;
  const char* p = text;
  while (*p) {
    if (p[0] == '\\' && p[1] == 'n') {
      if (used + 1 >= outSize) break;
      out[used++] = '\r';
      p += 2;
      continue;
    }
    // CharNextA delimits the character; a lead byte at the very end of the
    // text (a damaged character) is taken alone, so that the NUL after it is
    // never stepped over.
    size_t length = static_cast<size_t>(CharNextA(p) - p);
    if (length < 1 || p[1] == '\0') length = 1;
    if (used + length >= outSize) break;
    for (size_t i = 0; i < length; i++) out[used++] = p[i];
    p += length;
  }
  out[used] = '\0';
}
