#include "config/settings_access_win32.h"

#include <windows.h>

#include <cstring>

#include "common/updater_contract.h"
#include "common/updater_state_win32.h"
#include "platform/run_log_win32.h"

static_assert(kListSlotSize == kPathSize, "list items land in the state's path slots");

int ShowSetupError(const char* text) {
  LogBox("VARDELIX", text);
  return MessageBoxA(State.OwnerWindow, text, "VARDELIX", MB_OK | MB_ICONERROR);
}

// The one reading path of both files. The platform's reader returns the
// number of bytes copied, so an empty value and an absent one look alike.
static int ReadKey(const char* file, const char* section, const char* key, char* out, int size) {
  std::memset(out, 0, size);
  return GetPrivateProfileStringA(section, key, "", out, size, file) != 0;
}

int ReadSetupKey(const char* key, char* out, int size) {
  if (ReadKey(State.SetupIniPath, "SETUP", key, out, size)) return 1;
  if (State.KeysOptional == 0) {
    char message[kLongTextSize];
    wsprintfA(message, kKeyMissingFormat, "SETUP.INI", key);
    ShowSetupError(message);
  }
  return 0;
}

int ReadUpdateKey(const char* section, const char* key, char* out, int size) {
  if (ReadKey(State.UpdateIniPath, section, key, out, size)) return 1;
  if (State.KeysOptional == 0) {
    char message[kLongTextSize];
    wsprintfA(message, kKeyMissingFormat, section, key);
    ShowSetupError(message);
  }
  return 0;
}

int ReadSetupInt(const char* key, int* value) {
  char text[20];
  if (!ReadSetupKey(key, text, sizeof text)) return 0;
  *value = DecimalToInt32(text);
  return 1;
}

int NextListItem(char* out, const char*& cursor) {
  return TakeListItem(out, kPathSize, cursor, State.LastDiscNumber);
}
