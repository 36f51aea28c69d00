// The places that the elevated updater may write. The installed game's
// folders come from HKEY_CURRENT_USER, and what lies in them can be changed
// by any program of the player's, so every path is compared in one canonical
// form before the run creates, moves or deletes anything there.
#ifndef PLATFORM_GAME_PATHS_H
#define PLATFORM_GAME_PATHS_H

#include <cstddef>

// Makes path absolute and canonical into out (kFullPathSize bytes): the
// full path (no "." or ".." levels), no level ending in dots or blanks (the
// system drops them when it opens the path), and every level that exists
// under its long name. Levels that do not exist yet are kept as given.
// Returns 0 when the result does not fit or a level is nothing but dots and
// blanks.
int NormalizePath(const char* path, char* out);

// Whether path lies strictly below root, both normalised; levels compare
// without regard to case.
int IsPathBelow(const char* path, const char* root);

// Whether the two paths name files of one folder, both normalised.
int AreSiblings(const char* a, const char* b);

// Whether the run may create, move or delete path: it lies below
// State.InstPath or State.DataPath, and no folder between that root and the
// path's own last level is a reparse point (a junction or a symbolic link,
// through which a write would land somewhere else).
int IsWritableGamePath(const char* path);

// Whether folder is a drive root, or is or lies in the Windows folder or the
// system folder, as given or as its links resolve: no game is installed
// there, and an update must never write there. A path that cannot be
// normalised is none of these (no write can go there either).
int IsSystemPlace(const char* folder);

#endif
