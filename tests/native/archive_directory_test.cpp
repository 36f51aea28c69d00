// The directory load and the data-area walk over hand-built payloads: every
// check that keeps a reader inside the payload and the directory block.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/archive_directory.h"
#include "archive_test_streams.h"

namespace {

// Runs the check and the decode the way the updater does; returns the block
// or an empty vector when either refuses.
std::vector<uint8_t> Load(const std::vector<uint8_t>& payload) {
  ArchiveHeader header;
  uint32_t size = 0;
  if (!CheckArchiveDirectory(payload.data(), payload.size(), &header, &size)) return {};
  std::vector<uint8_t> block(size);
  if (!DecodeArchiveDirectory(payload.data(), payload.size(), block.data(), block.size()))
    return {};
  return block;
}

std::vector<ArchiveEntry> ThreeRecords() {
  return {TestRecord("UPDATE.INI", kEntryStored, 203, 203, 0x01D9000012345678ull),
          TestRecord("GAME.DAT", kEntryCompressed, 4000, 16),
          TestRecord("EMPTY.TXT", kEntryStored, 0, 0)};
}

}  // namespace

TEST(ArchiveWalk, ExampleEntriesLieAt16_224_240AndTheDirectoryAt240) {
  const std::vector<ArchiveEntry> records = ThreeRecords();
  EXPECT_EQ(ArchiveEntryDataPosition(records.data(), 0), 16u);
  EXPECT_EQ(ArchiveEntryDataPosition(records.data(), 1), 224u);
  EXPECT_EQ(ArchiveEntryDataPosition(records.data(), 2), 240u);
  EXPECT_EQ(ArchiveEntryDataPosition(records.data(), 3), 240u);  // where the directory goes

  // The same archive as bytes: data area of 224 bytes, directory at 240.
  const std::vector<uint8_t> payload = TestPayload(0, 3, 224, RecordBytes(records));
  ArchiveHeader header;
  ASSERT_TRUE(ReadArchiveHeader(payload.data(), payload.size(), &header));
  EXPECT_EQ(header.DirectoryOffset, 240u);
  const std::vector<uint8_t> block = Load(payload);
  ASSERT_EQ(block.size(), 16u + 3 * 280);
  EXPECT_EQ(0, std::memcmp(block.data(), payload.data(), 16));
  EXPECT_EQ(0, std::memcmp(block.data() + 16, records.data(), 3 * 280));
}

TEST(ArchiveWalk, SizesNear4GiBDoNotWrap) {
  const std::vector<ArchiveEntry> records = {TestRecord("A", kEntryStored, 0, 0xFFFFFFFFu),
                                             TestRecord("B", kEntryStored, 0, 0xFFFFFFF1u),
                                             TestRecord("C", kEntryStored, 0, 1)};
  EXPECT_EQ(AlignedStoredSize(0xFFFFFFFFu), 0x100000000ull);
  EXPECT_EQ(ArchiveEntryDataPosition(records.data(), 2), 16 + 2 * 0x100000000ull);
  // An entry is inside the payload only when all its stored bytes are.
  EXPECT_TRUE(EntryDataInPayload(16, records[2], 17));
  EXPECT_FALSE(EntryDataInPayload(16, records[2], 16));
  EXPECT_FALSE(EntryDataInPayload(0x100000010ull, records[2], 100));
  EXPECT_FALSE(EntryDataInPayload(16, records[0], 0xFFFFFFFFu));
}

TEST(ArchiveDirectory, PlainDirectoryIgnoresBytesAfterItsRecords) {
  const std::vector<ArchiveEntry> records = ThreeRecords();
  std::vector<uint8_t> directory = RecordBytes(records);
  directory.insert(directory.end(), 37, 0xEE);
  const std::vector<uint8_t> block = Load(TestPayload(0, 3, 224, directory));
  ASSERT_EQ(block.size(), 16u + 3 * 280);
  EXPECT_EQ(0, std::memcmp(block.data() + 16, records.data(), 3 * 280));
}

TEST(ArchiveDirectory, CompressedDirectoryDecodesInPlaceAndIgnoresTrailingBytes) {
  const std::vector<ArchiveEntry> records = ThreeRecords();
  const std::vector<uint8_t> plain = RecordBytes(records);
  std::vector<uint8_t> stream = LiteralStream(plain.data(), plain.size());
  stream.insert(stream.end(), {0x12, 0x34, 0x56});  // after the end marker
  const std::vector<uint8_t> payload =
      TestPayload(kArchiveDirectoryCompressed, 3, 224, stream);
  const std::vector<uint8_t> block = Load(payload);
  ASSERT_EQ(block.size(), 16u + 3 * 280);
  EXPECT_EQ(0, std::memcmp(block.data(), payload.data(), 16));  // flags kept in the copy
  EXPECT_EQ(0, std::memcmp(block.data() + 16, plain.data(), plain.size()));
}

TEST(ArchiveDirectory, NoEntriesGiveTheHeaderAlone) {
  // Plain: the directory is empty and may sit right at the end of the payload.
  std::vector<uint8_t> block = Load(TestPayload(0, 0, 0, {}));
  ASSERT_EQ(block.size(), 16u);
  // Compressed: the end marker alone.
  const std::vector<uint8_t> endOnly = {0x00, 0x00, 0x00, 0x7C, 0xFF};
  block = Load(TestPayload(kArchiveDirectoryCompressed, 0, 0, endOnly));
  ASSERT_EQ(block.size(), 16u);
  EXPECT_EQ(block[4], kArchiveDirectoryCompressed);
  // Compressed with nothing after the offset: there is no stream to take.
  EXPECT_TRUE(Load(TestPayload(kArchiveDirectoryCompressed, 0, 0, {})).empty());
}

TEST(ArchiveDirectory, RefusesPayloadsTooShortForAHeader) {
  std::vector<uint8_t> payload = TestPayload(0, 0, 0, {});
  for (size_t size = 0; size < 16; ++size) {
    ArchiveHeader header;
    uint32_t blockSize;
    EXPECT_FALSE(ReadArchiveHeader(payload.data(), size, &header));
    EXPECT_FALSE(CheckArchiveDirectory(payload.data(), size, &header, &blockSize));
  }
  EXPECT_FALSE(DecodeArchiveDirectory(nullptr, 0, nullptr, 16));
}

TEST(ArchiveDirectory, RefusesADirectoryOffsetBeyondThePayload) {
  std::vector<uint8_t> payload = TestPayload(0, 0, 32, {});
  uint32_t offset = static_cast<uint32_t>(payload.size());
  std::memcpy(payload.data() + 8, &offset, 4);
  EXPECT_EQ(Load(payload).size(), 16u);  // at the very end: still inside
  for (uint32_t bad : {offset + 1, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    std::memcpy(payload.data() + 8, &bad, 4);
    EXPECT_TRUE(Load(payload).empty()) << bad;
    payload[4] = kArchiveDirectoryCompressed;
    EXPECT_TRUE(Load(payload).empty()) << bad;
    payload[4] = 0;
  }
}

TEST(ArchiveDirectory, RefusesAnEntryCountWhoseBlockDoesNotFit32Bits) {
  // Only the 16-byte header is ever read by the check, so a claimed payload of
  // 4 GiB can be examined without one.
  constexpr uint32_t kLargestCount = (0xFFFFFFFFu - 16) / 280;  // 15339168
  std::vector<uint8_t> header = TestPayload(0, kLargestCount, 0, {});
  ArchiveHeader h;
  uint32_t blockSize = 0;
  ASSERT_TRUE(CheckArchiveDirectory(header.data(), 0xFFFFFFFFu, &h, &blockSize));
  EXPECT_EQ(blockSize, 16u + uint64_t{kLargestCount} * 280);
  for (uint32_t count : {kLargestCount + 1, 0x0F000000u, 0xFFFFFFFFu}) {
    std::memcpy(header.data() + 12, &count, 4);
    EXPECT_FALSE(CheckArchiveDirectory(header.data(), 0xFFFFFFFFu, &h, &blockSize)) << count;
    header[4] = kArchiveDirectoryCompressed;
    EXPECT_FALSE(CheckArchiveDirectory(header.data(), 0xFFFFFFFFu, &h, &blockSize)) << count;
    header[4] = 0;
  }
}

TEST(ArchiveDirectory, RefusesAPlainDirectoryRunningPastThePayload) {
  const std::vector<uint8_t> records = RecordBytes(ThreeRecords());
  std::vector<uint8_t> payload = TestPayload(0, 3, 224, records);
  EXPECT_FALSE(Load(payload).empty());
  payload.pop_back();
  EXPECT_TRUE(Load(payload).empty());
  // One record more than the bytes hold.
  payload = TestPayload(0, 4, 224, records);
  EXPECT_TRUE(Load(payload).empty());
}

TEST(ArchiveDirectory, RefusesACompressedDirectoryOfTheWrongLength) {
  const std::vector<uint8_t> plain = RecordBytes(ThreeRecords());
  // One byte short, one byte long, one record short.
  for (size_t size : {plain.size() - 1, plain.size() + 1, plain.size() - 280}) {
    std::vector<uint8_t> bytes(size, 0x41);
    std::memcpy(bytes.data(), plain.data(), std::min(size, plain.size()));
    const std::vector<uint8_t> stream = LiteralStream(bytes.data(), bytes.size());
    EXPECT_TRUE(Load(TestPayload(kArchiveDirectoryCompressed, 3, 224, stream)).empty()) << size;
  }
}

TEST(ArchiveDirectory, RefusesADamagedCompressedDirectory) {
  const std::vector<uint8_t> plain = RecordBytes(ThreeRecords());
  const std::vector<uint8_t> stream = LiteralStream(plain.data(), plain.size());
  // Cut anywhere before the end marker's last byte: never a whole stream.
  for (size_t cut = 0; cut < stream.size(); cut += 7) {
    std::vector<uint8_t> part(stream.begin(), stream.begin() + cut);
    EXPECT_TRUE(Load(TestPayload(kArchiveDirectoryCompressed, 3, 0, part)).empty()) << cut;
  }
  std::vector<uint8_t> part(stream.begin(), stream.end() - 1);
  EXPECT_TRUE(Load(TestPayload(kArchiveDirectoryCompressed, 3, 0, part)).empty());

  // A copy from before the first output byte.
  TestStream s;
  s.Literal('A');
  s.Match(2, 282);
  EXPECT_TRUE(Load(TestPayload(kArchiveDirectoryCompressed, 1, 0, s.End())).empty());
}

TEST(ArchiveDirectory, RefusesMoreRecordsThanTheStreamCanHoldBeforeAllocating) {
  // 5 stream bytes cannot decode to 15 million records: the check refuses it
  // without asking for a block of 4 GiB.
  const std::vector<uint8_t> endOnly = {0x00, 0x00, 0x00, 0x7C, 0xFF};
  const std::vector<uint8_t> payload =
      TestPayload(kArchiveDirectoryCompressed, 15339168, 0, endOnly);
  ArchiveHeader h;
  uint32_t blockSize;
  EXPECT_FALSE(CheckArchiveDirectory(payload.data(), payload.size(), &h, &blockSize));
  EXPECT_EQ(MaxDecodedSize(5), 451u);
}

TEST(ArchiveDirectory, TheDensestPossibleStreamStillPassesTheSizeBound) {
  // One literal, then matches of 282 bytes at distance 1: every match costs
  // the fewest bits a code can. 1 + 1000 * 282 + 239 = 1008 records.
  TestStream s;
  s.Literal(0);
  for (int i = 0; i < 1000; ++i) s.Match(1, 282);
  s.Match(1, 239);
  const std::vector<uint8_t> stream = s.End();
  ASSERT_GT(1008u * 280, stream.size() * 90);  // as dense as a stream gets
  const std::vector<uint8_t> block =
      Load(TestPayload(kArchiveDirectoryCompressed, 1008, 0, stream));
  ASSERT_EQ(block.size(), 16u + 1008 * 280);
  for (size_t i = 16; i < block.size(); ++i) ASSERT_EQ(block[i], 0) << i;
}

TEST(ArchiveDirectory, DecodeRefusesABlockOfTheWrongSize) {
  const std::vector<uint8_t> payload = TestPayload(0, 3, 224, RecordBytes(ThreeRecords()));
  std::vector<uint8_t> block(16 + 3 * 280 + 1);
  EXPECT_FALSE(DecodeArchiveDirectory(payload.data(), payload.size(), block.data(), 16 + 3 * 280 - 1));
  EXPECT_FALSE(DecodeArchiveDirectory(payload.data(), payload.size(), block.data(), block.size()));
  EXPECT_TRUE(DecodeArchiveDirectory(payload.data(), payload.size(), block.data(), 16 + 3 * 280));
}

TEST(ArchiveTestStreams, WriterProducesTheDocumentedStreams) {
  // The helper must write streams exactly as the format lays them out, or
  // the tests above would prove nothing.
  TestStream a;
  a.Literal('a');
  a.Match(1, 9);
  EXPECT_EQ(a.End(), (std::vector<uint8_t>{0x00, 0x80, 0xCF, 0x90, 0x61, 0x00, 0xFF}));
  TestStream b;
  for (char c : {'a', 'b', 'c'}) b.Literal(c);
  b.Match(3, 7);
  EXPECT_EQ(b.End(),
            (std::vector<uint8_t>{0x00, 0xE0, 0x23, 0xE4, 0x61, 0x62, 0x63, 0x01, 0xFF}));
  std::vector<uint8_t> literals(29, 'x');
  TestStream c;
  for (uint8_t x : literals) c.Literal(x);
  c.Match(1, 3);
  const std::vector<uint8_t> straddling = c.End();
  ASSERT_EQ(straddling.size(), 39u);
  EXPECT_EQ(std::vector<uint8_t>(straddling.begin(), straddling.begin() + 4),
            (std::vector<uint8_t>{0xF9, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(std::vector<uint8_t>(straddling.end() - 6, straddling.end()),
            (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x5F, 0xFF}));
}
