#include "driver/launch_sequence.h"

#include "common/updater_contract.h"
#include "common/updater_state_win32.h"
#include "config/setup_description_win32.h"
#include "platform/run_log_win32.h"
#include "platform/update_error.h"
#include "platform/update_journal.h"
#include "resources/dialog_ids.h"
#include "wizard/update_dialog.h"

namespace {

// The atom of the system dialog class: every updater's wizard and message
// boxes are windows of this class.
constexpr ATOM kDialogClassAtom = 0x8002;

void ComposeCaption() {
  if (State.UpdaterTitle[0]) {
    wsprintfA(State.Caption, "%s", State.UpdaterTitle);
  } else {
    wsprintfA(State.Caption, "%s アップデータ %s", State.GameTitle, State.UpdaterVersion);
  }
}

void BringForward(HWND window) {
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
}

// Asks the player to quit the game while a window of its class with this
// title exists. Returns 1 when the window is gone, 0 when the player chose to
// stop; the game's window then comes to the front.
int WaitForGameToClose(const char* title) {
  for (;;) {
    HWND game = FindWindowA(State.GameClass, title);
    if (!game) return 1;
    char text[kLongTextSize];
    wsprintfA(text,
              "「%s」が実行中です。アップデートを続行する場合はゲームを終了してから [OK] "
              "を、アップデートを中止する場合は [キャンセル] を押して下さい",
              title);
    LogBox(State.Caption, text);
    if (MessageBoxA(nullptr, text, State.Caption, MB_OKCANCEL) != IDOK) {
      BringForward(game);
      return 0;
    }
  }
}

}  // namespace

int RunLaunchSequence(HINSTANCE instance) {
  if (!LoadSetupDescription()) return 0;
  ComposeCaption();
  LogLine("installed game: \"%s\", window class %s; caption \"%s\"", State.GameTitle,
          State.GameClass, State.Caption);

  HWND other = FindWindowA(MAKEINTATOM(kDialogClassAtom), State.Caption);
  if (other) {
    LogLine("another updater of this game has its wizard open: it comes to the front instead");
    BringForward(other);
    return 0;
  }

  if (!WaitForGameToClose(State.GameTitle)) return 0;
  if (State.GameTitleA[0] && !WaitForGameToClose(State.GameTitleA)) return 0;

  int templateId = State.AgreementBuffer ? IDD_UPDATE_AGREEMENT : IDD_UPDATE;
  INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), nullptr, UpdateDlgProc, 0);
  // A complete run may still be deleting the old files.
  WaitForJournalFinished();
  LogLine(result == 0 ? "wizard: ended with 完了" : "wizard: ended before the update was complete");
  if (result == 0) return 1;

  // The wizard is closed by now; a box owned by the closed dialog could be
  // lost behind other windows, so this one has no owner.
  State.OwnerWindow = nullptr;
  ShowUpdateError(kInterruptedMessage);
  return 0;
}
