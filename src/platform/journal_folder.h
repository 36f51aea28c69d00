// Where the update journal lives: a folder of the updater's own under the
// machine's program-data folder, one for each game, named from the game's
// CompanyName and GameDir as its registry record is:
//
//   <program data>\GameUpdater\<CompanyName>\<GameDir>
//
// The updater runs as administrator and acts on the journal of a killed run
// before it shows anything, so the journal must lie where only
// administrators can write: each level is made with an explicit, protected
// ACL that lets Administrators and SYSTEM in and nobody else, and a level
// that was there already is given that ACL again (a standard user may create
// folders in the program-data folder and would own what they made). A level
// that is a reparse point, or whose ACL cannot be set, makes the folder
// untrusted: nothing is read from it or written to it.
#ifndef PLATFORM_JOURNAL_FOLDER_H
#define PLATFORM_JOURNAL_FOLDER_H

// Composes the folder for State.CompanyName and State.GameDir into folder
// (kPathSize bytes), without touching the disk. Characters that a folder
// name cannot hold become "_". Returns 0 when there is no program-data
// folder or the path does not fit.
int ComposeJournalFolder(char* folder);

// Makes folder, as ComposeJournalFolder composed it, trusted (see above):
// with create, missing levels are made; without, a missing level means there
// is no journal. Returns 1 when the folder exists and can be trusted.
int PrepareJournalFolder(const char* folder, int create);

#endif
