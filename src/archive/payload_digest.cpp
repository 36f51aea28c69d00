#include "archive/payload_digest.h"

#include <cstring>

// xxHash is used header-only, so that the statically linked updater needs no
// library of it; only this file sees its definitions.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void Write16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

void DigestXxh3_128(const uint8_t* payload, size_t payloadSize,
                    uint8_t digest[kXxh3_128DigestSize]) {
  static_assert(sizeof(XXH128_canonical_t) == kXxh3_128DigestSize);
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits(payload, payloadSize));
  std::memcpy(digest, canonical.digest, kXxh3_128DigestSize);
}

void BuildPayloadDigestRecord(const uint8_t* payload, size_t payloadSize,
                              uint8_t record[kPayloadDigestRecordSize]) {
  std::memcpy(record, kDigestRecordTag, 4);
  Write16(record + 4, kDigestRecordVersion);
  Write16(record + 6, kDigestAlgorithmXxh3_128);
  Write16(record + 8, kXxh3_128DigestSize);
  Write16(record + 10, 0);
  DigestXxh3_128(payload, payloadSize, record + kDigestRecordHeaderSize);
}

PayloadDigestCheck CheckPayloadDigest(const uint8_t* record, size_t recordSize,
                                      const uint8_t* payload, size_t payloadSize) {
  if (recordSize < kDigestRecordHeaderSize) return kDigestRecordTooShort;
  if (std::memcmp(record, kDigestRecordTag, 4) != 0) return kDigestRecordBadTag;
  if (Read16(record + 4) != kDigestRecordVersion) return kDigestRecordUnknownVersion;
  if (Read16(record + 6) != kDigestAlgorithmXxh3_128) return kDigestRecordUnknownAlgorithm;
  if (Read16(record + 8) != kXxh3_128DigestSize || Read16(record + 10) != 0)
    return kDigestRecordBadLength;
  if (recordSize < kPayloadDigestRecordSize) return kDigestRecordTooShort;
  if (recordSize != kPayloadDigestRecordSize) return kDigestRecordBadLength;
  uint8_t digest[kXxh3_128DigestSize];
  DigestXxh3_128(payload, payloadSize, digest);
  return std::memcmp(digest, record + kDigestRecordHeaderSize, kXxh3_128DigestSize) == 0
             ? kDigestMatches
             : kDigestMismatch;
}

const char* DescribePayloadDigestCheck(PayloadDigestCheck check) {
  switch (check) {
    case kDigestMatches:
      return "the payload matches its XXH3-128 digest";
    case kDigestMismatch:
      return "the payload does not match its XXH3-128 digest: the updater is damaged";
    case kDigestRecordTooShort:
      return "the digest record is cut short";
    case kDigestRecordBadTag:
      return "the digest record does not start with its tag \"FA2D\"";
    case kDigestRecordUnknownVersion:
      return "the digest record has a version that this tool does not know";
    case kDigestRecordUnknownAlgorithm:
      return "the digest record names an algorithm that this tool does not know";
    case kDigestRecordBadLength:
      return "the digest record's length or reserved field is wrong";
  }
  return "the digest record cannot be read";
}
