#include "platform/set_info_text.h"

#include <cstdarg>

#include "common/updater_state_win32.h"
#include "resources/dialog_ids.h"

void SetInfoText(HWND dialog, const char* format, ...) {
  // wvsprintfA never writes more than 1,024 bytes, terminator included, which
  // is exactly this buffer.
  char text[kLongTextSize];
  va_list arguments;
  va_start(arguments, format);
  wvsprintfA(text, format, arguments);
  va_end(arguments);
  text[sizeof text - 1] = '\0';
  SetDlgItemTextA(dialog, IDC_INFO, text);
}
