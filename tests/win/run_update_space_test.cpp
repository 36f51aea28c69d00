// The run's free-space check on a real volume: the installation folder lies
// on drive T:, a small tmpfs that the test bed maps for this suite.
#include <string>

#include "run_update_bed.h"

namespace {

uint64_t FreeBytes(const char* root) {
  ULARGE_INTEGER available, total, totalFree;
  if (!GetDiskFreeSpaceExA(root, &available, &total, &totalFree)) return 0;
  return available.QuadPart;
}

std::string Shortfall(uint64_t missing) {
  char text[256];
  wsprintfA(text, "ディスク容量が足りません。\rT: ドライブに %I64u バイトの空き容量が必要です", missing);
  return text;
}

// A bed whose installation folder is T:\game.
class SmallDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetDriveTypeA("T:\\"), static_cast<UINT>(DRIVE_FIXED))
        << "drive T: is missing: the suite needs WINE_RUN_DRIVES=t:tmpfs:...";
    RemoveTree("T:\\game");
    ASSERT_TRUE(CreateDirectoryA("T:\\game", nullptr));
    lstrcpyA(State.InstPath, "T:\\game");
    bed_.Payload({{"a.dat", "new A"}});
  }
  void TearDown() override { RemoveTree("T:\\game"); }

  void ExpectSpaceShort(const RunOutcome& r, uint64_t missing) {
    EXPECT_EQ(r.end, kStillOpen);
    EXPECT_EQ(r.info, Shortfall(missing));
    EXPECT_TRUE(r.backEnabled);
    EXPECT_FALSE(r.nextEnabled);
    EXPECT_TRUE(r.cancelEnabled);
    EXPECT_EQ(r.nextText, "次へ");
    EXPECT_EQ(r.cursor, SystemCursor(IDC_CROSS)) << "the cursor is left alone";
    EXPECT_FALSE(FileExists("T:\\game\\a.dat")) << "nothing is written";
  }

  RunBed bed_;
};

TEST_F(SmallDrive, ShortfallThenBackAndNextRunsTheWholeUpdateAgain) {
  const uint64_t empty = FreeBytes("T:\\");
  ASSERT_GT(empty, 256u * 1024);
  // Fill the drive, then ask for more than is left but less than it holds.
  ASSERT_TRUE(WriteBytes("T:\\game\\filler.bin", std::string(128 * 1024, 'x')));
  const uint64_t left = FreeBytes("T:\\");
  const uint64_t required = left + 4096;
  ASSERT_LE(required, empty);
  bed_.UpdateSection({"RequiredDiskSpace=" + std::to_string(required), "UpdateFile00=a.dat"});

  ExpectSpaceShort(bed_.Run(), required - left);
  EXPECT_EQ(bed_.boxes.Count(), 0u) << "the shortfall is shown in the dialog, not in a box";

  // The player frees the space, goes back and presses Next again.
  ASSERT_TRUE(DeleteFileA("T:\\game\\filler.bin"));
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes("T:\\game\\a.dat"), "new A");
}

TEST_F(SmallDrive, FreeCountEqualToTheRequirementPasses) {
  const uint64_t free = FreeBytes("T:\\");
  bed_.UpdateSection({"RequiredDiskSpace=" + std::to_string(free), "UpdateFile00=a.dat"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes("T:\\game\\a.dat"), "new A");
}

TEST_F(SmallDrive, OneByteMoreThanIsFreeIsShort) {
  const uint64_t free = FreeBytes("T:\\");
  bed_.UpdateSection({"RequiredDiskSpace=" + std::to_string(free + 1), "UpdateFile00=a.dat"});
  ExpectSpaceShort(bed_.Run(), 1);
}

// The requirement is a 32-bit number taken as unsigned: a negative one asks
// for more than 2 GiB, and the missing amount is shown in full, never as a
// negative number.
TEST_F(SmallDrive, RequirementsAboveTwoGiBShowTheTrueMissingAmount) {
  const uint64_t free = FreeBytes("T:\\");
  bed_.UpdateSection({"RequiredDiskSpace=-1294967296", "UpdateFile00=a.dat"});
  ExpectSpaceShort(bed_.Run(), 3000000000ull - free);
}

// Numbers beyond the signed 32-bit range saturate as they are read.
TEST_F(SmallDrive, HugeRequirementSaturatesAtTwoGiB) {
  const uint64_t free = FreeBytes("T:\\");
  bed_.UpdateSection({"RequiredDiskSpace=3000000000", "UpdateFile00=a.dat"});
  ExpectSpaceShort(bed_.Run(), 2147483647ull - free);
}

TEST_F(SmallDrive, NegativeRequirementReadsAsNearlyFourGiB) {
  const uint64_t free = FreeBytes("T:\\");
  bed_.UpdateSection({"RequiredDiskSpace=-1", "UpdateFile00=a.dat"});
  ExpectSpaceShort(bed_.Run(), 4294967295ull - free);
}

TEST_F(SmallDrive, MissingZeroOrNonNumericRequirementIsNoCheck) {
  for (const char* line : {"", "RequiredDiskSpace=0", "RequiredDiskSpace=lots",
                           "RequiredDiskSpace=  +0x500"}) {
    // A fresh UPDATE.INI for each case, so that no cached copy is read.
    ScratchDir ini;
    lstrcpyA(State.UpdateIniPath, ini.file("UPDATE.INI").c_str());
    bed_.UpdateSection({line, "UpdateFile00=a.dat"});
    ExpectCompleted(bed_.Run());
    EXPECT_EQ(ReadBytes("T:\\game\\a.dat"), "new A") << line;
    DeleteFileA("T:\\game\\a.dat");
  }
}

// Digits are read up to the first other character.
TEST_F(SmallDrive, RequirementIsReadUpToTheFirstNonDigit) {
  const uint64_t free = FreeBytes("T:\\");
  bed_.UpdateSection({"RequiredDiskSpace= " + std::to_string(free + 10) + "bytes",
                      "UpdateFile00=a.dat"});
  ExpectSpaceShort(bed_.Run(), 10);
}

// While the update is staged, the old files are still there: the new ones
// need room of their own, and a later item that finds the drive full stops
// the run with every old file in place.
TEST_F(SmallDrive, StagedFilesOfEarlierItemsCountAgainstLaterOnes) {
  const uint64_t free = FreeBytes("T:\\");
  const std::string oldA(static_cast<size_t>(free / 4), 'o');
  ASSERT_TRUE(WriteBytes("T:\\game\\a.dat", oldA));
  const size_t entry = static_cast<size_t>(free / 2);
  bed_.Payload({{"a.dat", std::string(entry, 'a')}, {"b.dat", std::string(entry, 'b')}});
  bed_.UpdateSection({"UpdateFile00=a.dat", "UpdateFile01=b.dat"});
  RunOutcome r = bed_.Run();
  ExpectFailed(r);
  auto seen = bed_.boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text.rfind("ディスク容量が足りません。T: ドライブに ", 0), 0u) << seen[0].text;
  ExpectErrorBox(seen[1], r, kWriteFailedMessage);
  EXPECT_EQ(ReadBytes("T:\\game\\a.dat"), oldA);
  EXPECT_FALSE(FileExists("T:\\game\\b.dat"));
  std::vector<std::string> names;
  ForEachFileBelow("T:\\game", [&](const std::string&, const WIN32_FIND_DATAA& found) {
    names.push_back(found.cFileName);
  });
  EXPECT_EQ(names, (std::vector<std::string>{"a.dat"})) << "no staged file left";
}

// An entry exactly as large as the free space passes the planning check
// (equal sizes pass). The run's own files need room too: the journal lives
// in the program-data folder, off the game's drive here, and the run
// completes; with the program-data folder on the game's drive, the player is
// told the real shortfall, never a passed check and then a failed write, and
// once that much more is free the same update goes through.
TEST_F(SmallDrive, EntryAsLargeAsTheFreeSpaceIsToldTheRoomTheRunItselfNeeds) {
  ASSERT_TRUE(WriteBytes("T:\\game\\filler.bin", std::string(256 * 1024, 'x')));
  const uint64_t free = FreeBytes("T:\\");
  bed_.Payload({{"a.dat", std::string(static_cast<size_t>(free), 'a')}});
  bed_.UpdateSection({"UpdateFile00=a.dat"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes("T:\\game\\a.dat").size(), free);
  ASSERT_TRUE(DeleteFileA("T:\\game\\a.dat"));
  ASSERT_EQ(FreeBytes("T:\\"), free);

  // The machine's program-data folder on T: as well.
  HKEY folders;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &folders, nullptr),
            ERROR_SUCCESS);
  char saved[MAX_PATH] = {};
  DWORD savedSize = sizeof saved;
  DWORD savedType = REG_EXPAND_SZ;
  const bool hadValue = RegQueryValueExA(folders, "Common AppData", nullptr, &savedType,
                                         reinterpret_cast<BYTE*>(saved), &savedSize) == ERROR_SUCCESS;
  const char moved[] = "T:\\ProgramData";
  RegSetValueExA(folders, "Common AppData", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(moved),
                 sizeof moved);
  CreateDirectoryA(moved, nullptr);
  ResetJournal();
  char journal[kPathSize];
  EXPECT_TRUE(ComposeJournalPath(journal));
  EXPECT_EQ(journal[0], 'T') << journal;

  RunOutcome r = bed_.Run();
  ExpectFailed(r);
  auto seen = bed_.boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  const std::string prefix = "ディスク容量が足りません。T: ドライブに ";
  EXPECT_EQ(seen[0].text.rfind(prefix, 0), 0u) << seen[0].text;
  ExpectErrorBox(seen[1], r, "ファイルの書き込みに失敗しました");
  const uint64_t missing =
      seen[0].text.size() > prefix.size() ? std::stoull(seen[0].text.substr(prefix.size())) : 0;
  EXPECT_GT(missing, 0u);
  EXPECT_LT(missing, 64u * 1024) << "the journal's room, not the entry's";
  EXPECT_FALSE(FileExists("T:\\game\\a.dat"));

  // Exactly that much more room, and the same update goes through.
  ASSERT_TRUE(WriteBytes("T:\\game\\filler.bin",
                         std::string(static_cast<size_t>(256 * 1024 - missing), 'x')));
  EXPECT_EQ(FreeBytes("T:\\"), free + missing);
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes("T:\\game\\a.dat").size(), free);

  if (hadValue) {
    RegSetValueExA(folders, "Common AppData", 0, savedType, reinterpret_cast<const BYTE*>(saved),
                   savedSize);
  } else {
    RegDeleteValueA(folders, "Common AppData");
  }
  RegCloseKey(folders);
  ResetJournal();
  RemoveTree(moved);
}

// A volume with 4 GiB or more free passes any requirement.
TEST(RunUpdateSpace, LargeVolumePassesTheLargestRequirement) {
  RunBed bed;
  ULARGE_INTEGER available, total, totalFree;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &totalFree));
  if (available.QuadPart < 4294967296ull) GTEST_SKIP() << "C: has less than 4 GiB free";
  bed.Payload({{"a.dat", "new A"}});
  bed.UpdateSection({"RequiredDiskSpace=-1", "UpdateFile00=a.dat"});
  ExpectCompleted(bed.Run());
}

// A drive that cannot be asked for its free space has no figure to compare:
// the check lets the run go on, and the write that then fails is reported as
// such instead of as a shortfall.
TEST(RunUpdateSpace, DriveThatCannotBeAskedIsNoCheck) {
  RunBed bed;
  ASSERT_EQ(GetDriveTypeA("Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  lstrcpyA(State.InstPath, "Q:\\game");
  bed.Payload({{"a.dat", "new A"}});
  bed.UpdateSection({"RequiredDiskSpace=1000", "UpdateFile00=a.dat"});
  RunOutcome r = bed.Run();
  ExpectFailed(r);
  auto seen = bed.boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  ExpectErrorBox(seen[0], r, kWriteFailedMessage);
}

}  // namespace
