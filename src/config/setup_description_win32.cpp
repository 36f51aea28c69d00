#include "config/setup_description_win32.h"

#include <windows.h>

#include <cstring>

#include "common/updater_state_win32.h"
#include "config/settings_access_win32.h"
#include "config/setup_lists.h"

namespace {

constexpr int kListBufferSize = kLongTextSize;  // SetupBmp and the file lists
constexpr int kLineBufferSize = kPathSize;      // Shortcut lines and ExecApp

// "SETUP.INI : <name> エラー", the message for a list that yields too little.
void ShowListError(const char* keyName) {
  char message[kLongTextSize];
  wsprintfA(message, "SETUP.INI : %s エラー", keyName);
  ShowSetupError(message);
}

// Reads a text key, or copies fallback in when it is missing.
void ReadSetupText(const char* key, char* out, int size, const char* fallback) {
  if (!ReadSetupKey(key, out, size)) lstrcpynA(out, fallback, size);
}

// An on/off key: 1 when present with a non-zero value.
int ReadSetupFlag(const char* key) {
  int value = 0;
  return ReadSetupInt(key, &value) && value != 0;
}

// An unsigned 64-bit size, 0 when the key is missing.
uint64_t ReadSetupSize(const char* key) {
  char text[20];
  return ReadSetupKey(key, text, sizeof text) ? DecimalToUInt64(text) : 0;
}

// Tokenizes one file list into selection slot j with its disc numbers.
// Returns 0 when the list yields no name.
int TakeInstallFiles(const char* list, int j) {
  State.LastDiscNumber = 0;
  State.InstallNeedsDisc[j] = 0;
  const int count = TakeNameList(list, State.InstallFiles[j], kInstallFileSlots,
                                 State.InstallFileDisc[j], State.LastDiscNumber);
  for (int k = 0; k < count; ++k) {
    if (State.InstallFileDisc[j][k] != 0) State.InstallNeedsDisc[j] = 1;
  }
  return count != 0;
}

// Steps up to the Shortcut lines: every key is mandatory.
int LoadRequiredPart(char* list, char* keyName) {
  if (!ReadSetupKey("CompanyName", State.CompanyName, kPathSize)) return 0;
  if (!ReadSetupKey("GameTitle", State.GameTitle, kPathSize)) return 0;
  if (!ReadSetupKey("GameDir", State.GameDir, kPathSize)) return 0;
  if (!ReadSetupKey("GameExe", State.GameExe, kPathSize)) return 0;
  if (!ReadSetupKey("UninstExe", State.UninstExe, kPathSize)) return 0;

  if (!ReadSetupKey("SetupBmp", list, kListBufferSize)) return 0;
  const int bitmaps = TakeNameList(list, State.SetupBmp, kSetupBmpSlots, nullptr,
                                   State.LastDiscNumber);
  if (bitmaps == 0) {
    ShowSetupError("SETUP.INI : SetupBmps エラー");
    return 0;
  }
  State.SetupBmpLast = bitmaps - 1;

  if (!ReadSetupInt("InstallSelects", &State.InstallSelects)) return 0;
  if (State.InstallSelects > kInstallSelections) {
    ShowSetupError("SETUP.INI : InstallSelect オーバー");
    return 0;
  }
  for (int j = 0; j < State.InstallSelects; ++j) {
    wsprintfA(keyName, "InstallTitle%i", j);
    if (!ReadSetupKey(keyName, State.InstallTitle[j], kPathSize)) return 0;
    wsprintfA(keyName, "InstallFiles%i", j);
    if (!ReadSetupKey(keyName, list, kListBufferSize)) return 0;
    if (!TakeInstallFiles(list, j)) {
      ShowListError(keyName);
      return 0;
    }
  }

  if (!ReadSetupInt("Shortcuts", &State.Shortcuts)) return 0;
  if (State.Shortcuts > kShortcutLines) {
    ShowSetupError("SETUP.INI : Shortcuts オーバー");
    return 0;
  }
  for (int s = 0; s < State.Shortcuts; ++s) {
    wsprintfA(keyName, "Shortcut%i", s);
    if (!ReadSetupKey(keyName, list, kLineBufferSize)) return 0;
    if (!SplitShortcutLine(list, State.Shortcut[s], State.LastDiscNumber)) {
      ShowListError(keyName);
      return 0;
    }
  }
  return 1;
}

// Steps from the game's window class on: keys are optional and take their
// defaults, except the additional file list when InstallAfterAdd asks for it.
int LoadOptionalPart(char* list, char* keyName) {
  State.KeysOptional = 1;

  // The class read from UPDATE.INI is replaced in either case.
  ReadSetupText("GameClass", State.GameClass, kPathSize, State.GameTitle);
  if (std::strncmp(State.GameClass, "Orvantis", 8) != 0) {
    State.EngineKind = std::strcmp(State.GameClass, "TTVPWindowForm") == 0 ? 1 : 2;
  }

  if (!ReadSetupInt("DefaultSelect", &State.DefaultSelect)) State.DefaultSelect = 0;

  for (int j = 0; j < State.InstallSelects; ++j) {
    wsprintfA(keyName, "InstallSize%i", j);
    State.InstallSize[j] = ReadSetupSize(keyName);
  }

  // All ten are read: a gap leaves one empty slot.
  for (int i = 0; i < kDiscSlots; ++i) {
    wsprintfA(keyName, "DiskCheckFile%i", i);
    ReadSetupKey(keyName, State.DiskCheckFile[i], kPathSize);
  }

  if (ReadSetupKey("ExecApp", list, kLineBufferSize)) {
    const char* cursor = list;
    if (!NextListItem(State.ExecApp[0], cursor) || !NextListItem(State.ExecApp[1], cursor)) {
      ShowListError("ExecApp");
      return 0;
    }
  } else {
    State.ExecApp[0][0] = '\0';
    State.ExecApp[1][0] = '\0';
  }

  ReadSetupText("SelectSetupMessage", State.SelectSetupMessage, kLongTextSize,
                "インストール方法を選択して下さい");
  State.UseCompanyNameForShortcutGroup = ReadSetupFlag("UseCompanyNameForShortcutGroup");
  State.ChooseSaveDataFolder = ReadSetupFlag("ChooseSaveDataFolder");
  ReadSetupText("SaveDataFolderNameInInstall", State.SaveDataFolderNameInInstall, kPathSize,
                "savedata");
  ReadSetupText("SaveDataFolderName", State.SaveDataFolderName, kPathSize, State.GameDir);
  State.CancelSaveData = ReadSetupFlag("CancelSaveData");
  ReadSetupText("StrKeyInstPath", State.StrKeyInstPath, kPathSize, "InstPath");
  ReadSetupText("ShortcutFolder", State.ShortcutFolder, kPathSize, "");
  State.StopInstallToProgramFiles = ReadSetupFlag("StopInstallToProgramFiles");
  State.InstallAfterAdd = ReadSetupFlag("InstallAfterAdd");

  // The additional list goes into selection slot 3, whatever InstallSelects
  // says; InstallTitle[3] stays as it is.
  if (State.InstallAfterAdd) {
    State.KeysOptional = 0;
    if (!ReadSetupKey("InstallAddFiles", list, kListBufferSize)) return 0;
    if (!TakeInstallFiles(list, 3)) {
      ShowSetupError("SETUP.INI : InstallAddFiles エラー");
      return 0;
    }
    State.KeysOptional = 1;
    State.InstallSize[3] = ReadSetupSize("InstallAddSize");
  }

  ReadSetupText("UninstTitle", State.UninstTitle, kPathSize, State.GameTitle);
  if (!ReadSetupInt("InstPathMode", &State.InstPathMode)) State.InstPathMode = 0;
  return 1;
}

}  // namespace

int LoadSetupDescription() {
  char list[kListBufferSize];
  char keyName[kLongTextSize];
  State.KeysOptional = 0;
  return LoadRequiredPart(list, keyName) && LoadOptionalPart(list, keyName);
}
