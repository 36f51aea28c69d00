// The parts of a path that several steps of the updater need alike: its
// drive, its folder, a free name beside it, and the packing of file times.
#ifndef PLATFORM_PATH_PARTS_H
#define PLATFORM_PATH_PARTS_H

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The drive of path as its first two bytes ("C:"), into drive (3 bytes), as
// the free-space checks name it; a shorter path gives what it has.
void DriveOfPath(const char* path, char* drive);

// Whether two paths lie on the same drive by their first two bytes, without
// regard to the case of the letter.
int SameDrive(const char* a, const char* b);

// Length of the folder part of path, separator included: everything up to the
// last single-byte backslash or slash, or the drive of a path like "C:NAME".
// 0 for a bare name, which lives in the current folder. The walk goes by
// characters, as a trail byte of code page 932 can be 0x5C.
size_t FolderPartLength(const char* path);

// Makes a name that no file has yet in path's folder, prefix followed by four
// hex digits and ".TMP", into name (nameSize bytes). Returns 0 when none
// fits or none is free.
int MakeSiblingName(const char* path, const char* prefix, char* name, size_t nameSize);

// A FILETIME as one 64-bit count and back.
inline uint64_t PackFileTime(const FILETIME& time) {
  return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}
inline FILETIME UnpackFileTime(uint64_t time) {
  return FILETIME{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

// Clears the read-only mark of the file at path, whose attributes are
// given, and keeps its other attributes.
void ClearReadOnly(const char* path, DWORD attributes);

#endif
