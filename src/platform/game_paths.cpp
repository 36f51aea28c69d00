#include "platform/game_paths.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>

#include "common/updater_state_win32.h"

namespace {

constexpr int kMaxLevels = static_cast<int>(kFullPathSize / 2);

// The byte offsets of the single-byte backslashes of path, in order. The walk
// goes by characters: a trail byte of code page 932 can be 0x5C.
int Separators(const char* path, size_t* at) {
  int count = 0;
  for (const char* p = path; *p && count < kMaxLevels; p = CharNextA(p)) {
    if (*p == '\\') at[count++] = static_cast<size_t>(p - path);
  }
  return count;
}

// Drops the dots and blanks that end a level, as the system does when it
// opens the path. Neither byte is ever a trail byte of code page 932, so the
// bytes before a level's end can be looked at one by one. The leading empty
// levels of "\\server" are kept. Returns 0 when a level is left empty.
int TrimLevelEnds(char* path) {
  size_t at[kMaxLevels + 1];
  int count = Separators(path, at);
  at[count++] = std::strlen(path);  // the end closes the last level
  char trimmed[kFullPathSize];
  size_t out = 0;
  size_t start = 0;
  for (int i = 0; i < count; ++i) {
    size_t end = at[i];
    const size_t full = end;
    while (end > start && (path[end - 1] == '.' || path[end - 1] == ' ')) --end;
    if (end == start && full != start) return 0;  // "..." or " ": nothing is left
    std::memcpy(trimmed + out, path + start, end - start);
    out += end - start;
    if (i < count - 1) trimmed[out++] = '\\';
    start = full + 1;
  }
  trimmed[out] = '\0';
  std::memcpy(path, trimmed, out + 1);
  return 1;
}

// Whether a and b name the same text for the first count bytes, without
// regard to case, in the system's code page.
int SameText(const char* a, const char* b, size_t count) {
  return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, static_cast<int>(count), b,
                        static_cast<int>(count)) == CSTR_EQUAL;
}

// The length of a normalised folder without a final backslash ("C:\" keeps
// its own).
size_t FolderLength(const char* folder) {
  const size_t length = std::strlen(folder);
  size_t at[kMaxLevels];
  const int count = Separators(folder, at);
  if (count > 1 && at[count - 1] == length - 1) return length - 1;
  return length;
}

// Whether the normalised path is the normalised folder or lies below it.
int IsSameOrBelow(const char* path, const char* folder, int below) {
  const size_t length = FolderLength(folder);
  const size_t pathLength = std::strlen(path);
  if (pathLength < length || !SameText(path, folder, length)) return 0;
  if (pathLength == length || (pathLength == length + 1 && path[length] == '\\')) return !below;
  // The folder must end where path has a level boundary.
  size_t at[kMaxLevels];
  const int count = Separators(path, at);
  for (int i = 0; i < count; ++i) {
    if (at[i] == length || (at[i] == length - 1 && folder[length - 1] == '\\')) return 1;
  }
  return 0;
}

// Whether a folder between the root (excluded) and the last level of path
// (excluded) is a reparse point. Both are normalised.
int HasLinkBelow(const char* path, const char* root) {
  const size_t rootLength = FolderLength(root);
  size_t at[kMaxLevels];
  const int count = Separators(path, at);
  char prefix[kFullPathSize];
  for (int i = 0; i < count; ++i) {
    if (at[i] <= rootLength) continue;
    std::memcpy(prefix, path, at[i]);
    prefix[at[i]] = '\0';
    const DWORD attributes = GetFileAttributesA(prefix);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return 1;
    }
  }
  return 0;
}

int IsRoot(const char* normal) {
  // "X:\" (or "X:"), a device path, or "\\server\share" with nothing below.
  if (normal[0] && normal[1] == ':' && (normal[2] == '\0' || (normal[2] == '\\' && !normal[3]))) {
    return 1;
  }
  if (normal[0] == '\\' && normal[1] == '\\') {
    if (normal[2] == '?' || normal[2] == '.') return 1;
    size_t at[kMaxLevels];
    const int count = Separators(normal, at);
    const size_t length = std::strlen(normal);
    return count < 4 || (count == 4 && at[3] == length - 1);
  }
  return 0;
}

int IsSystemFolderOrBelow(const char* normal) {
  using FolderGetter = UINT(WINAPI*)(LPSTR, UINT);
  for (FolderGetter get : {FolderGetter{GetWindowsDirectoryA}, FolderGetter{GetSystemDirectoryA},
                           FolderGetter{GetSystemWow64DirectoryA}}) {
    char folder[kPathSize];
    char normalFolder[kFullPathSize];
    const UINT length = get(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) continue;
    if (NormalizePath(folder, normalFolder) && IsSameOrBelow(normal, normalFolder, 0)) return 1;
  }
  return IsRoot(normal);
}

// Where folder leads once its links are followed, without the "\\?\" that the
// system puts before it. Returns 0 when the folder cannot be opened.
int ResolveLinks(const char* folder, char* out) {
  // Looked up at run time: the oldest systems do not have it.
  using FinalPathGetter = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const auto getFinalPath = kernel ? reinterpret_cast<FinalPathGetter>(reinterpret_cast<void*>(
                                         GetProcAddress(kernel, "GetFinalPathNameByHandleA")))
                                   : nullptr;
  if (!getFinalPath) return 0;
  HANDLE handle = CreateFileA(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  char final[kFullPathSize];
  const DWORD length = getFinalPath(handle, final, sizeof final, 0);
  CloseHandle(handle);
  if (length == 0 || length >= sizeof final) return 0;
  const char* start = final;
  if (std::strncmp(start, "\\\\?\\UNC\\", 8) == 0) {
    lstrcpynA(out, "\\\\", kFullPathSize);
    lstrcpynA(out + 2, start + 8, kFullPathSize - 2);
    return 1;
  }
  if (std::strncmp(start, "\\\\?\\", 4) == 0) start += 4;
  lstrcpynA(out, start, kFullPathSize);
  return 1;
}

}  // namespace

int NormalizePath(const char* path, char* out) {
  char full[kFullPathSize];
  const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) return 0;
  if (!TrimLevelEnds(full)) return 0;

  // The longest leading part that exists, under its long name, then the
  // rest as given. The first level keeps its backslash ("C:\").
  size_t at[kMaxLevels + 1];
  int count = Separators(full, at);
  at[count++] = std::strlen(full);
  for (int i = count - 1; i >= 0; --i) {
    // The server and share of "\\\\server\\share" are taken as given.
    if (full[0] == '\\' && i < 4) break;
    const size_t keep = i == 0 && at[0] < at[count - 1] ? at[0] + 1 : at[i];
    char part[kFullPathSize];
    std::memcpy(part, full, keep);
    part[keep] = '\0';
    char longer[kFullPathSize];
    const DWORD got = GetLongPathNameA(part, longer, sizeof longer);
    if (got == 0 || got >= sizeof longer) continue;
    const size_t rest = std::strlen(full + keep);
    if (got + rest + 2 > kFullPathSize) return 0;
    std::memcpy(out, longer, got);
    size_t used = got;
    // "C:\" already ends in its backslash; any other part gets the one that
    // it was cut before.
    if (rest && full[keep] != '\\' && longer[got - 1] != '\\') out[used++] = '\\';
    std::memcpy(out + used, full + keep, rest + 1);
    return 1;
  }
  std::memcpy(out, full, std::strlen(full) + 1);
  return 1;
}

int IsPathBelow(const char* path, const char* root) {
  char normalPath[kFullPathSize];
  char normalRoot[kFullPathSize];
  return NormalizePath(path, normalPath) && NormalizePath(root, normalRoot) &&
         IsSameOrBelow(normalPath, normalRoot, 1);
}

int AreSiblings(const char* a, const char* b) {
  char normalA[kFullPathSize];
  char normalB[kFullPathSize];
  if (!NormalizePath(a, normalA) || !NormalizePath(b, normalB)) return 0;
  size_t at[kMaxLevels];
  const int countA = Separators(normalA, at);
  const size_t folderA = countA ? at[countA - 1] : 0;
  const int countB = Separators(normalB, at);
  const size_t folderB = countB ? at[countB - 1] : 0;
  return countA && countB && folderA == folderB && SameText(normalA, normalB, folderA);
}

int IsWritableGamePath(const char* path) {
  char normalPath[kFullPathSize];
  if (!NormalizePath(path, normalPath)) return 0;
  for (const char* root : {State.InstPath, State.DataPath}) {
    char normalRoot[kFullPathSize];
    if (!root[0] || !NormalizePath(root, normalRoot)) continue;
    if (IsSameOrBelow(normalPath, normalRoot, 1) && !HasLinkBelow(normalPath, normalRoot)) {
      return 1;
    }
  }
  return 0;
}

int IsSystemPlace(const char* folder) {
  char normal[kFullPathSize];
  // A path that cannot be normalised names no place that the run can write:
  // every write asks IsWritableGamePath, which refuses it.
  if (!NormalizePath(folder, normal)) return 0;
  if (IsSystemFolderOrBelow(normal)) return 1;
  // A folder that is itself a link, or lies behind one, counts where it leads.
  char resolved[kFullPathSize];
  return ResolveLinks(normal, resolved) && NormalizePath(resolved, normal) &&
         IsSystemFolderOrBelow(normal);
}
