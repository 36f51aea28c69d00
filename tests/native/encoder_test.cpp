// The encoder: exact streams for small inputs, round trips through both
// decoders over the corpus and synthetic data, and the code kinds it uses.
#include "fa2/encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/decompress.h"
#include "fa2/stream_stats.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Compresses, checks the stream against its bound and decodes it with both
// decoders; returns the stream.
Bytes RoundTrip(const Bytes& data, int level = kCompressLevelDefault) {
  Bytes stream = CompressBlock(data.data(), data.size(), level);
  EXPECT_LE(stream.size(), CompressBound(data.size()));
  Bytes out(data.size());
  size_t produced = 0, consumed = 0;
  EXPECT_EQ(DecompressBlockBounded(out.data(), out.size(), stream.data(), stream.size(), &produced,
                                   &consumed), 1);
  EXPECT_EQ(produced, data.size());
  EXPECT_EQ(consumed, stream.size());
  EXPECT_TRUE(out == data) << "bounded decoder output differs";
  Bytes fast(data.size() + 1);
  DecompressBlock(fast.data(), stream.data());
  fast.pop_back();
  EXPECT_TRUE(fast == data) << "decoder output differs";
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

}  // namespace
