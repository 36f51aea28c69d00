// The update journal: what a run has staged and moved aside, kept on disk so
// that a run that is killed (power cut, crash, task manager) can be undone by
// the next start of an updater for the same game.
//
// Place: the file "~UPDJRNL.TMP" (kJournalName) in the game's journal folder,
// where only administrators can write (journal_folder.h); a file of that
// name anywhere else, in the game's folders above all, is never read. Format:
// CP932 text, one record a line, each line
//
//   TAG <TAB> field [<TAB> field] <TAB> #XXXXXXXX <CR> <LF>
//
// where XXXXXXXX is the FNV-1a hash (32 bits, upper-case hex) of the bytes
// before the last tab. A line counts only when it ends with CR LF and its hash
// matches; reading stops at the first line that does not, so a line cut short
// by a kill is ignored together with anything after it. The records:
//
//   J  1                  the journal's first line (format 1)
//   S  staged             a staged file is about to be created
//   B  backup  target     target is about to be moved to backup
//   N  target             a staged file is about to become target, where no
//                         file was before
//   D  folder             folder is about to be created for the run's items
//   C                     every item is in place and the disc items are
//                         copied: the run is complete
//
// Every record is written and flushed before the step that it names, so a
// step that the journal does not name never happened. A run that ends, either
// way, deletes the journal. The run keeps the journal open without sharing it
// for writing, so a second updater never takes a live run's journal for the
// journal of a killed one.
//
// Rolling back goes through the records from the last to the first: a backup
// that exists goes back to its target (over whatever is there now), a target
// named by N is deleted, a staged file is deleted, a folder named by D is
// removed when it is empty (something else in it keeps it). Each step does
// nothing when its file is already gone, so a roll-back that was itself cut
// short can be run again. After C, the run is kept instead: only backups and
// staged files that are still there are deleted.
//
// Before a journal left by another process is acted on, every record is
// checked: each target, staged file, backup and folder lies below the
// installed game's InstPath or DataPath without a reparse point on the way
// (game_paths.h), a staged file and a backup carry the run's own names, and
// a backup sits in its target's folder. A journal with any other record was
// not written by this updater: it is moved aside as "~UPDJRNL.BAD", kept for
// whoever looks into it, and nothing of it is done. While a run lives, each
// step of the roll-back and of the finish is checked the same way again.
//
// These functions show nothing; the callers report.
#ifndef PLATFORM_UPDATE_JOURNAL_H
#define PLATFORM_UPDATE_JOURNAL_H

#include <cstddef>
#include <cstdint>

constexpr char kJournalName[] = "~UPDJRNL.TMP";
constexpr char kRefusedJournalName[] = "~UPDJRNL.BAD";

// Staged files and backups live beside their targets, named "~UPNxxxx.TMP"
// (new content) and "~UPOxxxx.TMP" (the old file moved aside), xxxx four hex
// digits: the same folder means the same drive, so the moves of the commit
// are renames that cannot run out of room.
constexpr char kStagedPrefix[] = "~UPN";
constexpr char kBackupPrefix[] = "~UPO";

// Composes the journal's path into path (kPathSize bytes), without touching
// the disk. The folder is fixed by the first call after ResetJournal (in the
// updater, the recovery at start, before the installed SETUP.INI can change
// State's CompanyName and GameDir). Returns 0 when it does not fit.
int ComposeJournalPath(char* path);

// The most bytes that this run's journal can take for count staged items
// whose target paths are at most targetLength bytes long: a bound, so that
// the run can count the journal's room before it writes a record.
uint64_t JournalSizeBound(int count, size_t targetLength);

// Each call appends one record and flushes it; the first of them creates the
// journal, and its folder when that is missing. Returns 1, or 0 when the record could not be put
// on disk (then the step must not be taken).
int JournalStaged(const char* staged);
int JournalBackup(const char* backup, const char* target);
int JournalNewTarget(const char* target);
int JournalFolder(const char* folder);
int JournalCompleted();

// Whether this run has opened a journal.
int IsJournalOpen();

// Undoes what this run's records name (see above). Returns 1 when every
// backup is back and every new file is gone, and deletes the journal; else
// returns 0 with the first path that could not be restored or removed in
// failedPath (kFullPathSize bytes) and keeps the journal for the next start.
int RollBackJournal(char* failedPath);

// After JournalCompleted: deletes the backups and the journal, on a thread of
// its own so that the caller can go on; WaitForJournalFinished waits for that
// thread (every process that may have finished a run calls it before it
// ends). No other journal function may be called in between.
void FinishJournal();
void WaitForJournalFinished();

// What RecoverJournal found of an earlier run.
enum class JournalRecovery {
  None,        // no journal, or one that a run still holds
  Refused,     // a journal that breaks the rules: set aside, nothing of it done
  Finished,    // a run stopped after its C record: its new files stay
  RolledBack,  // a run stopped before it: its changes undone (or tried)
};

// Reads the journal that a run of this game left, if any, and rolls that run
// back (or, after its C record, finishes it); *found (when given) says which.
// Returns 1 when there was no journal, when it belongs to a run that is still
// going, when it was refused (see above), or when the roll-back succeeded; 0
// with failedPath as for RollBackJournal.
int RecoverJournal(char* failedPath, JournalRecovery* found = nullptr);

// Forgets this process's journal state without touching any file, once a
// finishing run is done. For tests, which run many updater lifetimes in one
// process.
void ResetJournal();

#endif
