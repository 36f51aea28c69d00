// Writing the update items into the installation folder or the data folder.
#include <cstdint>

#include "common/updater_state.h"
#include "platform/join_path.h"
#include "platform/update_error.h"
#include "platform/write_file.h"
#include "wizard/archive_entries.h"
#include "wizard/run_update_steps.h"

namespace {

// Every update item's target path is composed in a buffer of this size.
constexpr size_t kTargetPathSize = 1024;

enum class DataRewrite { Done, NotReadable };

// Composes base \ DataFolder \ ItemName into target, creating the last level
// of DataFolder on the way. Returns 0 when the path does not fit.
int ComposeTarget(const UpdateItem& item, char* target) {
  const char* base = item.Kind == UpdateKind::Data ? State.DataPath : State.InstPath;
  lstrcpynA(target, base, kPathSize);
  // With an empty DataFolder this only adds the backslash before the name.
  if (!JoinPath(target, kTargetPathSize, State.DataFolder)) return 0;
  // Only one level is made; when it exists already the call fails, which is
  // just as good.
  CreateDirectoryA(target, nullptr);
  return JoinPath(target, kTargetPathSize, item.ItemName);
}

// The existence gate: only a target that exists as a file passes.
int IsExistingFile(const char* target) {
  const DWORD attributes = GetFileAttributesA(target);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A Data target that exists and can be read keeps its bytes; they are written
// back so that its last-write time becomes the time of this run. Whether that
// write succeeds does not matter: the player's data is what counts.
DataRewrite RewriteDataFile(const char* target) {
  HANDLE file = CreateFileA(target, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return DataRewrite::NotReadable;
  DWORD sizeHigh = 0;
  SetLastError(NO_ERROR);  // a size whose low half is 0xFFFFFFFF is no failure
  const DWORD size = GetFileSize(file, &sizeHigh);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    CloseHandle(file);
    return DataRewrite::NotReadable;
  }
  if (sizeHigh != 0) {
    // Four GiB or more cannot be held in one block. Such a file is the
    // player's all the same: it is left exactly as it is, never cut to its
    // low 32 bits of length or replaced by the archive's copy.
    CloseHandle(file);
    return DataRewrite::Done;
  }
  // A block of at least one byte, so that an empty file is read like any
  // other and keeps being empty.
  void* block = GlobalAlloc(GMEM_FIXED, size ? size : 1);
  DWORD read = 0;
  const BOOL ok = block && ReadFile(file, block, size, &read, nullptr) && read == size;
  CloseHandle(file);
  if (ok) WriteFileWithTime(target, block, size, nullptr);
  if (block) GlobalFree(block);
  return ok ? DataRewrite::Done : DataRewrite::NotReadable;
}

int WriteUpdateItem(const UpdateItem& item, int overwriteOnly) {
  char target[kTargetPathSize];
  // A path that does not fit would name another file: the item fails.
  if (!ComposeTarget(item, target)) return 0;
  if ((overwriteOnly || item.Kind == UpdateKind::Overwrite) && !IsExistingFile(target)) return 1;
  if (item.Kind == UpdateKind::Data && RewriteDataFile(target) == DataRewrite::Done) return 1;
  // The archive is flat: the folders of ItemName only place the file on disk.
  return ExtractArchiveEntry(item.ItemName + item.BaseOffset, target,
                             item.Kind == UpdateKind::Update);
}

}  // namespace

int WriteUpdateItems(HWND dialog, const UpdateRunItems& items, int overwriteOnly) {
  for (int i = 0; i < items.UpdateCount; ++i) {
    if (!WriteUpdateItem(items.UpdateItems[i], overwriteOnly)) {
      ShowUpdateError("ファイルの書き込みに失敗しました");
      EndDialog(dialog, -1);
      return 0;
    }
  }
  return 1;
}
