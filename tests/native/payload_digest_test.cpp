// The payload's digest record: its layout, and every way a record or a
// payload can fail to match.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/payload_digest.h"

namespace {

std::vector<uint8_t> Record(const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> record(kPayloadDigestRecordSize);
  BuildPayloadDigestRecord(payload.data(), payload.size(), record.data());
  return record;
}

PayloadDigestCheck Check(const std::vector<uint8_t>& record, const std::vector<uint8_t>& payload) {
  return CheckPayloadDigest(record.data(), record.size(), payload.data(), payload.size());
}

TEST(PayloadDigest, TheRecordOfAnEmptyPayloadHoldsTheKnownXxh3Digest) {
  // XXH3-128 of no bytes with seed 0 is 99aa06d3014798d8 6001c324468d497f,
  // written high half first.
  const std::vector<uint8_t> expected = {
      'F',  'A',  '2',  'D',  1,    0,    1,    0,    16,   0,    0,    0,    0x99, 0xaa,
      0x06, 0xd3, 0x01, 0x47, 0x98, 0xd8, 0x60, 0x01, 0xc3, 0x24, 0x46, 0x8d, 0x49, 0x7f};
  EXPECT_EQ(Record({}), expected);
  EXPECT_EQ(Check(expected, {}), kDigestMatches);
}

TEST(PayloadDigest, AnyChangedPayloadByteOrLengthIsAMismatch) {
  std::vector<uint8_t> payload(100000);
  for (size_t i = 0; i < payload.size(); i++) payload[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
  const std::vector<uint8_t> record = Record(payload);
  ASSERT_EQ(Check(record, payload), kDigestMatches);
  for (size_t at : {size_t{0}, size_t{15}, size_t{4096}, size_t{50001}, payload.size() - 1}) {
    for (uint8_t bit : {0x01, 0x80}) {
      std::vector<uint8_t> damaged = payload;
      damaged[at] ^= bit;
      EXPECT_EQ(Check(record, damaged), kDigestMismatch) << at << " " << int{bit};
    }
  }
  std::vector<uint8_t> cut(payload.begin(), payload.end() - 1);
  EXPECT_EQ(Check(record, cut), kDigestMismatch);
  std::vector<uint8_t> longer = payload;
  longer.push_back(0);
  EXPECT_EQ(Check(record, longer), kDigestMismatch);
}

TEST(PayloadDigest, ARecordThatIsNotExactlyUnderstoodNeverMatches) {
  const std::vector<uint8_t> payload = {'F', 'A', '2', 0, 1, 2, 3};
  const std::vector<uint8_t> sound = Record(payload);
  struct Case {
    const char* what;
    size_t at;  // byte to change, or the new length when length is set
    uint8_t value;
    bool length;
    PayloadDigestCheck expected;
  } cases[] = {
      {"tag", 3, 'X', false, kDigestRecordBadTag},
      {"version 2", 4, 2, false, kDigestRecordUnknownVersion},
      {"version 0", 4, 0, false, kDigestRecordUnknownVersion},
      {"version high byte", 5, 1, false, kDigestRecordUnknownVersion},
      {"algorithm 2", 6, 2, false, kDigestRecordUnknownAlgorithm},
      {"digest length 32", 8, 32, false, kDigestRecordBadLength},
      {"digest length 8", 8, 8, false, kDigestRecordBadLength},
      {"reserved", 11, 1, false, kDigestRecordBadLength},
      {"digest byte", 27, 0, false, kDigestMismatch},
      {"no bytes", 0, 0, true, kDigestRecordTooShort},
      {"header only", 12, 0, true, kDigestRecordTooShort},
      {"one digest byte short", 27, 0, true, kDigestRecordTooShort},
      {"a byte more", 29, 0, true, kDigestRecordBadLength},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> record = sound;
    if (c.length) {
      record.resize(c.at, 0);
    } else {
      record[c.at] = c.value == record[c.at] ? static_cast<uint8_t>(~c.value) : c.value;
    }
    EXPECT_EQ(Check(record, payload), c.expected);
    EXPECT_NE(std::strlen(DescribePayloadDigestCheck(c.expected)), 0u);
  }
}

}  // namespace
