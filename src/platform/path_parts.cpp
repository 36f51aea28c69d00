#include "platform/path_parts.h"

#include <cstring>


void DriveOfPath(const char* path, char* drive) {
  drive[0] = path[0];
  drive[1] = path[0] ? path[1] : '\0';
  drive[2] = '\0';
}

int SameDrive(const char* a, const char* b) {
  auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (int i = 0; i < 2; ++i) {
    if (fold(a[i]) != fold(b[i])) return 0;
    if (!a[i]) return 1;
  }
  return 1;
}

size_t FolderPartLength(const char* path) {
  size_t folder = 0;
  if (path[0] && !IsDBCSLeadByte(static_cast<BYTE>(path[0])) && path[1] == ':') folder = 2;
  for (const char* p = path; *p; p = CharNextA(p)) {
    if (*p == '\\' || *p == '/') folder = static_cast<size_t>(p - path) + 1;
  }
  return folder;
}

int MakeSiblingName(const char* path, const char* prefix, char* name, size_t nameSize) {
  const size_t folder = FolderPartLength(path);
  const size_t nameLength = std::strlen(prefix) + sizeof "0000.TMP" - 1;
  if (folder + nameLength + 1 > nameSize) return 0;
  const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (DWORD attempt = 0; attempt < 4096; ++attempt) {
    std::memcpy(name, path, folder);
    wsprintfA(name + folder, "%s%04X.TMP", prefix,
              static_cast<unsigned>((seed + attempt * 40503u) & 0xFFFF));
    if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND) {
      return 1;
    }
  }
  return 0;
}

void ClearReadOnly(const char* path, DWORD attributes) {
  const DWORD rest = attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
  SetFileAttributesA(path, rest ? rest : FILE_ATTRIBUTE_NORMAL);
}
