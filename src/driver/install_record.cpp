#include "driver/install_record.h"

#include <cstring>

#include "common/updater_state_win32.h"
#include "platform/game_paths.h"
#include "platform/join_path.h"
#include "platform/update_error.h"

int ReadRegistryText(HKEY key, const char* name, char* out) {
  std::memset(out, 0, kPathSize);
  DWORD size = kPathSize;
  LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size);
  if (result != ERROR_SUCCESS || std::memchr(out, '\0', kPathSize) == nullptr) {
    // A failed query (ERROR_MORE_DATA among others) may have left bytes in
    // the buffer; none of them may be taken for a path.
    std::memset(out, 0, kPathSize);
    return 0;
  }
  return 1;
}

int ReadRegistryNumber(HKEY key, const char* name, uint32_t* value) {
  uint32_t number = 0;
  DWORD size = sizeof number;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) !=
      ERROR_SUCCESS)
    return 0;
  *value = number;
  return 1;
}

int ReadInstallRecord() {
  char keyName[kLongTextSize];
  wsprintfA(keyName, "Software\\%s\\%s", State.CompanyName, State.GameDir);

  int installed = 0;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    // DataPath is optional: its absence leaves the empty text that the
    // reader puts in on failure.
    if (ReadRegistryText(key, "InstPath", State.InstPath)) {
      ReadRegistryText(key, "DataPath", State.DataPath);
      installed = ReadRegistryNumber(key, "InstMode", &State.InstMode);
    }
    RegCloseKey(key);
  }
  // The record is the player's to change, as is everything under
  // HKEY_CURRENT_USER: a drive root or the system's own folders are never a
  // game's installation, and the updater, which runs as administrator, must
  // not write there.
  if (installed && ((State.InstPath[0] && IsSystemPlace(State.InstPath)) ||
                    (State.DataPath[0] && IsSystemPlace(State.DataPath)))) {
    installed = 0;
  }
  if (!installed) {
    char message[kLongTextSize];
    wsprintfA(message, "「%s」がインストールされていません", State.GameTitle);
    ShowUpdateError(message);
  }
  return installed;
}

int FindSetupIni() {
  std::memcpy(State.SetupIniPath, State.InstPath, kPathSize);
  if (!JoinPath(State.SetupIniPath, "SETUP.INI")) {
    // A cut path would name some other file; there is no SETUP.INI to read.
    State.SetupIniPath[0] = '\0';
  } else if (GetFileAttributesA(State.SetupIniPath) != INVALID_FILE_ATTRIBUTES) {
    return 1;
  }
  ShowUpdateError("インストール先に \"SETUP.INI\" ファイルが見つかりません");
  return 0;
}
