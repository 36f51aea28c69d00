// Patch entries on arbitrary bytes: the input's first byte picks a base (that
// many 64-byte steps of a fixed pattern), the rest is a patch entry's data
// (record and frame). The record is read, the frame checked and decoded
// against the base into a buffer of exactly the size its header names, a
// block at a time (each block's output within its bound), and a result that
// comes back as applied must have the record's hash. The same
// data as the only entry of an archive must be found and read within it.
// Base, data and output are private copies of exactly their lengths, so any
// read or write past them is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <zstd.h>

#include "archive/archive_format.h"
#include "archive/archive_reader.h"
#include "archive/patch_frames.h"
#include "archive/patch_records.h"
#include "archive/payload_digest.h"

namespace {

// The bases: a fixed pattern, the one that the seeds in fuzz/seeds/patch
// were made against (patches from it to copies with a few bytes changed).
std::vector<uint8_t> Base(size_t size) {
  std::vector<uint8_t> base(size);
  for (size_t i = 0; i < size; ++i) base[i] = static_cast<uint8_t>((i * 2654435761u) >> 13 & 0x3F);
  return base;
}

// A payload with data as its one patch entry named "A", directory plain.
std::vector<uint8_t> OneEntryArchive(const std::vector<uint8_t>& data, uint32_t unpacked) {
  const size_t aligned = (data.size() + 15) & ~size_t{15};
  std::vector<uint8_t> payload(kArchiveHeaderSize + aligned + kArchiveEntrySize, 0);
  ArchiveHeader header{{'F', 'A', '2', '\0'}, 0, static_cast<uint32_t>(16 + aligned), 1};
  std::memcpy(payload.data(), &header, sizeof header);
  if (!data.empty()) std::memcpy(payload.data() + 16, data.data(), data.size());
  ArchiveEntry entry{};
  entry.Name[0] = 'A';
  entry.Flags = kEntryPatch;
  entry.UnpackedSize = unpacked;
  entry.StoredSize = static_cast<uint32_t>(data.size());
  std::memcpy(payload.data() + 16 + aligned, &entry, sizeof entry);
  return payload;
}

// Each block may write at most kPatchBlockMaxOutput bytes past the last
// count the hook saw, and never past the output.
struct Progress {
  size_t last;
  size_t size;
};

int CheckProgress(void* context, size_t produced) {
  Progress& p = *static_cast<Progress*>(context);
  if (produced < p.last || produced - p.last > kPatchBlockMaxOutput || produced > p.size) abort();
  p.last = produced;
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 1) return 0;
  const std::vector<uint8_t> base = Base(size_t{input[0]} * 64);
  const std::vector<uint8_t> data(input + 1, input + size);

  PatchRecord record;
  ArchiveProblem why;
  if (!DecodePatchRecord(data.data(), data.size(), &record, &why)) return 0;
  std::vector<uint8_t> frame(data.begin() + kPatchRecordSize, data.end());
  const unsigned long long content = ZSTD_getFrameContentSize(frame.data(), frame.size());
  if (content > (4u << 20)) return 0;  // unknown, an error, or beyond what a run here may take
  std::vector<uint8_t> out(content);
  Progress progress = {0, out.size()};
  if (ApplyPatchFrame(frame.empty() ? nullptr : frame.data(), frame.size(), base.data(),
                      base.size(), out.data(), out.size(), record.NewHash, &why, CheckProgress,
                      &progress)) {
    uint8_t hash[16];
    DigestXxh3_128(out.data(), out.size(), hash);
    if (std::memcmp(hash, record.NewHash, 16) != 0) abort();
  }

  const std::vector<uint8_t> payload = OneEntryArchive(data, static_cast<uint32_t>(content));
  std::vector<uint64_t> block(8 + kArchiveEntrySize);
  ArchiveReader reader;
  if (!OpenArchive(&reader, payload.data(), payload.size(), 0, block.data(), block.size() * 8, &why))
    abort();
  uint32_t index = 0;
  if (!NextArchivePatch(&reader, "a", &index) || index != 0) abort();
  if (FindArchiveEntry(&reader, "A", &index)) abort();  // a patch is never the file
  const uint8_t* inside;
  size_t insideSize;
  if (ReadArchivePatch(&reader, 0, &record, &inside, &insideSize, &why)) {
    if (inside != payload.data() + 16 + kPatchRecordSize || insideSize != frame.size()) abort();
    uint8_t hash[16];
    DigestXxh3_128(base.data(), base.size(), hash);
    const bool matches = record.BaseSize == base.size() && std::memcmp(hash, record.BaseHash, 16) == 0;
    if (FindArchivePatch(&reader, "A", base.size(), hash, &index) != matches) abort();
  }
  return 0;
}
