#include "wizard/run_progress.h"

#include <commctrl.h>
#include <shobjidl.h>

#include "resources/dialog_ids.h"

namespace {

// The taskbar button's progress, for one run; null where the system has no
// taskbar that shows progress (before Windows 7, or without a shell).
ITaskbarList3* taskbar = nullptr;
// The position shown last, so that the bar and the taskbar, which another
// process draws, are told only of a change.
int shownPosition = -1;

// Below the Info control, as wide as it, with a gap and a height in dialog
// units so that it scales with the dialog's font and DPI.
void PlaceBar(HWND dialog, HWND bar) {
  HWND info = GetDlgItem(dialog, IDC_INFO);
  RECT infoRect;
  if (!info || !GetWindowRect(info, &infoRect)) return;
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&infoRect), 2);
  RECT units = {0, 0, 4, 10};  // gap and height
  MapDialogRect(dialog, &units);
  SetWindowPos(bar, nullptr, infoRect.left, infoRect.bottom + units.right,
               infoRect.right - infoRect.left, units.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void BeginRunProgress(HWND dialog) {
  if (!dialog) return;
  HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
  if (!bar) {
    bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 0, 0, dialog,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS)),
                          reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)),
                          nullptr);
    if (bar) PlaceBar(dialog, bar);
  }
  if (bar) {
    SendMessageA(bar, PBM_SETRANGE32, 0, kRunProgressSteps);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    ShowWindow(bar, SW_SHOWNA);
  }
  shownPosition = 0;
  if (!taskbar &&
      // __uuidof gives the two GUIDs as constants of this file; their names
      // in the uuid library would link all of its thousands of GUIDs.
      SUCCEEDED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_INPROC_SERVER,
                                 __uuidof(ITaskbarList3), reinterpret_cast<void**>(&taskbar)))) {
    if (FAILED(taskbar->HrInit())) {
      taskbar->Release();
      taskbar = nullptr;
    }
  }
  if (taskbar) taskbar->SetProgressState(dialog, TBPF_NORMAL);
}

void ShowRunProgress(HWND dialog, uint64_t done, uint64_t total) {
  if (!dialog) return;
  if (done > total) done = total;
  const int position = total ? static_cast<int>(done * kRunProgressSteps / total) : kRunProgressSteps;
  if (position == shownPosition) return;
  shownPosition = position;
  HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
  if (bar) SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  if (taskbar) taskbar->SetProgressValue(dialog, static_cast<ULONGLONG>(position), kRunProgressSteps);
}

void EndRunProgress(HWND dialog) {
  if (!taskbar) return;
  if (dialog) taskbar->SetProgressState(dialog, TBPF_NOPROGRESS);
  taskbar->Release();
  taskbar = nullptr;
}

void AnswerDialogMessages(HWND dialog, int* quit, WPARAM* quitCode) {
  MSG message;
  while (!*quit && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      *quit = 1;
      *quitCode = message.wParam;
      break;
    }
    if (dialog && IsDialogMessageA(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
