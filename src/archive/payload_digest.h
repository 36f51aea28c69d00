// The payload's digest record: what `fa2 embed` stores beside the payload (as
// resource "UPDATE"/103) so that the updater can tell a damaged download
// before it reads a byte of the archive.
//
// The record is 28 bytes, all integers unsigned little-endian:
//
//   offset  size  field
//        0     4  tag "FA2D"
//        4     2  version, 1
//        6     2  algorithm, 1 = XXH3-128 (seed 0)
//        8     2  digest length in bytes, 16 for XXH3-128
//       10     2  reserved, 0
//       12    16  the digest of the payload's bytes, in XXH3-128's canonical
//                 (big-endian) form
//
// A record is understood only when every field is one of the values above and
// the record is exactly 12 + digest length bytes long. Platform-neutral: this
// code reads and writes only the buffers that it is given.
#ifndef ARCHIVE_PAYLOAD_DIGEST_H
#define ARCHIVE_PAYLOAD_DIGEST_H

#include <cstddef>
#include <cstdint>

#include "common/updater_contract.h"  // the record's resource id

constexpr size_t kDigestRecordHeaderSize = 12;
constexpr uint16_t kDigestRecordVersion = 1;
constexpr uint16_t kDigestAlgorithmXxh3_128 = 1;
constexpr uint16_t kXxh3_128DigestSize = 16;
constexpr size_t kPayloadDigestRecordSize = kDigestRecordHeaderSize + kXxh3_128DigestSize;
constexpr char kDigestRecordTag[4] = {'F', 'A', '2', 'D'};

// The outcome of checking a payload against a record.
enum PayloadDigestCheck {
  kDigestMatches = 0,
  kDigestMismatch,        // a sound record whose digest differs from the payload's
  kDigestRecordTooShort,  // shorter than its header, or than the digest it announces
  kDigestRecordBadTag,
  kDigestRecordUnknownVersion,
  kDigestRecordUnknownAlgorithm,
  kDigestRecordBadLength,  // a digest length wrong for the algorithm, a non-zero
                           // reserved field, or bytes after the digest
};

// The XXH3-128 (seed 0) of size bytes in canonical form: the payload's
// digest, and the hashes of the patch entries' base and new files.
void DigestXxh3_128(const uint8_t* data, size_t size, uint8_t digest[kXxh3_128DigestSize]);

// Writes the record for the payload's bytes into record.
void BuildPayloadDigestRecord(const uint8_t* payload, size_t payloadSize,
                              uint8_t record[kPayloadDigestRecordSize]);

// Checks the payload against the record of recordSize bytes. Every result
// but kDigestMatches means that the payload cannot be vouched for.
PayloadDigestCheck CheckPayloadDigest(const uint8_t* record, size_t recordSize,
                                      const uint8_t* payload, size_t payloadSize);

// A sentence about a result, for the publishers' tool.
const char* DescribePayloadDigestCheck(PayloadDigestCheck check);

#endif
