// The archive reader over hand-built payloads: the directory load, the data
// positions, and every check that keeps a reader inside the payload and its
// block, each refusal with its reason.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/archive_reader.h"
#include "archive_test_streams.h"

namespace {

// An archive opened the way the updater opens its payload (the magic is not
// checked), in a block exactly as large as ArchiveBlockSize says.
struct Opened {
  std::vector<uint64_t> storage;
  ArchiveReader reader{};
  ArchiveProblem why = kArchiveOk;

  explicit Opened(const std::vector<uint8_t>& payload, size_t claimedSize = SIZE_MAX) {
    const size_t size = claimedSize != SIZE_MAX ? claimedSize : payload.size();
    const uint8_t* bytes = payload.empty() ? nullptr : payload.data();
    uint32_t blockSize = 0;
    if (!ArchiveBlockSize(bytes, size, 0, &blockSize, &why)) return;
    storage.resize((blockSize + 7) / 8);
    if (!OpenArchive(&reader, bytes, size, 0, storage.data(), blockSize, &why)) storage.clear();
  }
  // The header copy and the records, as the updater's Directory holds them;
  // empty when the reader refused.
  std::vector<uint8_t> Block() const {
    if (storage.empty()) return {};
    const auto* bytes = reinterpret_cast<const uint8_t*>(storage.data());
    return std::vector<uint8_t>(bytes, bytes + 16 + size_t{reader.EntryCount} * 280);
  }
};

std::vector<uint8_t> Load(const std::vector<uint8_t>& payload) { return Opened(payload).Block(); }

std::vector<ArchiveEntry> ThreeRecords() {
  return {TestRecord("UPDATE.INI", kEntryStored, 203, 203, 0x01D9000012345678ull),
          TestRecord("GAME.DAT", kEntryCompressed, 4000, 16),
          TestRecord("EMPTY.TXT", kEntryStored, 0, 0)};
}

}  // namespace

TEST(ArchiveReader, ExampleEntriesLieAt16_224_240AndTheDirectoryAt240) {
  const std::vector<ArchiveEntry> records = ThreeRecords();
  // The same archive as bytes: data area of 224 bytes, directory at 240.
  const std::vector<uint8_t> payload = TestPayload(0, 3, 224, RecordBytes(records));
  EXPECT_EQ(payload[8], 240u);
  const Opened opened(payload);
  ASSERT_EQ(opened.reader.EntryCount, 3u);
  EXPECT_EQ(std::vector<uint64_t>(opened.reader.Positions, opened.reader.Positions + 3),
            (std::vector<uint64_t>{16, 224, 240}));
  EXPECT_EQ(opened.reader.Entries, reinterpret_cast<const ArchiveEntry*>(
                                       reinterpret_cast<const uint8_t*>(opened.storage.data()) + 16));
  const std::vector<uint8_t> block = opened.Block();
  EXPECT_EQ(0, std::memcmp(block.data(), payload.data(), 16));
  EXPECT_EQ(0, std::memcmp(block.data() + 16, records.data(), 3 * 280));
}

TEST(ArchiveReader, SizesNear4GiBDoNotWrap) {
  const std::vector<ArchiveEntry> records = {TestRecord("A", kEntryStored, 0, 0xFFFFFFFFu),
                                             TestRecord("B", kEntryStored, 0, 0xFFFFFFF1u),
                                             TestRecord("C", kEntryStored, 1, 1)};
  std::vector<uint8_t> payload = TestPayload(0, 3, 1, RecordBytes(records));
  const Opened opened(payload);
  ASSERT_EQ(opened.reader.EntryCount, 3u);
  EXPECT_EQ(opened.reader.Positions[2], 16 + 2 * 0x100000000ull);
  ArchiveProblem why;
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_FALSE(CheckArchiveEntry(&opened.reader, i, &why)) << i;
    EXPECT_EQ(why, kArchiveEntryOutside) << i;
  }
}

TEST(ArchiveReader, EntriesAreCheckedAndReadWithinThePayload) {
  // "x" then a match of 9 at distance 1: ten bytes of x in 7 stream bytes.
  TestStream s;
  s.Literal('x');
  s.Match(1, 9);
  const std::vector<uint8_t> stream = s.End();
  const uint32_t n = static_cast<uint32_t>(stream.size());
  std::vector<uint8_t> data(stream);
  data.resize(16, 0);
  const struct {
    ArchiveEntry record;
    ArchiveProblem problem;
  } cases[] = {
      {TestRecord("OK", kEntryCompressed, 10, n), kArchiveOk},
      {TestRecord("PLAIN", kEntryStored, 16, 16), kArchiveOk},
      {TestRecord("EDGE", kEntryStored, 17, 17), kArchiveOk},
      {TestRecord("SIZES", kEntryStored, 10, 9), kArchiveEntrySizes},
      {TestRecord("SHORT", kEntryCompressed, 11, n), kArchiveEntryDamaged},
      {TestRecord("LONG", kEntryCompressed, 9, n), kArchiveEntryDamaged},
      {TestRecord("CUT", kEntryCompressed, 10, n - 1), kArchiveEntryDamaged},
      {TestRecord("HUGE", kEntryCompressed, 0xFFFFFFF0u, n), kArchiveEntryTooLarge},
      {TestRecord("PAST", kEntryStored, 10, 0x7FFFFFFF), kArchiveEntryOutside},
  };
  for (const auto& c : cases) {
    // The directory follows the 16 data bytes: only EDGE reaches into it, and
    // stays inside the payload.
    std::vector<uint8_t> payload = TestPayload(0, 1, 16, RecordBytes({c.record}));
    std::memcpy(payload.data() + 16, data.data(), 16);
    const Opened opened(payload);
    ASSERT_EQ(opened.reader.EntryCount, 1u);
    ArchiveProblem why = kArchiveOk;
    std::vector<uint8_t> out(c.record.UnpackedSize < 64 ? c.record.UnpackedSize : 64);
    const int read = ReadArchiveEntry(&opened.reader, 0, out.data(), out.size(), &why);
    // Read in parts: the same bytes, or the same refusal.
    ArchiveProblem partsWhy = kArchiveOk;
    ArchiveEntryStream parts;
    std::vector<uint8_t> buffer(kArchiveEntryPartMinBuffer), joined;
    const uint8_t* part = nullptr;
    size_t partSize = 0;
    int partsRead = OpenArchiveEntryStream(&opened.reader, 0, &parts, &partsWhy);
    while (partsRead && (partsRead = ReadArchiveEntryPart(&parts, buffer.data(), buffer.size(),
                                                          &part, &partSize, &partsWhy)) &&
           partSize != 0) {
      joined.insert(joined.end(), part, part + partSize);
    }
    EXPECT_EQ(partsRead, read) << c.record.Name;
    EXPECT_EQ(partsWhy, why) << c.record.Name;
    if (c.problem == kArchiveOk) {
      EXPECT_TRUE(read) << c.record.Name << " " << why;
      EXPECT_EQ(joined, out) << c.record.Name;
      const std::vector<uint8_t> expected =
          c.record.Flags == kEntryStored
              ? std::vector<uint8_t>(payload.begin() + 16, payload.begin() + 16 + out.size())
              : std::vector<uint8_t>(10, 'x');
      EXPECT_EQ(out, expected) << c.record.Name;
      EXPECT_EQ(ArchiveEntryData(&opened.reader, 0), payload.data() + 16);
    } else {
      EXPECT_FALSE(read) << c.record.Name;
      EXPECT_EQ(why, c.problem) << c.record.Name;
    }
  }
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
  for (size_t size = 0; size < 16; ++size) EXPECT_EQ(Opened(payload, size).why, kArchiveTooShort);
  ArchiveReader reader;
  ArchiveProblem why;
  uint64_t block[2];
  EXPECT_FALSE(OpenArchive(&reader, nullptr, 0, 0, block, 16, &why));
  EXPECT_EQ(why, kArchiveTooShort);
}

TEST(ArchiveDirectory, TheMagicIsCheckedOnlyOnRequest) {
  std::vector<uint8_t> payload = TestPayload(0, 0, 0, {});
  payload[0] = 'X';
  uint32_t blockSize;
  ArchiveProblem why;
  EXPECT_TRUE(ArchiveBlockSize(payload.data(), payload.size(), 0, &blockSize, &why));
  EXPECT_FALSE(ArchiveBlockSize(payload.data(), payload.size(), kArchiveCheckMagic, &blockSize,
                                &why));
  EXPECT_EQ(why, kArchiveNotFa2);
}

TEST(ArchiveDirectory, RefusesADirectoryOffsetBeyondThePayload) {
  std::vector<uint8_t> payload = TestPayload(0, 0, 32, {});
  uint32_t offset = static_cast<uint32_t>(payload.size());
  std::memcpy(payload.data() + 8, &offset, 4);
  EXPECT_EQ(Load(payload).size(), 16u);  // at the very end: still inside
  for (uint32_t bad : {offset + 1, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    std::memcpy(payload.data() + 8, &bad, 4);
    EXPECT_EQ(Opened(payload).why, kArchiveDirectoryOffset) << bad;
    payload[4] = kArchiveDirectoryCompressed;
    EXPECT_EQ(Opened(payload).why, kArchiveDirectoryOffset) << bad;
    payload[4] = 0;
  }
}

TEST(ArchiveDirectory, RefusesAnEntryCountWhoseBlockDoesNotFit32Bits) {
  // Only the 16-byte header is ever read by the check, so a claimed payload of
  // 4 GiB can be examined without one. Each entry takes its record and its
  // data position in the block.
  constexpr uint32_t kLargestCount = (0xFFFFFFFFu - 16) / 288;  // 14913080
  std::vector<uint8_t> header = TestPayload(0, kLargestCount, 0, {});
  uint32_t blockSize = 0;
  ArchiveProblem why;
  ASSERT_TRUE(ArchiveBlockSize(header.data(), 0xFFFFFFFFu, 0, &blockSize, &why));
  EXPECT_EQ(blockSize, 16u + uint64_t{kLargestCount} * 288);
  for (uint32_t count : {kLargestCount + 1, 0x0F000000u, 0xFFFFFFFFu}) {
    std::memcpy(header.data() + 12, &count, 4);
    EXPECT_FALSE(ArchiveBlockSize(header.data(), 0xFFFFFFFFu, 0, &blockSize, &why)) << count;
    EXPECT_EQ(why, kArchiveTooManyEntries);
    header[4] = kArchiveDirectoryCompressed;
    EXPECT_FALSE(ArchiveBlockSize(header.data(), 0xFFFFFFFFu, 0, &blockSize, &why)) << count;
    EXPECT_EQ(why, kArchiveTooManyEntries);
    header[4] = 0;
  }
}

TEST(ArchiveDirectory, RefusesAPlainDirectoryRunningPastThePayload) {
  const std::vector<uint8_t> records = RecordBytes(ThreeRecords());
  std::vector<uint8_t> payload = TestPayload(0, 3, 224, records);
  EXPECT_FALSE(Load(payload).empty());
  payload.pop_back();
  EXPECT_EQ(Opened(payload).why, kArchiveDirectoryTruncated);
  // One record more than the bytes hold.
  payload = TestPayload(0, 4, 224, records);
  EXPECT_EQ(Opened(payload).why, kArchiveDirectoryTruncated);
}

TEST(ArchiveDirectory, RefusesACompressedDirectoryOfTheWrongLength) {
  const std::vector<uint8_t> plain = RecordBytes(ThreeRecords());
  // One byte short, one byte long, one record short.
  for (size_t size : {plain.size() - 1, plain.size() + 1, plain.size() - 280}) {
    std::vector<uint8_t> bytes(size, 0x41);
    std::memcpy(bytes.data(), plain.data(), std::min(size, plain.size()));
    const std::vector<uint8_t> stream = LiteralStream(bytes.data(), bytes.size());
    EXPECT_EQ(Opened(TestPayload(kArchiveDirectoryCompressed, 3, 224, stream)).why,
              kArchiveDirectoryDamaged)
        << size;
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
  // 5 stream bytes cannot decode to 14 million records: the check refuses it
  // without asking for a block of 4 GiB.
  const std::vector<uint8_t> endOnly = {0x00, 0x00, 0x00, 0x7C, 0xFF};
  const std::vector<uint8_t> payload =
      TestPayload(kArchiveDirectoryCompressed, 14913080, 0, endOnly);
  uint32_t blockSize;
  ArchiveProblem why;
  EXPECT_FALSE(ArchiveBlockSize(payload.data(), payload.size(), 0, &blockSize, &why));
  EXPECT_EQ(why, kArchiveDirectoryDamaged);
  // 5 bytes can carry 451 bytes (one record) at the most, but not 2 records.
  EXPECT_TRUE(ArchiveBlockSize(TestPayload(kArchiveDirectoryCompressed, 1, 0, endOnly).data(),
                               16 + 5, 0, &blockSize, &why));
  EXPECT_FALSE(ArchiveBlockSize(TestPayload(kArchiveDirectoryCompressed, 2, 0, endOnly).data(),
                                16 + 5, 0, &blockSize, &why));
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

TEST(ArchiveDirectory, OpenRefusesABlockTooSmall) {
  const std::vector<uint8_t> payload = TestPayload(0, 3, 224, RecordBytes(ThreeRecords()));
  std::vector<uint64_t> block(200);
  ArchiveReader reader;
  ArchiveProblem why;
  EXPECT_FALSE(OpenArchive(&reader, payload.data(), payload.size(), 0, block.data(),
                           16 + 3 * 288 - 1, &why));
  EXPECT_EQ(why, kArchiveBlockTooSmall);
  EXPECT_EQ(reader.EntryCount, 0u);
  EXPECT_EQ(reader.Header.DirectoryOffset, 240u);  // kept for the caller's message
  EXPECT_TRUE(OpenArchive(&reader, payload.data(), payload.size(), 0, block.data(),
                          block.size() * 8, &why));
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
