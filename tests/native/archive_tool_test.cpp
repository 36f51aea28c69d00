// The pieces of fa2 in-process: names, times, the writer's limits and the
// reader's handling of damaged entries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive_test_streams.h"
#include "archive/archive_names.h"
#include "fa2/archive/archive_image.h"
#include "fa2/archive/archive_writer.h"
#include "fa2/host/file_time.h"
#include "fa2/host/names.h"
#include "fa2/host/host_files.h"

namespace {

std::string Cp932(const char* utf8) {
  std::string out;
  EXPECT_TRUE(HostNameToArchiveName(utf8, &out)) << utf8;
  return out;
}

bool NamesEqual(const std::string& a, const std::string& b) {
  return ArchiveNamesEqual(a.data(), a.size(), b.data(), b.size());
}

// An archive of hand-made records over the given data area.
std::vector<uint8_t> ImageOf(const std::vector<ArchiveEntry>& records,
                             const std::vector<uint8_t>& data) {
  std::vector<uint8_t> image = TestPayload(0, static_cast<uint32_t>(records.size()), data.size(),
                                           RecordBytes(records));
  std::memcpy(image.data() + 16, data.data(), data.size());
  return image;
}

}  // namespace

TEST(Fa2Names, JapaneseNamesRoundTripThroughCp932) {
  const std::string name = Cp932("セーブ説明～表.txt");
  EXPECT_EQ(name, "\x83\x5A\x81\x5B\x83\x75\x90\xE0\x96\xBE\x81\x60\x95\x5C.txt");
  std::string back;
  ASSERT_TRUE(ArchiveNameToHostName(name, &back));
  EXPECT_EQ(back, "セーブ説明～表.txt");
  EXPECT_EQ(DisplayArchiveName(name), back);
}

TEST(Fa2Names, NamesWithoutACp932FormAreRefused) {
  std::string out;
  EXPECT_FALSE(HostNameToArchiveName("\xF0\x9F\x98\x80.txt", &out));  // an emoji
  EXPECT_FALSE(HostNameToArchiveName("\xED\x95\x9C.txt", &out));      // Hangul
  EXPECT_FALSE(HostNameToArchiveName("bad\xFF.txt", &out));           // not UTF-8
  // Bytes that are not CP932 are shown escaped, never passed to the terminal.
  EXPECT_EQ(DisplayArchiveName("a\x81\x7F\x01"), "a\\x81\\x7F\\x01");
}

TEST(Fa2Names, NamesCompareAsTheUpdaterComparesThem) {
  // The whole table is checked against lstrcmpiA under wine; these show its
  // kinds of folds.
  EXPECT_TRUE(NamesEqual("Update.Ini", "UPDATE.INI"));
  EXPECT_FALSE(NamesEqual("UPDATE.INI", "UPDATE.IN"));
  // ア is 83 41 and ヂ is 83 61: their second bytes differ only as 'A' and 'a'
  // would, yet they are different characters.
  EXPECT_FALSE(NamesEqual(Cp932("ア"), Cp932("ヂ")));
  EXPECT_TRUE(NamesEqual(Cp932("ア.TXT"), Cp932("ア.txt")));
  EXPECT_TRUE(NamesEqual(Cp932("ＡＢ.TXT"), Cp932("ａｂ.txt")));  // full-width letters
  EXPECT_TRUE(NamesEqual(Cp932("Α"), Cp932("α")));              // Greek
  EXPECT_FALSE(NamesEqual(Cp932("Ａ"), "A"));                    // width counts
  EXPECT_TRUE(NamesEqual(Cp932("㎜"), "mm"));                     // a unit symbol
  EXPECT_TRUE(NamesEqual("\x85\x40", Cp932("・")));             // no character: the default
  EXPECT_TRUE(NamesEqual("a\x81", Cp932("a・")));                // a lead byte at the end
  EXPECT_EQ(FoldArchiveName("a\x81"), FoldArchiveName(Cp932("A・")));
}

TEST(Fa2Names, OnlyPlainFileNamesAreSafeToWrite) {
  EXPECT_TRUE(IsSafeArchiveName("UPDATE.INI"));
  EXPECT_TRUE(IsSafeArchiveName(Cp932("表ソ.txt")));  // second bytes 0x5C
  for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "C:x", "a\tb", "a\x7F"})
    EXPECT_FALSE(IsSafeArchiveName(bad)) << bad;
}

TEST(Fa2FileTime, FormatsUtcIso8601) {
  EXPECT_EQ(FormatFileTimeUtc(0), "1601-01-01T00:00:00Z");
  EXPECT_EQ(FormatFileTimeUtc(kFileTimeUnixEpoch), "1970-01-01T00:00:00Z");
  EXPECT_EQ(FormatFileTimeUtc(0x01BF53EB256D4000ull), "2000-01-01T00:00:00Z");
  EXPECT_EQ(FormatFileTimeUtc(0x01C1BB8ECB3F63FFull), "2002-02-22T10:50:51Z");
  EXPECT_EQ(FormatFileTimeUtc(0x015181FF25A98000ull), "1902-01-17T16:53:20Z");
  EXPECT_EQ(FormatFileTimeUtc(0x00D0000000000000ull), "1786-07-12T11:51:55Z");
  EXPECT_EQ(FormatFileTimeUtc(UINT64_MAX), "60056-05-28T05:36:10Z");
  // 2000 is a leap year, 1900 is not.
  const uint64_t day = 86400 * kFileTimeUnitsPerSecond;
  EXPECT_EQ(FormatFileTimeUtc(0x01BF53EB256D4000ull + 59 * day), "2000-02-29T00:00:00Z");
  EXPECT_EQ(FormatFileTimeUtc(FileTimeFromUnix(-2203891200, 0)), "1900-03-01T00:00:00Z");
}

// pack --mtime reads what list writes, and little else.
TEST(Fa2FileTime, ParsesTheTimesThatItFormats) {
  for (const char* text : {"1601-01-01T00:00:00Z", "1900-03-01T00:00:00Z", "2000-02-29T23:59:59Z",
                           "2024-03-01T12:34:56Z", "9999-12-31T23:59:59Z"}) {
    uint64_t time = 0;
    ASSERT_EQ(ParseFileTimeUtc(text, &time), 1) << text;
    EXPECT_EQ(FormatFileTimeUtc(time), text);
  }
  uint64_t time = 0;
  ASSERT_EQ(ParseFileTimeUtc("2024-03-01", &time), 1);
  EXPECT_EQ(FormatFileTimeUtc(time), "2024-03-01T00:00:00Z");
  ASSERT_EQ(ParseFileTimeUtc("@1700000000", &time), 1);
  EXPECT_EQ(time, FileTimeFromUnix(1700000000, 0));
  for (const char* bad : {"", "2024-3-01", "1900-02-29", "2023-02-29", "2024-13-01",
                          "2024-03-01T24:00:00Z", "2024-03-01 12:00:00", "2024-03-01T12:00Z",
                          "1600-12-31", "@", "@12x", "yesterday"})
    EXPECT_EQ(ParseFileTimeUtc(bad, &time), 0) << bad;
}

TEST(Fa2FileTime, ConvertsToAndFromTheHostClock) {
  EXPECT_EQ(FileTimeFromUnix(0, 0), kFileTimeUnixEpoch);
  EXPECT_EQ(FileTimeFromUnix(1, 999999999), kFileTimeUnixEpoch + 19999999);
  EXPECT_EQ(FileTimeFromUnix(-11644473600, 0), 0u);
  EXPECT_EQ(FileTimeFromUnix(-11644473601, 0), 0u);  // before 1601: clamped
  for (int64_t seconds : {int64_t{-86401}, int64_t{0}, int64_t{1700000000}}) {
    int64_t s;
    uint32_t ns;
    FileTimeToUnix(FileTimeFromUnix(seconds, 123456700), &s, &ns);
    EXPECT_EQ(s, seconds);
    EXPECT_EQ(ns, 123456700u);
  }
}

TEST(Fa2Writer, EntriesAreStoredWhenCompressionDoesNotSave) {
  PackedEntry entry;
  std::string error;
  ASSERT_TRUE(PackEntry("EMPTY", 7, nullptr, 0, false, &entry, &error)) << error;
  EXPECT_EQ(entry.record.Flags, kEntryStored);
  EXPECT_EQ(entry.record.StoredSize, 0u);
  EXPECT_EQ(EntryFileTime(entry.record), 7u);

  std::vector<uint8_t> noise(3000);
  uint32_t x = 1;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24);
  ASSERT_TRUE(PackEntry("NOISE", 0, noise.data(), noise.size(), false, &entry, &error));
  EXPECT_EQ(entry.record.Flags, kEntryStored);
  EXPECT_EQ(entry.stored, noise);

  std::vector<uint8_t> zeros(3000, 0);
  ASSERT_TRUE(PackEntry("ZEROS", 0, zeros.data(), zeros.size(), true, &entry, &error));
  EXPECT_EQ(entry.record.Flags, kEntryStored);  // --store
  EXPECT_EQ(entry.record.StoredSize, 3000u);
}

TEST(Fa2Writer, RefusesLongNamesAndHugeFiles) {
  PackedEntry entry;
  std::string error;
  uint8_t byte = 0;
  EXPECT_TRUE(PackEntry(std::string(259, 'n'), 0, &byte, 1, true, &entry, &error));
  EXPECT_EQ(entry.record.Name[258], 'n');
  EXPECT_EQ(entry.record.Name[259], 0);
  EXPECT_FALSE(PackEntry(std::string(260, 'n'), 0, &byte, 1, true, &entry, &error));
  EXPECT_NE(error.find("259"), std::string::npos) << error;
  EXPECT_FALSE(PackEntry("", 0, &byte, 1, true, &entry, &error));
  // The size is refused before a byte of the content is read.
  EXPECT_FALSE(PackEntry("BIG", 0, &byte, size_t{1} << 32, true, &entry, &error));
  EXPECT_NE(error.find("4 GiB"), std::string::npos) << error;
}

TEST(Fa2Writer, RefusesAnArchivePastItsLimit) {
  char folder[] = "/tmp/fa2_writer_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/limit.fa2";
  ArchiveWriter writer;
  writer.maxSize = 16 + 48 + 16;  // room for two entries, not for a third or the directory
  writer.compressDirectory = false;
  std::string error;
  ASSERT_TRUE(BeginArchive(&writer, path, &error)) << error;
  PackedEntry entry;
  std::vector<uint8_t> data(33, 1);
  ASSERT_TRUE(PackEntry("A", 0, data.data(), data.size(), true, &entry, &error));
  ASSERT_TRUE(AddArchiveEntry(&writer, entry, &error)) << error;  // 48 with alignment
  data.resize(16);
  ASSERT_TRUE(PackEntry("B", 0, data.data(), data.size(), true, &entry, &error));
  ASSERT_TRUE(AddArchiveEntry(&writer, entry, &error)) << error;
  EXPECT_FALSE(AddArchiveEntry(&writer, entry, &error));  // 16 more would pass it
  uint64_t size = 0;
  EXPECT_FALSE(FinishArchive(&writer, &size, &error));  // 2 records do not fit
  EXPECT_NE(error.find("4 GiB"), std::string::npos) << error;
  AbandonArchive(&writer);
  RemoveHostFile(path);
  rmdir(folder);
}

TEST(Fa2Writer, ImageRoundTripsThroughTheReader) {
  std::vector<PackedEntry> entries(3);
  std::string error;
  std::vector<uint8_t> a(203, 'a'), b(16, 'b');
  ASSERT_TRUE(PackEntry("A.TXT", 1, a.data(), a.size(), true, &entries[0], &error));
  ASSERT_TRUE(PackEntry("B.TXT", 2, b.data(), b.size(), true, &entries[1], &error));
  ASSERT_TRUE(PackEntry("C.TXT", 3, nullptr, 0, true, &entries[2], &error));
  for (bool compressed : {false, true}) {
    std::vector<uint8_t> image;
    ASSERT_TRUE(BuildArchiveImage(entries, compressed, &image, &error)) << error;
    OpenedArchive archive;
    ASSERT_TRUE(OpenArchiveImage(image, &archive, &error)) << error;
    EXPECT_EQ(archive.reader.Header.DirectoryOffset, 240u);
    EXPECT_EQ(archive.reader.Header.Flags, compressed ? 1u : 0u);
    EXPECT_EQ(std::vector<uint64_t>(archive.reader.Positions, archive.reader.Positions + 3),
              (std::vector<uint64_t>{16, 224, 240}));
    std::vector<uint8_t> content;
    ASSERT_TRUE(ReadEntryContent(archive.reader, 0, &content, &error));
    EXPECT_EQ(content, a);
    std::vector<std::string> problems, notes;
    EXPECT_TRUE(VerifyArchive(image, &problems, &notes));
    EXPECT_TRUE(problems.empty() && notes.empty());
  }
}

TEST(Fa2Reader, NamesTheFaultOfEachDamagedEntry) {
  // The reader finds the faults (its own tests); fa2 words each with the
  // entry's name and the numbers that explain it, and verify agrees.
  const ArchiveEntry record = TestRecord("DAMAGED", kEntryCompressed, 11, 7);
  const std::vector<uint8_t> image = ImageOf({record}, std::vector<uint8_t>(16, 0));
  OpenedArchive archive;
  std::string error;
  ASSERT_TRUE(OpenArchiveImage(image, &archive, &error)) << error;
  const struct {
    ArchiveProblem problem;
    const char* fault;
  } cases[] = {
      {kArchiveEntryDamaged, "compressed data does not decode to 11 bytes within its 7"},
      {kArchiveEntryTooLarge, "7 stored bytes cannot decode to 11"},
      {kArchiveEntryOutside, "data of 7 bytes at 16 runs past the end"},
      {kArchiveEntrySizes, "stored entry has 7 bytes but should have 11"},
  };
  for (const auto& c : cases) {
    const std::string text = DescribeArchiveProblem(archive.reader, 0, c.problem);
    EXPECT_NE(text.find(c.fault), std::string::npos) << text;
    EXPECT_NE(text.find("entry 0 \"DAMAGED\""), std::string::npos) << text;
  }
  std::vector<uint8_t> content;
  EXPECT_FALSE(ReadEntryContent(archive.reader, 0, &content, &error));
  EXPECT_NE(error.find("does not decode to 11"), std::string::npos) << error;
  std::vector<std::string> problems, notes;
  EXPECT_FALSE(VerifyArchive(image, &problems, &notes));
  EXPECT_EQ(problems, std::vector<std::string>{error});

  // Entries are decoded on several threads; the faults still follow the
  // entries' order, damaged and sound ones alternating.
  std::vector<ArchiveEntry> records;
  std::vector<std::string> expected;
  for (int i = 0; i < 12; ++i) {
    const std::string name = "E" + std::to_string(i);
    records.push_back(i % 2 ? TestRecord(name.c_str(), kEntryStored, 2, 2)
                            : TestRecord(name.c_str(), kEntryCompressed, 11, 7));
    if (i % 2 == 0)
      expected.push_back("entry " + std::to_string(i) + " \"" + name +
                         "\": compressed data does not decode to 11 bytes within its 7 stored bytes");
  }
  problems.clear();
  EXPECT_FALSE(VerifyArchive(ImageOf(records, std::vector<uint8_t>(12 * 16, 0)), &problems, &notes));
  EXPECT_EQ(problems, expected);
}

TEST(Fa2Reader, VerifyFindsStructuralFaults) {
  std::vector<uint8_t> data(32, 0);
  std::vector<ArchiveEntry> records = {TestRecord("A", kEntryStored, 20, 20),
                                       TestRecord("a", kEntryStored, 0, 0)};
  std::vector<uint8_t> image = ImageOf(records, data);
  std::vector<std::string> problems, notes;
  EXPECT_TRUE(VerifyArchive(image, &problems, &notes));
  ASSERT_EQ(notes.size(), 1u);  // the second "a" is hidden, but not a fault
  EXPECT_NE(notes[0].find("hidden by entry 0"), std::string::npos);

  // Data running into the directory, an unterminated name, a folder in a
  // name, undefined header flags.
  records[0] = TestRecord("A", kEntryStored, 40, 40);
  std::memset(records[1].Name, 'n', sizeof records[1].Name);
  image = ImageOf(records, data);
  image[5] = 0x80;
  problems.clear();
  EXPECT_FALSE(VerifyArchive(image, &problems, &notes));
  std::string all;
  for (const std::string& p : problems) all += p + "\n";
  EXPECT_NE(all.find("runs into the directory"), std::string::npos) << all;
  EXPECT_NE(all.find("no terminating NUL"), std::string::npos) << all;
  EXPECT_NE(all.find("undefined bits"), std::string::npos) << all;

  records = {TestRecord("../x", kEntryStored, 0, 0)};
  problems.clear();
  EXPECT_FALSE(VerifyArchive(ImageOf(records, data), &problems, &notes));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("folder separator"), std::string::npos);
}

TEST(Fa2Reader, OpenNamesWhatIsWrongWithTheHeader) {
  std::vector<uint8_t> image = ImageOf({TestRecord("A", kEntryStored, 0, 0)}, {});
  OpenedArchive archive;
  std::string error;
  ASSERT_TRUE(OpenArchiveImage(image, &archive, &error));
  const struct {
    size_t at;
    uint32_t value;
    const char* reason;
  } faults[] = {{0, 0x00324146u ^ 1, "not an FA2 archive"},
                {8, 0xFFFFFF00u, "beyond the end"},
                {12, 0x10000000u, "too large"},
                {12, 2, "runs past the end"},
                {4, 1, "compressed directory"}};
  for (const auto& f : faults) {
    std::vector<uint8_t> bad = image;
    std::memcpy(bad.data() + f.at, &f.value, 4);
    EXPECT_FALSE(OpenArchiveImage(bad, &archive, &error));
    EXPECT_NE(error.find(f.reason), std::string::npos) << error;
  }
  image.resize(15);
  EXPECT_FALSE(OpenArchiveImage(image, &archive, &error));
  EXPECT_NE(error.find("too short"), std::string::npos) << error;
}
