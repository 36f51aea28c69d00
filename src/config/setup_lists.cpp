#include "config/setup_lists.h"

int TakeNameList(const char* list, char (*slots)[kListSlotSize], int capacity,
                 int* discs, int& discNumber) {
  const char* cursor = list;
  int count = 0;
  while (count < capacity) {
    if (!TakeListItem(slots[count], kListSlotSize, cursor, discNumber)) {
      if (count > 0) slots[count][0] = '\0';
      break;
    }
    if (discs) discs[count] = discNumber;
    ++count;
  }
  return count;
}

int SplitShortcutLine(const char* line, char (*fields)[kListSlotSize], int& discNumber) {
  for (int f = 0; f < kShortcutLineFields; ++f) fields[f][0] = '\0';

  const char* cursor = line;
  for (int f = 0; f < kShortcutLineFields; ++f) {
    if (TakeListItem(fields[f], kListSlotSize, cursor, discNumber)) continue;
    if (f < 2) return 0;
    // The tokenizer stopped on an item end. A line end means the line is
    // complete; a comma starts a run of empty fields, of which only this one
    // is kept empty.
    if (*cursor != ',') break;
    while (*cursor == ',' || IsBlank(static_cast<unsigned char>(*cursor))) ++cursor;
  }
  return 1;
}
