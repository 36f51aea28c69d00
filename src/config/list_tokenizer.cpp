#include "config/list_tokenizer.h"

#include "config/decimal.h"

int IsBlank(unsigned char c) { return c == 0x09 || c == 0x20; }

int IsItemEnd(unsigned char c) {
  return c == 0x00 || c == 0x0A || c == 0x0D || c == 0x2C;
}

int TakeListItem(char* out, size_t outSize, const char*& cursor, int& discNumber) {
  const char* p = cursor;
  while (IsBlank(static_cast<unsigned char>(*p))) ++p;
  cursor = p;
  if (IsItemEnd(static_cast<unsigned char>(*p))) return 0;

  // A disc prefix is converted as the one-character text it is, by the same
  // conversion as every other number in the INI files.
  if (p[1] == ':') {
    const char prefix[2] = {p[0], '\0'};
    discNumber = DecimalToInt32(prefix);
    p += 2;
  }

  // Copy up to the item end, keeping room for the terminator; bytes beyond
  // the slot are passed over so that the item is consumed whole.
  size_t length = 0;
  while (!IsItemEnd(static_cast<unsigned char>(*p))) {
    if (length + 1 < outSize) out[length++] = *p;
    ++p;
  }
  if (outSize > 0) out[length] = '\0';
  cursor = (*p == '\0') ? p : p + 1;
  return 1;
}
