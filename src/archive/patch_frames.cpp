#include "archive/patch_frames.h"

#include <cstring>

#define ZSTD_STATIC_LINKING_ONLY  // frame headers, the raw-content prefix, the stable output buffer
#include <zstd.h>

#include "archive/payload_digest.h"

namespace {

int Refuse(ArchiveProblem problem, ArchiveProblem* why) {
  *why = problem;
  return 0;
}

// Where the block that starts at offset ends in the frame (its 3-byte header
// and its content), and whether it is the frame's last. The frame has passed
// CheckPatchFrame, so its blocks lie within it; the bounds are checked all
// the same.
size_t BlockEnd(const uint8_t* frame, size_t frameSize, size_t offset, bool* last) {
  if (frameSize - offset < 3) return 0;
  const uint32_t header = frame[offset] | uint32_t{frame[offset + 1]} << 8 |
                          uint32_t{frame[offset + 2]} << 16;
  *last = (header & 1) != 0;
  const uint32_t type = (header >> 1) & 3;
  const size_t content = type == 1 ? 1 : header >> 3;  // an RLE block holds its one byte
  return content > frameSize - offset - 3 ? 0 : offset + 3 + content;
}

}  // namespace

int CheckPatchFrame(const uint8_t* frame, size_t frameSize, uint64_t newSize, ArchiveProblem* why) {
  ZSTD_frameHeader header;
  if (frame == nullptr || ZSTD_getFrameHeader(&header, frame, frameSize) != 0 ||
      header.frameType != ZSTD_frame || header.frameContentSize != newSize ||
      header.windowSize > (uint64_t{1} << kPatchMaxWindowLog) || header.dictID != 0)
    return Refuse(kArchivePatchFrame, why);
  // The frame's blocks must end exactly where the entry's data ends.
  const size_t size = ZSTD_findFrameCompressedSize(frame, frameSize);
  if (ZSTD_isError(size) || size != frameSize) return Refuse(kArchivePatchFrame, why);
  *why = kArchiveOk;
  return 1;
}

int ApplyPatchFrame(const uint8_t* frame, size_t frameSize, const uint8_t* base, size_t baseSize,
                    uint8_t* out, size_t newSize, const uint8_t newHash[16], ArchiveProblem* why,
                    PatchBlockHook beforeBlock, void* context) {
  if (!CheckPatchFrame(frame, frameSize, newSize, why)) return 0;
  ZSTD_frameHeader header;
  const size_t headerSize = ZSTD_frameHeaderSize(frame, frameSize);
  if (ZSTD_isError(headerSize) || ZSTD_getFrameHeader(&header, frame, frameSize) != 0)
    return Refuse(kArchivePatchFrame, why);
  ZSTD_DCtx* decoder = ZSTD_createDCtx();
  if (decoder == nullptr) return Refuse(kArchivePatchDamaged, why);
  // A stable output buffer that holds the whole new file needs no window
  // buffer of the decoder's own: matches reach into out and into the base
  // directly. The input is handed over a block at a time, so that each call
  // writes at most one block and the caller sees the output grow.
  bool sound =
      !ZSTD_isError(ZSTD_DCtx_setParameter(decoder, ZSTD_d_windowLogMax, kPatchMaxWindowLog)) &&
      !ZSTD_isError(ZSTD_DCtx_setParameter(decoder, ZSTD_d_stableOutBuffer, 1)) &&
      !ZSTD_isError(ZSTD_DCtx_refPrefix_advanced(decoder, baseSize != 0 ? base : nullptr,
                                                 baseSize, ZSTD_dct_rawContent));
  bool stopped = false, done = false, last = false;
  ZSTD_inBuffer in = {frame, headerSize, 0};
  ZSTD_outBuffer output = {out, newSize, 0};
  while (sound && !done && !last) {
    in.size = BlockEnd(frame, frameSize, in.size, &last);
    if (in.size == 0) break;
    if (last && header.checksumFlag) in.size += 4;
    if (in.size > frameSize) break;
    if (beforeBlock != nullptr && !beforeBlock(context, output.pos)) {
      stopped = true;
      break;
    }
    const size_t left = ZSTD_decompressStream(decoder, &output, &in);
    // Each call must take the whole block it was given.
    sound = !ZSTD_isError(left) && in.pos == in.size;
    done = sound && left == 0;
  }
  ZSTD_freeDCtx(decoder);
  if (stopped) {
    *why = kArchiveOk;
    return 0;
  }
  if (!done || output.pos != newSize || in.pos != frameSize) return Refuse(kArchivePatchDamaged, why);
  uint8_t hash[16];
  DigestXxh3_128(out, newSize, hash);
  if (std::memcmp(hash, newHash, 16) != 0) return Refuse(kArchivePatchMismatch, why);
  *why = kArchiveOk;
  return 1;
}
