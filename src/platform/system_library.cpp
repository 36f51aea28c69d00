#include "platform/system_library.h"

#include "platform/join_path.h"

namespace {

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);

}  // namespace

int RestrictLibrarySearch() {
  // kernel32.dll is in every process from its start: asking for its handle
  // loads nothing.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto restrict = kernel ? reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(
                               GetProcAddress(kernel, "SetDefaultDllDirectories")))
                         : nullptr;
  if (restrict && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) return 1;
  SetDllDirectoryA("");
  return 0;
}

HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !JoinPath(path, sizeof path, name)) return nullptr;
  return LoadLibraryA(path);
}
