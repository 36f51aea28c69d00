// Filling a staged file from a patch: the installed file is the reference.
//
// Both files are mapped: the installed file read-only, the staged file at
// the new file's size. zstd decodes a block at a time straight into the
// staged file's pages, its matches reaching back into them and into the
// installed file's, so a patch of any size takes no buffer of its own beyond
// the decoder's context.
//
// A little ahead of the decoder, the staged file is written with zeros
// through its handle. The file's blocks are then taken by ordinary writes,
// many pages at once, and not one page at a time as the decoder first
// touches each page of the mapping (which made large files decode at half
// the speed); a disk that fills up fails a write, which the run reports,
// instead of a page of the mapping; and the run's progress follows the
// decoder. Only on a drive of this machine: see OnLocalDrive.
#include <cstring>

#include "archive/patch_frames.h"
#include "archive/patch_records.h"
#include "common/updater_contract.h"
#include "platform/path_parts.h"
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

// How far ahead of the decoder the zeros are written, at least.
constexpr uint64_t kZerosAhead = uint64_t{4} << 20;

struct ZerosAhead {
  PlannedItem* Item;
  int Write;        // zeros are written at all (see OnLocalDrive)
  uint64_t Zeroed;  // bytes of the staged file written with zeros so far
  const uint8_t* Zeros;
  DWORD ZerosSize;
  int Failed;
};

// Writes through a file's handle and through a mapped view of it are the
// same pages of one cache on a drive of this machine; for a file on a
// network share the system does not promise that they agree, so there the
// decoder alone writes the file, as the mapping's pages come.
int OnLocalDrive(const char* path) {
  char drive[3];
  DriveOfPath(path, drive);
  const char root[] = {drive[0], ':', '\\', '\0'};
  const UINT type = drive[1] == ':' ? GetDriveTypeA(root) : DRIVE_UNKNOWN;
  return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK;
}

int WriteZerosAhead(void* context, size_t produced) {
  ZerosAhead& ahead = *static_cast<ZerosAhead*>(context);
  PlannedItem& item = *ahead.Item;
  InterlockedExchange64(&item.Written, static_cast<LONG64>(produced));
  const uint64_t size = item.Entry->UnpackedSize;
  if (!ahead.Write || ahead.Zeroed >= size || ahead.Zeroed - produced >= kPatchBlockMaxOutput)
    return 1;
  const uint64_t until = size - produced < kZerosAhead ? size : produced + kZerosAhead;
  while (ahead.Zeroed < until) {
    const uint64_t left = until - ahead.Zeroed;
    const DWORD count = left < ahead.ZerosSize ? static_cast<DWORD>(left) : ahead.ZerosSize;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(ahead.Zeroed);
    at.OffsetHigh = static_cast<DWORD>(ahead.Zeroed >> 32);
    DWORD written = 0;
    if (!WriteFile(item.StagedFile, ahead.Zeros, count, &written, &at) || written != count) {
      ahead.Failed = 1;
      return 0;
    }
    ahead.Zeroed += count;
  }
  return 1;
}

int FailVersion(PlannedItem& item) {
  char text[kLongTextSize];
  wsprintfA(text, kNotPatchableFormat, item.Target);
  return FailItem(item, text);
}

}  // namespace

int WritePatchedFile(PlannedItem& item, uint8_t* buffer, size_t bufferSize) {
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
  } else {
    std::memset(buffer, 0, bufferSize);
    const DWORD zerosSize = bufferSize < (DWORD{1} << 30) ? static_cast<DWORD>(bufferSize)
                                                          : DWORD{1} << 30;
    ZerosAhead ahead = {&item, OnLocalDrive(item.Staged), 0, buffer, zerosSize, 0};
    if (ApplyPatchFrame(frame, frameSize, static_cast<const uint8_t*>(in.View),
                        static_cast<size_t>(record.BaseSize), static_cast<uint8_t*>(out.View),
                        static_cast<size_t>(newSize), record.NewHash, &why, WriteZerosAhead,
                        &ahead)) {
      // The flushing thread's FlushFileBuffers then puts the pages on the disk.
      result = !out.View || FlushViewOfFile(out.View, 0) ? 1 : FailItem(item, nullptr);
      if (result) InterlockedExchange64(&item.Written, static_cast<LONG64>(newSize));
    } else if (ahead.Failed) {
      result = FailItem(item, nullptr);  // a write that failed
    } else {
      // A frame that is damaged in itself is the archive's fault; one that
      // does not make the new file from this base says the installed file
      // has changed since it was planned.
      result = why == kArchivePatchFrame ? FailItem(item, kReadErrorMessage) : FailVersion(item);
    }
  }
  Unmap(out);
  Unmap(in);
  CloseHandle(base);
  if (!result) return 0;
  const FILETIME time = {item.Entry->FileTimeLow, item.Entry->FileTimeHigh};
  if (!SetFileTime(item.StagedFile, &time, &time, &time)) return FailItem(item, nullptr);
  return 1;
}
