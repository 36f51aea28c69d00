// Finding archive entries by name and handing their content out in memory.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "archive/archive_directory_win32.h"
#include "wizard/archive_entries.h"
#include "common/updater_state_win32.h"
#include "harness/import_patch.h"
#include "harness/message_boxes.h"
#include "harness/test_archive.h"

namespace {

std::string Content(const uint8_t* bytes, uint32_t size) {
  return std::string(reinterpret_cast<const char*>(bytes), size);
}

// Loads name and returns its content as text, or "<none>" when the lookup
// failed.
std::string Load(const char* name) {
  uint32_t size = 0xDEADBEEF;
  const uint8_t* bytes = LoadArchiveEntry(name, &size);
  if (!bytes) return "<none>";
  std::string text = Content(bytes, size);
  ReleaseArchiveEntry(bytes);
  return text;
}

void ExpectOneErrorBox(const MessageBoxWatcher& boxes, const char* text) {
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, text);
  EXPECT_EQ(seen[0].title, State.Caption);
  EXPECT_EQ(seen[0].icon, MB_ICONERROR);
  EXPECT_EQ(seen[0].buttons, std::vector<int>{IDOK});
}

class EntryLookup : public ::testing::Test {
 protected:
  void SetUp() override { ResetUpdaterState(); }
  void TearDown() override { ResetUpdaterState(); }
};

TEST_F(EntryLookup, NamesMatchWithoutRegardToCase) {
  TestArchive archive;
  archive.Add("UPDATE.INI", "[SETUP]\r\n");
  archive.Add("ゲームDATA.bin", "game data");  // CP932 with ASCII letters
  archive.Add("表.txt", "0x5C trail byte");
  archive.Add("ア.DAT", "katakana a");  // 0x83 0x41: a trail byte that looks like 'A'
  archive.Add("ＡＢ.TXT", "full-width");
  archive.Load();
  MessageBoxWatcher boxes;

  EXPECT_EQ(Load("update.ini"), "[SETUP]\r\n");
  EXPECT_EQ(Load("Update.Ini"), "[SETUP]\r\n");
  EXPECT_EQ(Load("ゲームdata.BIN"), "game data");
  EXPECT_EQ(Load("表.TXT"), "0x5C trail byte");
  EXPECT_EQ(Load("ア.dat"), "katakana a");
  EXPECT_EQ(Load("ａｂ.txt"), "full-width");  // as lstrcmpiA finds them equal
  EXPECT_EQ(boxes.Count(), 0u);

  // A comparison that folded bytes instead of characters would take the trail
  // byte 0x41 of ア for an 'A' and match ヂ (0x83 0x61).
  EXPECT_EQ(Load("ヂ.DAT"), "<none>");
  ExpectOneErrorBox(boxes, kNoEntryMessage);
}

TEST_F(EntryLookup, TheFirstOfTwoEntriesOfOneNameWins) {
  TestArchive archive;
  archive.Add("README.TXT", "first");
  archive.Add("readme.txt", "second, never seen");
  archive.Add("other", "x");
  archive.Load();
  EXPECT_EQ(Load("Readme.Txt"), "first");
  EXPECT_EQ(Load("README.TXT"), "first");
}

TEST_F(EntryLookup, AnEmptyDirectoryFindsNothing) {
  TestArchive archive;
  archive.Load();
  ASSERT_EQ(State.PayloadSize, kArchiveHeaderSize);
  MessageBoxWatcher boxes;
  uint32_t size = 77;
  EXPECT_EQ(LoadArchiveEntry("UPDATE.INI", &size), nullptr);
  EXPECT_EQ(size, 77u);  // untouched on failure
  ExpectOneErrorBox(boxes, kNoEntryMessage);
}

TEST_F(EntryLookup, TheErrorBoxHasTheCaptionAndTheOwnerOfTheMoment) {
  TestArchive archive;
  archive.Load();
  HWND owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  State.OwnerWindow = owner;
  lstrcpyA(State.Caption, "ゲーム アップデート");
  MessageBoxWatcher boxes;
  EXPECT_EQ(LoadArchiveEntry("missing", nullptr), nullptr);
  ExpectOneErrorBox(boxes, kNoEntryMessage);
  EXPECT_EQ(boxes.Boxes()[0].title, "ゲーム アップデート");
  EXPECT_EQ(boxes.Boxes()[0].owner, owner);
  DestroyWindow(owner);
}

TEST_F(EntryLookup, APlainEntryIsHandedOutInPlace) {
  // Sizes 203, 16 and 0 put the data at 16, 224 and 240: the walk adds each
  // stored size rounded up to 16.
  TestArchive archive;
  archive.Add("a", std::string(203, 'a'));
  archive.Add("b", std::string(16, 'b'));
  archive.Add("c", "");
  archive.Add("d", "dd");
  archive.Load();
  ASSERT_EQ(archive.positions, (std::vector<size_t>{16, 224, 240, 240}));

  for (size_t i = 0; i < 4; ++i) {
    uint32_t size = 0xDEADBEEF;
    const uint8_t* bytes = LoadArchiveEntry(archive.records[i].Name, &size);
    EXPECT_EQ(bytes, archive.DataOf(i)) << archive.records[i].Name;
    EXPECT_EQ(size, archive.records[i].UnpackedSize);
    ReleaseArchiveEntry(bytes);  // leaves the payload alone
  }
  EXPECT_EQ(Load("a"), std::string(203, 'a'));
  EXPECT_EQ(Load("d"), "dd");
  // The size pointer is optional.
  EXPECT_EQ(LoadArchiveEntry("b", nullptr), archive.DataOf(1));
}

TEST_F(EntryLookup, ACompressedEntryComesBackInABlockOfItsOwn) {
  std::string text;
  for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i % 7) + " of the agreement\r\n";
  TestArchive archive;
  archive.Add("plain", "p");
  archive.AddCompressed("AGREE.TXT", text);
  archive.AddCompressed("empty", "");
  archive.Add("after", "after the compressed ones");
  archive.Load();
  ASSERT_LT(archive.records[1].StoredSize, text.size());

  uint32_t size = 0;
  const uint8_t* bytes = LoadArchiveEntry("agree.txt", &size);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(size, text.size());
  EXPECT_EQ(Content(bytes, size), text);
  EXPECT_TRUE(bytes < State.PayloadImage || bytes >= State.PayloadImage + State.PayloadSize);
  EXPECT_NE(GlobalSize(const_cast<uint8_t*>(bytes)), 0u);  // a heap block the caller frees
  ReleaseArchiveEntry(bytes);

  EXPECT_EQ(Load("empty"), "");
  EXPECT_EQ(Load("after"), "after the compressed ones");
}

// Damaged archives: the payload is never read past its end (the harness puts
// an inaccessible page there) and the damage is reported as a read error.
class DamagedArchive : public EntryLookup {
 protected:
  void ExpectReadError(const char* name) {
    MessageBoxWatcher boxes;
    uint32_t size = 77;
    EXPECT_EQ(LoadArchiveEntry(name, &size), nullptr) << name;
    EXPECT_EQ(size, 77u);
    ExpectOneErrorBox(boxes, kReadErrorMessage);
  }
};

TEST_F(DamagedArchive, DataRunningPastThePayloadIsRefused) {
  TestArchive archive;
  archive.Add("first", std::string(40, 'f'));
  archive.Add("last", std::string(40, 'l'));
  archive.Build();
  // The directory (2 × 280 bytes) follows the data; point "last" over the end.
  archive.records[1].StoredSize = archive.records[1].UnpackedSize =
      static_cast<uint32_t>(archive.payload.size() - archive.positions[1] + 1);
  archive.Load();
  ExpectReadError("last");
  // One byte less reaches exactly to the end and is read.
  archive.records[1].StoredSize -= 1;
  archive.records[1].UnpackedSize -= 1;
  archive.Load();
  uint32_t size = 0;
  EXPECT_EQ(LoadArchiveEntry("last", &size), archive.DataOf(1));
  EXPECT_EQ(archive.positions[1] + size, State.PayloadSize);
}

TEST_F(DamagedArchive, StoredSizesNearFourGigabytesDoNotWrapThePosition) {
  // 16 + (0xFFFFFFF1 rounded up to 16) is 0x1'0000'0010: in 32 bits that would
  // wrap to 16 and hand out the first entry's bytes as the second's.
  TestArchive archive;
  archive.Add("huge", "x");
  archive.Add("next", "y");
  archive.Build();
  archive.records[0].StoredSize = 0xFFFFFFF1;
  archive.Load();
  ExpectReadError("next");
}

TEST_F(DamagedArchive, APlainEntryWhoseSizesDisagreeIsRefused) {
  TestArchive archive;
  archive.Add("a", std::string(32, 'a'));
  archive.Build();
  archive.records[0].UnpackedSize = 5000;  // would read on past the payload
  archive.Load();
  ExpectReadError("a");
}

TEST_F(DamagedArchive, ACompressedEntryMustDecodeToExactlyItsSize) {
  std::string text(3000, 'z');
  TestArchive archive;
  archive.AddCompressed("z", text);
  archive.Build();
  const ArchiveEntry good = archive.records[0];

  archive.records[0].UnpackedSize = good.UnpackedSize + 1;  // the stream ends early
  archive.Load();
  ExpectReadError("z");

  archive.records[0].UnpackedSize = good.UnpackedSize - 1;  // the stream has one byte more
  archive.Load();
  ExpectReadError("z");

  archive.records[0] = good;
  archive.records[0].StoredSize = good.StoredSize - 1;  // cut before the end marker
  archive.Load();
  ExpectReadError("z");

  archive.records[0] = good;
  archive.records[0].StoredSize = 0;
  archive.Load();
  ExpectReadError("z");

  archive.records[0] = good;
  archive.Load();
  EXPECT_EQ(Load("z"), text);
}

TEST_F(DamagedArchive, ASizeNoStreamOfThatLengthCanReachIsRefusedBeforeAllocating) {
  TestArchive archive;
  archive.AddCompressed("big", "tiny");
  archive.Build();
  archive.records[0].UnpackedSize = 0xC0000000;
  archive.Load();
  ExpectReadError("big");
}

TEST_F(DamagedArchive, GarbageInPlaceOfAStreamIsRefused) {
  TestArchive archive;
  archive.AddCompressed("g", std::string(500, 'g'));
  archive.Build();
  for (size_t i = 0; i < archive.records[0].StoredSize; ++i) {
    archive.payload[archive.positions[0] + i] = static_cast<char>(0xFF);
  }
  archive.Load();
  ExpectReadError("g");
}

TEST_F(DamagedArchive, ANameWithoutItsNulIsComparedWithinItsField) {
  TestArchive archive;
  archive.Add("x", "first");
  archive.Add("y", "second");
  archive.Build();
  std::memset(archive.records[1].Name, 'N', kArchiveNameSize);  // no terminator
  archive.Load();
  EXPECT_EQ(Load(std::string(kArchiveNameSize, 'n').c_str()), "second");
  MessageBoxWatcher boxes;
  EXPECT_EQ(Load("other"), "<none>");
  ExpectOneErrorBox(boxes, kNoEntryMessage);
}

TEST_F(EntryLookup, ReadsWhatTheArchiveToolWrites) {
  // An archive made by fa2's writer, its directory compressed, loaded as the
  // start-up sequence loads it.
  std::string text;
  for (int i = 0; i < 300; ++i) text += "セーブデータ " + std::to_string(i) + "\r\n";
  const std::string noise = "\x01\x7f\x80\xff plain";
  std::string error;
  const std::vector<uint8_t> image = PackTestArchive({{"UPDATE.INI", "[SETUP]", kTestEntryTime, true},
                                                      {"説明書.TXT", text, kTestEntryTime},
                                                      {"noise.bin", noise, kTestEntryTime, true}},
                                                     &error);
  ASSERT_FALSE(image.empty()) << error;

  GuardedBytes payload;
  State.PayloadImage = payload.Place(image.data(), image.size());
  State.PayloadSize = static_cast<uint32_t>(image.size());
  State.Directory = LoadArchiveDirectory();
  ASSERT_NE(State.Directory, nullptr);
  State.DirectoryEntries = State.Archive.Entries;
  // The text is compressed: the reader decodes what the writer encodes.
  ASSERT_EQ(State.DirectoryEntries[1].Flags & kEntryCompressed, kEntryCompressed);

  EXPECT_EQ(Load("update.ini"), "[SETUP]");
  EXPECT_EQ(Load("説明書.txt"), text);
  EXPECT_EQ(Load("NOISE.BIN"), noise);
  GlobalFree(State.Directory);
  State.Directory = nullptr;
}

// A decompression block that cannot be had: the import of GlobalAlloc is
// patched to fail.
HGLOBAL WINAPI FailingGlobalAlloc(UINT, SIZE_T) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

TEST_F(EntryLookup, NoMemoryForACompressedEntryIsReported) {
  TestArchive archive;
  archive.Add("plain", "in place, needs no memory");
  archive.AddCompressed("packed", std::string(1000, 'p'));
  archive.Load();
  MessageBoxWatcher boxes;
  {
    ImportPatch noMemory("kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&FailingGlobalAlloc));
    ASSERT_TRUE(noMemory.active());
    EXPECT_EQ(LoadArchiveEntry("plain", nullptr), archive.DataOf(0));
    EXPECT_EQ(LoadArchiveEntry("packed", nullptr), nullptr);
  }
  ExpectOneErrorBox(boxes, kNoMemoryMessage);
}

}  // namespace
