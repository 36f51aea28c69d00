// The notice of UPDATE.INI's UpdateMessage, as it is shown.
#ifndef DRIVER_UPDATE_MESSAGE_H
#define DRIVER_UPDATE_MESSAGE_H

#include <cstddef>

// Copies text into out (outSize bytes, at least 1) character by character in
// the ANSI code page, turning each single-byte backslash followed by the
// letter n into one carriage return (0x0D). A double-byte character is
// copied whole, so that a trail byte 0x5C (as in 表 or 能) is never taken for
// a backslash; a lone backslash and every other character stay as they are.
// The output is never longer than the input; should out still be too small,
// the text is cut at a character boundary. out always ends with a NUL.
void ConvertUpdateMessage(const char* text, char* out, size_t outSize);

#endif
