#include "platform/run_log_win32.h"

#include <cstdarg>
#include <cstring>

#include "common/updater_state_win32.h"

namespace {

// Lines logged before the file is open, and the file once it is. The staged
// files are filled on worker threads, whose failures are logged there: one
// lock covers both.
constexpr size_t kPendingSize = 16 * 1024;
SRWLOCK lock = SRWLOCK_INIT;
char pending[kPendingSize];
size_t pendingLength = 0;
HANDLE file = INVALID_HANDLE_VALUE;
int stopped = 0;  // a write failed: nothing more is logged in this run
int restoreFailures = 0;

void WriteBytes(const char* bytes, size_t count) {
  if (stopped) return;
  if (file == INVALID_HANDLE_VALUE) {
    // A line that no longer fits is dropped whole; the run goes on.
    if (pendingLength + count <= kPendingSize) {
      std::memcpy(pending + pendingLength, bytes, count);
      pendingLength += count;
    }
    return;
  }
  DWORD written = 0;
  if (!WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr)) {
    // A full or failing drive: the log stops, the run does not.
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    stopped = 1;
  }
}

// Writes "hh:mm:ss.mmm text CR LF". A line break inside the text (a box's
// text can have them) shows as "|", so that each line stays one entry; CR and
// LF are never the second byte of a CP932 character.
void WriteLine(const char* text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[kLongTextSize + 32];
  const int length = wsprintfA(line, "%02u:%02u:%02u.%03u ", now.wHour, now.wMinute, now.wSecond,
                               now.wMilliseconds);
  lstrcpynA(line + length, text, kLongTextSize);
  for (char* c = line + length; *c; ++c) {
    if (*c == '\r' || *c == '\n') *c = '|';
  }
  lstrcatA(line, "\r\n");
  AcquireSRWLockExclusive(&lock);
  WriteBytes(line, static_cast<size_t>(lstrlenA(line)));
  ReleaseSRWLockExclusive(&lock);
}

void FormatLine(const char* format, va_list arguments) {
  char text[kLongTextSize];
  wvsprintfA(text, format, arguments);
  text[sizeof text - 1] = '\0';
  WriteLine(text);
}

void Log(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  FormatLine(format, arguments);
  va_end(arguments);
}

// The system's text for error, on one line, followed by its number.
void DescribeError(DWORD error, char* text, int size) {
  char message[512] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                         FORMAT_MESSAGE_MAX_WIDTH_MASK,
                     nullptr, error, 0, message, sizeof message, nullptr);
  int end = length ? lstrlenA(message) : 0;
  while (end > 0 && (message[end - 1] == ' ' || message[end - 1] == '\r' ||
                     message[end - 1] == '\n')) {
    message[--end] = '\0';
  }
  char full[kLongTextSize];
  if (end > 0) {
    wsprintfA(full, "%s (error %lu)", message, error);
  } else {
    wsprintfA(full, "error %lu", error);
  }
  lstrcpynA(text, full, size);
}

// A file name may not hold these, nor control characters; the walk goes by
// characters, as a trail byte of code page 932 can be one of them.
int IsNameCharacter(const char* c) {
  const unsigned char b = static_cast<unsigned char>(*c);
  if (IsDBCSLeadByte(b)) return 1;
  return b >= 0x20 && !std::strchr("\\/:*?\"<>|", b);
}

// The updater's own file name without ".exe", for a run that never learned
// its game's name.
void OwnName(char* name) {
  char path[kPathSize] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) {
    lstrcpyA(name, "updater");
    return;
  }
  const char* last = path;
  for (const char* p = path; *p; p = CharNextA(p)) {
    if (*p == '\\' || *p == '/') last = p + 1;
  }
  lstrcpynA(name, last, kPathSize);
  const int n = lstrlenA(name);
  if (n > 4 && !lstrcmpiA(name + n - 4, ".exe")) name[n - 4] = '\0';
}

}  // namespace

void LogLine(const char* format, ...) {
  const DWORD error = GetLastError();
  va_list arguments;
  va_start(arguments, format);
  FormatLine(format, arguments);
  va_end(arguments);
  SetLastError(error);
}

void LogSystemFailure(const char* what, const char* path) {
  const DWORD error = GetLastError();
  char reason[kLongTextSize];
  DescribeError(error, reason, sizeof reason);
  Log("%s: %s: %s", what, path, reason);
  SetLastError(error);
}

void LogItemFailure(const char* target, const char* text) {
  if (text && text[0]) {
    const DWORD error = GetLastError();
    Log("failed: %s: %s", target, text);
    SetLastError(error);
    return;
  }
  LogSystemFailure("failed", target);
}

void LogBox(const char* title, const char* text) {
  const DWORD error = GetLastError();
  Log("box [%s] %s", title, text);
  SetLastError(error);
}

void LogRollBackStart() {
  AcquireSRWLockExclusive(&lock);
  restoreFailures = 0;
  ReleaseSRWLockExclusive(&lock);
  LogLine("roll-back: putting the old files back");
}

void LogRestoreFailure(const char* path) {
  AcquireSRWLockExclusive(&lock);
  ++restoreFailures;
  ReleaseSRWLockExclusive(&lock);
  LogSystemFailure("roll-back: could not restore", path);
}

void LogRollBackEnd() {
  AcquireSRWLockExclusive(&lock);
  const int failures = restoreFailures;
  ReleaseSRWLockExclusive(&lock);
  if (failures == 0) {
    LogLine("roll-back: done, the game's files are as they were");
  } else {
    LogLine("roll-back: %i file(s) could not be restored; the journal stays for the next start",
            failures);
  }
}

int RunLogPath(const char* gameName, int index, char* path) {
  char folder[kPathSize] = {};
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return 0;

  // At most 64 bytes of the name, cut between characters.
  char name[80];
  int used = 0;
  for (const char* c = gameName; *c && used < 64; c = CharNextA(c)) {
    const int size = static_cast<int>(CharNextA(c) - c);
    if (used + size > 64) break;
    if (IsNameCharacter(c)) {
      std::memcpy(name + used, c, static_cast<size_t>(size));
    } else {
      std::memset(name + used, '_', static_cast<size_t>(size));
    }
    used += size;
  }
  name[used] = '\0';
  if (used == 0) lstrcpyA(name, "updater");

  char file[128];
  if (index == 0) {
    wsprintfA(file, "%s_update.log", name);
  } else {
    wsprintfA(file, "%s_update.%i.log", name, index);
  }
  if (lstrlenA(folder) + lstrlenA(file) + 1 > kPathSize) return 0;
  lstrcpyA(path, folder);
  lstrcatA(path, file);
  return 1;
}

int OpenRunLog(const char* gameName) {
  const DWORD error = GetLastError();
  AcquireSRWLockExclusive(&lock);
  if (file == INVALID_HANDLE_VALUE) {
    char paths[kRunLogsKept][kPathSize];
    int ok = 1;
    for (int i = 0; i < kRunLogsKept; ++i) ok = ok && RunLogPath(gameName, i, paths[i]);
    if (ok) {
      // The oldest goes, the others move one on; each step acts on the name
      // itself, never on what a link there points to.
      DeleteFileA(paths[kRunLogsKept - 1]);
      for (int i = kRunLogsKept - 1; i > 0; --i) {
        MoveFileExA(paths[i - 1], paths[i], MOVEFILE_REPLACE_EXISTING);
      }
      // Whatever a rename could not move away (a folder, a file in use) is
      // left alone: CREATE_NEW then fails, and the run goes on without a log.
      DeleteFileA(paths[0]);
      file = CreateFileA(paths[0], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }
    if (file != INVALID_HANDLE_VALUE) {
      const size_t held = pendingLength;
      pendingLength = 0;
      WriteBytes(pending, held);
    }
  }
  const int open = file != INVALID_HANDLE_VALUE;
  ReleaseSRWLockExclusive(&lock);
  SetLastError(error);
  return open;
}

void CloseRunLog(int exitCode) {
  if (State.GameDir[0]) {
    OpenRunLog(State.GameDir);
  } else {
    char name[kPathSize];
    OwnName(name);
    OpenRunLog(name);
  }
  LogLine("exit code %i", exitCode);
  AcquireSRWLockExclusive(&lock);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  file = INVALID_HANDLE_VALUE;
  pendingLength = 0;
  stopped = 0;
  ReleaseSRWLockExclusive(&lock);
}
