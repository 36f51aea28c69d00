#include "archive/patch_frames.h"

#include <cstring>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader and ZSTD_DCtx_refPrefix_advanced
#include <zstd.h>

#include "archive/payload_digest.h"

namespace {

int Refuse(ArchiveProblem problem, ArchiveProblem* why) {
  *why = problem;
  return 0;
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
                    uint8_t* out, size_t newSize, const uint8_t newHash[16], ArchiveProblem* why) {
  if (!CheckPatchFrame(frame, frameSize, newSize, why)) return 0;
  ZSTD_DCtx* context = ZSTD_createDCtx();
  if (context == nullptr) return Refuse(kArchivePatchDamaged, why);
  // Decoding in one pass into the whole output needs no window buffer of
  // the decoder's own: matches reach into out and into the base directly.
  size_t produced = 0;
  const bool set =
      !ZSTD_isError(ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, kPatchMaxWindowLog)) &&
      !ZSTD_isError(ZSTD_DCtx_refPrefix_advanced(context, baseSize != 0 ? base : nullptr,
                                                 baseSize, ZSTD_dct_rawContent));
  if (set) produced = ZSTD_decompressDCtx(context, out, newSize, frame, frameSize);
  ZSTD_freeDCtx(context);
  if (!set || ZSTD_isError(produced) || produced != newSize)
    return Refuse(kArchivePatchDamaged, why);
  uint8_t hash[16];
  DigestXxh3_128(out, newSize, hash);
  if (std::memcmp(hash, newHash, 16) != 0) return Refuse(kArchivePatchMismatch, why);
  *why = kArchiveOk;
  return 1;
}
