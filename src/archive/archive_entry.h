// Entries of the payload archive by name: in memory or written to disk.
//
// Both lookups walk the loaded directory (State.Directory, State.
// DirectoryEntries) from the start, compare names without regard to case
// under the ANSI code page (lstrcmpiA, so Japanese names match as the player
// typed them), and take the first entry of that name. An entry's data lies in
// the payload (State.PayloadImage) at 16 plus the aligned stored sizes of the
// entries before it.
//
// The payload is never read outside [PayloadImage, PayloadImage +
// PayloadSize): an entry whose data runs past its end, a plain entry whose two
// sizes differ, or a compressed entry that does not decode to exactly
// UnpackedSize bytes is refused with "RESOURCE READ ERROR". Every failure that
// these functions report is shown through ShowUpdateError where it is found.
#ifndef ARCHIVE_ARCHIVE_ENTRY_H
#define ARCHIVE_ARCHIVE_ENTRY_H

#include <cstdint>

// Returns the content of the entry called name, UnpackedSize bytes without a
// terminating NUL, and stores UnpackedSize through size when size is not
// null; or returns null after showing why ("Can't Find File in Resource !!",
// "Can't Allocate Memory !!", "RESOURCE READ ERROR").
//
// A compressed entry comes back in a new GlobalAlloc block that belongs to the
// caller; a plain one is a pointer into the payload, which nobody may change
// or free. ReleaseArchiveEntry tells the two apart.
const uint8_t* LoadArchiveEntry(const char* name, uint32_t* size);

// Frees what LoadArchiveEntry returned if it is a block of its own; a pointer
// into the payload, or null, is left alone.
void ReleaseArchiveEntry(const uint8_t* content);

// Writes the entry called name to the file path (a full path beginning with a
// drive letter and colon) with the entry's time. Returns 1 when the file was
// written, or was kept because onlyIfNewer is not 0 and the file there is
// newer than the entry; 0 on failure.
//
// Before writing it checks that the drive of path has UnpackedSize bytes free
// (else "ディスク容量が足りません。..." with the missing byte count), refuses a
// path that names a folder (no message), and clears a read-only attribute
// (also on a file it then keeps). A write that fails leaves any file at path
// as it was and shows no message; the caller reports it.
int ExtractArchiveEntry(const char* name, const char* path, int onlyIfNewer);

#endif
