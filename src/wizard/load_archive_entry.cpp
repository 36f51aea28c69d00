#include <windows.h>

#include "archive/archive_reader.h"
#include "common/updater_contract.h"
#include "common/updater_state_win32.h"
#include "platform/update_error.h"
#include "wizard/archive_entries.h"

int FindPayloadEntry(const char* name, uint32_t* index) {
  if (!FindArchiveEntry(&State.Archive, name, index)) {
    ShowUpdateError(kNoEntryMessage);
    return 0;
  }
  // A size that no stream can reach is refused only when the entry is
  // decoded: an extraction checks the free space for it first.
  ArchiveProblem why;
  if (!CheckArchiveEntry(&State.Archive, *index, &why) && why != kArchiveEntryTooLarge) {
    ShowUpdateError(kReadErrorMessage);
    return 0;
  }
  return 1;
}

uint8_t* DecodePayloadEntry(uint32_t index) {
  ArchiveProblem why;
  if (!CheckArchiveEntry(&State.Archive, index, &why)) {
    ShowUpdateError(kReadErrorMessage);
    return nullptr;
  }
  const uint32_t size = State.Archive.Entries[index].UnpackedSize;
  // One byte at least: a block of 0 bytes is not a block on every system.
  auto* block = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, size ? size : 1));
  if (!block) {
    ShowUpdateError(kNoMemoryMessage);
    return nullptr;
  }
  if (!ReadArchiveEntry(&State.Archive, index, block, size, &why)) {
    GlobalFree(block);
    ShowUpdateError(kReadErrorMessage);
    return nullptr;
  }
  return block;
}

const uint8_t* LoadArchiveEntry(const char* name, uint32_t* size) {
  uint32_t index;
  if (!FindPayloadEntry(name, &index)) return nullptr;
  const uint8_t* content = ArchiveEntryData(&State.Archive, index);
  if (IsArchiveEntryCompressed(&State.Archive, index)) {
    content = DecodePayloadEntry(index);
    if (!content) return nullptr;
  }
  if (size) *size = State.Archive.Entries[index].UnpackedSize;
  return content;
}

void ReleaseArchiveEntry(const uint8_t* content) {
  if (!content) return;
  auto at = reinterpret_cast<uintptr_t>(content);
  auto start = reinterpret_cast<uintptr_t>(State.PayloadImage);
  bool inPayload = State.PayloadImage && at >= start && at - start <= State.PayloadSize;
  if (!inPayload) GlobalFree(const_cast<uint8_t*>(content));
}
