// ExtractArchiveEntry: where and whether an entry's content is placed on disk.
#include <windows.h>

#include "archive/archive_reader.h"
#include "common/updater_state.h"
#include "platform/disk_space.h"
#include "platform/update_error.h"
#include "platform/write_file.h"
#include "wizard/archive_entries.h"

namespace {

// The free-space check of an extraction: the drive of path (its first two
// bytes, as "C:") must have size bytes free for this process. A drive that
// cannot be asked passes: the write that follows fails cleanly if the room
// runs out, and leaves the old file in place.
bool CheckFreeSpace(const char* path, uint32_t size) {
  char root[3] = {};
  for (int i = 0; i < 2 && path[i]; ++i) root[i] = path[i];

  uint64_t freeToCaller = 0, totalBytes = 0;
  if (!QueryDiskSpace(root, &freeToCaller, &totalBytes, nullptr)) return true;
  if (size <= freeToCaller) return true;

  char text[kLongTextSize];
  wsprintfA(text, "ディスク容量が足りません。%s ドライブに %I64u バイトの空き容量が必要です", root,
            static_cast<unsigned long long>(size - freeToCaller));
  ShowUpdateError(text);
  return false;
}

// True when the file at path was last written after time. A file that cannot
// be opened or asked for its time counts as older, so it is written.
bool IsFileNewerThan(const char* path, uint64_t time) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME lastWrite;
  bool newer = GetFileTime(file, nullptr, nullptr, &lastWrite) &&
               ((uint64_t{lastWrite.dwHighDateTime} << 32) | lastWrite.dwLowDateTime) > time;
  CloseHandle(file);
  return newer;
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

  FILETIME time = {entry.FileTimeLow, entry.FileTimeHigh};
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
