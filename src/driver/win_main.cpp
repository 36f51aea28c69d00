// The updater's entry: one straight course from the payload in the program's
// own resources to the installed game's SETUP.INI, then the launch sequence,
// and at every way out the same clean-up. The exit code is 1 only after a
// finished update; every other way out gives 0.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstring>

#include "archive/archive_directory_win32.h"
#include "common/updater_contract.h"
#include "common/updater_state_win32.h"
#include "config/settings_access_win32.h"
#include "driver/install_record.h"
#include "driver/launch_sequence.h"
#include "driver/payload_check.h"
#include "driver/run_log_start.h"
#include "driver/temp_files.h"
#include "driver/update_message.h"
#include "platform/run_log_win32.h"
#include "platform/system_library.h"
#include "platform/update_error.h"
#include "platform/update_journal.h"
#include "wizard/archive_entries.h"

namespace {

// Finds and locks the payload resource. It stays where the loader mapped it
// and is only ever read.
int LockPayload(HINSTANCE instance) {
  HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(kPayloadResourceId), kPayloadResourceType);
  if (!resource) return 0;
  DWORD size = SizeofResource(instance, resource);
  if (size == 0) return 0;
  HGLOBAL loaded = LoadResource(instance, resource);
  if (!loaded) return 0;
  const void* bytes = LockResource(loaded);
  if (!bytes) return 0;
  State.PayloadImage = static_cast<const uint8_t*>(bytes);
  State.PayloadSize = size;
  return 1;
}

// Reads the four keys without which the update cannot find its game. The
// first missing one is reported by ReadUpdateKey; the rest are not read.
int ReadRequiredKeys() {
  return ReadUpdateKey("SETUP", "CompanyName", State.CompanyName, kPathSize) &&
         ReadUpdateKey("SETUP", "GameTitle", State.GameTitle, kPathSize) &&
         ReadUpdateKey("SETUP", "GameClass", State.GameClass, kPathSize) &&
         ReadUpdateKey("SETUP", "GameDir", State.GameDir, kPathSize);
}

// Missing optional keys leave their fields empty, without a message.
void ReadOptionalKeys() {
  ReadUpdateKey("SETUP", "GameTitleA", State.GameTitleA, kPathSize);
  ReadUpdateKey("SETUP", "UpdaterVersion", State.UpdaterVersion, kPathSize);
  ReadUpdateKey("SETUP", "UpdaterTitle", State.UpdaterTitle, kPathSize);
  ReadUpdateKey("SETUP", "DataFolder", State.DataFolder, kPathSize);
  ReadUpdateKey("SETUP", "UpdateMessage", State.UpdateMessage, kLongTextSize);
}

// When key names an archive entry, copies that entry into a zero-filled block
// two bytes longer than the entry, so that its text always ends in two NULs.
// The block lives until the process ends. Returns 1 when the key is absent
// or the copy was made.
int LoadEntryText(const char* key, char** buffer) {
  char name[kPathSize];
  if (!ReadUpdateKey("SETUP", key, name, sizeof name)) return 1;

  uint32_t count = 0;
  const uint8_t* content = LoadArchiveEntry(name, &count);
  if (!content) {
    char message[kLongTextSize];
    wsprintfA(message, kEntryNotFoundFormat, name);
    ShowUpdateError(message);
    return 0;
  }
  char* block = static_cast<char*>(GlobalAlloc(GPTR, SIZE_T{count} + 2));
  if (!block) {
    ReleaseArchiveEntry(content);
    ShowUpdateError(kNoMemoryMessage);
    return 0;
  }
  std::memcpy(block, content, count);
  ReleaseArchiveEntry(content);
  *buffer = block;
  return 1;
}

// Steps 2 to 14 of the course. Every failure returns 0 at once: the common
// end in WinMain cleans up after all of them alike.
// Says in the run log what became of an earlier run that left its journal.
void LogRecovery(JournalRecovery found, int recovered) {
  switch (found) {
    case JournalRecovery::None:
      break;
    case JournalRecovery::Refused:
      LogLine("an earlier run's journal breaks the journal's rules: set aside, nothing of it done");
      break;
    case JournalRecovery::Finished:
      LogLine("an earlier run was stopped after its commit: its new files stay, its old files "
              "are deleted");
      break;
    case JournalRecovery::RolledBack:
      LogLine(recovered ? "an earlier run was stopped before its commit: undone, the game's files "
                          "are as they were"
                        : "an earlier run was stopped before its commit: not everything could be "
                          "undone; the journal stays for the next start");
      break;
  }
}

int RunUpdater(HINSTANCE instance) {
  LogUpdaterStart(instance);
  if (!LockPayload(instance)) {
    LogLine("no update in this program: it is the updater without a payload");
    return 0;
  }
  LogLine("payload: %lu bytes", static_cast<unsigned long>(State.PayloadSize));
  // A damaged download is refused before a byte of it is read or written
  // anywhere.
  if (!CheckPayload(instance)) {
    ShowUpdateError(kDamagedUpdaterMessage);
    return 0;
  }

  State.Directory = LoadArchiveDirectory();
  if (!State.Directory) {
    ShowUpdateError(kReadErrorMessage);
    return 0;
  }
  State.DirectoryEntries = State.Archive.Entries;

  // UPDATE.INI goes into a file of this process's own; any message about a
  // failed write comes from ExtractArchiveEntry.
  if (!MakeUpdateIniPath()) {
    LogSystemFailure("could not make a temporary file for UPDATE.INI", "%TEMP%");
    return 0;
  }
  if (!ExtractArchiveEntry("UPDATE.INI", State.UpdateIniPath, 0)) {
    LogSystemFailure("could not write UPDATE.INI", State.UpdateIniPath);
    return 0;
  }

  if (!ReadRequiredKeys()) return 0;
  State.KeysOptional = 1;
  ReadOptionalKeys();
  // From here on the log has its name: the game's folder name.
  OpenRunLog(State.GameDir);
  LogLine("update of \"%s\" (GameDir %s, CompanyName %s), UpdaterVersion \"%s\"",
          State.GameTitle, State.GameDir, State.CompanyName, State.UpdaterVersion);

  if (!LoadEntryText("AgreementText", &State.AgreementBuffer)) return 0;
  if (!LoadEntryText("AgreementTitle", &State.WelcomeBuffer)) return 0;

  LogLine("looking for the game: HKEY_CURRENT_USER\\Software\\%s\\%s", State.CompanyName,
          State.GameDir);
  if (!ReadInstallRecord()) return 0;
  LogLine("game found: InstPath \"%s\", DataPath \"%s\", InstMode %lu", State.InstPath,
          State.DataPath, static_cast<unsigned long>(State.InstMode));

  // An update of this game that was killed half-way is undone before anything
  // is shown, so that the game is the old version again.
  char notRestored[kFullPathSize];
  JournalRecovery found;
  const int recovered = RecoverJournal(notRestored, &found);
  LogRecovery(found, recovered);
  if (!recovered) {
    ShowRestoreError(notRestored);
    return 0;
  }

  // The notice is shown once; whatever the player answers, the course goes on.
  if (State.UpdateMessage[0]) {
    char notice[kLongTextSize];
    ConvertUpdateMessage(State.UpdateMessage, notice, sizeof notice);
    ShowUpdateError(notice);
  }

  if (!FindSetupIni()) return 0;
  LogLine("SETUP.INI: %s", State.SetupIniPath);

  return RunLaunchSequence(instance);
}

// The manifest asks for the common controls of version 6; registering their
// standard classes and the progress bar's before the first window makes the
// wizard's buttons, edit box, texts and the run's bar come from that library
// on every system. The library is
// loaded here, by name and only after the search is restricted, rather than
// imported: an import is bound before WinMain runs, and with it the
// libraries it imports in turn (uxtheme.dll among them), which the default
// search would take from the updater's own folder. By name, the manifest's
// activation context still selects version 6 from the side-by-side store.
void InitVisualStyles() {
  HMODULE library = LoadLibraryA("comctl32.dll");
  if (!library) return;
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  if (init) init(&controls);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before anything can load a library: none may come from the updater's
  // own folder.
  RestrictLibrarySearch();
  // The shell's file copy in the update run needs COM on this thread. It is
  // never uninitialised: the process ends right after.
  CoInitialize(nullptr);
  InitVisualStyles();
  int exitCode = RunUpdater(instance);
  CleanupTempFiles();
  CloseRunLog(exitCode);
  return exitCode;
}
