// The patch entries' frames: checking one without its base, and decoding one
// against its base into the new file's bytes. Uses zstd's decompressor only,
// so that the updater links nothing more. The base is read where it lies (a
// mapped file): it is referenced, never copied.
#ifndef ARCHIVE_PATCH_FRAMES_H
#define ARCHIVE_PATCH_FRAMES_H

#include <cstddef>
#include <cstdint>

#include "archive/archive_reader.h"
#include "archive/patch_format.h"

// Checks a frame without its base: exactly one zstd frame (no skippable
// frame, nothing after it), whose header names the content size newSize and
// a window of at most 2^kPatchMaxWindowLog. Returns 1, or 0 with *why =
// kArchivePatchFrame.
int CheckPatchFrame(const uint8_t* frame, size_t frameSize, uint64_t newSize, ArchiveProblem* why);

// Decodes the frame with base (baseSize bytes) as its prefix into out, which
// holds newSize bytes, then checks the result against newHash. Returns 1, or
// 0 with *why: kArchivePatchFrame (CheckPatchFrame), kArchivePatchDamaged
// (the frame does not decode to exactly newSize bytes against this base) or
// kArchivePatchMismatch (it does, to other bytes than the new file's). out
// then holds unspecified bytes.
int ApplyPatchFrame(const uint8_t* frame, size_t frameSize, const uint8_t* base, size_t baseSize,
                    uint8_t* out, size_t newSize, const uint8_t newHash[16], ArchiveProblem* why);

#endif
