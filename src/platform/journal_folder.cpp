#include "platform/journal_folder.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstring>

#include "common/updater_state_win32.h"
#include "platform/join_path.h"

namespace {

constexpr char kUpdaterFolder[] = "GameUpdater";

// Owner Administrators; the DACL protected from inheritance, full control
// for SYSTEM and Administrators, inherited by what is made inside.
constexpr char kAdminOnly[] = "O:BAG:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Appends name to folder as one level: characters that a name cannot hold
// become "_", as do dots and blanks that would end it (the system would drop
// them) and the names "." and "..". The walk goes by characters, so that
// no trail byte of code page 932 is taken for a separator.
int JoinLevel(char* folder, const char* name) {
  char level[kPathSize];
  size_t length = 0;
  for (const char* p = name; *p && length + 2 < sizeof level; p = CharNextA(p)) {
    const size_t size = static_cast<size_t>(CharNextA(p) - p);
    if (size == 1 && (static_cast<unsigned char>(*p) < 0x20 || std::strchr("\\/:*?\"<>|", *p))) {
      level[length++] = '_';
    } else {
      std::memcpy(level + length, p, size);
      length += size;
    }
  }
  while (length && (level[length - 1] == '.' || level[length - 1] == ' ')) level[--length] = '\0';
  if (length == 0) level[length++] = '_';
  level[length] = '\0';
  return JoinPath(folder, level);
}

// Makes one level trusted: made with the ACL when missing (and create),
// else checked to be a real folder and given the ACL again.
int TrustLevel(const char* level, PSECURITY_DESCRIPTOR descriptor, int create) {
  DWORD attributes = GetFileAttributesA(level);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (!create) return 0;
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    if (CreateDirectoryA(level, &security)) return 1;
    attributes = GetFileAttributesA(level);  // made meanwhile by someone else
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return 0;
  }
  return SetFileSecurityA(level,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                              PROTECTED_DACL_SECURITY_INFORMATION,
                          descriptor) != 0;
}

}  // namespace

int ComposeJournalFolder(char* folder) {
  char programData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                              programData)) ||
      !programData[0]) {
    return 0;
  }
  lstrcpynA(folder, programData, kPathSize);
  return JoinPath(folder, kUpdaterFolder) && JoinLevel(folder, State.CompanyName) &&
         JoinLevel(folder, State.GameDir);
}

int PrepareJournalFolder(const char* folder, int create) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdminOnly, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return 0;
  }
  // The levels below the program-data folder, from the updater's own down.
  char programData[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, programData);
  size_t at = std::strlen(programData);
  int trusted = at != 0 && CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, folder,
                                          static_cast<int>(at), programData,
                                          static_cast<int>(at)) == CSTR_EQUAL;
  while (trusted && folder[at]) {
    // The next backslash after at, found by characters.
    const char* p = folder + at + 1;
    while (*p && *p != '\\') p = CharNextA(p);
    char level[kPathSize];
    const size_t length = static_cast<size_t>(p - folder);
    std::memcpy(level, folder, length);
    level[length] = '\0';
    trusted = TrustLevel(level, descriptor, create);
    at = length;
  }
  LocalFree(descriptor);
  return trusted;
}
