// Making a patch: the zstd frame that turns a base file into a new file, and
// the patch entry's data (record and frame) around it.
#ifndef FA2_PATCH_PATCH_MAKER_H
#define FA2_PATCH_PATCH_MAKER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/patch_format.h"
#include "fa2/archive/archive_writer.h"

// The level that patches are made at.
constexpr int kPatchLevel = 19;

// Appends to data the entry data of a patch from base to target: the record
// (base size and hash, new hash) and one frame with the base as its prefix,
// long-distance matching on and a window that reaches from the target's end
// back to the base's start (at most 2^31). Returns 1, or 0 with *error set
// (a base over kPatchMaxBaseSize, or zstd's own reason).
int MakePatchData(const uint8_t* base, size_t baseSize, const uint8_t* target, size_t targetSize,
                  int level, std::vector<uint8_t>* data, std::string* error);

// The patch entry for archiveName (CP932, at most 259 bytes) that makes the
// target, with the target's file time, from base: MakePatchData's bytes
// under a record with kEntryPatch. Returns 1, or 0 with *error set (also for
// a target or a patch of 4 GiB or more).
int PackPatchEntry(const std::string& archiveName, uint64_t fileTime, const uint8_t* base,
                   size_t baseSize, const uint8_t* target, size_t targetSize, int level,
                   PackedEntry* entry, std::string* error);

#endif
