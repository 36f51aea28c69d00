#include "platform/update_error.h"

#include <windows.h>

#include "common/updater_state_win32.h"
#include "platform/run_log_win32.h"

int ShowUpdateError(const char* text) {
  LogBox(State.Caption, text);
  return MessageBoxA(State.OwnerWindow, text, State.Caption, MB_ICONERROR);
}

void ShowRestoreError(const char* path) {
  LogRestoreFailure(path);
  char text[kLongTextSize];
  wsprintfA(text, "ファイル \"%s\" を元に戻せませんでした", path);
  ShowUpdateError(text);
}
