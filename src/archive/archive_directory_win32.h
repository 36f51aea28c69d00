// The updater's copy of its payload's directory.
#ifndef ARCHIVE_ARCHIVE_DIRECTORY_WIN32_H
#define ARCHIVE_ARCHIVE_DIRECTORY_WIN32_H

#include <cstdint>

// Copies the directory of the payload at State.PayloadImage (State.PayloadSize
// bytes) into a new fixed heap block (GlobalAlloc with GMEM_FIXED) of
// 16 + EntryCount * 280 bytes: a copy of the header, then the records plain,
// decompressed if the archive stores them compressed. Returns the block, which
// the caller releases with GlobalFree, or nullptr when no memory is left or
// the header, the directory or its stream does not fit the payload (the checks
// of archive/archive_directory.h). Shows nothing: the caller reports the
// failure. The payload is only read.
uint8_t* LoadArchiveDirectory();

#endif
