#include "config/update_items.h"

#include <cstring>

int FindBaseOffset(const char* name, LeadByteTest isLeadByte) {
  int lastSeparator = -1;
  for (int i = 0; name[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (isLeadByte(c)) {
      if (name[i + 1] == '\0') break;  // a cut character: nothing follows
      ++i;
    } else if (c == '\\') {
      lastSeparator = i;
    }
  }
  return lastSeparator + 1;
}

static int IsKindLetter(const char* token, char lower) {
  return token[1] == '\0' && (token[0] == lower || token[0] == lower - 'a' + 'A');
}

int ParseUpdateItem(const char* value, uint32_t installMode, LeadByteTest isLeadByte,
                    int& discNumber, UpdateItem& item) {
  // Up to three tokens, left to right; once the list runs dry the remaining
  // tokens are empty.
  char tokens[3][kListSlotSize] = {};
  const char* cursor = value;
  for (auto& token : tokens) {
    if (!TakeListItem(token, sizeof token, cursor, discNumber)) break;
  }

  int next = 0;
  int applies = 1;
  const char* first = tokens[0];
  if (first[0] >= '0' && first[0] <= '9' && first[1] == '\0') {
    applies = installMode == static_cast<uint32_t>(first[0] - '0');
    next = 1;
  }

  const char* kindToken = tokens[next];
  item.Kind = UpdateKind::Plain;
  if (IsKindLetter(kindToken, 'd')) {
    item.Kind = UpdateKind::Data;
  } else if (IsKindLetter(kindToken, 'u')) {
    item.Kind = UpdateKind::Update;
  } else if (IsKindLetter(kindToken, 'o')) {
    item.Kind = UpdateKind::Overwrite;
  }
  // next is at most 1 here, so the name token is always one of the three.
  const char* name = item.Kind == UpdateKind::Plain ? kindToken : tokens[next + 1];
  std::memcpy(item.ItemName, name, sizeof item.ItemName);
  item.BaseOffset = FindBaseOffset(item.ItemName, isLeadByte);
  return applies;
}

int ParseDiscCopyItem(const char* value, uint32_t installMode, DiscCopyItem& item) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(value);
  if (p[0] != '\0' && p[1] == ',') {
    // Any byte selects a mode here, not only a digit; one that gives no
    // possible mode simply never applies.
    if (int64_t{installMode} != int64_t{p[0]} - '0') return 0;
    p += 2;
  }
  item.DiscNumber = 0;
  if (p[0] != '\0' && p[1] == ':') {
    item.DiscNumber = p[0] - '0';
    p += 2;
  }
  const size_t length = strnlen(reinterpret_cast<const char*>(p), sizeof item.Path - 1);
  std::memcpy(item.Path, p, length);
  item.Path[length] = '\0';
  return 1;
}

// prefix and index as printf's "%s%02i" would give them, cut to outSize.
// Written out rather than formatted so that the updater carries no printf of
// its own.
static void FormatListKey(char* out, size_t outSize, const char* prefix, int index) {
  char text[32];
  size_t used = 0;
  while (*prefix != '\0' && used < 16) text[used++] = *prefix++;
  if (index < 0) text[used++] = '-';
  unsigned value = index < 0 ? 0u - static_cast<unsigned>(index) : static_cast<unsigned>(index);
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (count == 1 && index >= 0) digits[count++] = '0';
  while (count > 0) text[used++] = digits[--count];
  if (outSize == 0) return;
  if (used > outSize - 1) used = outSize - 1;
  std::memcpy(out, text, used);
  out[used] = '\0';
}

void FormatUpdateFileKey(char* out, size_t outSize, int index) {
  FormatListKey(out, outSize, "UpdateFile", index);
}

void FormatCopyFileKey(char* out, size_t outSize, int index) {
  FormatListKey(out, outSize, "CopyFile", index);
}
