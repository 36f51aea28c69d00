// The launch sequence in-process, on a thread of its own: the installed
// SETUP.INI replacing the update's game values, the caption, the step aside
// for another updater's window, the running-game question, the template
// choice and the way the wizard's result becomes the exit code.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/updater_state_win32.h"
#include "driver/launch_sequence.h"
#include "harness/dialog_thread.h"
#include "harness/message_boxes.h"
#include "harness/test_env.h"
#include "resources/dialog_ids.h"
#include "wizard/update_dialog.h"

namespace {

// The installed game, as its SETUP.INI describes it. The update's UPDATE.INI
// named it differently; the installed values win.
const char kInstalledTitle[] = "星の庭";
const char kInstalledClass[] = "HoshiNoNiwaWindow";
const char kUpdateTitle[] = "星の庭 体験版";
const char kUpdateClass[] = "HoshiTrialWindow";

const char kRunningText[] =
    "」が実行中です。アップデートを続行する場合はゲームを終了してから [OK] "
    "を、アップデートを中止する場合は [キャンセル] を押して下さい";

std::string SetupIni(const std::string& gameClass) {
  return std::string("[SETUP]\r\n") + "CompanyName=ミナセソフト\r\nGameTitle=" + kInstalledTitle +
         "\r\nGameDir=HoshiNoNiwa\r\nGameExe=HOSHI.EXE\r\nUninstExe=UNINST.EXE\r\n"
         "SetupBmp=SETUP1.BMP\r\nInstallSelects=1\r\nInstallTitle0=標準\r\n"
         "InstallFiles0=HOSHI.EXE\r\nShortcuts=0\r\nGameClass=" + gameClass + "\r\n";
}

char* EntryBlock(const std::string& entry) {
  char* block = static_cast<char*>(GlobalAlloc(GPTR, entry.size() + 2));
  CopyMemory(block, entry.data(), entry.size());
  return block;
}

// A game's main window on a thread of its own that keeps its messages
// flowing, as the running game's would. Created hidden, so that bringing it
// forward shows.
class GameWindow {
 public:
  GameWindow(const char* className, const char* title)
      : thread_([this, className, title] {
          WNDCLASSA windowClass = {};
          windowClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_DESTROY) PostQuitMessage(0);
            return DefWindowProcA(w, m, wp, lp);
          };
          windowClass.hInstance = GetModuleHandleA(nullptr);
          windowClass.lpszClassName = className;
          RegisterClassA(&windowClass);
          window_ = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                                    nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
          created_ = true;
          MSG message;
          while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        }) {
    WaitFor([this] { return created_.load(); });
  }
  ~GameWindow() { Close(); }
  void Close() {
    if (!thread_.joinable()) return;
    PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }

 private:
  std::atomic<HWND> window_{nullptr};
  std::atomic<bool> created_{false};
  std::thread thread_;
};

class LaunchSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUpdaterState();
    // As the start-up sequence leaves the state: the update's own names of
    // the game, the install record and this process's UPDATE.INI.
    lstrcpyA(State.CompanyName, "ミナセソフト");
    lstrcpyA(State.GameTitle, kUpdateTitle);
    lstrcpyA(State.GameClass, kUpdateClass);
    lstrcpyA(State.GameDir, "HoshiNoNiwa");
    lstrcpyA(State.UpdaterVersion, "1.02");
    lstrcpyA(State.InstPath, scratch.path().c_str());
    State.InstMode = 1;
    State.KeysOptional = 1;
    lstrcpyA(State.SetupIniPath, scratch.file("SETUP.INI").c_str());
    lstrcpyA(State.UpdateIniPath, scratch.file("UPDATE.INI").c_str());
    ASSERT_TRUE(WriteBytes(State.SetupIniPath, SetupIni(kInstalledClass)));
    ASSERT_TRUE(WriteBytes(State.UpdateIniPath,
                           "[UPDATE]\r\nOverwriteOnly=1\r\nUpdateFile00=absent.dat\r\n"));
  }
  void TearDown() override {
    if (State.AgreementBuffer) GlobalFree(State.AgreementBuffer);
    ResetUpdaterState();
  }

  static std::function<INT_PTR()> Launch(HINSTANCE instance = GetModuleHandleA(nullptr)) {
    return [instance] { return static_cast<INT_PTR>(RunLaunchSequence(instance)); };
  }

  ScratchDir scratch;
};

void ExpectInterruptedBox(const SeenBox& box, const std::string& caption) {
  EXPECT_EQ(box.text, kInterruptedMessage);
  EXPECT_EQ(box.title, caption);
  EXPECT_EQ(box.icon, MB_ICONERROR);
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(box.owner, nullptr);
}

void ExpectRunningGameBox(const SeenBox& box, const std::string& title,
                          const std::string& caption) {
  EXPECT_EQ(box.text, "「" + title + kRunningText);
  EXPECT_EQ(box.title, caption);
  EXPECT_EQ(box.icon, 0);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDOK, IDCANCEL}));
  EXPECT_EQ(box.owner, nullptr);
}

// The caption: the installed title and the version, or UpdaterTitle whole.
struct CaptionCase {
  const char* name;
  const char* updaterTitle;
  const char* version;
  std::string caption;
};

class Caption : public LaunchSequence, public ::testing::WithParamInterface<CaptionCase> {};

TEST_P(Caption, TitlesTheWizardAndTheInterruptedBox) {
  const CaptionCase& c = GetParam();
  lstrcpyA(State.UpdaterTitle, c.updaterTitle);
  lstrcpyA(State.UpdaterVersion, c.version);
  MessageBoxWatcher boxes;
  DialogThread launch(Launch());
  HWND dialog = launch.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(launch.firstTitle(), c.caption);
  EXPECT_EQ(State.Caption, c.caption);
  EXPECT_EQ(ControlText(dialog, IDC_INFO),
            std::string("「") + kInstalledTitle + "」のアップデートを開始します");

  ASSERT_TRUE(Click(dialog, IDC_STOP));
  ASSERT_TRUE(launch.WaitForEnd());
  EXPECT_EQ(launch.result(), 0);
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  ExpectInterruptedBox(seen[0], c.caption);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Caption,
    ::testing::Values(
        CaptionCase{"TitleAndVersion", "", "1.02", "星の庭 アップデータ 1.02"},
        CaptionCase{"EmptyVersionKeepsTheSpace", "", "", "星の庭 アップデータ "},
        CaptionCase{"UpdaterTitleWhole", "星の庭 %s %d 100% 修正", "1.02",
                    "星の庭 %s %d 100% 修正"}),
    [](const ::testing::TestParamInfo<CaptionCase>& info) { return std::string(info.param.name); });

TEST_F(LaunchSequence, FinishedUpdateGivesExitCodeOne) {
  MessageBoxWatcher boxes;
  DialogThread launch(Launch());
  HWND dialog = launch.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(GetDlgItem(dialog, IDC_AGREEMENT_TEXT), nullptr) << "template 100 without agreement";
  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(WaitFor([] { return State.WizardStep == 1; }));
  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(WaitFor([&] { return ControlText(dialog, IDC_NEXT) == "完了"; }));
  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(launch.WaitForEnd());
  EXPECT_EQ(launch.result(), 1);
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(LaunchSequence, AnyAgreementChoosesTheAgreementTemplate) {
  State.AgreementBuffer = EntryBlock("");
  MessageBoxWatcher boxes;
  DialogThread launch(Launch());
  HWND dialog = launch.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(GetDlgItem(dialog, IDC_AGREEMENT_TEXT), nullptr);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_NEXT)));
}

TEST_F(LaunchSequence, FailedDialogIsReportedAsInterrupted) {
  // A module without the templates: the dialog cannot be created.
  MessageBoxWatcher boxes;
  DialogThread launch(Launch(GetModuleHandleA("kernel32.dll")));
  ASSERT_TRUE(launch.WaitForEnd());
  EXPECT_EQ(launch.result(), 0);
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  ExpectInterruptedBox(seen[0], "星の庭 アップデータ 1.02");
}

TEST_F(LaunchSequence, BrokenSetupIniEndsBeforeAnyWindow) {
  ASSERT_TRUE(WriteBytes(State.SetupIniPath, "[SETUP]\r\nCompanyName=ミナセソフト\r\n"));
  MessageBoxWatcher boxes;
  DialogThread launch(Launch());
  ASSERT_TRUE(launch.WaitForEnd());
  EXPECT_EQ(launch.result(), 0);
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, "VARDELIX");
  EXPECT_EQ(seen[0].text, "SETUP.INI : GameTitle キーが存在しません");
}

TEST_F(LaunchSequence, AnotherUpdaterWindowComesForwardAndThisOneEndsSilently) {
  // The other updater's wizard, titled with the same caption and hidden by
  // its own thread before anyone can see it. A modal wizard would not do: its
  // dialog loop shows the window once its queue first runs empty, which can
  // come after a hide from here, and then the window stays visible.
  lstrcpyA(State.Caption, "星の庭 アップデータ 1.02");
  std::atomic<HWND> otherDialog{nullptr};
  DialogThread other([&]() -> INT_PTR {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_UPDATE),
                                     nullptr, UpdateDlgProc, 0);
    if (!dialog) return -1;
    ShowWindow(dialog, SW_HIDE);
    otherDialog = dialog;
    // Until the window, once brought forward, is ended ("中止" at clean-up).
    bool shown = false;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      if (!IsDialogMessageA(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      if (IsWindowVisible(dialog)) shown = true;
      else if (shown) break;
    }
    DestroyWindow(dialog);
    return 0;
  });
  ASSERT_TRUE(WaitFor([&] { return otherDialog.load() != nullptr; }));
  ASSERT_FALSE(IsWindowVisible(otherDialog));
  lstrcpyA(State.Caption, "UPDATE");

  MessageBoxWatcher boxes;
  DialogThread launch(Launch());
  ASSERT_TRUE(launch.WaitForEnd());
  EXPECT_EQ(launch.result(), 0);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(otherDialog) != FALSE; }));
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == otherDialog; }));
}

TEST_F(LaunchSequence, RunningGameIsAskedAboutUntilCancelBringsItForward) {
  GameWindow game(kInstalledClass, kInstalledTitle);
  MessageBoxWatcher boxes;
  boxes.Script({IDOK, IDOK, IDCANCEL});
  DialogThread launch(Launch());
  ASSERT_TRUE(launch.WaitForEnd());
  EXPECT_EQ(launch.result(), 0);
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 3u) << "OK while the game runs asks again; Cancel ends";
  for (const SeenBox& box : seen) ExpectRunningGameBox(box, kInstalledTitle, "星の庭 アップデータ 1.02");
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(game.window()) != FALSE; }));
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == game.window(); }));
}

TEST_F(LaunchSequence, ClosingTheGameLetsTheWizardOpen) {
  GameWindow game(kInstalledClass, kInstalledTitle);
  MessageBoxWatcher boxes;
  boxes.Hold(true);
  DialogThread launch(Launch());
  ASSERT_TRUE(boxes.WaitForCount(1));
  game.Close();
  boxes.Hold(false);
  HWND dialog = launch.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(boxes.Count(), 1u);
  ExpectRunningGameBox(boxes.Boxes()[0], kInstalledTitle, "星の庭 アップデータ 1.02");
}

TEST_F(LaunchSequence, SecondTitleIsAskedAboutAfterTheFirst) {
  lstrcpyA(State.GameTitleA, "星の庭 設定");
  GameWindow game(kInstalledClass, kInstalledTitle);
  GameWindow settings(kInstalledClass, "星の庭 設定");
  MessageBoxWatcher boxes;
  boxes.Hold(true);
  boxes.Script({IDOK, IDCANCEL});
  DialogThread launch(Launch());
  ASSERT_TRUE(boxes.WaitForCount(1));
  game.Close();
  boxes.Hold(false);
  ASSERT_TRUE(launch.WaitForEnd());
  EXPECT_EQ(launch.result(), 0);
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  ExpectRunningGameBox(seen[0], kInstalledTitle, "星の庭 アップデータ 1.02");
  ExpectRunningGameBox(seen[1], "星の庭 設定", "星の庭 アップデータ 1.02");
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(settings.window()) != FALSE; }));
}

TEST_F(LaunchSequence, OnlyTheSecondTitleRunning) {
  lstrcpyA(State.GameTitleA, "星の庭 設定");
  GameWindow settings(kInstalledClass, "星の庭 設定");
  MessageBoxWatcher boxes;
  boxes.Hold(true);
  DialogThread launch(Launch());
  ASSERT_TRUE(boxes.WaitForCount(1));
  settings.Close();
  boxes.Hold(false);
  ASSERT_NE(launch.WaitForDialog(), nullptr);
  auto seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  ExpectRunningGameBox(seen[0], "星の庭 設定", "星の庭 アップデータ 1.02");
}

TEST_F(LaunchSequence, GameIsFoundByTheInstalledClassOnly) {
  // A window of the class that UPDATE.INI named is not the installed game.
  GameWindow other(kUpdateClass, kInstalledTitle);
  MessageBoxWatcher boxes;
  DialogThread launch(Launch());
  ASSERT_NE(launch.WaitForDialog(), nullptr);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_STREQ(State.GameClass, kInstalledClass);
}

}  // namespace
