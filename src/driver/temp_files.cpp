#include "driver/temp_files.h"

#include <windows.h>

#include "common/updater_state_win32.h"

int MakeUpdateIniPath() {
  char folder[kPathSize] = {};
  // A result of 0 is a failure and one of kPathSize or more is the size the
  // folder would need; either way the buffer holds no usable folder.
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) lstrcpyA(folder, ".");
  // The file is created here, empty, so that the name stays ours until
  // CleanupTempFiles deletes it.
  if (GetTempFileNameA(folder, "upd", 0, State.UpdateIniPath) == 0) {
    State.UpdateIniPath[0] = '\0';
    return 0;
  }
  return 1;
}

void CleanupTempFiles() {
  if (State.Directory) {
    GlobalFree(State.Directory);
    State.Directory = nullptr;
    State.DirectoryEntries = nullptr;
    State.Archive = ArchiveReader{};
  }
  if (State.UpdateIniPath[0]) DeleteFileA(State.UpdateIniPath);
  State.UpdateIniPath[0] = '\0';
}
