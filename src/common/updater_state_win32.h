// UpdaterState: everything the updater has read or decided, held once for the
// whole process. It is zero at process start except Caption, which starts as
// "UPDATE". The four fields CompanyName, GameTitle, GameDir and GameClass are
// shared by the update description (UPDATE.INI fills them first) and the
// installation description (SETUP.INI overwrites them).
//
// Texts are NUL-terminated Shift-JIS strings in fixed buffers; a size always
// includes the terminator.
#ifndef COMMON_UPDATER_STATE_WIN32_H
#define COMMON_UPDATER_STATE_WIN32_H

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "archive/archive_reader.h"

constexpr int kPathSize = 260;       // paths, names and short texts
constexpr int kLongTextSize = 1024;  // long texts, formatted messages, Caption
// Paths that the run composes (an item's target, its staged file and backup,
// a journal record, a normalised path): every buffer of them has this size.
constexpr size_t kFullPathSize = 1024;

constexpr int kSetupBmpSlots = 20;
constexpr int kInstallSelections = 4;
constexpr int kInstallFileSlots = 40;
constexpr int kShortcutLines = 10;
constexpr int kShortcutFields = 4;
constexpr int kDiscSlots = 10;
constexpr int kExecAppItems = 2;

struct UpdaterState {
  // The payload archive.
  const uint8_t* PayloadImage;  // the locked resource "UPDATE"/102; never written
  uint32_t PayloadSize;
  uint8_t* Directory;                     // GlobalAlloc block: header copy + records
  const ArchiveEntry* DirectoryEntries;   // Directory + 16
  ArchiveReader Archive;                  // the payload opened into Directory

  char UpdateIniPath[kPathSize];  // this process's temporary copy of UPDATE.INI
  char SetupIniPath[kPathSize];   // InstPath + SETUP.INI

  // The update description (section SETUP of UPDATE.INI).
  char CompanyName[kPathSize];
  char GameTitle[kPathSize];
  char GameClass[kPathSize];
  char GameDir[kPathSize];
  char GameTitleA[kPathSize];
  char UpdaterVersion[kPathSize];
  char UpdaterTitle[kPathSize];
  char DataFolder[kPathSize];
  char UpdateMessage[kLongTextSize];
  char* AgreementBuffer;  // zero-filled GlobalAlloc block, entry + 2 NULs
  char* WelcomeBuffer;

  // The install record (registry).
  char InstPath[kPathSize];
  char DataPath[kPathSize];
  uint32_t InstMode;

  char Caption[kLongTextSize];

  // Settings access.
  int KeysOptional;
  int LastDiscNumber;

  // The installation description (section SETUP of the installed SETUP.INI).
  char GameExe[kPathSize];
  char UninstExe[kPathSize];
  char SetupBmp[kSetupBmpSlots][kPathSize];
  int SetupBmpLast;
  int InstallSelects;
  char InstallTitle[kInstallSelections][kPathSize];
  char InstallFiles[kInstallSelections][kInstallFileSlots][kPathSize];
  int InstallFileDisc[kInstallSelections][kInstallFileSlots];
  int InstallNeedsDisc[kInstallSelections];
  int Shortcuts;
  char Shortcut[kShortcutLines][kShortcutFields][kPathSize];
  int EngineKind;
  int DefaultSelect;
  uint64_t InstallSize[kInstallSelections];
  char DiskCheckFile[kDiscSlots][kPathSize];
  char ExecApp[kExecAppItems][kPathSize];
  char SelectSetupMessage[kLongTextSize];
  int UseCompanyNameForShortcutGroup;
  int ChooseSaveDataFolder;
  char SaveDataFolderNameInInstall[kPathSize];
  char SaveDataFolderName[kPathSize];
  int CancelSaveData;
  char StrKeyInstPath[kPathSize];
  char ShortcutFolder[kPathSize];
  int StopInstallToProgramFiles;
  int InstallAfterAdd;
  char UninstTitle[kPathSize];
  int InstPathMode;

  // The wizard.
  HWND OwnerWindow;
  int WizardStep;
  int WizardBusy;
};

extern UpdaterState State;

// Puts State back to its process-start value. For tests, which run many
// updater lifetimes in one process.
void ResetUpdaterState();

#endif
