// The updater's temporary files: its private copy of UPDATE.INI and the
// directory block, both of which live from start-up to the common end.
#ifndef DRIVER_TEMP_FILES_H
#define DRIVER_TEMP_FILES_H

// Makes State.UpdateIniPath name a new, empty file of this process's own in
// the user's temporary folder (GetTempFileNameA, prefix "upd"), which the
// start-up sequence then fills with the payload's UPDATE.INI. A shared name
// such as %TEMP%\UPDATE.INI would let a second updater, or the updater of
// another game, overwrite or delete the copy that this one is still reading.
// When the temporary folder cannot be found the file is made in the current
// folder. Returns 1, or 0 with State.UpdateIniPath empty when no file could
// be made there.
int MakeUpdateIniPath();

// The clean-up of every way out: releases the directory block, if any, and
// deletes the file named by State.UpdateIniPath, if any; then empties both,
// so that a second call can never delete a later file that happens to get
// the same name. Failures are ignored.
void CleanupTempFiles();

#endif
