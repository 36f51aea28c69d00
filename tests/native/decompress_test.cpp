// The block decoder against hand-made streams: the format's own examples,
// streams from an independent naive writer, and damaged or truncated input
// that the bounded decoder has to refuse.
#include "archive/decompress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "naive_stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

// Decodes into exactly expected.size() bytes, with the exact stream length,
// and checks the result and both counts.
void ExpectDecodes(const Bytes& stream, const Bytes& expected) {
  Bytes bounded(expected.size());
  size_t produced = 0, consumed = 0;
  ASSERT_EQ(DecompressBlockBounded(bounded.data(), bounded.size(), stream.data(), stream.size(),
                                   &produced, &consumed), 1);
  EXPECT_EQ(produced, expected.size());
  EXPECT_EQ(consumed, stream.size());
  EXPECT_EQ(bounded, expected);
}

int Bounded(const Bytes& stream, size_t capacity) {
  Bytes out(capacity);
  return DecompressBlockBounded(out.data(), capacity, stream.data(), stream.size(), nullptr,
                                nullptr);
}

TEST(Decompress, EndMarkerAloneIsTheShortestStream) {
  ExpectDecodes({0x00, 0x00, 0x00, 0x7C, 0xFF}, {});
}

TEST(Decompress, RunOfOneByteFromDistanceOne) {
  ExpectDecodes({0x00, 0x80, 0xCF, 0x90, 0x61, 0x00, 0xFF}, Bytes(10, 'a'));
}

TEST(Decompress, RepeatsThreeBytePattern) {
  std::string abc = "abcabcabca";
  ExpectDecodes({0x00, 0xE0, 0x23, 0xE4, 0x61, 0x62, 0x63, 0x01, 0xFF}, Bytes(abc.begin(), abc.end()));
}

TEST(Decompress, LiteralBitFromNextControlWordStandsBeforeItsByte) {
  // 33 literals: the 33rd literal's bit opens the second control word.
  Bytes lits = RandomBytes(33, 1);
  Bytes stream = {0xFF, 0xFF, 0xFF, 0xFF};
  stream.insert(stream.end(), lits.begin(), lits.begin() + 32);
  stream.insert(stream.end(), {0x00, 0x00, 0x00, 0xBE});  // 1 0 1 1 1 1 1
  stream.push_back(lits[32]);
  stream.push_back(0xFF);
  ASSERT_EQ(stream.size(), 42u);
  ExpectDecodes(stream, lits);
}

TEST(Decompress, CodeStraddlingTwoControlWordsKeepsItsByteFirst) {
  Bytes lits = RandomBytes(29, 2);
  Bytes stream = {0xF9, 0xFF, 0xFF, 0xFF};
  stream.insert(stream.end(), lits.begin(), lits.end());
  stream.push_back(0x00);                                 // distance byte
  stream.insert(stream.end(), {0x00, 0x00, 0x00, 0x5F});  // extra bit, length 3, end marker bits
  stream.push_back(0xFF);
  ASSERT_EQ(stream.size(), 39u);
  Bytes expected = lits;
  expected.insert(expected.end(), 3, lits.back());
  ExpectDecodes(stream, expected);
}

TEST(Decompress, FarPairWithTopByteIsACopyUnlessExtraBitsAreAllOnes) {
  Bytes prefix = RandomBytes(2303, 3);
  for (unsigned e = 0; e < 7; ++e) {
    NaiveStream s;
    for (uint8_t b : prefix) s.Literal(b);
    s.FarPairValue(0xFF * 8 + e);
    s.Literal(0x5A);
    s.End();
    Bytes expected = prefix;
    size_t distance = 2297 + e;
    for (int i = 0; i < 2; ++i) expected.push_back(expected[expected.size() - distance]);
    expected.push_back(0x5A);
    SCOPED_TRACE(e);
    ExpectDecodes(s.Layout(), expected);
  }
}

TEST(Decompress, NearPairAfterOneLiteralTriplesIt) {
  NaiveStream s;
  s.Literal(0x42);
  s.NearPair(1);
  s.End();
  ExpectDecodes(s.Layout(), {0x42, 0x42, 0x42});
}

TEST(Decompress, ShortDistancesRepeatTheirPattern) {
  // Distances 1 to 17 with lengths around word sizes, including overlaps that
  // a word-at-a-time copy could get wrong. Random literals before and after
  // put the match far from both ends, where the bounded decoder copies in
  // whole words too.
  for (unsigned distance = 1; distance <= 17; ++distance) {
    for (unsigned length : {3u, 4u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 32u, 33u, 64u, 282u}) {
      NaiveStream s;
      Bytes expected = RandomBytes(400 + distance, distance * 1000 + length);
      for (uint8_t b : expected) s.Literal(b);
      s.Match(length, distance);
      for (unsigned i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
      for (uint8_t b : RandomBytes(400, length)) {
        s.Literal(b);
        expected.push_back(b);
      }
      s.End();
      SCOPED_TRACE(testing::Message() << "distance " << distance << " length " << length);
      ExpectDecodes(s.Layout(), expected);
    }
  }
}

// A naive compressor with unusual but legal choices: the longest match found
// by brute force, taken from the farthest distance (up to 8192), cut into
// random lengths; pairs from any legal distance; literals where it likes.
Bytes NaiveCompress(const Bytes& data, uint32_t seed) {
  std::mt19937 rng(seed);
  NaiveStream s;
  size_t pos = 0;
  while (pos < data.size()) {
    size_t bestLen = 0, bestDist = 0;
    size_t maxDist = std::min<size_t>(pos, 8192);
    for (size_t dist = maxDist; dist >= 1; --dist) {
      size_t n = 0;
      while (pos + n < data.size() && n < 282 && data[pos + n] == data[pos + n - dist]) ++n;
      if (n > bestLen) { bestLen = n; bestDist = dist; }
    }
    unsigned choice = rng() % 8;
    if (bestLen >= 3 && choice != 0) {
      size_t len = (choice == 1) ? 3 + rng() % (bestLen - 2) : bestLen;
      s.Match(static_cast<unsigned>(len), static_cast<unsigned>(bestDist));
      pos += len;
    } else if (bestLen >= 2 && bestDist <= 2303 && choice != 0) {
      if (bestDist <= 256) s.NearPair(static_cast<unsigned>(bestDist));
      else s.FarPair(static_cast<unsigned>(bestDist));
      pos += 2;
    } else {
      s.Literal(data[pos++]);
    }
  }
  s.End();
  return s.Layout();
}

// Data with repeats at every distance class and of every length class.
Bytes RepetitiveData(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < n) {
    unsigned kind = rng() % 4;
    if (b.size() < 16 || kind == 0) {
      for (int i = rng() % 20; i >= 0; --i) b.push_back(static_cast<uint8_t>(rng()));
    } else {
      size_t dist = 1 + rng() % std::min<size_t>(b.size(), 9000);
      size_t len = (kind == 1) ? 2 + rng() % 4 : 2 + rng() % 400;
      for (size_t i = 0; i < len; ++i) b.push_back(b[b.size() - dist]);
    }
  }
  b.resize(n);
  return b;
}

TEST(Decompress, StreamsOfAnIndependentWriterDecodeExactly) {
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    Bytes data = RepetitiveData(20000, seed);
    Bytes stream = NaiveCompress(data, seed);
    SCOPED_TRACE(seed);
    ExpectDecodes(stream, data);
  }
}

TEST(Decompress, LongestMatchFromTheFarthestDistance) {
  Bytes data = RandomBytes(8192, 7);
  Bytes head(data.begin(), data.begin() + 282 * 3);
  data.insert(data.end(), head.begin(), head.end());
  NaiveStream s;
  for (size_t i = 0; i < 8192; ++i) s.Literal(data[i]);
  for (int i = 0; i < 3; ++i) s.Match(282, 8192);
  s.End();
  ExpectDecodes(s.Layout(), data);
}

TEST(DecompressBounded, RefusesEveryTruncation) {
  Bytes data = RepetitiveData(3000, 11);
  Bytes stream = NaiveCompress(data, 11);
  ASSERT_EQ(Bounded(stream, data.size()), 1);
  for (size_t n = 0; n < stream.size(); ++n) {
    Bytes cut(stream.begin(), stream.begin() + n);
    ASSERT_EQ(Bounded(cut, data.size()), 0) << "prefix of " << n << " bytes";
  }
}

TEST(DecompressBounded, RefusesOutputBeyondCapacity) {
  Bytes data = RepetitiveData(3000, 12);
  for (uint32_t seed : {12u, 13u}) {
    Bytes stream = NaiveCompress(data, seed);
    EXPECT_EQ(Bounded(stream, data.size()), 1);
    EXPECT_EQ(Bounded(stream, data.size() + 1000), 1);
    for (size_t cap : {size_t{0}, size_t{1}, data.size() / 2, data.size() - 2, data.size() - 1}) {
      EXPECT_EQ(Bounded(stream, cap), 0) << "capacity " << cap;
    }
  }
  // A final literal, pair and match each overflowing by one byte.
  NaiveStream lit, pair, match;
  for (NaiveStream* s : {&lit, &pair, &match}) s->Literal(1);
  lit.Literal(2);
  pair.NearPair(1);
  match.Match(3, 1);
  for (NaiveStream* s : {&lit, &pair, &match}) s->End();
  EXPECT_EQ(Bounded(lit.Layout(), 1), 0);
  EXPECT_EQ(Bounded(pair.Layout(), 2), 0);
  EXPECT_EQ(Bounded(match.Layout(), 3), 0);
  EXPECT_EQ(Bounded(match.Layout(), 4), 1);
}

TEST(DecompressBounded, RefusesCopiesFromBeforeTheOutput) {
  NaiveStream first;
  first.NearPair(1);
  first.End();
  EXPECT_EQ(Bounded(first.Layout(), 100), 0);

  // Each copy kind reaching back exactly to the first output byte, and one
  // byte further.
  Bytes lits = RandomBytes(300, 5);
  for (unsigned kind = 0; kind < 3; ++kind) {
    unsigned distance = kind == 0 ? 256 : 300;
    for (unsigned extra : {0u, 1u}) {
      NaiveStream s;
      for (unsigned i = 0; i < distance - extra; ++i) s.Literal(lits[i]);
      if (kind == 0) s.NearPair(distance);
      if (kind == 1) s.Match(5, distance);
      if (kind == 2) s.FarPair(distance);
      s.End();
      EXPECT_EQ(Bounded(s.Layout(), 1000), extra ? 0 : 1) << "kind " << kind << " extra " << extra;
    }
  }
}

TEST(DecompressBounded, SurvivesCorruptedStreams) {
  Bytes data = RepetitiveData(5000, 21);
  Bytes stream = NaiveCompress(data, 21);
  std::mt19937 rng(21);
  int refused = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    Bytes bad = stream;
    for (int flips = 1 + rng() % 3; flips > 0; --flips) bad[rng() % bad.size()] ^= 1u << (rng() % 8);
    Bytes out(data.size());
    size_t produced = 12345, consumed = 12345;
    int ok = DecompressBlockBounded(out.data(), out.size(), bad.data(), bad.size(), &produced, &consumed);
    if (ok) {
      EXPECT_LE(produced, out.size());
      EXPECT_LE(consumed, bad.size());
    } else {
      ++refused;
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(DecompressBounded, IgnoresBytesAfterTheEndMarker) {
  Bytes stream = {0x00, 0x80, 0xCF, 0x90, 0x61, 0x00, 0xFF, 0x12, 0x34};
  Bytes out(10);
  size_t produced = 0, consumed = 0;
  ASSERT_EQ(DecompressBlockBounded(out.data(), out.size(), stream.data(), stream.size(), &produced,
                                   &consumed), 1);
  EXPECT_EQ(produced, 10u);
  EXPECT_EQ(consumed, 7u);
  EXPECT_EQ(DecompressBlockBounded(out.data(), out.size(), stream.data(), stream.size(), nullptr,
                                   nullptr), 1);
}

}  // namespace
