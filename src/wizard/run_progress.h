// What the wizard shows while the run's workers write the staged files: a
// progress bar of the bytes written against the bytes to write, on the run's
// page below the Info text, and the same progress on the taskbar button where
// the system has one; and the messages that the dialog's thread answers
// meanwhile, so that the window repaints and answers as it always does.
#ifndef WIZARD_RUN_PROGRESS_H
#define WIZARD_RUN_PROGRESS_H

#include <windows.h>

#include <cstdint>

// The bar's range: 0 to this many steps, whatever the update's size.
constexpr int kRunProgressSteps = 10000;

// Shows the bar at 0 (made the first time, from the Info control's place, as
// the dialog templates have none) and the taskbar button's progress. dialog
// may be null: then nothing is shown.
void BeginRunProgress(HWND dialog);
// Moves both to done of total bytes.
void ShowRunProgress(HWND dialog, uint64_t done, uint64_t total);
// Takes the progress off the taskbar button; the bar stays as it is.
void EndRunProgress(HWND dialog);

// Dispatches the messages waiting for this thread, through the dialog's
// keyboard handling as its modal loop does. The buttons are disabled and
// WizardBusy is set, so that nothing dispatched here can start or end the
// run. A WM_QUIT taken from the queue sets *quit and *quitCode: the caller
// posts it again once it is back on its way to the modal loop.
void AnswerDialogMessages(HWND dialog, int* quit, WPARAM* quitCode);

#endif
