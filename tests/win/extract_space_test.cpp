// The free-space check of an extraction and the behaviour of the write on a
// drive that runs full, on a real volume: the test bed maps a 1 MiB tmpfs as
// drive T: (WINE_RUN_DRIVES, see cmake/wine-drives.sh). tmpfs counts its space
// in pages of 4,096 bytes, so the drive is first filled to an exact free count.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "wizard/archive_entries.h"
#include "platform/write_file.h"
#include "common/updater_state_win32.h"
#include "harness/message_boxes.h"
#include "harness/test_archive.h"
#include "harness/test_env.h"

namespace {

const char kDrive[] = "T:";

uint64_t FreeBytes() {
  ULARGE_INTEGER freeToCaller, total;
  if (!GetDiskFreeSpaceExA(kDrive, &freeToCaller, &total, nullptr)) return ~uint64_t{0};
  return freeToCaller.QuadPart;
}

void EmptyDrive() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("T:\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = std::string("T:\\") + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path);
    } else {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// Fills the drive with a file until exactly `left` bytes stay free.
bool LeaveFree(uint64_t left) {
  uint64_t now = FreeBytes();
  if (now < left) return false;
  if (now > left && !WriteBytes("T:\\filler.bin", std::string(now - left, 'f'))) return false;
  return FreeBytes() == left;
}

std::vector<std::string> Listing(const char* pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

class SmallDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUpdaterState();
    ULARGE_INTEGER freeToCaller, total;
    ASSERT_TRUE(GetDiskFreeSpaceExA(kDrive, &freeToCaller, &total, nullptr))
        << "drive T: is missing: run this suite with WINE_RUN_DRIVES=t:tmpfs:1m, as root";
    ASSERT_EQ(total.QuadPart, 1u << 20) << "drive T: must be the 1 MiB tmpfs of the test bed";
    EmptyDrive();
    ASSERT_TRUE(CreateDirectoryA("T:\\game", nullptr));
  }
  void TearDown() override {
    EmptyDrive();
    ResetUpdaterState();
  }
  MessageBoxWatcher boxes;
};

TEST_F(SmallDrive, FreeSpaceEqualToTheEntryIsEnough) {
  TestArchive archive;
  archive.Add("BIG.DAT", std::string(65536, 'b'));
  archive.Load();
  ASSERT_TRUE(LeaveFree(65536));
  EXPECT_EQ(ExtractArchiveEntry("BIG.DAT", "T:\\game\\BIG.DAT", 0), 1);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(ReadBytes("T:\\game\\BIG.DAT"), std::string(65536, 'b'));
  EXPECT_EQ(FreeBytes(), 0u);
}

TEST_F(SmallDrive, OneByteTooFewIsReportedWithTheDriveAndTheShortfall) {
  TestArchive archive;
  archive.Add("BIG.DAT", std::string(65537, 'b'));
  archive.AddCompressed("PACKED.DAT", std::string(65537, 'p'));
  archive.Load();
  ASSERT_TRUE(WriteBytes("T:\\game\\PACKED.DAT", "old"));
  ASSERT_TRUE(LeaveFree(65536));

  EXPECT_EQ(ExtractArchiveEntry("BIG.DAT", "T:\\game\\BIG.DAT", 0), 0);
  EXPECT_EQ(ExtractArchiveEntry("packed.dat", "T:\\game\\PACKED.DAT", 1), 0);
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  for (const SeenBox& box : seen) {
    EXPECT_EQ(box.text, "ディスク容量が足りません。T: ドライブに 1 バイトの空き容量が必要です");
    EXPECT_EQ(box.title, "UPDATE");
    EXPECT_EQ(box.icon, MB_ICONERROR);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  }
  EXPECT_EQ(Listing("T:\\game\\*.*").size(), 3u);  // ".", ".." and the old PACKED.DAT
  EXPECT_EQ(ReadBytes("T:\\game\\PACKED.DAT"), "old");
}

TEST_F(SmallDrive, AShortfallBeyondTwoGigabytesIsPrintedInFull) {
  // A 3 GiB entry: its size is checked before anything is decoded, and the
  // missing amount does not fit a signed 32-bit number.
  TestArchive archive;
  archive.AddCompressed("HUGE.DAT", "tiny");
  archive.Build();
  archive.records[0].UnpackedSize = 0xC0000000;
  archive.Load();
  ASSERT_TRUE(LeaveFree(4096));
  EXPECT_EQ(ExtractArchiveEntry("HUGE.DAT", "t:\\game\\HUGE.DAT", 0), 0);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            "ディスク容量が足りません。t: ドライブに 3221221376 バイトの空き容量が必要です");
}

TEST_F(SmallDrive, AWriteThatRunsOutOfRoomKeepsTheOldFile) {
  // The update run writes some files without the space check; when the drive
  // fills up half-way the old file must survive whole.
  std::string old(8192, 'o');
  ASSERT_TRUE(WriteBytes("T:\\game\\SAVE.DAT", old));
  ASSERT_TRUE(LeaveFree(4096));
  std::string bigger(12288, 'n');
  EXPECT_EQ(WriteFileWithTime("T:\\game\\SAVE.DAT", bigger.data(), bigger.size(), nullptr), 0);
  EXPECT_EQ(ReadBytes("T:\\game\\SAVE.DAT"), old);
  EXPECT_EQ(Listing("T:\\game\\*.*").size(), 3u);
  EXPECT_EQ(FreeBytes(), 4096u);

  // What fits is written, although the old file still takes its room while
  // the new one is made.
  EXPECT_EQ(WriteFileWithTime("T:\\game\\SAVE.DAT", bigger.data(), 4096, nullptr), 1);
  EXPECT_EQ(ReadBytes("T:\\game\\SAVE.DAT"), bigger.substr(0, 4096));
  EXPECT_EQ(FreeBytes(), 8192u);
}

TEST_F(SmallDrive, AnExtractionIntoAFullDriveKeepsTheOldFile) {
  TestArchive archive;
  archive.AddCompressed("SAVE.DAT", std::string(4096, 'n'));
  archive.Load();
  ASSERT_TRUE(WriteBytes("T:\\game\\SAVE.DAT", std::string(4096, 'o')));
  ASSERT_TRUE(LeaveFree(0));
  EXPECT_EQ(ExtractArchiveEntry("SAVE.DAT", "T:\\game\\SAVE.DAT", 0), 0);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            "ディスク容量が足りません。T: ドライブに 4096 バイトの空き容量が必要です");
  EXPECT_EQ(ReadBytes("T:\\game\\SAVE.DAT"), std::string(4096, 'o'));
}

}  // namespace
