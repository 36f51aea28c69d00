// A game installed on a small drive that is too full for the update: drive
// T:, a 1 MiB tmpfs (WINE_RUN_DRIVES=t:tmpfs:1m). The run stops with the
// shortfall and writes nothing; "戻る" leads back to the confirmation page;
// the player frees room and a second "次へ" runs the whole update.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "scenario.h"
#include "wizard_window.h"

namespace {

const char kCaption[] = "テストゲーム アップデータ 4.0";
const char kFiller[] = "T:\\other-program.bin";

TEST(DiskSpace, StopBackFreeRoomAndRunAgain) {
  ASSERT_NE(GetDriveTypeA("T:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR))
      << "drive T: is missing: the suite needs WINE_RUN_DRIVES=t:tmpfs:1m, as root";
  RemoveTree("T:\\Game");
  DeleteFileA(kFiller);

  Scenario s;
  s.updateIni.Set("UpdaterVersion", "4.0");
  s.updateIniMore = "[UPDATE]\r\nRequiredDiskSpace=400000\r\nUpdateFile00=voice.pak\r\n";
  s.files = {{"voice.pak", std::string(300000, 'v'), 0x01D9500000000000ull, /*store=*/true}};
  s.LayOut();
  // The game lives on T:, where the installer put it.
  ASSERT_TRUE(CreateDirectoryA("T:\\Game", nullptr));
  ASSERT_TRUE(CopyFileA((s.InstallFolder() + "\\SETUP.INI").c_str(), "T:\\Game\\SETUP.INI", FALSE));
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, s.RegistryKey().c_str(), 0, KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  RegSetValueExA(key, "InstPath", 0, REG_SZ, reinterpret_cast<const BYTE*>("T:\\Game"), 8);
  RegCloseKey(key);
  ASSERT_TRUE(WriteBytes(kFiller, std::string(700 * 1024, 'f')));
  ULARGE_INTEGER free = {};
  ASSERT_TRUE(GetDiskFreeSpaceExA("T:\\", &free, nullptr, nullptr));
  ASSERT_LT(free.QuadPart, 400000u);

  UpdaterProcess process(s.UpdaterPath());
  HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
  ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == "アップデートを実行します"; }));
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));

  std::string shortfall = "ディスク容量が足りません。\rT: ドライブに " +
                          std::to_string(400000 - free.QuadPart) + " バイトの空き容量が必要です";
  ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == shortfall; }))
      << ReadControl(wizard, IDC_INFO).text;
  WizardView stopped = ReadWizard(wizard);
  EXPECT_TRUE(stopped[IDC_BACK].enabled);
  EXPECT_FALSE(stopped[IDC_NEXT].enabled);
  EXPECT_TRUE(stopped[IDC_STOP].enabled);
  EXPECT_FALSE(FileExists("T:\\Game\\voice.pak"));

  ASSERT_TRUE(ClickButton(wizard, IDC_BACK));
  ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == "アップデートを実行します"; }));
  WizardView confirm = ReadWizard(wizard);
  EXPECT_TRUE(confirm[IDC_NEXT].enabled);
  EXPECT_FALSE(confirm[IDC_BACK].enabled);

  ASSERT_TRUE(DeleteFileA(kFiller));
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
  ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).text == "完了"; },
                        kRunTimeoutMs));
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
  RunResult run = process.Wait();
  ExpectEnd(run, 1);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(ReadBytes("T:\\Game\\voice.pak"), std::string(300000, 'v'));
  RemoveTree("T:\\Game");
}

}  // namespace
