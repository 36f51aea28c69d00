// fa2's view of the patch entries of an archive: what `fa2 list` says of each,
// what `fa2 verify` checks (with --from, by applying them), which items have
// no full entry to fall back on, and whether a stub can apply them at all.
#ifndef FA2_PATCH_PATCH_CHECKS_H
#define FA2_PATCH_PATCH_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_reader.h"

// The hash as 32 hex digits.
std::string HexHash(const uint8_t hash[16]);

// For `fa2 list`: "\tfrom N bytes, XXH3-128 <hex>" for a patch entry (its
// fault when its record cannot be read), empty for any other; and the JSON
// member ", \"patch\": {...}" likewise.
std::string PatchListColumn(const ArchiveReader& reader, uint32_t index);
std::string PatchListJson(const ArchiveReader& reader, uint32_t index);

// The entries that have patches but no full entry: the items that have no
// fallback when the installed file is not a patch's base. CP932 names.
std::vector<std::string> EntriesWithoutFallback(const ArchiveReader& reader);

// Whether entry index is a patch whose name an earlier patch or a full entry
// has already: the update check sees each file's name once.
bool IsPatchBesideItsFile(const ArchiveReader& reader, uint32_t index);

// For `fa2 verify`: the fault of patch entry index without its base (its
// record and frame), empty when there is none.
std::string CheckPatchEntry(const ArchiveReader& reader, uint32_t index);

// Applies every patch whose base is in one of the folders (as an installed
// game: the files found by the entry's name below it, in any sub-folder,
// compared by size and hash) and appends a line to *problems for each one
// whose result has not its new file's hash; *notes counts what was applied.
// Returns 1 when nothing failed.
int ApplyPatchesFrom(const ArchiveReader& reader, const std::vector<std::string>& folders,
                     std::vector<std::string>* problems, std::vector<std::string>* notes);

// The features that the stub's resource "UPDATE"/104 announces (0 without one).
uint32_t StubFeatures(const uint8_t* stub, size_t size);

// Whether the stub can take the archive: an archive with patch entries needs
// a stub that announces them. Returns 1, or 0 with *error.
int CheckStubTakesArchive(const uint8_t* stub, size_t stubSize, const std::vector<uint8_t>& archive,
                          std::string* error);

#endif
