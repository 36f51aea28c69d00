// The running game, played by a small program that opens a window of a given
// class and title: the updater asks the player to quit it, asks again after
// OK while it still runs, opens its wizard once it is closed, and on Cancel
// brings the game forward and ends with exit code 0. The window is looked
// for with the installed SETUP.INI's class, not the one UPDATE.INI names.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "scenario.h"
#include "wizard_window.h"

namespace {

const char kCaption[] = "テストゲーム アップデータ ";  // no version: the space stays
const char kRunning[] =
    "」が実行中です。アップデートを続行する場合はゲームを終了してから [OK] "
    "を、アップデートを中止する場合は [キャンセル] を押して下さい";

Box RunningBox(const std::string& title) { return {kCaption, "「" + title + kRunning, 0, {IDOK, IDCANCEL}}; }

// The stand-in game as a process of its own.
class Game {
 public:
  Game(const std::string& windowClass, const std::string& title, bool hidden = false)
      : class_(windowClass), title_(title) {
    std::string command = std::string("\"") + GAME_WINDOW_EXE + "\" \"" + windowClass + "\" \"" +
                          title + "\"" + (hidden ? " hidden" : "");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
      ADD_FAILURE() << "cannot start the game window program";
      return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    WaitUntil([this] { return (window_ = FindWindowA(class_.c_str(), title_.c_str())) != nullptr; });
    EXPECT_NE(window_, nullptr) << "the game window did not open";
  }
  ~Game() { Close(); }

  HWND window() const { return window_; }
  void Close() {
    if (!process_) return;
    PostMessageA(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
    CloseHandle(process_);
    process_ = nullptr;
  }

 private:
  std::string class_, title_;
  HANDLE process_ = nullptr;
  HWND window_ = nullptr;
};

class RunningGame : public ::testing::Test {
 protected:
  void SetUp() override {
    // UPDATE.INI names the game by its trial's class; the installed
    // SETUP.INI by its own, which is the one the game really uses.
    s.updateIni.Set("GameClass", "TrialGameWindow");
    s.setupIni.Set("GameClass", "InstalledGameWindow");
    s.LayOut();
  }
  Scenario s;
};

TEST_F(RunningGame, OkAsksAgainUntilTheGameIsClosedThenTheWizardOpens) {
  Game game("InstalledGameWindow", "テストゲーム");
  UpdaterProcess process(s.UpdaterPath());  // every question answered with OK
  ASSERT_TRUE(process.Boxes().WaitForCount(3, kRunTimeoutMs));
  EXPECT_EQ(FindWizard(process.pid(), kCaption), nullptr);
  game.Close();
  HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(ClickButton(wizard, IDC_STOP));
  RunResult run = process.Wait();
  ExpectEnd(run, 0);
  ASSERT_GE(run.boxes.size(), 4u);
  std::vector<Box> expected(run.boxes.size() - 1, RunningBox("テストゲーム"));
  expected.push_back({kCaption, kInterruptedMessage});
  ExpectBoxes(run, expected);
}

TEST_F(RunningGame, CancelBringsTheGameForwardAndEnds) {
  Game game("InstalledGameWindow", "テストゲーム", /*hidden=*/true);
  ASSERT_FALSE(IsWindowVisible(game.window()));
  RunResult run = UpdaterProcess(s.UpdaterPath(), {IDCANCEL}).Wait();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {RunningBox("テストゲーム")});
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(game.window()) != FALSE; }));
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == game.window(); }));
}

TEST_F(RunningGame, SecondTitleIsAskedAboutWithItsOwnName) {
  s.updateIni.Set("GameTitleA", "テストゲーム 設定");
  s.LayOut();
  Game settings("InstalledGameWindow", "テストゲーム 設定", /*hidden=*/true);
  RunResult run = UpdaterProcess(s.UpdaterPath(), {IDCANCEL}).Wait();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {RunningBox("テストゲーム 設定")});
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(settings.window()) != FALSE; }));
}

TEST_F(RunningGame, WindowOfTheUpdateIniClassIsNotTheGame) {
  Game trial("TrialGameWindow", "テストゲーム");
  UpdaterProcess process(s.UpdaterPath());
  HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
  ASSERT_NE(wizard, nullptr);
  EXPECT_EQ(process.Boxes().Count(), 0u);
  ASSERT_TRUE(ClickButton(wizard, IDC_STOP));
  RunResult run = process.Wait();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{kCaption, kInterruptedMessage}});
}

}  // namespace
