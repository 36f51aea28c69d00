// Patch entries: a file of the update shipped as the difference from a file
// that an earlier version installed.
//
// A patch entry is a directory record like any other (archive_format.h) with
// kEntryPatch set in its Flags and kEntryCompressed clear. Its Name is the
// name of the entry that it makes (the items find it by that name), its file
// time and UnpackedSize are those of the new file. Its data is a 48-byte
// PatchRecord followed by one zstd frame that decodes, with the base file as
// its prefix (raw content, not a dictionary), to exactly UnpackedSize bytes.
// An item may have several patches, one per distinct base, and a full entry
// of the same name or none. Full entries are found and read as ever: name
// lookups pass over patch entries.
//
// An updater that knows patch entries says so in its stub: its feature
// record (common/updater_contract.h) has kStubFeaturePatches set.
// `fa2 embed` puts an archive with patches only into such a stub, so that an
// older updater never writes a patch as if it were the file.
//
// All integers are unsigned little-endian; hashes are XXH3-128 (seed 0) in
// canonical (big-endian) form, as in the payload's digest record.
#ifndef ARCHIVE_PATCH_FORMAT_H
#define ARCHIVE_PATCH_FORMAT_H

#include <cstddef>
#include <cstdint>

#include "common/updater_contract.h"

// ArchiveEntry.Flags of a patch entry.
constexpr uint32_t kEntryPatch = 4;

constexpr size_t kPatchRecordSize = 48;
constexpr char kPatchRecordTag[4] = {'F', 'A', '2', 'P'};
constexpr uint16_t kPatchRecordVersion = 1;
// The one method: a zstd frame whose prefix is the whole base file.
constexpr uint16_t kPatchMethodZstdPrefix = 1;
// Base files above this size get no patch: the frame's window must reach
// back over the whole base, and zstd's decoder takes windows up to 2^31.
constexpr uint64_t kPatchMaxBaseSize = uint64_t{1} << 31;
// The largest window log that the updater's decoder accepts.
constexpr int kPatchMaxWindowLog = 31;

//   offset  size  field
//        0     4  tag "FA2P"
//        4     2  version, 1
//        6     2  method, 1 = zstd frame with the base as prefix
//        8     8  base file's size in bytes (at most kPatchMaxBaseSize)
//       16    16  base file's XXH3-128
//       32    16  new file's XXH3-128
struct PatchRecord {
  uint64_t BaseSize;
  uint8_t BaseHash[16];
  uint8_t NewHash[16];
};

#endif
