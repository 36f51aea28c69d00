// The run log: a short account of one updater run that the player can hand
// to the publisher's support. A message box tells the player what went
// wrong; the log adds the file and the system's reason, and what the run had
// done before. It changes nothing that the player sees, and a log that cannot
// be written never stops a run.
//
// Place: the player's temporary folder (%TEMP%), named after the game's
// folder name (GameDir of UPDATE.INI): "<GameDir>_update.log" for the latest
// run, "<GameDir>_update.1.log" and "<GameDir>_update.2.log" for the two
// before it. Characters that a file name cannot hold become "_"; without a
// GameDir (an updater that fails before it reads one) the updater's own file
// name takes its place. The text is CP932 with CR LF line ends, each line
// starting with the time.
//
// The temporary folder can be written by the standard user, while the
// updater runs as administrator: a file or link planted under the log's name
// must not make the updater write through it. Older logs are only renamed
// or deleted, which never follows a link, and the new log is always a file
// that this run creates (CREATE_NEW, without following a reparse point); it
// is never read back.
#ifndef PLATFORM_RUN_LOG_WIN32_H
#define PLATFORM_RUN_LOG_WIN32_H

#include <windows.h>

// How many runs' logs are kept, the latest included.
constexpr int kRunLogsKept = 3;

// Appends one line, formatted by the wvsprintfA rules (at most 1,023 bytes).
// Lines logged before the log is opened are held in memory (up to 16 KiB)
// and written when it opens. Safe on any thread; keeps the thread's last
// error as it was.
void LogLine(const char* format, ...);

// Logs "what: file: reason", the reason being the system's text for the
// thread's last error (FormatMessageA) and its number. Keeps the last error.
void LogSystemFailure(const char* what, const char* file);

// An update item that failed: with text, the box that the player is shown
// about it; without, the system's reason for the thread's last error. Keeps
// the last error.
void LogItemFailure(const char* target, const char* text);

// A message box as the player sees it.
void LogBox(const char* title, const char* text);

// The roll-back of a run: LogRollBackStart before it, LogRestoreFailure for
// each file that could not be put back, LogRollBackEnd after it, which says
// whether every file is back.
void LogRollBackStart();
void LogRestoreFailure(const char* path);
void LogRollBackEnd();

// Makes the log file of this run, named after gameName (see above), moving
// the older ones on, and writes the lines held so far. Does nothing when the
// log is open already. Returns 1 when the log is open.
int OpenRunLog(const char* gameName);

// Logs the exit code and closes the log; a log that was never opened is
// opened first, named after State.GameDir or the updater's file name.
void CloseRunLog(int exitCode);

// The log's path for gameName (kPathSize bytes), as OpenRunLog makes it; 0
// when it does not fit. index 0 is the latest run, 1 and 2 the older ones.
int RunLogPath(const char* gameName, int index, char* path);

#endif
