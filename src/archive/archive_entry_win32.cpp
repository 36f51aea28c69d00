#include "archive/archive_entry.h"

#include <windows.h>

#include <cstring>

#include "archive/archive_directory.h"
#include "archive/archive_format.h"
#include "archive/decompress.h"
#include "archive/write_file.h"
#include "common/updater_state.h"
#include "platform/disk_space.h"
#include "platform/update_error.h"

namespace {

// An entry found by name, with its data checked to lie inside the payload.
struct FoundEntry {
  const ArchiveEntry* Entry;
  const uint8_t* Data;  // StoredSize bytes
};

bool IsCompressed(const ArchiveEntry& entry) {
  return (entry.Flags & kEntryCompressed) != 0;
}

uint32_t LoadedEntryCount() {
  if (!State.Directory || !State.DirectoryEntries) return 0;
  ArchiveHeader header;
  std::memcpy(&header, State.Directory, sizeof header);
  return header.EntryCount;
}

// The entry search. Shows "Can't Find File in Resource !!" when no entry has
// that name, and "RESOURCE READ ERROR" when the one that has it points outside
// the payload.
bool FindArchiveEntry(const char* name, FoundEntry* found) {
  uint32_t count = LoadedEntryCount();
  // 64 bits: the stored sizes of a damaged directory may add up past 4 GiB.
  uint64_t position = kFirstEntryDataPosition;
  for (uint32_t i = 0; i < count; ++i) {
    const ArchiveEntry& entry = State.DirectoryEntries[i];
    // A name field without its NUL must not make the comparison read on into
    // the next record.
    char entryName[kArchiveNameSize + 1];
    std::memcpy(entryName, entry.Name, kArchiveNameSize);
    entryName[kArchiveNameSize] = '\0';
    if (lstrcmpiA(entryName, name) != 0) {
      position = NextEntryDataPosition(position, entry);
      continue;
    }

    bool inside = EntryDataInPayload(position, entry, State.PayloadSize);
    bool sizesAgree = IsCompressed(entry) || entry.StoredSize == entry.UnpackedSize;
    if (!inside || !sizesAgree || !State.PayloadImage) {
      ShowUpdateError("RESOURCE READ ERROR");
      return false;
    }
    found->Entry = &entry;
    found->Data = State.PayloadImage + position;
    return true;
  }
  ShowUpdateError("Can't Find File in Resource !!");
  return false;
}

// Decodes a compressed entry into a new GlobalAlloc block of UnpackedSize
// bytes. The decoder is held to the entry's stored bytes and to the block, and
// the stream must fill the block exactly. A size that no stream of StoredSize
// bytes can reach is refused before any memory is taken for it. Shows the
// failure and returns null.
uint8_t* DecodeArchiveEntry(const FoundEntry& found) {
  uint32_t size = found.Entry->UnpackedSize;
  if (size > MaxDecodedSize(found.Entry->StoredSize)) {
    ShowUpdateError("RESOURCE READ ERROR");
    return nullptr;
  }
  // One byte at least: a block of 0 bytes is not a block on every system.
  auto* block = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, size ? size : 1));
  if (!block) {
    ShowUpdateError("Can't Allocate Memory !!");
    return nullptr;
  }
  size_t produced = 0;
  if (!DecompressBlockBounded(block, size, found.Data, found.Entry->StoredSize, &produced,
                              nullptr) ||
      produced != size) {
    GlobalFree(block);
    ShowUpdateError("RESOURCE READ ERROR");
    return nullptr;
  }
  return block;
}

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

// Steps 4 to 6 of an extraction, once the content is in memory.
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

const uint8_t* LoadArchiveEntry(const char* name, uint32_t* size) {
  FoundEntry found;
  if (!FindArchiveEntry(name, &found)) return nullptr;
  const uint8_t* content = found.Data;
  if (IsCompressed(*found.Entry)) {
    content = DecodeArchiveEntry(found);
    if (!content) return nullptr;
  }
  if (size) *size = found.Entry->UnpackedSize;
  return content;
}

void ReleaseArchiveEntry(const uint8_t* content) {
  if (!content) return;
  auto at = reinterpret_cast<uintptr_t>(content);
  auto start = reinterpret_cast<uintptr_t>(State.PayloadImage);
  bool inPayload = State.PayloadImage && at >= start && at - start <= State.PayloadSize;
  if (!inPayload) GlobalFree(const_cast<uint8_t*>(content));
}

int ExtractArchiveEntry(const char* name, const char* path, int onlyIfNewer) {
  FoundEntry found;
  if (!FindArchiveEntry(name, &found)) return 0;
  if (!CheckFreeSpace(path, found.Entry->UnpackedSize)) return 0;

  const uint8_t* content = found.Data;
  uint8_t* block = nullptr;
  if (IsCompressed(*found.Entry)) {
    block = DecodeArchiveEntry(found);
    if (!block) return 0;
    content = block;
  }
  int result = PlaceEntryContent(*found.Entry, content, path, onlyIfNewer);
  if (block) GlobalFree(block);
  return result;
}
