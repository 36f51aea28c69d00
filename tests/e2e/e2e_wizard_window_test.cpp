// The wizard helpers of the end-to-end driver, tried on a dialog window of
// this process that has the wizard's controls: finding it by caption,
// reading its controls, pressing its buttons.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "wizard_window.h"

namespace {

std::vector<int> commands;  // ids the dialog received, on the dialog's thread
std::atomic<int> commandCount{0};

INT_PTR CALLBACK RecordCommands(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    commands.push_back(LOWORD(wParam));
    commandCount++;
    return TRUE;
  }
  return FALSE;
}

// A window of the system dialog class with the wizard's controls, run on a
// thread of its own like another program's window.
class FakeWizard {
 public:
  explicit FakeWizard(const char* caption) {
    thread_ = std::thread([this, caption] {
      HINSTANCE instance = GetModuleHandleA(nullptr);
      dialog_ = CreateWindowExA(0, "#32770", caption, WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10,
                                400, 300, nullptr, nullptr, instance, nullptr);
      SetWindowLongPtrA(dialog_, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(RecordCommands));
      auto child = [&](const char* cls, const char* text, DWORD style, int id, int y) {
        return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 200, 20, dialog_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
      };
      child("Button", "次へ", BS_PUSHBUTTON, IDC_NEXT, 10);
      child("Button", "中止", BS_PUSHBUTTON, IDC_STOP, 35);
      EnableWindow(child("Button", "戻る", BS_PUSHBUTTON, IDC_BACK, 60), FALSE);
      child("Static", "「テスト」のアップデートを開始します", SS_LEFT, IDC_INFO, 85);
      child("Edit", "同意書の本文", ES_MULTILINE, IDC_AGREEMENT_TEXT, 110);
      HWND agree = child("Button", "同意する", BS_RADIOBUTTON, IDC_AGREE, 135);
      child("Button", "同意しない", BS_RADIOBUTTON, IDC_DISAGREE, 160);
      SendMessageA(agree, BM_SETCHECK, BST_CHECKED, 0);
      threadId_ = GetCurrentThreadId();
      ready_ = true;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(dialog_, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
      }
      DestroyWindow(dialog_);
    });
    WaitUntil([this] { return ready_.load(); });
  }
  ~FakeWizard() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND window() const { return dialog_; }

 private:
  std::thread thread_;
  std::atomic<bool> ready_{false};
  HWND dialog_ = nullptr;
  DWORD threadId_ = 0;
};

TEST(WizardWindow, IsFoundByCaptionAndReadControlByControl) {
  FakeWizard wizard("テスト アップデータ 1.0");
  EXPECT_EQ(FindWizard(GetCurrentProcessId(), "テスト アップデータ"), nullptr);
  EXPECT_EQ(FindWizard(GetCurrentProcessId() + 4, "テスト アップデータ 1.0"), nullptr);
  HWND found = WaitForWizard(GetCurrentProcessId(), "テスト アップデータ 1.0", 2000);
  ASSERT_EQ(found, wizard.window());

  WizardView view = ReadWizard(found);
  EXPECT_EQ(view.title, "テスト アップデータ 1.0");
  EXPECT_EQ(view[IDC_NEXT].text, "次へ");
  EXPECT_TRUE(view[IDC_NEXT].enabled);
  EXPECT_FALSE(view[IDC_BACK].enabled);
  EXPECT_EQ(view[IDC_INFO].text, "「テスト」のアップデートを開始します");
  EXPECT_EQ(view[IDC_AGREEMENT_TEXT].text, "同意書の本文");
  EXPECT_TRUE(view[IDC_AGREE].checked);
  EXPECT_FALSE(view[IDC_DISAGREE].checked);
  EXPECT_TRUE(view[IDC_DISAGREE].exists);
}

TEST(WizardWindow, ClicksReachTheDialogOnlyThroughUsableButtons) {
  FakeWizard wizard("クリック");
  HWND dialog = wizard.window();
  commands.clear();
  commandCount = 0;
  EXPECT_TRUE(ClickButton(dialog, IDC_NEXT));
  ASSERT_TRUE(WaitUntil([] { return commandCount == 1; }, 2000));
  EXPECT_FALSE(ClickButton(dialog, IDC_BACK));  // disabled
  EXPECT_FALSE(ClickButton(dialog, 4242));      // missing
  PostCommand(dialog, IDC_BACK);                // bypasses the disabled state
  ASSERT_TRUE(WaitUntil([] { return commandCount == 2; }, 2000));
  EXPECT_EQ(commands, (std::vector<int>{IDC_NEXT, IDC_BACK}));
}

TEST(WizardWindow, WaitUntilReportsATimeout) {
  ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(WaitUntil([] { return false; }, 50));
  EXPECT_GE(GetTickCount64() - start, 50u);
  EXPECT_TRUE(WaitUntil([] { return true; }, 0));
}

}  // namespace
