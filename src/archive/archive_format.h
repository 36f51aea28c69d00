// FA2 archive records, as they lie in the payload.
//
// An archive is a 16-byte ArchiveHeader, then the entries' data (each entry's
// stored bytes padded with zero bytes to a multiple of 16, in directory
// order, the first at offset 16), then the directory: EntryCount
// ArchiveEntry records, plain or as one compressed block. There is no
// per-entry offset: a reader finds an entry's data by walking the directory
// from the start and adding up the aligned StoredSize of the entries before it.
//
// All integers are unsigned little-endian. The records are read with memcpy
// into these structs, which match the stored layout byte for byte on a
// little-endian machine (checked below), so no field is ever read through a
// misaligned pointer into the payload.
#ifndef ARCHIVE_ARCHIVE_FORMAT_H
#define ARCHIVE_ARCHIVE_FORMAT_H

#include <bit>
#include <cstddef>
#include <cstdint>

#include "common/updater_contract.h"  // kArchiveMagic

static_assert(std::endian::native == std::endian::little,
              "the archive records are read by copying them into memory as they are");

constexpr uint32_t kArchiveHeaderSize = 16;
constexpr uint32_t kArchiveEntrySize = 280;
constexpr uint32_t kArchiveNameSize = 260;

// ArchiveHeader.Flags
constexpr uint32_t kArchiveDirectoryCompressed = 1;
// ArchiveEntry.Flags: writers set kEntryStored on plain entries; readers look
// at kEntryCompressed only.
constexpr uint32_t kEntryStored = 1;
constexpr uint32_t kEntryCompressed = 2;

struct ArchiveHeader {
  char Magic[4];             // kArchiveMagic; the updater's own payload is not checked
  uint32_t Flags;            // kArchiveDirectoryCompressed
  uint32_t DirectoryOffset;  // from the first byte of the archive
  uint32_t EntryCount;
};

struct ArchiveEntry {
  char Name[kArchiveNameSize];  // NUL-terminated CP932 name, no folder part
  uint32_t Flags;
  uint32_t FileTimeLow;   // FILETIME of the last write: 100 ns units since 1601, UTC
  uint32_t FileTimeHigh;
  uint32_t UnpackedSize;  // content length
  uint32_t StoredSize;    // bytes in the data area, without the alignment
};

static_assert(sizeof(ArchiveHeader) == kArchiveHeaderSize);
static_assert(offsetof(ArchiveHeader, DirectoryOffset) == 8);
static_assert(offsetof(ArchiveHeader, EntryCount) == 12);
static_assert(sizeof(ArchiveEntry) == kArchiveEntrySize);
static_assert(offsetof(ArchiveEntry, Flags) == 260);
static_assert(offsetof(ArchiveEntry, FileTimeLow) == 264);
static_assert(offsetof(ArchiveEntry, FileTimeHigh) == 268);
static_assert(offsetof(ArchiveEntry, UnpackedSize) == 272);
static_assert(offsetof(ArchiveEntry, StoredSize) == 276);

// Bytes that an entry of this StoredSize occupies in the data area. 64-bit, so
// that a hostile size near 4 GiB cannot wrap.
constexpr uint64_t AlignedStoredSize(uint32_t storedSize) {
  return (uint64_t{storedSize} + 15) & ~uint64_t{15};
}

constexpr uint64_t EntryFileTime(const ArchiveEntry& e) {
  return (uint64_t{e.FileTimeHigh} << 32) | e.FileTimeLow;
}

#endif
