// Planning the update items: the rules of each item, decided before anything
// is written.
#include "wizard/run_update_plan.h"

#include <cstring>

#include "archive/archive_reader.h"
#include "common/updater_contract.h"
#include "platform/join_path.h"
#include "platform/path_parts.h"
#include "platform/run_log_win32.h"
#include "wizard/item_patches.h"
#include "wizard/run_update_steps.h"

namespace {

// Composes base, DataFolder and ItemName into the item's target, and base
// and DataFolder into its Folder when there is a DataFolder; nothing is
// created here. Data items go below DataPath, or below InstPath when the
// registry gives no DataPath: a relative path would land in the process's
// current folder, wherever the player started the updater from. Returns 0
// when the path does not fit.
int ComposeTarget(const UpdateItem& item, PlannedItem& planned) {
  const char* base = item.Kind == UpdateKind::Data && State.DataPath[0] ? State.DataPath
                                                                         : State.InstPath;
  char* target = planned.Target;
  lstrcpynA(target, base, kPathSize);
  // With an empty DataFolder this only adds the backslash before the name.
  if (!JoinPath(target, kFullPathSize, State.DataFolder)) return 0;
  if (State.DataFolder[0]) lstrcpynA(planned.Folder, target, kFullPathSize);
  return JoinPath(target, kFullPathSize, item.ItemName);
}

int IsFile(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

enum class DataRead { Read, Left, NotReadable, NoMemory };

// Reads a Data item's existing file whole into a block of the plan. A file
// of 4 GiB or more cannot be held in one block; it is the player's all the
// same and is left exactly as it is.
DataRead ReadDataFile(PlannedItem& planned) {
  HANDLE file = CreateFileA(planned.Target, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return DataRead::NotReadable;
  DWORD sizeHigh = 0;
  SetLastError(NO_ERROR);  // a size whose low half is 0xFFFFFFFF is no failure
  const DWORD size = GetFileSize(file, &sizeHigh);
  DataRead result = DataRead::Read;
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    result = DataRead::NotReadable;
  } else if (sizeHigh != 0) {
    result = DataRead::Left;
  } else {
    // One byte at least, so that an empty file is read like any other.
    planned.DataBlock = GlobalAlloc(GMEM_FIXED, size ? size : 1);
    DWORD read = 0;
    if (!planned.DataBlock) {
      result = DataRead::NoMemory;
    } else if (!ReadFile(file, planned.DataBlock, size, &read, nullptr) || read != size) {
      GlobalFree(planned.DataBlock);
      planned.DataBlock = nullptr;
      result = DataRead::NotReadable;
    }
    planned.DataSize = size;
  }
  CloseHandle(file);
  return result;
}

int PlanItem(const UpdateItem& item, int overwriteOnly, PlannedItem& planned) {
  // A path that does not fit would name another file: the item fails.
  if (!ComposeTarget(item, planned)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);  // the reason that the log gives
    return FailItem(planned, nullptr);
  }
  const DWORD attributes = GetFileAttributesA(planned.Target);
  planned.TargetAttributes = attributes;
  if ((overwriteOnly || item.Kind == UpdateKind::Overwrite) && !IsFile(attributes)) {
    planned.Action = ItemAction::Skip;
    return 1;
  }
  if (item.Kind == UpdateKind::Data && IsFile(attributes)) {
    switch (ReadDataFile(planned)) {
      case DataRead::Read:
        planned.Action = ItemAction::PlaceData;
        return 1;
      case DataRead::Left:
        planned.Action = ItemAction::Skip;
        return 1;
      case DataRead::NoMemory:
        // The player's file is there; the archive's copy must not replace it
        // only because it could not be held in memory.
        return FailItem(planned, kNoMemoryMessage);
      case DataRead::NotReadable:
        break;  // taken from the archive like a missing file
    }
  }

  // The archive is flat: the folders of ItemName only place the file on disk.
  if (!FindItemEntry(item.ItemName + item.BaseOffset, planned)) {
    return FailItem(planned, kNoEntryMessage);
  }
  // A size that no stream can reach is found out when the entry is staged,
  // after its free-space check, as for any other damaged stream.
  ArchiveProblem why;
  if (!CheckArchiveEntry(&State.Archive, planned.EntryIndex, &why) &&
      why != kArchiveEntryTooLarge && why != kArchiveEntryIsPatch) {
    return FailItem(planned, kReadErrorMessage);
  }
  planned.Entry = &State.Archive.Entries[planned.EntryIndex];
  char shortfall[kLongTextSize];
  if (!CheckEntrySpace(planned.Target, planned.Entry->UnpackedSize, shortfall)) {
    return FailItem(planned, shortfall);
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_ACCESS_DENIED);  // what a write over the folder would give
    return FailItem(planned, nullptr);  // a folder in the way
  }
  if (item.Kind == UpdateKind::Update && attributes != INVALID_FILE_ATTRIBUTES &&
      IsFileNewerThan(planned.Target, EntryFileTime(*planned.Entry))) {
    planned.Action = ItemAction::Keep;
    return 1;
  }
  if (!ChooseItemPatch(item.ItemName + item.BaseOffset, planned)) return 0;
  planned.Action = ItemAction::PlaceEntry;
  return 1;
}

}  // namespace

int FailItem(PlannedItem& item, const char* text) {
  LogItemFailure(item.Target, text);
  item.Failed = 1;
  lstrcpynA(item.FailureText, text ? text : "", kLongTextSize);
  return 0;
}

int IsFileNewerThan(const char* path, uint64_t time) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  FILETIME lastWrite;
  const int newer =
      GetFileTime(file, nullptr, nullptr, &lastWrite) && PackFileTime(lastWrite) > time;
  CloseHandle(file);
  return newer;
}

int PlanUpdateItems(const UpdateItem* items, int count, int overwriteOnly, UpdatePlan& plan) {
  plan.Count = 0;
  for (int i = 0; i < count; ++i) {
    PlannedItem& planned = plan.Items[plan.Count++];
    std::memset(&planned, 0, sizeof planned);
    planned.TargetAttributes = INVALID_FILE_ATTRIBUTES;
    if (!PlanItem(items[i], overwriteOnly, planned)) return 0;
  }
  return 1;
}
