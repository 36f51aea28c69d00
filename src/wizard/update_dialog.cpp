#include "wizard/update_dialog.h"

#include "common/updater_state_win32.h"
#include "platform/set_info_text.h"
#include "resources/dialog_ids.h"
#include "wizard/run_update.h"

namespace {

// Whether the player can have pressed the button. The dialog manager sends
// the commands of "次へ" and "中止" for Enter, Escape and the close box
// whatever state the buttons are in (some systems check, some do not), and a
// stray command must not pass the agreement or report a completed update as
// stopped: a command for a disabled button is ignored.
bool Pressable(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button && IsWindowEnabled(button);
}

void ShowAgreementControls(HWND dialog, int show) {
  ShowWindow(GetDlgItem(dialog, IDC_AGREEMENT_TEXT), show);
  ShowWindow(GetDlgItem(dialog, IDC_AGREE), show);
  ShowWindow(GetDlgItem(dialog, IDC_DISAGREE), show);
}

// "次へ" and "戻る": one action at a time, whatever reaches the dialog while
// it runs.
void RunStepAction(HWND dialog, int id) {
  if (State.WizardBusy || !Pressable(dialog, id)) return;
  State.WizardBusy = 1;
  SetInfoText(dialog, "");
  if (id == IDC_BACK) State.WizardStep -= 2;
  switch (State.WizardStep) {
    case 0: ShowConfirmPage(dialog); break;
    case 1: RunUpdate(dialog); break;
    case 2: EndDialog(dialog, 0); break;
    default: break;
  }
  State.WizardStep += 1;
  State.WizardBusy -= 1;
}

}  // namespace

void EnableButton(HWND dialog, int id, BOOL enable) {
  EnableWindow(GetDlgItem(dialog, id), enable);
}

void SetInfoTextLiteral(HWND dialog, const char* text) {
  char shown[kLongTextSize];
  size_t n = 0;
  for (const char* p = text; *p;) {
    // A double-byte character is taken whole or not at all, so that a cut
    // text never ends in half a character. A percent sign is never the
    // second byte of one.
    size_t length = IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] ? 2 : 1;
    if (n + length > sizeof shown - 1) break;
    if (p[0] == '%' && p[1] == '%') ++p;
    for (size_t i = 0; i < length; ++i) shown[n++] = *p++;
  }
  shown[n] = '\0';
  SetDlgItemTextA(dialog, IDC_INFO, shown);
}

void ShowWelcomePage(HWND dialog) {
  State.OwnerWindow = dialog;
  State.WizardBusy = 0;
  State.WizardStep = 0;
  SetWindowTextA(dialog, State.Caption);

  if (State.WelcomeBuffer) {
    SetInfoTextLiteral(dialog, State.WelcomeBuffer);
  } else {
    char text[kLongTextSize];
    wsprintfA(text, "「%s」のアップデートを開始します", State.GameTitle);
    SetInfoTextLiteral(dialog, text);
  }
  EnableButton(dialog, IDC_BACK, FALSE);
  EnableButton(dialog, IDC_STOP, TRUE);

  if (State.AgreementBuffer) {
    EnableButton(dialog, IDC_NEXT, FALSE);
    SetDlgItemTextA(dialog, IDC_AGREEMENT_TEXT, State.AgreementBuffer);
    EnableButton(dialog, IDC_AGREEMENT_TEXT, TRUE);
    EnableButton(dialog, IDC_AGREE, TRUE);
    EnableButton(dialog, IDC_DISAGREE, TRUE);
    CheckRadioButton(dialog, IDC_AGREE, IDC_DISAGREE, IDC_DISAGREE);
    ShowAgreementControls(dialog, SW_SHOW);
  } else {
    EnableButton(dialog, IDC_NEXT, TRUE);
    ShowAgreementControls(dialog, SW_HIDE);
  }
}

void ShowConfirmPage(HWND dialog) {
  SetInfoText(dialog, "アップデートを実行します");
  EnableButton(dialog, IDC_BACK, FALSE);
  EnableButton(dialog, IDC_NEXT, TRUE);
  EnableButton(dialog, IDC_STOP, TRUE);
  ShowAgreementControls(dialog, SW_HIDE);
}

INT_PTR CALLBACK UpdateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_SETCURSOR:
      if (!State.WizardBusy) return FALSE;
      SetCursor(LoadCursorA(nullptr, IDC_WAIT));
      // The dialog manager answers the message with the value stored here,
      // not with the procedure's result. A child control under the mouse
      // asks its dialog first and sets its own arrow unless told that the
      // cursor has been set.
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_INITDIALOG:
      ShowWelcomePage(dialog);
      return FALSE;
    case WM_COMMAND:
      if (HIWORD(wParam) != 0) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_NEXT:
        case IDC_BACK:
          RunStepAction(dialog, LOWORD(wParam));
          break;
        case IDC_STOP:
          if (!State.WizardBusy && Pressable(dialog, IDC_STOP)) EndDialog(dialog, -1);
          break;
        case IDC_AGREE:
          EnableButton(dialog, IDC_NEXT, TRUE);
          CheckRadioButton(dialog, IDC_AGREE, IDC_DISAGREE, IDC_AGREE);
          break;
        case IDC_DISAGREE:
          EnableButton(dialog, IDC_NEXT, FALSE);
          CheckRadioButton(dialog, IDC_AGREE, IDC_DISAGREE, IDC_DISAGREE);
          break;
        default:
          break;
      }
      return FALSE;
    default:
      return FALSE;
  }
}
