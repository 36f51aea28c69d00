// The disc items of a run on real drives: D: and E: are folders that the test
// bed maps as CD-ROM drives for this suite. A disc is "in" a drive when the
// drive holds the disc's check file.
#include <string>
#include <thread>

#include "run_update_bed.h"

namespace {

const std::string kPrompt1 = "ＣＤ－ＲＯＭドライブに「テストゲーム」ディスク 1 を入れて下さい";

std::string CopyFailed(const std::string& path) {
  return "SETUP.INI : \"" + path + "\" のコピーに失敗しました";
}

// Writes a file on a drive, making its folders.
void Put(const std::string& path, const std::string& bytes) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
  ASSERT_TRUE(WriteBytes(path, bytes)) << path;
}

class Discs : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* root : {"D:\\", "E:\\"}) {
      ASSERT_EQ(GetDriveTypeA(root), static_cast<UINT>(DRIVE_CDROM))
          << root << " is no CD-ROM drive: the suite needs WINE_RUN_DRIVES=d:cdrom e:cdrom";
    }
    Eject();
    lstrcpyA(State.DiskCheckFile[1], "disc1.chk");
    lstrcpyA(State.DiskCheckFile[2], "DISC2\\check.id");
    bed_.Payload({{"a.dat", "A"}});
  }
  void TearDown() override { Eject(); }
  // Empties both drives.
  static void Eject() {
    RemoveTree("D:");
    RemoveTree("E:");
  }

  // The failure box of a copy, owned by the dialog.
  void ExpectCopyFailure(const RunOutcome& r, const MessageBoxWatcher& boxes,
                         const std::string& path, const std::string& info) {
    ExpectFailed(r, info);
    auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    ExpectErrorBox(seen[0], r, CopyFailed(path));
  }

  RunBed bed_;
};

TEST_F(Discs, FileIsCopiedFromTheDiscWithoutItsReadOnlyMark) {
  Put("E:\\disc1.chk", "");
  Put("E:\\movie\\op.dat", "opening");
  ASSERT_TRUE(SetFileAttributesA("E:\\movie\\op.dat", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CreateDirectoryA(bed_.InInst("movie").c_str(), nullptr));
  bed_.UpdateSection({"CopyFile00=1:movie\\op.dat"});
  MessageBoxWatcher boxes;
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(boxes.Count(), 0u);
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

// Every item with a disc number searches again from A:. Here the first item
// itself puts disc 1 into drive D: (the installation folder is D:'s root), so
// the second item finds it there although E: held it a moment before.
TEST_F(Discs, EveryNumberedItemSearchesAgain) {
  lstrcpyA(State.InstPath, "D:\\");
  Put("E:\\disc1.chk", "");
  Put("E:\\x\\b\\who.txt", "E");
  Put("D:\\x\\b\\who.txt", "D");
  bed_.UpdateSection({"CopyFile00=1:disc1.chk", "CopyFile01=1:x\\b"});
  ExpectCompleted(bed_.Run());
  ASSERT_TRUE(FileExists("D:\\disc1.chk"));
  EXPECT_EQ(ReadBytes("D:\\b\\who.txt"), "D");
}

TEST_F(Discs, FolderArrivesUnderItsLastName) {
  Put("E:\\disc1.chk", "");
  Put("E:\\data\\movie\\op.dat", "opening");
  Put("E:\\data\\movie\\ed\\ed.dat", "ending");
  ASSERT_TRUE(SetFileAttributesA("E:\\data\\movie\\op.dat", FILE_ATTRIBUTE_READONLY));
  bed_.UpdateSection({"CopyFile00=1:data\\movie"});
  ExpectCompleted(bed_.Run());
  EXPECT_EQ(ReadBytes(bed_.InInst("movie\\op.dat")), "opening");
  EXPECT_EQ(ReadBytes(bed_.InInst("movie\\ed\\ed.dat")), "ending");
  EXPECT_FALSE(FileExists(bed_.InInst("data")));
  // The folder's files keep the attributes they had on the disc.
  EXPECT_NE(GetFileAttributesA(bed_.InInst("movie\\op.dat").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  SetFileAttributesA(bed_.InInst("movie\\op.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Discs, MissingSourceFailsAsAFolderCopy) {
  Put("E:\\disc1.chk", "");
  Put("E:\\a.dat", "A");
  bed_.UpdateSection({"CopyFile00=1:a.dat", "CopyFile01=1:nosuch.dat", "CopyFile02=1:a2.dat"});
  MessageBoxWatcher boxes;
  RunOutcome r = bed_.Run();
  ExpectCopyFailure(r, boxes, "nosuch.dat", "nosuch.dat をコピーしています");
  EXPECT_EQ(ReadBytes(bed_.InInst("a.dat")), "A") << "earlier items stay copied";
  EXPECT_FALSE(FileExists(bed_.InInst("nosuch.dat")));
}

TEST_F(Discs, AbsentDiscIsAskedForUntilCancel) {
  Put("E:\\x.dat", "no check file");
  bed_.UpdateSection({"UpdateFile00=a.dat", "CopyFile00=1:x.dat"});
  MessageBoxWatcher boxes;
  boxes.Script({IDOK, IDCANCEL});
  RunOutcome r = bed_.Run();
  ExpectFailed(r);
  auto seen = boxes.Boxes();
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
  EXPECT_EQ(ReadBytes(bed_.InInst("a.dat")), "A");
  EXPECT_FALSE(FileExists(bed_.InInst("x.dat")));
}

TEST_F(Discs, OkSearchesAgainAfterTheDiscIsInserted) {
  Put("E:\\x.dat", "x");
  bed_.UpdateSection({"CopyFile00=1:x.dat"});
  MessageBoxWatcher boxes;
  boxes.Hold(true);
  // The player puts the disc in while the prompt is open, then presses OK.
  std::thread player([&boxes] {
    if (boxes.WaitForCount(1)) Put("E:\\disc1.chk", "");
    boxes.Hold(false);
  });
  RunOutcome r = bed_.Run();
  player.join();
  ExpectCompleted(r);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, kPrompt1);
  EXPECT_EQ(ReadBytes(bed_.InInst("x.dat")), "x");
}

TEST_F(Discs, CopyInfoTextNamesThePath) {
  Put("E:\\disc1.chk", "");
  bed_.UpdateSection({"CopyFile00=1:ムービー"});
  MessageBoxWatcher boxes;
  ExpectCopyFailure(bed_.Run(), boxes, "ムービー", "ムービー をコピーしています");
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
    MessageBoxWatcher boxes;
    boxes.Script({IDCANCEL});  // a prompt would be a fault
    RunOutcome r = bed_.Run();
    SCOPED_TRACE(value);
    ExpectCopyFailure(r, boxes, "x.dat", "アップデートを実行しています");
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
    MessageBoxWatcher boxes;
    RunOutcome r = bed_.Run();
    SCOPED_TRACE(value);
    ExpectCopyFailure(r, boxes, "x.dat", "アップデートを実行しています");
    EXPECT_FALSE(FileExists(bed_.InInst("x.dat")));
  }
}

TEST_F(Discs, SourceThatDoesNotFitFailsTheCopy) {
  Put("D:\\disc1.chk", "");
  // "D:\" and a path of 257 bytes need 262 bytes with both NULs.
  const std::string path(257, 'p');
  bed_.UpdateSection({"CopyFile00=1:" + path});
  MessageBoxWatcher boxes;
  ExpectCopyFailure(bed_.Run(), boxes, path, "アップデートを実行しています");
}

TEST_F(Discs, DestinationThatDoesNotFitFailsTheCopy) {
  const std::string name(40, 'n');
  Put("D:\\disc1.chk", "");
  Put("D:\\" + name, "long");
  // A file copy: InstPath, a backslash and the 40-byte name exceed 260 bytes.
  const std::string longInst = "C:\\" + std::string(220, 'i');
  lstrcpyA(State.InstPath, longInst.c_str());
  bed_.UpdateSection({"CopyFile00=1:" + name});
  MessageBoxWatcher boxes;
  ExpectCopyFailure(bed_.Run(), boxes, name, "アップデートを実行しています");
}

TEST_F(Discs, FolderDestinationWithoutRoomForTheSecondNulFailsTheCopy) {
  Put("D:\\disc1.chk", "");
  Put("D:\\movie\\op.dat", "op");
  const std::string longInst = "C:\\" + std::string(256, 'i');  // 259 bytes
  lstrcpyA(State.InstPath, longInst.c_str());
  bed_.UpdateSection({"CopyFile00=1:movie"});
  MessageBoxWatcher boxes;
  ExpectCopyFailure(bed_.Run(), boxes, "movie", "アップデートを実行しています");
}

}  // namespace
