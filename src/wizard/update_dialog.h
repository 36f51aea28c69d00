// The wizard: one modal dialog whose pages are drawn on the same controls.
// WizardStep is the action the next "次へ" performs (0: show the confirmation
// page, 1: run the update, 2: end the dialog with 0); WizardBusy is 1 while
// an action runs, so that commands arriving through the nested message loops
// of the run's message boxes and the shell's copy window do nothing.
#ifndef WIZARD_UPDATE_DIALOG_H
#define WIZARD_UPDATE_DIALOG_H

#include <windows.h>

// The dialog procedure for templates 100 and 101. The dialog ends with 0
// after a finished update and with -1 when it was stopped.
INT_PTR CALLBACK UpdateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void ShowWelcomePage(HWND dialog);
void ShowConfirmPage(HWND dialog);

// Enables or disables one of the wizard's controls (ids of
// resources/dialog_ids.h).
void EnableButton(HWND dialog, int id, BOOL enable);

// Shows a text that came from a file (or holds a game's title) on the Info
// control as it is: it is never used as a format, so a "%s" in it is shown,
// not expanded. The one rule that such texts rely on is kept: two percent
// signs in a row show as one. At most 1,023 bytes are shown.
void SetInfoTextLiteral(HWND dialog, const char* text);

#endif
