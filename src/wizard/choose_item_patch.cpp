// Planning an item with patches: which patch fits the installed file.
#include <cstring>

#include "archive/archive_reader.h"
#include "archive/patch_records.h"
#include "archive/payload_digest.h"
#include "common/updater_contract.h"
#include "wizard/item_patches.h"

namespace {

// Hashes the file at path through a read-only mapping, so that a large file
// takes no memory of the process's own. Returns 0 when the file cannot be
// read or is larger than any patch's base.
int HashInstalledFile(const char* path, uint64_t* size, uint8_t hash[16]) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER length;
  int hashed = 0;
  if (GetFileSizeEx(file, &length) && static_cast<uint64_t>(length.QuadPart) <= kPatchMaxBaseSize) {
    *size = static_cast<uint64_t>(length.QuadPart);
    if (*size == 0) {
      DigestXxh3_128(nullptr, 0, hash);
      hashed = 1;
    } else if (HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
      if (void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) {
        DigestXxh3_128(static_cast<const uint8_t*>(view), static_cast<size_t>(*size), hash);
        UnmapViewOfFile(view);
        hashed = 1;
      }
      CloseHandle(mapping);
    }
  }
  CloseHandle(file);
  return hashed;
}

}  // namespace

int FindItemEntry(const char* name, PlannedItem& planned) {
  uint32_t index = 0;
  if (!FindArchiveEntry(&State.Archive, name, &index) &&
      !NextArchivePatch(&State.Archive, name, &index))
    return 0;
  planned.EntryIndex = index;
  return 1;
}

int ChooseItemPatch(const char* name, PlannedItem& planned) {
  uint32_t index = 0;
  if (!NextArchivePatch(&State.Archive, name, &index)) return 1;
  uint64_t size = 0;
  uint8_t hash[16];
  if (planned.TargetAttributes != INVALID_FILE_ATTRIBUTES &&
      HashInstalledFile(planned.Target, &size, hash) &&
      FindArchivePatch(&State.Archive, name, size, hash, &index)) {
    planned.Patched = 1;
    planned.EntryIndex = index;
    planned.Entry = &State.Archive.Entries[index];
    return 1;
  }
  // No patch fits: the full entry, when the archive has one.
  if (!IsArchivePatch(&State.Archive, planned.EntryIndex)) return 1;
  planned.NotPatchable = 1;
  char text[kLongTextSize];
  wsprintfA(text, kNotPatchableFormat,
            planned.Target);
  return FailItem(planned, text);
}
