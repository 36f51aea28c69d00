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

// The most bytes that one block of a frame writes: zstd's largest block.
constexpr size_t kPatchBlockMaxOutput = size_t{128} << 10;

// Called before each block of the frame is decoded, with the number of bytes
// of out written so far; the block then writes at most kPatchBlockMaxOutput
// bytes after them. Returning 0 stops the decoding.
using PatchBlockHook = int (*)(void* context, size_t produced);

// Decodes the frame with base (baseSize bytes) as its prefix into out, which
// holds newSize bytes, then checks the result against newHash. The frame is
// decoded a block at a time, straight into out (its matches reach back into
// out and into the base where they lie); before each block, beforeBlock (when
// given) is called with context. Returns 1, or 0 with *why: kArchivePatchFrame
// (CheckPatchFrame), kArchivePatchDamaged (the frame does not decode to
// exactly newSize bytes against this base), kArchivePatchMismatch (it does,
// to other bytes than the new file's), or kArchiveOk when beforeBlock stopped
// it. out then holds unspecified bytes. Reads nothing of frame beyond
// frameSize bytes, of base beyond baseSize, and writes nothing outside out.
int ApplyPatchFrame(const uint8_t* frame, size_t frameSize, const uint8_t* base, size_t baseSize,
                    uint8_t* out, size_t newSize, const uint8_t newHash[16], ArchiveProblem* why,
                    PatchBlockHook beforeBlock = nullptr, void* context = nullptr);

#endif
