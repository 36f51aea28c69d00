// WriteFileWithTime: puts a whole file in place, or leaves the old one alone.
#ifndef PLATFORM_WRITE_FILE_H
#define PLATFORM_WRITE_FILE_H

#include <windows.h>

#include <cstdint>

// Makes the file at path hold exactly count bytes from bytes, with the
// attribute FILE_ATTRIBUTE_NORMAL and, when time is given, that time as its
// creation, last-access and last-write time. Returns 1 on success and 0 on
// failure; it shows no message.
//
// The bytes go first into a new temporary file in the same folder, which is
// moved over path only once every byte and the time are on disk. Whatever
// fails (no room, a locked or read-only destination, a folder that cannot be
// written), the temporary file is deleted and a file already at path stays
// as it was, byte for byte: an update that stops half-way never leaves a
// damaged game file behind.
int WriteFileWithTime(const char* path, const void* bytes, uint32_t count, const FILETIME* time);

#endif
