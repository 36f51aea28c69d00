// The encoder: exact streams for small inputs, round trips through the
// decoder at every level over the corpus and synthetic data, and the code kinds it uses.
#include "fa2/archive/encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/decompress.h"
#include "stream_stats.h"
#include "naive_stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The stream decoded in parts, as the updater writes a staged file, through
// the smallest buffer.
Bytes DecodeInParts(const Bytes& stream, size_t size) {
  ArchiveEntryStream parts{};
  parts.Compressed = 1;
  parts.Left = size;
  EXPECT_EQ(StartBlockDecoder(&parts.Decoder, stream.data(), stream.size()), 1);
  Bytes buffer(kArchiveEntryPartMinBuffer), out;
  const uint8_t* part = nullptr;
  size_t partSize = 0;
  ArchiveProblem why;
  while (ReadArchiveEntryPart(&parts, buffer.data(), buffer.size(), &part, &partSize, &why) &&
         partSize != 0) {
    out.insert(out.end(), part, part + partSize);
  }
  EXPECT_EQ(why, kArchiveOk);
  return out;
}

// Compresses, checks the stream against its bound and decodes it, whole and
// in parts; returns the stream.
Bytes RoundTrip(const Bytes& data, int level = kCompressLevelDefault) {
  Bytes stream = CompressBlock(data.data(), data.size(), level);
  EXPECT_LE(stream.size(), CompressBound(data.size()));
  Bytes out(data.size());
  size_t produced = 0, consumed = 0;
  EXPECT_EQ(DecompressBlockBounded(out.data(), out.size(), stream.data(), stream.size(), &produced,
                                   &consumed), 1);
  EXPECT_EQ(produced, data.size());
  EXPECT_EQ(consumed, stream.size());
  EXPECT_TRUE(out == data) << "decoder output differs";
  EXPECT_TRUE(DecodeInParts(stream, data.size()) == data) << "output in parts differs";
  return stream;
}

TEST(Encoder, SmallInputsGiveTheCanonicalStreams) {
  EXPECT_EQ(RoundTrip({}), (Bytes{0x00, 0x00, 0x00, 0x7C, 0xFF}));
  EXPECT_EQ(RoundTrip(Bytes(10, 'a')), (Bytes{0x00, 0x80, 0xCF, 0x90, 0x61, 0x00, 0xFF}));
  EXPECT_EQ(RoundTrip(FromString("abcabcabca")),
            (Bytes{0x00, 0xE0, 0x23, 0xE4, 0x61, 0x62, 0x63, 0x01, 0xFF}));
  // 33 bytes without repeats: the second control word stands before the
  // 33rd literal.
  Bytes lits;
  for (int i = 0; i < 33; ++i) lits.push_back(static_cast<uint8_t>(i * 7));
  Bytes stream = RoundTrip(lits);
  ASSERT_EQ(stream.size(), 42u);
  EXPECT_EQ(Bytes(stream.begin(), stream.begin() + 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(stream.begin() + 36, stream.begin() + 40), (Bytes{0x00, 0x00, 0x00, 0xBE}));
  EXPECT_EQ(stream[40], lits[32]);
  EXPECT_EQ(stream[41], 0xFF);
}

TEST(Encoder, CorpusRoundTripsAndPacksWithinTarget) {
  uint64_t total = 0, packed = 0;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CORPUS_DIR)) {
    Bytes data = ReadFile(entry.path());
    SCOPED_TRACE(entry.path().string());
    Bytes stream = RoundTrip(data);
    std::string name = entry.path().filename().string();
    if (name == "README.md" || name == "SHA256SUMS") continue;
    total += data.size();
    // As the archive tool stores it: compressed only when that saves bytes.
    packed += std::min(stream.size(), data.size());
    ++files;
  }
  EXPECT_EQ(files, 6);
  EXPECT_LE(packed, 12800000u) << "of " << total;
}

StreamStats Stats(const Bytes& stream) {
  StreamStats st;
  EXPECT_EQ(AnalyzeStream(stream.data(), stream.size(), &st), 1);
  return st;
}

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

// Random bytes with copies of every length from every distance class: each
// copy is followed by a fresh random byte, so that it cannot run on.
Bytes MixedData(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b = RandomBytes(9000, seed);
  static const size_t kDistances[] = {1, 3, 100, 256, 300, 512, 513, 1000, 1024, 1025,
                                      2000, 2048, 2049, 2303, 2304, 4000, 4096, 4097, 8192};
  while (b.size() < n) {
    size_t distance = kDistances[rng() % std::size(kDistances)];
    unsigned pick = rng() % 8;
    size_t length = pick < 2 ? 2 + pick : pick < 6 ? 2 + rng() % 30 : 2 + rng() % 400;
    for (size_t i = 0; i < length; ++i) b.push_back(b[b.size() - distance]);
    for (int i = 1 + rng() % 3; i > 0; --i) b.push_back(static_cast<uint8_t>(rng()));
  }
  return b;
}

TEST(StreamStats, CountsEachCodeByKindAndClass) {
  NaiveStream s;
  for (int i = 0; i < 9000; ++i) s.Literal(static_cast<uint8_t>(i * 31 + i / 7));
  s.NearPair(256);
  s.FarPair(257);
  s.FarPair(2303);
  const unsigned distances[] = {1, 512, 513, 1024, 1025, 2048, 2049, 4096, 4097, 8192};
  const unsigned lengths[] = {3, 4, 5, 6, 7, 10, 11, 26, 27, 282};
  for (size_t i = 0; i < std::size(distances); ++i) s.Match(lengths[i], distances[i]);
  s.End();
  Bytes stream = s.Layout();
  StreamStats st = Stats(stream);
  EXPECT_EQ(st.literals, 9000u);
  EXPECT_EQ(st.nearPairs, 1u);
  EXPECT_EQ(st.farPairs, 2u);
  EXPECT_EQ(st.matches, 10u);
  for (int c = 0; c < 5; ++c) EXPECT_EQ(st.distanceClass[c], 2u) << "distance class " << c;
  const uint64_t perLength[6] = {1, 1, 2, 2, 2, 2};
  for (int c = 0; c < 6; ++c) EXPECT_EQ(st.lengthClass[c], perLength[c]) << "length class " << c;
  uint64_t copied = 0;
  for (unsigned l : lengths) copied += l;
  EXPECT_EQ(st.outputSize, 9000 + 6 + copied);
  EXPECT_EQ(st.streamLength, stream.size());
  // A stream without its last byte has no end marker.
  StreamStats cut;
  EXPECT_EQ(AnalyzeStream(stream.data(), stream.size() - 1, &cut), 0);
}

TEST(Encoder, UsesEveryCodeKind) {
  Bytes data = MixedData(400000, 1);
  for (int level = kCompressLevelFastest; level <= kCompressLevelSmallest; ++level) {
    SCOPED_TRACE(level);
    StreamStats st = Stats(RoundTrip(data, level));
    EXPECT_GT(st.literals, 0u);
    EXPECT_GT(st.nearPairs, 0u);
    EXPECT_GT(st.farPairs, 0u);
    for (int c = 0; c < 5; ++c) EXPECT_GT(st.distanceClass[c], 0u) << "distance class " << c;
    for (int c = 0; c < 6; ++c) EXPECT_GT(st.lengthClass[c], 0u) << "length class " << c;
    EXPECT_EQ(st.outputSize, data.size());
  }
}

TEST(Encoder, ReachesTheWholeWindowAndTheLongestLength) {
  // A random block repeated once, 8192 bytes on: one match chain from the
  // farthest distance, in pieces of 282 bytes.
  Bytes data = RandomBytes(8192, 2);
  data.insert(data.end(), data.begin(), data.end());
  StreamStats st = Stats(RoundTrip(data));
  EXPECT_EQ(st.distanceClass[4], st.matches);
  EXPECT_GE(st.lengthClass[5], 8192u / 282);
  EXPECT_LT(st.literals, 8192u + 40);

  // One byte further is out of reach: only chance repeats of a few bytes.
  Bytes far = RandomBytes(8193, 3);
  far.insert(far.end(), far.begin(), far.end());
  StreamStats farStats = Stats(RoundTrip(far));
  EXPECT_EQ(farStats.lengthClass[5] + farStats.lengthClass[4], 0u);
  EXPECT_GT(farStats.literals, far.size() - 2500);
}

TEST(Encoder, LongRunsOfOneByteUseTheLongestMatches) {
  Bytes zeros(100000, 0);
  Bytes stream = RoundTrip(zeros);
  StreamStats st = Stats(stream);
  EXPECT_EQ(st.literals, 1u);
  EXPECT_GE(st.lengthClass[5], 100000u / 282);
  EXPECT_LT(stream.size(), 1500u);
}

TEST(Encoder, EveryLevelRoundTrips) {
  Bytes data = MixedData(60000, 4);
  Bytes random = RandomBytes(5000, 5);
  for (int level = kCompressLevelFastest - 2; level <= kCompressLevelSmallest + 1; ++level) {
    SCOPED_TRACE(level);
    RoundTrip(data, level);
    RoundTrip(random, level);
    for (size_t n = 0; n < 40; ++n) RoundTrip(Bytes(data.begin(), data.begin() + n), level);
  }
  // The default level beats the fastest, and the smallest beats every level.
  auto packed = [&](int level) { return CompressBlock(data.data(), data.size(), level).size(); };
  const size_t smallest = packed(kCompressLevelSmallest);
  for (int level = kCompressLevelFastest; level < kCompressLevelSmallest; ++level)
    EXPECT_LE(smallest, packed(level)) << "level " << level;
  EXPECT_LE(packed(kCompressLevelDefault), packed(kCompressLevelFastest));
}

TEST(Encoder, IncompressibleDataStaysWithinTheBound) {
  for (size_t n : {size_t{1}, size_t{31}, size_t{32}, size_t{33}, size_t{100000}}) {
    Bytes data = RandomBytes(n, static_cast<uint32_t>(n));
    Bytes stream = RoundTrip(data);
    EXPECT_LE(stream.size(), CompressBound(n));
  }
}

}  // namespace
