// Files and folders copied from the game's CD-ROM through the shell's file
// copy, on a folder that the test bed maps as a CD-ROM drive D:
// (WINE_RUN_DRIVES=d:cdrom). The disc is missing at first: the updater asks
// for it, the player puts it in and presses OK, and the whole update
// completes with exit code 1.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "scenario.h"
#include "wizard_window.h"

namespace {

const char kCaption[] = "テストゲーム アップデータ 3.0";

// The disc's folder as wine's Z: drive sees it: the drive letter itself is
// read-only, as a CD-ROM is.
std::string Disc() {
  char folder[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA("WINE_DRIVE_D", folder, sizeof folder);
  return length && length < sizeof folder ? HostPath(folder) : std::string();
}

// Puts a file on the disc, making its folders.
void Put(const std::string& relative, const std::string& bytes) {
  std::string path = Disc() + "\\" + relative;
  for (size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
    CreateDirectoryA((Disc() + "\\" + relative.substr(0, at)).c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(path, bytes)) << path;
}

TEST(DiscCopy, PlayerInsertsTheDiscWhenAskedAndTheCopiesComplete) {
  ASSERT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM))
      << "D: is no CD-ROM drive: the suite needs WINE_RUN_DRIVES=d:cdrom";
  ASSERT_FALSE(Disc().empty()) << "WINE_DRIVE_D names the disc's folder";
  Put("movie\\op.dat", "opening");
  Put("movie\\ed.dat", "ending");
  Put("bonus\\壁紙.bmp", "BM wallpaper");
  ASSERT_TRUE(SetFileAttributesA((Disc() + "\\bonus\\壁紙.bmp").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_NE(GetFileAttributesA("D:\\bonus\\壁紙.bmp") & FILE_ATTRIBUTE_READONLY, 0u);

  Scenario s;
  s.updateIni.Set("UpdaterVersion", "3.0");
  // A folder from disc 1, then a file from the same drive without a check.
  s.updateIniMore =
      "[UPDATE]\r\nUpdateFile00=patch.dat\r\nCopyFile00=1:movie\r\nCopyFile01=bonus\\壁紙.bmp\r\n";
  s.files = {{"patch.dat", "patched"}};
  s.installFiles["bonus\\readme.txt"] = "";
  s.LayOut();

  UpdaterProcess process(s.UpdaterPath(), {}, /*hold=*/true);
  HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
  ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == "アップデートを実行します"; }));
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));

  // The disc check file is not on the drive yet.
  ASSERT_TRUE(process.Boxes().WaitForCount(1, kRunTimeoutMs));
  SeenBox prompt = process.Boxes().Boxes()[0];
  EXPECT_EQ(prompt.text, "ＣＤ－ＲＯＭドライブに「テストゲーム」ディスク 1 を入れて下さい");
  EXPECT_EQ(prompt.title, kCaption);
  EXPECT_EQ(prompt.owner, wizard);
  EXPECT_EQ(prompt.icon, 0);
  EXPECT_EQ(prompt.buttons, (std::vector<int>{IDOK, IDCANCEL}));
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\patch.dat"), "patched");
  Put("disc1.chk", "");
  process.Boxes().Hold(false);

  ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).text == "完了"; },
                        kRunTimeoutMs));
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
  RunResult run = process.Wait();
  ExpectEnd(run, 1);
  EXPECT_EQ(run.boxes.size(), 1u);

  // The folder arrives under its own name; the file loses its read-only mark.
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\movie\\op.dat"), "opening");
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\movie\\ed.dat"), "ending");
  std::string wallpaper = s.InstallFolder() + "\\bonus\\壁紙.bmp";
  EXPECT_EQ(ReadBytes(wallpaper), "BM wallpaper");
  EXPECT_EQ(GetFileAttributesA(wallpaper.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

}  // namespace
