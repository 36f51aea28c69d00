// The disc items of a run on real drives: D: and E: are folders that the test
// bed maps as CD-ROM drives for this suite. A disc is "in" a drive when the
// drive holds the disc's check file.
#include <string>
#include <thread>

#include "harness/import_patch.h"
#include "run_update_bed.h"

namespace {

const std::string kPrompt1 = "ＣＤ－ＲＯＭドライブに「テストゲーム」ディスク 1 を入れて下さい";

std::string CopyFailed(const std::string& path) {
  return "SETUP.INI : \"" + path + "\" のコピーに失敗しました";
}

// The folder behind a drive letter, as the host sees it: wine writes nothing
// to a CD-ROM drive, so the test puts the discs' files there behind its back.
std::string HostFolder(char letter) {
  const char name[] = {'W', 'I', 'N', 'E', '_', 'D', 'R', 'I', 'V', 'E', '_', letter, '\0'};
  const char* folder = getenv(name);
  return folder ? HostPath(folder) : std::string();
}

// "D:\a\b.dat" -> the same file through the host's folder.
std::string OnHost(const std::string& path) { return HostFolder(path[0]) + path.substr(2); }

// Writes a file onto a disc, making its folders.
void Put(const std::string& path, const std::string& bytes) {
  const std::string host = OnHost(path);
  const size_t rootLength = HostFolder(path[0]).size();
  for (size_t at = host.find('\\', rootLength + 1); at != std::string::npos;
       at = host.find('\\', at + 1)) {
    CreateDirectoryA(host.substr(0, at).c_str(), nullptr);
  }
  ASSERT_TRUE(WriteBytes(host, bytes)) << path;
}

void MarkReadOnly(const std::string& path) {
  ASSERT_TRUE(SetFileAttributesA(OnHost(path).c_str(), FILE_ATTRIBUTE_READONLY));
}

// Takes the disc out of a drive: the drive's folder is emptied.
void Eject(char letter) {
  const std::string folder = HostFolder(letter);
  if (folder.empty()) return;
  RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
}

class Discs : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* root : {"D:\\", "E:\\"}) {
      ASSERT_EQ(GetDriveTypeA(root), static_cast<UINT>(DRIVE_CDROM))
          << root << " is no CD-ROM drive: the suite needs WINE_RUN_DRIVES=d:cdrom e:cdrom";
    }
    ASSERT_FALSE(HostFolder('D').empty());
    ASSERT_FALSE(HostFolder('E').empty());
    EjectAll();
    // A prompt that no test expects is answered with Cancel, so that a fault
    // ends the run instead of asking for the disc for ever.
    bed_.boxes.Script({IDCANCEL});
    lstrcpyA(State.DiskCheckFile[1], "disc1.chk");
    lstrcpyA(State.DiskCheckFile[2], "DISC2\\check.id");
    bed_.Payload({{"a.dat", "A"}});
  }
  void TearDown() override { EjectAll(); }
  static void EjectAll() {
    Eject('D');
    Eject('E');
  }

  // The boxes shown since the last call.
  std::vector<SeenBox> NewBoxes() {
    auto all = bed_.boxes.Boxes();
    std::vector<SeenBox> fresh(all.begin() + seen_, all.end());
    seen_ = all.size();
    return fresh;
  }

  // The failure box of a copy, owned by the dialog, as the only new box.
  void ExpectCopyFailure(const RunOutcome& r, const std::string& path, const std::string& info) {
    ExpectFailed(r, info);
    auto seen = NewBoxes();
    ASSERT_EQ(seen.size(), 1u);
    ExpectErrorBox(seen[0], r, CopyFailed(path));
  }

  size_t seen_ = 0;

  RunBed bed_;
};

TEST_F(Discs, FileIsCopiedFromTheDiscWithoutItsReadOnlyMark) {
  Put("E:\\disc1.chk", "");
  Put("E:\\movie\\op.dat", "opening");
  MarkReadOnly("E:\\movie\\op.dat");
  ASSERT_TRUE(CreateDirectoryA(bed_.InInst("movie").c_str(), nullptr));
  bed_.UpdateSection({"CopyFile00=1:movie\\op.dat"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(bed_.boxes.Count(), 0u);
  EXPECT_EQ(ReadBytes(bed_.InInst("movie\\op.dat")), "opening");
  EXPECT_EQ(GetFileAttributesA(bed_.InInst("movie\\op.dat").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(Discs, CommasAndBlanksBelongToThePathAndModesSelect) {
  Put("E:\\disc1.chk", "");
  Put("E:\\a, b.dat", "comma");
  Put("E:\\other.dat", "other");
  State.InstMode = 2;
  bed_.UpdateSection({"CopyFile00=2,1:a, b.dat", "CopyFile01=1,1:other.dat"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes(bed_.InInst("a, b.dat")), "comma");
  EXPECT_FALSE(FileExists(bed_.InInst("other.dat")));
}

TEST_F(Discs, LowerDriveLetterWinsWhenBothHoldTheDisc) {
  Put("D:\\disc1.chk", "");
  Put("D:\\x.dat", "from D");
  Put("E:\\disc1.chk", "");
  Put("E:\\x.dat", "from E");
  bed_.UpdateSection({"CopyFile00=1:x.dat"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes(bed_.InInst("x.dat")), "from D");
}

std::vector<std::string> askedDriveTypes;
UINT(WINAPI* platformGetDriveType)(LPCSTR) = nullptr;
UINT WINAPI RecordingGetDriveType(LPCSTR root) {
  askedDriveTypes.push_back(root ? root : "");
  return platformGetDriveType(root);
}

TEST_F(Discs, DriveTypesAreAskedOfTheRoot) {
  Put("E:\\disc1.chk", "");
  Put("E:\\a.dat", "A");
  bed_.UpdateSection({"CopyFile00=1:a.dat"});
  askedDriveTypes.clear();
  {
    ImportPatch recording("kernel32.dll", "GetDriveTypeA",
                          reinterpret_cast<void*>(&RecordingGetDriveType));
    ASSERT_TRUE(recording.active());
    platformGetDriveType = reinterpret_cast<UINT(WINAPI*)(LPCSTR)>(recording.original());
    ExpectCompleted(bed_.Run());
  }
  // "X:" alone would name the drive's current folder.
  EXPECT_EQ(askedDriveTypes, (std::vector<std::string>{"A:\\", "B:\\", "C:\\", "D:\\", "E:\\"}));
}

TEST_F(Discs, DriveWithoutTheCheckFileIsPassedOver) {
  Put("D:\\x.dat", "from D");  // a disc, but not disc 1
  Put("E:\\DISC2\\check.id", "");
  Put("E:\\x.dat", "from E");
  bed_.UpdateSection({"CopyFile00=2:x.dat"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes(bed_.InInst("x.dat")), "from E");
}

TEST_F(Discs, EmptyCheckFileTakesTheFirstDriveWithADisc) {
  State.DiskCheckFile[3][0] = '\0';
  Put("D:\\x.dat", "from D");
  Put("E:\\x.dat", "from E");
  bed_.UpdateSection({"CopyFile00=3:x.dat"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes(bed_.InInst("x.dat")), "from D");
}

TEST_F(Discs, ItemWithoutDiscNumberUsesTheDriveOfTheLastSearch) {
  Put("D:\\b.dat", "from D");
  Put("E:\\disc1.chk", "");
  Put("E:\\a.dat", "A from E");
  Put("E:\\b.dat", "from E");
  Put("D:\\c.dat", "from D");
  Put("E:\\c.dat", "from E");
  // "0:" names no disc either.
  bed_.UpdateSection({"CopyFile00=1:a.dat", "CopyFile01=b.dat", "CopyFile02=0:c.dat"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes(bed_.InInst("a.dat")), "A from E");
  EXPECT_EQ(ReadBytes(bed_.InInst("b.dat")), "from E");
  EXPECT_EQ(ReadBytes(bed_.InInst("c.dat")), "from E");
}

// Every item with a disc number searches again from A:, even for the disc
// of the item before. Here disc 1 leaves E: and turns up in D: once the first
// item's search is over; the second item finds it in D:.
TEST_F(Discs, EveryNumberedItemSearchesAgain) {
  Put("E:\\disc1.chk", "");
  Put("E:\\a.dat", "A from E");
  Put("E:\\b.dat", "B from E");
  bed_.onInfoText = [](const std::string& text) {
    if (text != "a.dat をコピーしています") return;
    DeleteFileA(OnHost("E:\\disc1.chk").c_str());
    Put("D:\\disc1.chk", "");
    Put("D:\\b.dat", "B from D");
  };
  bed_.UpdateSection({"CopyFile00=1:a.dat", "CopyFile01=1:b.dat"});
  RunOutcome r = bed_.Run();
  ExpectCompleted(r);
  EXPECT_EQ(ReadBytes(bed_.InInst("a.dat")), "A from E");
  EXPECT_EQ(ReadBytes(bed_.InInst("b.dat")), "B from D");
  EXPECT_EQ(r.infoTexts, (std::vector<std::string>{"アップデートを実行しています",
                                                   "a.dat をコピーしています",
                                                   "b.dat をコピーしています",
                                                   "アップデートは完了しました"}));
}

TEST_F(Discs, FolderArrivesUnderItsLastName) {
  Put("E:\\disc1.chk", "");
  Put("E:\\data\\movie\\op.dat", "opening");
  Put("E:\\data\\movie\\ed\\ed.dat", "ending");
  MarkReadOnly("E:\\data\\movie\\op.dat");
  ASSERT_TRUE(SetFileAttributesA(bed_.inst().c_str(), FILE_ATTRIBUTE_READONLY));
  const DWORD instAttributes = GetFileAttributesA(bed_.inst().c_str());
  bed_.UpdateSection({"CopyFile00=1:data\\movie"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes(bed_.InInst("movie\\op.dat")), "opening");
  EXPECT_EQ(ReadBytes(bed_.InInst("movie\\ed\\ed.dat")), "ending");
  EXPECT_FALSE(FileExists(bed_.InInst("data")));
  // The copied files lose the disc's read-only mark, so that the next update
  // can replace them; the installation folder keeps its attributes.
  EXPECT_EQ(GetFileAttributesA(bed_.InInst("movie\\op.dat").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(GetFileAttributesA(bed_.inst().c_str()), instAttributes);
}

TEST_F(Discs, MissingSourceFailsAsAFolderCopy) {
  Put("E:\\disc1.chk", "");
  Put("E:\\a.dat", "A");
  bed_.UpdateSection({"CopyFile00=1:a.dat", "CopyFile01=1:nosuch.dat", "CopyFile02=1:a2.dat"});
  RunOutcome r = bed_.Run();
  ExpectCopyFailure(r, "nosuch.dat", "nosuch.dat をコピーしています");
  EXPECT_EQ(ReadBytes(bed_.InInst("a.dat")), "A") << "earlier items stay copied";
  EXPECT_FALSE(FileExists(bed_.InInst("nosuch.dat")));
}

TEST_F(Discs, AbsentDiscIsAskedForUntilCancel) {
  Put("E:\\x.dat", "no check file");
  bed_.UpdateSection({"UpdateFile00=a.dat", "CopyFile00=1:x.dat"});
  bed_.boxes.Script({IDOK, IDCANCEL});
  RunOutcome r = bed_.Run();
  ExpectFailed(r);
  auto seen = bed_.boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  for (const SeenBox& box : seen) {
    EXPECT_EQ(box.text, kPrompt1);
    EXPECT_EQ(box.title, State.Caption);
    EXPECT_EQ(box.owner, r.dialog);
    EXPECT_EQ(box.icon, 0);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDOK, IDCANCEL}));
  }
  EXPECT_EQ(seen[0].answer, IDOK);
  EXPECT_EQ(seen[1].answer, IDCANCEL);
  EXPECT_FALSE(FileExists(bed_.InInst("a.dat"))) << "the update item is taken back";
  EXPECT_FALSE(FileExists(bed_.InInst("x.dat")));
}

TEST_F(Discs, OkSearchesAgainAfterTheDiscIsInserted) {
  Put("E:\\x.dat", "x");
  bed_.UpdateSection({"CopyFile00=1:x.dat"});
  bed_.boxes.Script({IDOK});
  bed_.boxes.Hold(true);
  // The player puts the disc in while the prompt is open, then presses OK.
  std::thread player([this] {
    if (bed_.boxes.WaitForCount(1)) Put("E:\\disc1.chk", "");
    bed_.boxes.Hold(false);
  });
  RunOutcome r = bed_.Run();
  player.join();
  ExpectCompleted(r);
  ASSERT_EQ(bed_.boxes.Count(), 1u);
  EXPECT_EQ(bed_.boxes.Boxes()[0].text, kPrompt1);
  EXPECT_EQ(ReadBytes(bed_.InInst("x.dat")), "x");
}

TEST_F(Discs, CopyInfoTextNamesThePath) {
  Put("E:\\disc1.chk", "");
  bed_.UpdateSection({"CopyFile00=1:ムービー"});
  ExpectCopyFailure(bed_.Run(), "ムービー", "ムービー をコピーしています");
}

// Mends: items that name no usable drive or do not fit their paths fail as
// copies, and nothing is copied from a drive that was never found.

TEST_F(Discs, DiscNumberOutsideOneToNineFailsTheCopy) {
  Put("D:\\disc1.chk", "");
  Put("D:\\x.dat", "x");
  for (const char* value : {"A:x.dat", "+:x.dat", "?:x.dat"}) {
    ScratchDir ini;
    lstrcpyA(State.UpdateIniPath, ini.file("UPDATE.INI").c_str());
    bed_.UpdateSection({std::string("CopyFile00=") + value});
    bed_.boxes.Script({IDCANCEL});  // a prompt would be a fault
    RunOutcome r = bed_.Run();
    SCOPED_TRACE(value);
    ExpectCopyFailure(r, "x.dat", "アップデートを実行しています");
    EXPECT_FALSE(FileExists(bed_.InInst("x.dat")));
  }
}

TEST_F(Discs, ItemWithoutDiscNumberBeforeAnySearchFailsTheCopy) {
  Put("D:\\disc1.chk", "");
  Put("D:\\x.dat", "x");
  for (const char* value : {"x.dat", "0:x.dat"}) {
    ScratchDir ini;
    lstrcpyA(State.UpdateIniPath, ini.file("UPDATE.INI").c_str());
    bed_.UpdateSection({std::string("CopyFile00=") + value, "CopyFile01=1:x.dat"});
    RunOutcome r = bed_.Run();
    SCOPED_TRACE(value);
    ExpectCopyFailure(r, "x.dat", "アップデートを実行しています");
    EXPECT_FALSE(FileExists(bed_.InInst("x.dat")));
  }
}

TEST_F(Discs, SourceThatDoesNotFitFailsTheCopy) {
  Put("D:\\disc1.chk", "");
  // "D:\" and a path of 257 bytes need 262 bytes with both NULs.
  const std::string path(257, 'p');
  bed_.UpdateSection({"CopyFile00=1:" + path});
  ExpectCopyFailure(bed_.Run(), path, "アップデートを実行しています");
}

TEST_F(Discs, DestinationThatDoesNotFitFailsTheCopy) {
  const std::string name(40, 'n');
  Put("D:\\disc1.chk", "");
  Put("D:\\" + name, "long");
  // A file copy: InstPath, a backslash and the 40-byte name exceed 260 bytes.
  const std::string longInst = "C:\\" + std::string(220, 'i');
  lstrcpyA(State.InstPath, longInst.c_str());
  bed_.UpdateSection({"CopyFile00=1:" + name});
  ExpectCopyFailure(bed_.Run(), name, "アップデートを実行しています");
}

TEST_F(Discs, FolderDestinationWithoutRoomForTheSecondNulFailsTheCopy) {
  Put("D:\\disc1.chk", "");
  Put("D:\\movie\\op.dat", "op");
  const std::string longInst = "C:\\" + std::string(256, 'i');  // 259 bytes
  lstrcpyA(State.InstPath, longInst.c_str());
  bed_.UpdateSection({"CopyFile00=1:movie"});
  ExpectCopyFailure(bed_.Run(), "movie", "アップデートを実行しています");
}

}  // namespace
