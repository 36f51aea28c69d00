// Reading and writing the patch entries' records (patch_format.h), and
// finding an item's patches in an opened archive. Bounds-checked like the
// archive reader: nothing here reads outside the payload, allocates, or
// decodes a frame (patch_frames.h does that).
#ifndef ARCHIVE_PATCH_RECORDS_H
#define ARCHIVE_PATCH_RECORDS_H

#include <cstddef>
#include <cstdint>

#include "archive/archive_reader.h"
#include "archive/patch_format.h"

// Writes the record's 48 bytes.
void EncodePatchRecord(const PatchRecord& record, uint8_t out[kPatchRecordSize]);

// Reads a record from the first size bytes of data: the tag, version 1,
// method 1 and a base of at most kPatchMaxBaseSize. Returns 1, or 0 with
// *why = kArchivePatchRecord.
int DecodePatchRecord(const uint8_t* data, size_t size, PatchRecord* record, ArchiveProblem* why);

// Whether entry index is a patch entry.
int IsArchivePatch(const ArchiveReader* reader, uint32_t index);

// A patch entry's record and frame: checks that its data lies inside the
// payload (kArchiveEntryOutside) and that its record can be read
// (kArchivePatchRecord), and points *frame at the frame (*frameSize bytes,
// at least 1) in the payload. Returns 1, or 0 with *why.
int ReadArchivePatch(const ArchiveReader* reader, uint32_t index, PatchRecord* record,
                     const uint8_t** frame, size_t* frameSize, ArchiveProblem* why);

// Walks the patch entries made for the entry name, in directory order:
// starting with *index = 0 (or the index after the last one found), sets
// *index to the next one and returns 1, or returns 0 when there is none.
int NextArchivePatch(const ArchiveReader* reader, const char* name, uint32_t* index);

// Whether the archive holds any patch entry.
int ArchiveHasPatches(const ArchiveReader* reader);

// Finds the patch for the entry name whose base has this size and hash,
// among those whose records can be read. Returns 1 and sets *index, or 0.
int FindArchivePatch(const ArchiveReader* reader, const char* name, uint64_t baseSize,
                     const uint8_t baseHash[16], uint32_t* index);

// The stub's feature record (resource "UPDATE"/104).
void EncodeStubFeatures(uint32_t features, uint8_t out[kStubFeaturesSize]);
// The features of a record of size bytes: 0 when it is not one.
uint32_t DecodeStubFeatures(const uint8_t* data, size_t size);

#endif
