// The update items of a run: install modes, the four kinds and their target
// folders, DataFolder, OverwriteOnly, and the write failure that ends the run
// with nothing of the update written: the game stays as it was.
#include "harness/import_patch.h"
#include "run_update_bed.h"

namespace {

// The names of the files below a folder.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  ForEachFileBelow(folder, [&](const std::string&, const WIN32_FIND_DATAA& found) {
    names.push_back(found.cFileName);
  });
  return names;
}

TEST(RunUpdateWrite, UpdateItemInItsInstallModeGoesBelowInstPath) {
  RunBed bed;
  bed.Payload({{"file.dat", "new content"}, {"plain.dat", "plain v2"}, {"keep.dat", "older"}});
  ASSERT_TRUE(CreateDirectoryA(bed.InInst("sub").c_str(), nullptr));
  // A plain item replaces a file even when that file is newer; an Update item
  // leaves a newer file alone.
  ASSERT_TRUE(WriteBytes(bed.InInst("plain.dat"), "plain v1"));
  ASSERT_TRUE(WriteBytes(bed.InInst("keep.dat"), "player's newer copy"));
  bed.UpdateSection({"UpdateFile00=1,u,sub\\file.dat", "UpdateFile01=plain.dat",
                     "UpdateFile02=U,keep.dat"});
  State.InstMode = 1;
  RunOutcome r = bed.Run();
  ExpectCompleted(r);
  EXPECT_EQ(bed.boxes.Count(), 0u);
  EXPECT_EQ(ReadBytes(bed.InInst("sub\\file.dat")), "new content");
  EXPECT_EQ(LastWriteTime(bed.InInst("sub\\file.dat")), kEntryTime);
  EXPECT_FALSE(FileExists(bed.InInst("file.dat"))) << "the folder part places the file";
  EXPECT_EQ(ReadBytes(bed.InInst("plain.dat")), "plain v2");
  EXPECT_EQ(ReadBytes(bed.InInst("keep.dat")), "player's newer copy");
}

TEST(RunUpdateWrite, ItemOfAnotherInstallModeIsDropped) {
  RunBed bed;
  bed.Payload({{"file.dat", "new content"}});
  ASSERT_TRUE(CreateDirectoryA(bed.InInst("sub").c_str(), nullptr));
  bed.UpdateSection({"UpdateFile00=1,u,sub\\file.dat"});
  State.InstMode = 2;
  RunOutcome r = bed.Run();
  ExpectFailed(r);
  auto seen = bed.boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  ExpectErrorBox(seen[0], r, kNothingAppliesMessage);
  EXPECT_FALSE(FileExists(bed.InInst("sub\\file.dat")));
}

TEST(RunUpdateWrite, DataItemKeepsAReadableFileAndExtractsAMissingOne) {
  RunBed bed;
  bed.Payload({{"save.dat", "archive save"}, {"new.dat", "archive new"}});
  lstrcpyA(State.DataFolder, "SAVE");
  ASSERT_TRUE(CreateDirectoryA(bed.InData("SAVE").c_str(), nullptr));
  const std::string save = bed.InData("SAVE\\save.dat");
  ASSERT_TRUE(WriteBytes(save, "player's save"));
  SetLastWriteTime(save, kEntryTime - 1000);
  bed.UpdateSection({"UpdateFile00=D,save.dat", "UpdateFile01=d,new.dat"});
  const uint64_t before = Now();
  RunOutcome r = bed.Run();
  ExpectCompleted(r);
  EXPECT_EQ(ReadBytes(save), "player's save");
  EXPECT_GE(LastWriteTime(save), before - 20000000) << "the kept file gets the run's time";
  EXPECT_EQ(ReadBytes(bed.InData("SAVE\\new.dat")), "archive new");
  EXPECT_EQ(LastWriteTime(bed.InData("SAVE\\new.dat")), kEntryTime);
  EXPECT_FALSE(FileExists(bed.InInst("SAVE\\new.dat"))) << "Data items go below DataPath";
}

TEST(RunUpdateWrite, EmptyDataFileStaysEmpty) {
  RunBed bed;
  bed.Payload({{"empty.dat", "archive content"}});
  ASSERT_TRUE(WriteBytes(bed.InData("empty.dat"), ""));
  bed.UpdateSection({"UpdateFile00=d,empty.dat"});
  ExpectCompleted(bed.Run());
  EXPECT_TRUE(FileExists(bed.InData("empty.dat")));
  EXPECT_EQ(ReadBytes(bed.InData("empty.dat")), "");
}

TEST(RunUpdateWrite, DataItemWithoutDataPathGoesBelowInstPath) {
  RunBed bed;
  bed.Payload({{"rel.dat", "relative"}});
  State.DataPath[0] = '\0';
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  ScratchDir current;
  ASSERT_TRUE(SetCurrentDirectoryA(current.path().c_str()));
  bed.UpdateSection({"UpdateFile00=d,rel.dat"});
  RunOutcome r = bed.Run();
  SetCurrentDirectoryA(previous);
  ExpectCompleted(r);
  EXPECT_EQ(ReadBytes(bed.InInst("rel.dat")), "relative");
  EXPECT_FALSE(FileExists(current.file("rel.dat"))) << "never into the process's current folder";
}

// Fails the block for the player's Data file, recognised by its size.
constexpr SIZE_T kPlayerFileSize = 54321;
HGLOBAL(WINAPI* platformGlobalAlloc)(UINT, SIZE_T) = nullptr;
HGLOBAL WINAPI GlobalAllocFailingForPlayerFile(UINT flags, SIZE_T size) {
  if (size == kPlayerFileSize) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return platformGlobalAlloc(flags, size);
}

TEST(RunUpdateWrite, DataFileThatCannotBeHeldInMemoryIsKeptAndFailsTheItem) {
  RunBed bed;
  bed.Payload({{"a.dat", "A2"}, {"save.dat", "archive save"}});
  ASSERT_TRUE(WriteBytes(bed.InInst("a.dat"), "A1"));
  const std::string save = bed.InData("save.dat");
  const std::string players(kPlayerFileSize, 'p');
  ASSERT_TRUE(WriteBytes(save, players));
  SetLastWriteTime(save, kEntryTime - 1000);
  bed.UpdateSection({"UpdateFile00=a.dat", "UpdateFile01=d,save.dat"});
  RunOutcome r;
  {
    ImportPatch noMemory("kernel32.dll", "GlobalAlloc",
                         reinterpret_cast<void*>(&GlobalAllocFailingForPlayerFile));
    ASSERT_TRUE(noMemory.active());
    platformGlobalAlloc = reinterpret_cast<HGLOBAL(WINAPI*)(UINT, SIZE_T)>(noMemory.original());
    r = bed.Run();
  }
  ExpectFailed(r);
  auto seen = bed.boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  ExpectErrorBox(seen[0], r, kNoMemoryMessage);
  ExpectErrorBox(seen[1], r, kWriteFailedMessage);
  EXPECT_EQ(ReadBytes(save), players);
  EXPECT_EQ(LastWriteTime(save), kEntryTime - 1000);
  EXPECT_EQ(ReadBytes(bed.InInst("a.dat")), "A1") << "nothing of the run is written";
}

TEST(RunUpdateWrite, DataFolderIsCreatedOneLevelDeepOnly) {
  {
    RunBed bed;
    bed.Payload({{"a.dat", "A"}, {"b.dat", "B"}});
    lstrcpyA(State.DataFolder, "DATA");
    bed.UpdateSection({"UpdateFile00=a.dat", "UpdateFile01=d,b.dat"});
    ExpectCompleted(bed.Run());
    EXPECT_EQ(ReadBytes(bed.InInst("DATA\\a.dat")), "A");
    EXPECT_EQ(ReadBytes(bed.InData("DATA\\b.dat")), "B");
  }
  {
    RunBed bed;
    bed.Payload({{"a.dat", "A"}});
    lstrcpyA(State.DataFolder, "ONE\\TWO");
    bed.UpdateSection({"UpdateFile00=a.dat"});
    RunOutcome r = bed.Run();
    ExpectFailed(r);
    auto seen = bed.boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    ExpectErrorBox(seen[0], r, kWriteFailedMessage);
    EXPECT_FALSE(FileExists(bed.InInst("ONE")));
  }
}

TEST(RunUpdateWrite, OverwriteOnlyPassesOverMissingTargetsAndCompletes) {
  RunBed bed;
  bed.Payload({{"a.dat", "A2"}, {"b.dat", "B2"}, {"c.dat", "C2"}, {"d.dat", "D2"}});
  ASSERT_TRUE(WriteBytes(bed.InInst("a.dat"), "A1"));
  ASSERT_TRUE(CreateDirectoryA(bed.InInst("c.dat").c_str(), nullptr));  // a folder is no file
  ASSERT_TRUE(WriteBytes(bed.InData("d.dat"), "D1"));
  bed.UpdateSection({"OverwriteOnly=1", "UpdateFile00=a.dat", "UpdateFile01=u,b.dat",
                     "UpdateFile02=c.dat", "UpdateFile03=d,d.dat", "UpdateFile04=d,e.dat"});
  RunOutcome r = bed.Run();
  ExpectCompleted(r);
  EXPECT_EQ(bed.boxes.Count(), 0u);
  EXPECT_EQ(ReadBytes(bed.InInst("a.dat")), "A2");
  EXPECT_FALSE(FileExists(bed.InInst("b.dat")));
  EXPECT_EQ(GetFileAttributesA(bed.InInst("c.dat").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(ReadBytes(bed.InData("d.dat")), "D1");
  EXPECT_FALSE(FileExists(bed.InData("e.dat")));
}

TEST(RunUpdateWrite, OverwriteKindWritesOnlyOverAnExistingFile) {
  RunBed bed;
  bed.Payload({{"a.dat", "A2"}, {"b.dat", "B2"}});
  ASSERT_TRUE(WriteBytes(bed.InInst("a.dat"), "A1"));
  // OverwriteOnly 0 is no limit; an "o" item is limited all the same.
  bed.UpdateSection({"OverwriteOnly=0", "UpdateFile00=o,a.dat", "UpdateFile01=O,b.dat"});
  ExpectCompleted(bed.Run());
  EXPECT_EQ(ReadBytes(bed.InInst("a.dat")), "A2");
  EXPECT_EQ(LastWriteTime(bed.InInst("a.dat")), kEntryTime);
  EXPECT_FALSE(FileExists(bed.InInst("b.dat")));
}

TEST(RunUpdateWrite, MissingSubFolderFailsAndWritesNothing) {
  RunBed bed;
  bed.Payload({{"a.dat", "A"}, {"b.dat", "B"}, {"c.dat", "C"}});
  ASSERT_TRUE(WriteBytes(bed.InInst("a.dat"), "old A"));
  bed.UpdateSection({"UpdateFile00=a.dat", "UpdateFile01=nosuch\\b.dat", "UpdateFile02=c.dat"});
  RunOutcome r = bed.Run();
  ExpectFailed(r);
  auto seen = bed.boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  ExpectErrorBox(seen[0], r, kWriteFailedMessage);
  EXPECT_EQ(ReadBytes(bed.InInst("a.dat")), "old A") << "the earlier item is not written";
  EXPECT_FALSE(FileExists(bed.InInst("nosuch")));
  EXPECT_FALSE(FileExists(bed.InInst("c.dat")));
  EXPECT_EQ(Listing(bed.inst()), (std::vector<std::string>{"a.dat"})) << "no staged file left";
}

TEST(RunUpdateWrite, EntryMissingFromTheArchiveIsReportedTwice) {
  RunBed bed;
  bed.Payload({{"file.dat", "F"}});
  // "x" is no kind letter, so it is the item's name.
  bed.UpdateSection({"UpdateFile00=x,file.dat"});
  RunOutcome r = bed.Run();
  ExpectFailed(r);
  auto seen = bed.boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  ExpectErrorBox(seen[0], r, kNoEntryMessage);
  ExpectErrorBox(seen[1], r, kWriteFailedMessage);
  EXPECT_FALSE(FileExists(bed.InInst("x")));
  EXPECT_FALSE(FileExists(bed.InInst("file.dat")));
}

// The entry is decoded and written part by part: a stream that breaks off
// after several parts are on the disk still fails the run before any game
// file changes.
TEST(RunUpdateWrite, EntryThatBreaksOffPastItsFirstPartsFailsTheRun) {
  RunBed bed;
  std::string big(1 << 20, '\0');
  uint32_t x = 12345;
  for (size_t i = 0; i < big.size(); ++i) {
    if (i % 16 == 0) x = x * 1664525u + 1013904223u;
    big[i] = static_cast<char>('a' + (x >> (i % 16)) % 8);
  }
  bed.Payload({{"a.dat", "A"}, {"big.dat", big}});
  auto& entry = const_cast<ArchiveEntry&>(State.Archive.Entries[1]);
  ASSERT_TRUE(entry.Flags & kEntryCompressed);
  entry.StoredSize = entry.StoredSize / 4 * 3;
  ASSERT_TRUE(WriteBytes(bed.InInst("big.dat"), "old big"));
  bed.UpdateSection({"UpdateFile00=a.dat", "UpdateFile01=big.dat"});
  RunOutcome r = bed.Run();
  ExpectFailed(r);
  auto seen = bed.boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  ExpectErrorBox(seen[0], r, kReadErrorMessage);
  ExpectErrorBox(seen[1], r, kWriteFailedMessage);
  EXPECT_EQ(ReadBytes(bed.InInst("big.dat")), "old big");
  EXPECT_EQ(Listing(bed.inst()), (std::vector<std::string>{"big.dat"})) << "no staged file left";
}

// Nothing is written through a link below the game's folder (drive L:,
// WINE_RUN_DRIVES=l:links: L:\game\link leads to L:\outside), nor by an
// item that climbs out of it: the run fails as a write failure, all or
// nothing, and the game's own item is not written either.
TEST(RunUpdateWrite, ItemsThroughALinkOrOutOfTheGameFailTheRun) {
  for (const char* item : {"link\\a.dat", "..\\outside\\a.dat"}) {
    SCOPED_TRACE(item);
    RunBed bed;
    bed.Payload({{"a.dat", "A"}, {"b.dat", "B"}});
    lstrcpyA(State.InstPath, "L:\\game");
    bed.UpdateSection({"UpdateFile00=b.dat", std::string("UpdateFile01=") + item});
    RunOutcome r = bed.Run();
    ExpectFailed(r);
    auto seen = bed.boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    ExpectErrorBox(seen[0], r, "ファイルの書き込みに失敗しました");
    EXPECT_EQ(Listing("L:\\outside"), std::vector<std::string>{});
    EXPECT_EQ(Listing("L:\\game"), std::vector<std::string>{}) << "b.dat is not written";
  }
}

TEST(RunUpdateWrite, TargetThatIsAFolderFailsTheRun) {
  RunBed bed;
  bed.Payload({{"dir.dat", "D"}});
  ASSERT_TRUE(CreateDirectoryA(bed.InInst("dir.dat").c_str(), nullptr));
  bed.UpdateSection({"UpdateFile00=dir.dat"});
  RunOutcome r = bed.Run();
  ExpectFailed(r);
  auto seen = bed.boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  ExpectErrorBox(seen[0], r, kWriteFailedMessage);
}

TEST(RunUpdateWrite, DoubleByteNamesAreSplitOnlyAtRealBackslashes) {
  RunBed bed;
  // The second byte of 表 and of ソ is 0x5C, the backslash's code.
  bed.Payload({{"表.dat", "hyou"}, {"a.dat", "A"}});
  ASSERT_TRUE(CreateDirectoryA(bed.InInst("ソフト").c_str(), nullptr));
  bed.UpdateSection({"UpdateFile00=表.dat", "UpdateFile01=ソフト\\a.dat"});
  ExpectCompleted(bed.Run());
  EXPECT_EQ(ReadBytes(bed.InInst("表.dat")), "hyou");
  EXPECT_EQ(ReadBytes(bed.InInst("ソフト\\a.dat")), "A");
}

// A Data file of 4 GiB or more cannot be read into one block. It is the
// player's all the same: it is neither cut to its low 32 bits of length nor
// replaced by the archive's copy.
TEST(RunUpdateWrite, DataFileOfFourGiBOrMoreIsLeftAlone) {
  RunBed bed;
  bed.Payload({{"huge.dat", "archive"}});
  const std::string huge = bed.InData("huge.dat");
  HANDLE file = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = (1ll << 32) + 5;  // sparse where the file system allows
  const bool grown = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  if (!grown) GTEST_SKIP() << "no room for a sparse file of 4 GiB";
  SetLastWriteTime(huge, kEntryTime - 1000);
  bed.UpdateSection({"UpdateFile00=d,huge.dat"});
  ExpectCompleted(bed.Run());
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(huge.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeHigh, 1u);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(LastWriteTime(huge), kEntryTime - 1000);
  DeleteFileA(huge.c_str());
}

}  // namespace
