// The PE resource reader and writer on arbitrary files. Every input is
// searched for a payload and used as a stub; whatever the writer accepts
// must come out as an image that it reads back with exactly that payload and
// a correct checksum and the payload's digest record, and that takes a
// second payload in its place. The same bytes are also read as an icon file
// for an updater's branding, and as a digest record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/payload_digest.h"
#include "fa2/pe/pe_branding.h"
#include "fa2/pe/pe_resources.h"

namespace {

void CheckUpdater(const std::vector<uint8_t>& file, const uint8_t* payload, size_t payloadSize) {
  PeImage image;
  std::string error;
  size_t at = 0, length = 0;
  if (!ParsePeImage(file.data(), file.size(), &image, &error) ||
      !FindUpdatePayload(file.data(), file.size(), &at, &length, &error) ||
      length != payloadSize || at + length > file.size() ||
      std::memcmp(file.data() + at, payload, payloadSize) != 0)
    abort();
  size_t checksumAt = image.OptionalHeaderOffset + kOptCheckSum;
  uint32_t stored;
  std::memcpy(&stored, file.data() + checksumAt, 4);
  if (stored != ComputePeChecksum(file.data(), file.size(), checksumAt)) abort();
  // The digest record beside the payload vouches for exactly that payload.
  ResourceTree tree;
  if (!ReadResourceTree(image, &tree, &error)) abort();
  const ResourceLeaf* record = FindResource(tree, ResourceKey{1, kPayloadResourceTypeWide, 0},
                                            ResourceKey{0, u"", kPayloadDigestResourceId});
  if (!record ||
      CheckPayloadDigest(record->Data, record->Size, payload, payloadSize) != kDigestMatches)
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A private copy, so that reads past the end hit the heap redzone.
  std::vector<uint8_t> stub(data, data + size);
  std::string error;
  // The input read as a digest record: never understood unless it is exactly
  // the record of the payload it is checked against.
  static const uint8_t empty[1] = {0};
  if (CheckPayloadDigest(stub.data(), stub.size(), empty, 0) == kDigestMatches &&
      (size != kPayloadDigestRecordSize || std::memcmp(data, "FA2D", 4) != 0))
    abort();
  size_t at = 0, length = 0;
  if (FindUpdatePayload(stub.data(), stub.size(), &at, &length, &error) &&
      (length == 0 || at > stub.size() || length > stub.size() - at))
    abort();

  // As an icon file: an accepted one has a group record for every image.
  std::vector<uint8_t> group;
  if (BuildIconGroup(stub.data(), stub.size(), 1, &group, &error) &&
      group.size() != 6 + 14 * size_t{static_cast<uint16_t>(group[4] | group[5] << 8)})
    abort();

  static const uint8_t first[] = "FA2\0 first payload", second[] = "second";
  std::vector<uint8_t> once, twice;
  if (!EmbedUpdatePayload(stub.data(), stub.size(), first, sizeof first, &once, &error)) return 0;
  CheckUpdater(once, first, sizeof first);
  // The second payload replaces the first in the new resource section,
  // unless a stray data directory of the stub points into that section's
  // addresses; then it needs a section of its own, and the headers may have
  // no room left for it.
  if (!EmbedUpdatePayload(once.data(), once.size(), second, sizeof second, &twice, &error)) {
    if (error.find("no room") == std::string::npos) abort();
    return 0;
  }
  CheckUpdater(twice, second, sizeof second);
  return 0;
}
