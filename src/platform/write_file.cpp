#include "platform/write_file.h"

#include <cstring>

#include "common/updater_state_win32.h"
#include "platform/path_parts.h"

namespace {

// Creates a new, empty file beside path, named "~UPDxxxx.TMP", and returns its
// handle with its name in temp (kPathSize bytes); INVALID_HANDLE_VALUE when no
// such file can be made. CREATE_NEW never opens a file that is already there,
// so a leftover of an earlier run or another program's file is never touched;
// a name taken between the choice and the creation is chosen again.
HANDLE CreateTempFileBeside(const char* path, char* temp) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    if (!MakeSiblingName(path, "~UPD", temp, kPathSize)) break;
    HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

int WriteFileWithTime(const char* path, const void* bytes, uint32_t count, const FILETIME* time) {
  char temp[kPathSize];
  HANDLE file = CreateTempFileBeside(path, temp);
  if (file == INVALID_HANDLE_VALUE) return 0;

  // All the bytes in one call; a short count is a failure (a full drive).
  int ok = 1;
  if (count != 0) {
    DWORD written = 0;
    ok = WriteFile(file, bytes, count, &written, nullptr) && written == count;
  }
  if (ok && time) ok = SetFileTime(file, time, time, time) != 0;
  // The data must be on the disk before the new name is, or a power cut
  // could leave the game with an empty file under the old name.
  if (ok) ok = FlushFileBuffers(file) != 0;
  CloseHandle(file);

  if (ok) ok = MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) DeleteFileA(temp);
  return ok;
}
