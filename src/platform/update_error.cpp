#include "platform/update_error.h"

#include <windows.h>

#include "common/updater_state_win32.h"

int ShowUpdateError(const char* text) {
  return MessageBoxA(State.OwnerWindow, text, State.Caption, MB_ICONERROR);
}

void ShowRestoreError(const char* path) {
  char text[kLongTextSize];
  wsprintfA(text, "ファイル \"%s\" を元に戻せませんでした", path);
  ShowUpdateError(text);
}
