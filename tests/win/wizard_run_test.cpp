// The wizard around the update run: the page a finished run leaves, the
// commands and the cursor while a run is busy in a nested message loop, and
// the disk-space stop from which "戻る" leads back to the confirmation page
// and a second "次へ" runs the whole update again.
//
// Drive T: is a 1 MiB tmpfs (WINE_RUN_DRIVES, see cmake/wine-drives.sh), a
// real volume that runs full.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/updater_state_win32.h"
#include "harness/dialog_thread.h"
#include "harness/message_boxes.h"
#include "harness/test_env.h"
#include "resources/dialog_ids.h"

namespace {

class WizardRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUpdaterState();
    lstrcpyA(State.Caption, "テストゲーム アップデータ 2.0");
    lstrcpyA(State.GameTitle, "テストゲーム");
    lstrcpyA(State.UpdateIniPath, scratch.file("UPDATE.INI").c_str());
    lstrcpyA(State.InstPath, scratch.path().c_str());
    State.InstMode = 1;
    State.KeysOptional = 1;
  }
  void TearDown() override { ResetUpdaterState(); }

  void WriteUpdateIni(const std::string& updateSection) {
    ASSERT_TRUE(WriteBytes(State.UpdateIniPath, "[UPDATE]\r\n" + updateSection));
  }

  // Opens the wizard, passes the confirmation page and presses "次へ" there.
  HWND OpenAndRun(DialogThread& wizard) {
    HWND dialog = wizard.WaitForDialog();
    EXPECT_NE(dialog, nullptr);
    if (!dialog) return nullptr;
    EXPECT_TRUE(Click(dialog, IDC_NEXT));
    EXPECT_TRUE(WaitFor([] { return State.WizardStep == 1; }));
    EXPECT_TRUE(Click(dialog, IDC_NEXT));
    return dialog;
  }

  ScratchDir scratch;
};

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
std::string InfoText(HWND dialog) { return ControlText(dialog, IDC_INFO); }

// The cursor that a mouse move over the control would leave. The test's
// thread shares the dialog thread's input state for the question, since the
// cursor belongs to that state.
HCURSOR CursorOver(DialogThread& wizard, HWND control) {
  AttachThreadInput(GetCurrentThreadId(), wizard.threadId(), TRUE);
  SetCursor(nullptr);
  SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  HCURSOR cursor = GetCursor();
  AttachThreadInput(GetCurrentThreadId(), wizard.threadId(), FALSE);
  return cursor;
}

// A way the player might try to close the wizard or go on.
void PressEverything(HWND dialog) {
  PostCommand(dialog, IDC_NEXT);
  PostCommand(dialog, IDC_BACK);
  PostCommand(dialog, IDC_STOP);
  PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

TEST_F(WizardRun, FinishedRunLeavesOnlyTheFinishButton) {
  // The one item is held back (its target does not exist), so the run
  // completes without writing anything.
  WriteUpdateIni("OverwriteOnly=1\r\nUpdateFile00=absent.dat\r\n");
  MessageBoxWatcher boxes;
  DialogThread wizard(DialogThread::Wizard(IDD_UPDATE));
  HWND dialog = OpenAndRun(wizard);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(WaitFor([&] { return InfoText(dialog) == "アップデートは完了しました"; }));
  ASSERT_TRUE(WaitFor([] { return State.WizardStep == 2; }));

  EXPECT_EQ(ControlText(dialog, IDC_NEXT), "完了");
  EXPECT_TRUE(Enabled(dialog, IDC_NEXT));
  EXPECT_FALSE(Enabled(dialog, IDC_BACK));
  EXPECT_FALSE(Enabled(dialog, IDC_STOP));
  EXPECT_EQ(wizard.Focus(), GetDlgItem(dialog, IDC_NEXT));
  EXPECT_EQ(State.WizardBusy, 0);

  // Escape, the close box and stray commands of the disabled buttons do not
  // turn a completed update into a stopped one.
  PostCommand(dialog, IDC_BACK);
  PostCommand(dialog, IDC_STOP);
  PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(wizard.Settle());
  EXPECT_FALSE(wizard.ended());
  EXPECT_EQ(InfoText(dialog), "アップデートは完了しました");

  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(wizard.WaitForEnd());
  EXPECT_EQ(wizard.result(), 0);
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(WizardRun, BusyRunIgnoresEveryCommandAndShowsTheWaitCursor) {
  // The disc is in no drive, so the run waits in the disc prompt, a nested
  // message loop through which the wizard still receives messages.
  WriteUpdateIni("CopyFile00=1:movie\\op.dat\r\n");
  lstrcpyA(State.DiskCheckFile[1], "GAME1.CHK");
  MessageBoxWatcher boxes;
  boxes.Hold(true);
  DialogThread wizard(DialogThread::Wizard(IDD_UPDATE));
  HWND dialog = wizard.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  EXPECT_EQ(CursorOver(wizard, GetDlgItem(dialog, IDC_NEXT)), arrow);

  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(WaitFor([] { return State.WizardStep == 1; }));
  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(boxes.WaitForCount(1));
  auto prompt = boxes.Boxes()[0];
  EXPECT_EQ(prompt.text, "ＣＤ－ＲＯＭドライブに「テストゲーム」ディスク 1 を入れて下さい");
  EXPECT_EQ(prompt.owner, dialog);
  EXPECT_EQ(State.WizardBusy, 1);

  // The wait cursor stays over the dialog and over its controls.
  EXPECT_EQ(CursorOver(wizard, dialog), wait);
  EXPECT_EQ(CursorOver(wizard, GetDlgItem(dialog, IDC_STOP)), wait);

  // Even with the buttons usable again, nothing starts a second action or
  // ends the dialog under the run.
  for (int id : {IDC_NEXT, IDC_BACK, IDC_STOP}) EnableWindow(GetDlgItem(dialog, id), TRUE);
  PressEverything(dialog);
  ASSERT_TRUE(wizard.Settle());
  EXPECT_FALSE(wizard.ended());
  EXPECT_EQ(State.WizardStep, 1);
  EXPECT_EQ(boxes.Count(), 1u);

  boxes.Script({IDCANCEL});
  boxes.Hold(false);
  ASSERT_TRUE(wizard.WaitForEnd());
  EXPECT_EQ(wizard.result(), -1);
  EXPECT_EQ(boxes.Count(), 1u);
}

// Drive T: with a filler file that leaves less room than the update asks for.
class WizardDiskSpace : public WizardRun {
 protected:
  void SetUp() override {
    WizardRun::SetUp();
    ASSERT_NE(GetDriveTypeA("T:\\"), DRIVE_NO_ROOT_DIR)
        << "drive T: is missing: run this suite with WINE_RUN_DRIVES=t:tmpfs:1m, as root";
    RemoveTree("T:\\game");
    RemoveTree("T:\\data");
    DeleteFileA(kFiller);
    CreateDirectoryA("T:\\game", nullptr);
    CreateDirectoryA("T:\\data", nullptr);
    lstrcpyA(State.InstPath, "T:\\game");
    lstrcpyA(State.DataPath, "T:\\data");
    // A save file that a data item keeps, with an old time, so that a run
    // shows itself by giving it a new one.
    ASSERT_TRUE(WriteBytes(kSave, "セーブ"));
    HANDLE file = CreateFileA(kSave, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SYSTEMTIME old = {2001, 4, 0, 1, 12, 0, 0, 0};
    SystemTimeToFileTime(&old, &oldTime);
    SetFileTime(file, nullptr, nullptr, &oldTime);
    CloseHandle(file);
    ASSERT_TRUE(WriteBytes(kFiller, std::string(600 * 1024, 'f')));
    WriteUpdateIni("RequiredDiskSpace=500000\r\nUpdateFile00=d,save.dat\r\n");
  }
  void TearDown() override {
    RemoveTree("T:\\game");
    RemoveTree("T:\\data");
    DeleteFileA(kFiller);
    WizardRun::TearDown();
  }

  FILETIME SaveTime() {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(kSave, GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
  }
  bool SaveTouched() {
    FILETIME now = SaveTime();
    return CompareFileTime(&oldTime, &now) != 0;
  }

  // The stop page: the shortfall, with only "戻る" and "中止" usable.
  void ExpectSpaceStop(HWND dialog) {
    ULARGE_INTEGER free = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA("T:\\", &free, nullptr, nullptr));
    ASSERT_LT(free.QuadPart, 500000u);
    EXPECT_EQ(InfoText(dialog), "ディスク容量が足りません。\rT: ドライブに " +
                                    std::to_string(500000 - free.QuadPart) +
                                    " バイトの空き容量が必要です");
    EXPECT_TRUE(Enabled(dialog, IDC_BACK));
    EXPECT_FALSE(Enabled(dialog, IDC_NEXT));
    EXPECT_TRUE(Enabled(dialog, IDC_STOP));
    EXPECT_EQ(State.WizardStep, 2);
    EXPECT_EQ(State.WizardBusy, 0);
    EXPECT_FALSE(SaveTouched()) << "nothing is written when the space is short";
  }

  static constexpr const char* kFiller = "T:\\filler.bin";
  static constexpr const char* kSave = "T:\\data\\save.dat";
  FILETIME oldTime = {};
};

TEST_F(WizardDiskSpace, BackLeadsToTheConfirmationAndNextRunsTheWholeUpdateAgain) {
  MessageBoxWatcher boxes;
  DialogThread wizard(DialogThread::Wizard(IDD_UPDATE));
  HWND dialog = OpenAndRun(wizard);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(WaitFor([&] { return State.WizardStep == 2; }));
  ExpectSpaceStop(dialog);

  ASSERT_TRUE(Click(dialog, IDC_BACK));
  ASSERT_TRUE(WaitFor([] { return State.WizardStep == 1; }));
  EXPECT_EQ(InfoText(dialog), "アップデートを実行します");
  EXPECT_TRUE(Enabled(dialog, IDC_NEXT));
  EXPECT_FALSE(Enabled(dialog, IDC_BACK));
  EXPECT_TRUE(Enabled(dialog, IDC_STOP));

  // Still short: the same stop again.
  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(WaitFor([] { return State.WizardStep == 2; }));
  ExpectSpaceStop(dialog);
  ASSERT_TRUE(Click(dialog, IDC_BACK));
  ASSERT_TRUE(WaitFor([] { return State.WizardStep == 1; }));

  // The player frees room; the next run does the whole update.
  ASSERT_TRUE(DeleteFileA(kFiller));
  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(WaitFor([&] { return InfoText(dialog) == "アップデートは完了しました"; }));
  EXPECT_TRUE(SaveTouched());
  EXPECT_EQ(ReadBytes(kSave), "セーブ");
  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(wizard.WaitForEnd());
  EXPECT_EQ(wizard.result(), 0);
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(WizardDiskSpace, StopAfterTheShortfallEndsWithMinusOne) {
  DialogThread wizard(DialogThread::Wizard(IDD_UPDATE));
  HWND dialog = OpenAndRun(wizard);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(WaitFor([] { return State.WizardStep == 2; }));
  ExpectSpaceStop(dialog);
  PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(wizard.WaitForEnd());
  EXPECT_EQ(wizard.result(), -1);
}

}  // namespace
