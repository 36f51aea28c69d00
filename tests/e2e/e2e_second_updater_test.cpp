// A second updater for the same game, started while the first shows its
// wizard: the first comes forward, the second ends at once with exit code 0
// and shows nothing, and the first then completes normally, its own copy of
// UPDATE.INI untouched by the second's clean-up.
#include <gtest/gtest.h>
#include <windows.h>

#include "scenario.h"
#include "wizard_window.h"

namespace {

const char kCaption[] = "テストゲーム アップデータ 2.0";

// A window of this process that holds the foreground, so that the first
// updater's wizard has to be brought forward.
HWND ForegroundDecoy() {
  HWND decoy = CreateWindowExA(0, "STATIC", "decoy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                               100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(decoy);
  return decoy;
}

TEST(SecondUpdater, BringsTheFirstForwardAndEndsSilently) {
  Scenario s;
  s.updateIni.Set("UpdaterVersion", "2.0");
  s.updateIniMore = "[UPDATE]\r\nUpdateFile00=patch.dat\r\n";
  s.files = {{"patch.dat", "patched"}};
  s.LayOut();

  UpdaterProcess first(s.UpdaterPath());
  HWND wizard = WaitForWizard(first.pid(), kCaption, kRunTimeoutMs);
  ASSERT_NE(wizard, nullptr);
  HWND decoy = ForegroundDecoy();
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == decoy; }));

  UpdaterProcess second(s.UpdaterPath());
  RunResult secondRun = second.Wait();
  ExpectEnd(secondRun, 0);
  EXPECT_TRUE(secondRun.boxes.empty());
  EXPECT_TRUE(secondRun.windows.empty()) << "the second updater showed a window";
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == wizard; }))
      << "the first updater's wizard was not brought forward";
  DestroyWindow(decoy);

  // The first goes on as if nothing had happened.
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
  ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == "アップデートを実行します"; }));
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
  ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).text == "完了"; },
                        kRunTimeoutMs));
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
  RunResult firstRun = first.Wait();
  ExpectEnd(firstRun, 1);
  EXPECT_TRUE(firstRun.boxes.empty());
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\patch.dat"), "patched");
}

}  // namespace
