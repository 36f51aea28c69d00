// The updater's entries of its payload archive by name: in memory or written
// to disk, with every failure shown where it is found.
//
// Both lookups go through the archive reader opened at start-up
// (State.Archive, over State.PayloadImage and State.Directory): the first
// entry in directory order whose name equals the requested one under the
// updater's comparison (ArchiveNamesEqual) is taken.
//
// An entry whose data runs past the payload, a plain entry whose two sizes
// differ, or a compressed entry that does not decode to exactly UnpackedSize
// bytes is refused with "RESOURCE READ ERROR". Every failure that these
// functions report is shown through ShowUpdateError where it is found.
#ifndef WIZARD_ARCHIVE_ENTRIES_H
#define WIZARD_ARCHIVE_ENTRIES_H

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
// After the lookup it checks that the drive of path has UnpackedSize bytes
// free (else "ディスク容量が足りません。..." with the missing byte count), then
// decodes, refuses a path that names a folder (no message), and clears a
// read-only attribute (also on a file it then keeps). A write that fails
// leaves any file at path as it was and shows no message; the caller reports
// it.
int ExtractArchiveEntry(const char* name, const char* path, int onlyIfNewer);

// The two steps that both functions share. FindPayloadEntry shows "Can't Find
// File in Resource !!" when no entry has that name, and "RESOURCE READ ERROR"
// when its data lies outside the payload or a plain entry's sizes differ.
// DecodePayloadEntry gives a compressed entry's content in a new GlobalAlloc
// block of UnpackedSize bytes (at least one), or shows "RESOURCE READ ERROR"
// (a size no stream of StoredSize bytes can reach, refused before any memory
// is taken; a damaged stream) or "Can't Allocate Memory !!" and returns null.
int FindPayloadEntry(const char* name, uint32_t* index);
uint8_t* DecodePayloadEntry(uint32_t index);

#endif
