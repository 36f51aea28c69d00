#include "platform/write_file.h"

#include <cstring>

#include "common/updater_state_win32.h"

namespace {

// Length of the folder part of path, separator included: everything up to the
// last single-byte backslash or slash, or the drive of a path like "C:NAME".
// 0 for a bare name, which lives in the current folder. The walk goes by
// characters, as a trail byte of code page 932 can be 0x5C.
size_t FolderPartLength(const char* path) {
  size_t folder = 0;
  if (path[0] && !IsDBCSLeadByte(static_cast<BYTE>(path[0])) && path[1] == ':') folder = 2;
  for (const char* p = path; *p; p = CharNextA(p)) {
    if (*p == '\\' || *p == '/') folder = static_cast<size_t>(p - path) + 1;
  }
  return folder;
}

// Creates a new, empty file beside path, named "~UPDxxxx.TMP", and returns its
// handle with its name in temp (kPathSize bytes); INVALID_HANDLE_VALUE when no
// such file can be made. CREATE_NEW never opens a file that is already there,
// so a leftover of an earlier run or another program's file is never touched.
HANDLE CreateTempFileBeside(const char* path, char* temp) {
  size_t folder = FolderPartLength(path);
  const size_t nameLength = sizeof "~UPD0000.TMP" - 1;
  if (folder + nameLength + 1 > static_cast<size_t>(kPathSize)) return INVALID_HANDLE_VALUE;

  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (DWORD attempt = 0; attempt < 256; ++attempt) {
    std::memcpy(temp, path, folder);
    wsprintfA(temp + folder, "~UPD%04X.TMP", static_cast<unsigned>((seed + attempt) & 0xFFFF));
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
