// Filling a staged file from a patch: the installed file is the reference.
//
// Both files are mapped: the installed file read-only, the staged file at
// the new file's size. zstd decodes in one pass straight into the staged
// file's pages, its matches reaching back into them and into the installed
// file's, so a patch of any size takes no buffer of its own beyond the
// decoder's context.
#include "archive/patch_frames.h"
#include "archive/patch_records.h"
#include "common/updater_contract.h"
#include "wizard/item_patches.h"

namespace {

struct MappedFile {
  HANDLE Mapping = nullptr;
  void* View = nullptr;
};

// Maps size bytes of file (not for size 0: there is nothing to map).
int MapFile(HANDLE file, uint64_t size, int writable, MappedFile& mapped) {
  if (size == 0) return 1;
  mapped.Mapping = CreateFileMappingA(file, nullptr, writable ? PAGE_READWRITE : PAGE_READONLY,
                                      static_cast<DWORD>(size >> 32), static_cast<DWORD>(size),
                                      nullptr);
  if (!mapped.Mapping) return 0;
  mapped.View = MapViewOfFile(mapped.Mapping, writable ? FILE_MAP_WRITE : FILE_MAP_READ, 0, 0,
                              static_cast<SIZE_T>(size));
  return mapped.View != nullptr;
}

void Unmap(MappedFile& mapped) {
  if (mapped.View) UnmapViewOfFile(mapped.View);
  if (mapped.Mapping) CloseHandle(mapped.Mapping);
  mapped = MappedFile{};
}

int FailVersion(PlannedItem& item) {
  char text[kLongTextSize];
  wsprintfA(text, kNotPatchableFormat, item.Target);
  return FailItem(item, text);
}

}  // namespace

int WritePatchedFile(PlannedItem& item) {
  PatchRecord record;
  const uint8_t* frame;
  size_t frameSize;
  ArchiveProblem why;
  if (!ReadArchivePatch(&State.Archive, item.EntryIndex, &record, &frame, &frameSize, &why))
    return FailItem(item, kReadErrorMessage);
  const uint64_t newSize = item.Entry->UnpackedSize;

  // Others may read the installed file meanwhile, nobody may write it.
  HANDLE base = CreateFileA(item.Target, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (base == INVALID_HANDLE_VALUE) return FailVersion(item);
  LARGE_INTEGER baseSize;
  MappedFile in, out;
  int result = 0;
  if (!GetFileSizeEx(base, &baseSize) || static_cast<uint64_t>(baseSize.QuadPart) != record.BaseSize) {
    result = FailVersion(item);
  } else if (!MapFile(base, record.BaseSize, 0, in) || !MapFile(item.StagedFile, newSize, 1, out)) {
    result = FailItem(item, nullptr);  // as a write that fails
  } else if (!ApplyPatchFrame(frame, frameSize, static_cast<const uint8_t*>(in.View),
                              static_cast<size_t>(record.BaseSize),
                              static_cast<uint8_t*>(out.View), static_cast<size_t>(newSize),
                              record.NewHash, &why)) {
    // A frame that is damaged in itself is the archive's fault; one that
    // does not make the new file from this base says the installed file has
    // changed since it was planned.
    result = why == kArchivePatchFrame ? FailItem(item, kReadErrorMessage) : FailVersion(item);
  } else {
    // The flushing thread's FlushFileBuffers then puts the pages on the disk.
    result = !out.View || FlushViewOfFile(out.View, 0) ? 1 : FailItem(item, nullptr);
    // The file is decoded in one pass: the run's progress takes it whole.
    if (result) InterlockedExchangeAdd64(&item.Written, static_cast<LONG64>(newSize));
  }
  Unmap(out);
  Unmap(in);
  CloseHandle(base);
  if (!result) return 0;
  const FILETIME time = {item.Entry->FileTimeLow, item.Entry->FileTimeHigh};
  if (!SetFileTime(item.StagedFile, &time, &time, &time)) return FailItem(item, nullptr);
  return 1;
}
