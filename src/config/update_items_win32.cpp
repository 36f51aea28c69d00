#include "config/update_items_win32.h"

#include <windows.h>

#include "common/updater_state_win32.h"

// The lead bytes of the process's ANSI code page, which is the code page of
// every name in the INI files.
static int IsAnsiLeadByte(unsigned char c) { return IsDBCSLeadByte(c) ? 1 : 0; }

int TakeUpdateItem(const char* value, UpdateItem& item) {
  return ParseUpdateItem(value, State.InstMode, IsAnsiLeadByte, State.LastDiscNumber, item);
}

int TakeDiscCopyItem(const char* value, DiscCopyItem& item) {
  return ParseDiscCopyItem(value, State.InstMode, item);
}
