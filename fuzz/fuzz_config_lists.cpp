// INI list values of any shape through the tokenizer, the SETUP.INI list
// shapes, the UPDATE.INI item parsers and the decimal conversions. Nothing may
// be written beyond a slot, read beyond the value, or loop forever.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/archive_names.h"
#include "config/decimal.h"
#include "config/setup_lists.h"
#include "config/update_items.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks a slot size for the bare tokenizer; the rest is the
  // value, NUL-terminated as the INI reader delivers it.
  const size_t slot = 1 + data[0] % 16;
  std::vector<char> value(data + 1, data + size);
  value.push_back('\0');
  const char* text = value.data();

  int disc = 0;
  std::vector<char> out(slot);
  const char* cursor = text;
  const char* end = text + value.size() - 1;
  while (TakeListItem(out.data(), out.size(), cursor, disc)) {
    if (std::strlen(out.data()) >= slot || cursor > end) std::abort();
  }
  if (cursor > end) std::abort();

  static char slots[40][kListSlotSize];
  int discs[40];
  const int count = TakeNameList(text, slots, 40, discs, disc);
  if (count < 0 || count > 40) std::abort();

  char fields[kShortcutLineFields][kListSlotSize];
  SplitShortcutLine(text, fields, disc);

  UpdateItem item;
  ParseUpdateItem(text, data[0] % 10, IsCp932LeadByte, disc, item);
  if (item.BaseOffset < 0 || item.BaseOffset > static_cast<int>(std::strlen(item.ItemName))) std::abort();

  DiscCopyItem discItem;
  ParseDiscCopyItem(text, data[0] % 10, discItem);

  DecimalToInt32(text);
  DecimalToUInt64(text);
  return 0;
}
