// Recognises the system icon that a message box of another process shows.
// An icon handle is valid only in the process that loaded it, so the icon of
// another process's box cannot be compared by handle; its pixels on the
// screen are compared with the system icons instead.
#ifndef HARNESS_SCREEN_ICON_H
#define HARNESS_SCREEN_ICON_H

#include <windows.h>

// Returns MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION or MB_ICONQUESTION
// when the icon control shows that system icon on the screen: every opaque
// pixel of the icon is there with its exact colour. Returns -1 when none
// matches within timeoutMs (the box may not be painted yet, so it looks
// again until then).
int RecogniseIconOnScreen(HWND iconControl, DWORD timeoutMs = 2000);

#endif
