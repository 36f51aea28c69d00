#include "archive/patch_records.h"

#include <cstring>

#include "archive/archive_names.h"

namespace {

uint64_t ReadLittle(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

void WriteLittle(uint8_t* p, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int Refuse(ArchiveProblem problem, ArchiveProblem* why) {
  *why = problem;
  return 0;
}

}  // namespace

void EncodePatchRecord(const PatchRecord& record, uint8_t out[kPatchRecordSize]) {
  std::memcpy(out, kPatchRecordTag, 4);
  WriteLittle(out + 4, kPatchRecordVersion, 2);
  WriteLittle(out + 6, kPatchMethodZstdPrefix, 2);
  WriteLittle(out + 8, record.BaseSize, 8);
  std::memcpy(out + 16, record.BaseHash, 16);
  std::memcpy(out + 32, record.NewHash, 16);
}

int DecodePatchRecord(const uint8_t* data, size_t size, PatchRecord* record, ArchiveProblem* why) {
  if (size < kPatchRecordSize || std::memcmp(data, kPatchRecordTag, 4) != 0 ||
      ReadLittle(data + 4, 2) != kPatchRecordVersion ||
      ReadLittle(data + 6, 2) != kPatchMethodZstdPrefix)
    return Refuse(kArchivePatchRecord, why);
  record->BaseSize = ReadLittle(data + 8, 8);
  if (record->BaseSize > kPatchMaxBaseSize) return Refuse(kArchivePatchRecord, why);
  std::memcpy(record->BaseHash, data + 16, 16);
  std::memcpy(record->NewHash, data + 32, 16);
  *why = kArchiveOk;
  return 1;
}

int IsArchivePatch(const ArchiveReader* reader, uint32_t index) {
  return (reader->Entries[index].Flags & kEntryPatch) != 0;
}

int ReadArchivePatch(const ArchiveReader* reader, uint32_t index, PatchRecord* record,
                     const uint8_t** frame, size_t* frameSize, ArchiveProblem* why) {
  if (!IsArchivePatch(reader, index)) return Refuse(kArchivePatchRecord, why);
  const uint64_t position = reader->Positions[index];
  const size_t stored = reader->Entries[index].StoredSize;
  if (position > reader->PayloadSize || stored > reader->PayloadSize - position)
    return Refuse(kArchiveEntryOutside, why);
  const uint8_t* data = reader->Payload + position;
  // A record without a frame byte cannot make any file, not even an empty one.
  if (stored <= kPatchRecordSize) return Refuse(kArchivePatchRecord, why);
  if (!DecodePatchRecord(data, stored, record, why)) return 0;
  *frame = data + kPatchRecordSize;
  *frameSize = stored - kPatchRecordSize;
  return 1;
}

int NextArchivePatch(const ArchiveReader* reader, const char* name, uint32_t* index) {
  const size_t length = std::strlen(name);
  for (uint32_t i = *index; i < reader->EntryCount; ++i) {
    const ArchiveEntry& entry = reader->Entries[i];
    if (IsArchivePatch(reader, i) &&
        ArchiveNamesEqual(entry.Name, ArchiveEntryNameLength(entry), name, length)) {
      *index = i;
      return 1;
    }
  }
  return 0;
}

int ArchiveHasPatches(const ArchiveReader* reader) {
  for (uint32_t i = 0; i < reader->EntryCount; ++i)
    if (IsArchivePatch(reader, i)) return 1;
  return 0;
}

int FindArchivePatch(const ArchiveReader* reader, const char* name, uint64_t baseSize,
                     const uint8_t baseHash[16], uint32_t* index) {
  for (uint32_t i = 0; NextArchivePatch(reader, name, &i); ++i) {
    PatchRecord record;
    const uint8_t* frame;
    size_t frameSize;
    ArchiveProblem why;
    if (ReadArchivePatch(reader, i, &record, &frame, &frameSize, &why) &&
        record.BaseSize == baseSize && std::memcmp(record.BaseHash, baseHash, 16) == 0) {
      *index = i;
      return 1;
    }
  }
  return 0;
}

void EncodeStubFeatures(uint32_t features, uint8_t out[kStubFeaturesSize]) {
  std::memcpy(out, kStubFeaturesTag, 4);
  WriteLittle(out + 4, features, 4);
}

uint32_t DecodeStubFeatures(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kStubFeaturesSize || std::memcmp(data, kStubFeaturesTag, 4) != 0)
    return 0;
  return static_cast<uint32_t>(ReadLittle(data + 4, 4));
}
