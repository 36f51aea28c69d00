// The updater's copy of its payload's directory, opened with the one archive
// reader (archive/archive_reader.h).
#ifndef ARCHIVE_ARCHIVE_DIRECTORY_WIN32_H
#define ARCHIVE_ARCHIVE_DIRECTORY_WIN32_H

#include <cstdint>

// Opens the payload at State.PayloadImage (State.PayloadSize bytes) into
// State.Archive, in a new fixed heap block (GlobalAlloc with GMEM_FIXED) of
// the size that ArchiveBlockSize gives: a copy of the header, then the
// records plain, decompressed if the archive stores them compressed, then
// each entry's data position. Returns the block, which the caller keeps as
// State.Directory and releases with GlobalFree; or nullptr, with
// State.Archive cleared, when no memory is left or the archive reader refuses
// the payload. The magic is not compared: the updater takes its own payload
// as it is. Shows nothing: the caller reports the failure. The payload is
// only read.
uint8_t* LoadArchiveDirectory();

#endif
