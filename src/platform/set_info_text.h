// SetInfoText: the text of the wizard's Info field.
#ifndef PLATFORM_SET_INFO_TEXT_H
#define PLATFORM_SET_INFO_TEXT_H

#include <windows.h>

// Formats the arguments by the wvsprintfA rules and makes the result the whole
// text of the Info field of dialog, replacing what it showed. The text is
// formatted into a 1,024-byte buffer: at most 1,023 bytes are shown and
// longer output is cut there, so no argument can write past the buffer.
//
// The format passes through the formatting rules even when no arguments
// follow: "%%" shows as one percent sign, and a text with any other
// conversion must come with its arguments.
void SetInfoText(HWND dialog, const char* format, ...);

#endif
