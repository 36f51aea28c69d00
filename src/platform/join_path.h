// JoinPath: appends a file or folder name to a path in the path's own buffer.
#ifndef PLATFORM_JOIN_PATH_H
#define PLATFORM_JOIN_PATH_H

#include <cstddef>

// Appends name to path, which lives in a buffer of pathSize bytes. A backslash
// goes between the two unless path is empty or its last character is a
// single-byte backslash or slash. The last character is found by stepping
// through path character by character in the ANSI code page: in code page 932
// the second byte of some double-byte characters (表, ソ, 能, 十) is 0x5C, and
// such a byte ends a character, not a folder name.
//
// The result ends with two NUL bytes, so that it can also serve as a one-item
// path list for the shell's file operation.
//
// Returns 1 on success. Returns 0, with path unchanged, when the result and
// both NULs would not fit into pathSize bytes: a cut path would name another
// file, so the caller must treat this as a failed write or read.
int JoinPath(char* path, size_t pathSize, const char* name);

// The same for the 260-byte path buffers that the updater uses everywhere.
int JoinPath(char* path, const char* name);

#endif
