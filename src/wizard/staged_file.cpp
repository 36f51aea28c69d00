// Staging: each item's new content in a new file beside its target.
#include "wizard/staged_file.h"

#include <cstring>

#include "archive/archive_reader.h"
#include "common/updater_contract.h"
#include "platform/game_paths.h"
#include "platform/path_parts.h"
#include "wizard/item_patches.h"
#include "wizard/run_update_plan.h"
#include "wizard/run_update_steps.h"

namespace {

// Writes bytes to the staged file, in calls of at most a DWORD's worth.
int WriteStagedBytes(PlannedItem& item, const uint8_t* bytes, size_t size) {
  while (size != 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(item.StagedFile, bytes, chunk, &written, nullptr) || written != chunk) {
      return FailItem(item, nullptr);
    }
    InterlockedExchangeAdd64(&item.Written, chunk);
    bytes += chunk;
    size -= chunk;
  }
  return 1;
}

// Decodes the item's entry part by part through the worker's buffer and
// writes each part to the staged file, so that an entry of any size takes no
// more memory than the buffer. Putting the file on the disk is left to the
// flushing thread (fill_staged_files.cpp).
int WriteEntryInParts(PlannedItem& item, uint8_t* buffer, size_t bufferSize) {
  ArchiveEntryStream stream;
  ArchiveProblem why;
  if (!OpenArchiveEntryStream(&State.Archive, item.EntryIndex, &stream, &why)) {
    return FailItem(item, kReadErrorMessage);
  }
  for (;;) {
    const uint8_t* part = nullptr;
    size_t partSize = 0;
    if (!ReadArchiveEntryPart(&stream, buffer, bufferSize, &part, &partSize, &why)) {
      return FailItem(item, kReadErrorMessage);
    }
    if (partSize == 0) return 1;
    if (!WriteStagedBytes(item, part, partSize)) return 0;
  }
}

}  // namespace

int HasStagedFile(const PlannedItem& item) {
  return item.Action == ItemAction::PlaceEntry || item.Action == ItemAction::PlaceData;
}

uint64_t StagedSize(const PlannedItem& item) {
  if (item.Action == ItemAction::PlaceEntry) return item.Entry->UnpackedSize;
  if (item.Action == ItemAction::PlaceData) return item.DataSize;
  return 0;
}

int CreateStagedFile(PlannedItem& item, uint64_t pending) {
  if (!HasStagedFile(item)) return 1;
  // The drive must have this item's room beside the room that the run's own
  // files will take there (see PendingRoom).
  char shortfall[kLongTextSize];
  if (!CheckEntrySpace(item.Target, ClusterRoom(item.Target, StagedSize(item)) + pending,
                       shortfall)) {
    return FailItem(item, shortfall);
  }

  // Nothing is created through a link below the game's folders, nor outside
  // them: such an item fails as a write that cannot be made.
  if (!IsWritableGamePath(item.Target)) return FailItem(item, nullptr);
  // Only one level is made; a folder that is already there is not the run's
  // and is never named in the journal. A creation that fails leaves the
  // staged file's creation to fail.
  if (item.Folder[0] && GetFileAttributesA(item.Folder) == INVALID_FILE_ATTRIBUTES) {
    if (!JournalFolder(item.Folder)) return FailItem(item, nullptr);
    CreateDirectoryA(item.Folder, nullptr);
  }
  if (!MakeSiblingName(item.Target, kStagedPrefix, item.Staged, sizeof item.Staged)) {
    return FailItem(item, nullptr);
  }
  if (!JournalStaged(item.Staged)) return FailItem(item, nullptr);
  HANDLE file = CreateFileA(item.Staged, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FailItem(item, nullptr);
  item.StagedFile = file;
  return 1;
}

int FillStagedFile(PlannedItem& item, uint8_t* buffer, size_t bufferSize) {
  if (!HasStagedFile(item)) return 1;
  if (item.Action == ItemAction::PlaceData) {
    // The player's bytes, with this run's time as their last-write time.
    const int ok = WriteStagedBytes(item, static_cast<const uint8_t*>(item.DataBlock),
                                    item.DataSize);
    GlobalFree(item.DataBlock);
    item.DataBlock = nullptr;
    return ok;
  }
  if (item.Patched) return WritePatchedFile(item, buffer, bufferSize);
  if (!WriteEntryInParts(item, buffer, bufferSize)) return 0;
  const FILETIME time = UnpackFileTime(EntryFileTime(*item.Entry));
  if (!SetFileTime(item.StagedFile, &time, &time, &time)) return FailItem(item, nullptr);
  return 1;
}

void ReleasePlan(UpdatePlan& plan) {
  for (int i = 0; i < plan.Count; ++i) {
    PlannedItem& item = plan.Items[i];
    if (item.StagedFile) CloseHandle(item.StagedFile);
    item.StagedFile = nullptr;
    if (item.DataBlock) GlobalFree(item.DataBlock);
    item.DataBlock = nullptr;
  }
}
