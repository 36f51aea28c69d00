// ExtractArchiveEntry: where and whether an entry's content is placed on disk.
#include <windows.h>

#include "archive/archive_reader.h"
#include "common/updater_state_win32.h"
#include "platform/path_parts.h"
#include "platform/update_error.h"
#include "platform/write_file.h"
#include "wizard/archive_entries.h"
#include "wizard/run_update_plan.h"
#include "wizard/run_update_steps.h"

namespace {

// The free-space check of an extraction, the same as an update item's: a
// drive that cannot be asked passes, and the write that follows fails cleanly
// if the room runs out, leaving the old file in place.
bool CheckFreeSpace(const char* path, uint32_t size) {
  char shortfall[kLongTextSize];
  if (CheckEntrySpace(path, size, shortfall)) return true;
  ShowUpdateError(shortfall);
  return false;
}

// The last steps of an extraction, once the content is in memory: a folder is
// never replaced, a read-only file loses that attribute, and a newer file is
// kept when onlyIfNewer asks for it.
int PlaceEntryContent(const ArchiveEntry& entry, const uint8_t* content, const char* path,
                      int onlyIfNewer) {
  DWORD attributes = GetFileAttributesA(path);
  bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  }
  if (onlyIfNewer && exists && IsFileNewerThan(path, EntryFileTime(entry))) return 1;

  FILETIME time = UnpackFileTime(EntryFileTime(entry));
  return WriteFileWithTime(path, content, entry.UnpackedSize, &time);
}

}  // namespace

int ExtractArchiveEntry(const char* name, const char* path, int onlyIfNewer) {
  uint32_t index;
  if (!FindPayloadEntry(name, &index)) return 0;
  const ArchiveEntry& entry = State.Archive.Entries[index];
  if (!CheckFreeSpace(path, entry.UnpackedSize)) return 0;

  const uint8_t* content = ArchiveEntryData(&State.Archive, index);
  uint8_t* block = nullptr;
  if (IsArchiveEntryCompressed(&State.Archive, index)) {
    block = DecodePayloadEntry(index);
    if (!block) return 0;
    content = block;
  }
  int result = PlaceEntryContent(entry, content, path, onlyIfNewer);
  if (block) GlobalFree(block);
  return result;
}
