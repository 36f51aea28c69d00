#include "platform/update_journal.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "common/updater_state_win32.h"
#include "platform/game_paths.h"
#include "platform/join_path.h"
#include "platform/journal_folder.h"

namespace {

// A run stages at most 16 items, each with a staged file and a backup or a
// new target, creates at most two folders and ends with C; a journal with
// more lines was not written by an updater.
constexpr int kMaxRecords = 64;
// Tag, two paths, three tabs, the hash and CR LF.
constexpr size_t kLineSize = 2 * kFullPathSize + 32;

struct JournalRecord {
  char Tag;
  char Path[kFullPathSize];    // staged, backup or target
  char Target[kFullPathSize];  // B only
};

struct Journal {
  HANDLE File;  // null when no journal is open
  char Folder[kPathSize];  // fixed by the first ComposeJournalPath
  char Path[kPathSize];
  JournalRecord Records[kMaxRecords];
  int Count;
};

Journal journal;

// The thread that deletes a complete run's leftovers, while the wizard shows
// the end of the run.
HANDLE finisher;

uint32_t LineHash(const char* bytes, size_t count) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < count; ++i) {
    hash ^= static_cast<uint8_t>(bytes[i]);
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace

int ComposeJournalPath(char* path) {
  if (!journal.Folder[0] && !ComposeJournalFolder(journal.Folder)) {
    journal.Folder[0] = '\0';
    return 0;
  }
  lstrcpynA(path, journal.Folder, kPathSize);
  return JoinPath(path, kPathSize, kJournalName);
}

uint64_t JournalSizeBound(int count, size_t targetLength) {
  // Each line carries a tag, tabs, its hash and CR LF besides its paths. An
  // item writes S with its staged file, then B with its backup and target or
  // N with its target; staged files and backups are named in the target's
  // folder with a name no longer than 12 bytes, so no line is longer than
  // two targets and 12 bytes more. Two D lines of folders, J and C end it.
  const uint64_t line = 2 * uint64_t{targetLength} + 12 + 16;
  return (uint64_t{2} * static_cast<uint64_t>(count) + 4) * line;
}

namespace {

// Appends one line of tag and fields, with its hash, and waits until it is on
// the disk.
int WriteLine(char tag, const char* first, const char* second) {
  char line[kLineSize];
  int length = wsprintfA(line, "%c", tag);
  for (const char* field : {first, second}) {
    if (!field) continue;
    const size_t fieldLength = std::strlen(field);
    if (fieldLength >= kFullPathSize) return 0;
    line[length++] = '\t';
    std::memcpy(line + length, field, fieldLength);
    length += static_cast<int>(fieldLength);
  }
  length += wsprintfA(line + length, "\t#%08X\r\n",
                      static_cast<unsigned>(LineHash(line, static_cast<size_t>(length))));
  DWORD written = 0;
  return WriteFile(journal.File, line, static_cast<DWORD>(length), &written, nullptr) &&
         written == static_cast<DWORD>(length) && FlushFileBuffers(journal.File);
}

// Makes the journal's folder trusted (journal_folder.h); its path must be the
// one that ComposeJournalPath fixed.
int PrepareFolder(int create) {
  return ComposeJournalPath(journal.Path) && PrepareJournalFolder(journal.Folder, create);
}

int OpenJournal() {
  if (journal.File) return 1;
  if (!PrepareFolder(1)) return 0;
  // Shared for reading only: a second updater that wants to take this journal
  // over asks for writing too, and is refused while this run lives.
  HANDLE file = CreateFileA(journal.Path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  journal.File = file;
  journal.Count = 0;
  if (!WriteLine('J', "1", nullptr)) {
    CloseHandle(file);
    journal.File = nullptr;
    DeleteFileA(journal.Path);
    return 0;
  }
  return 1;
}

int AddRecord(char tag, const char* path, const char* target) {
  if (!OpenJournal() || journal.Count == kMaxRecords) return 0;
  JournalRecord& record = journal.Records[journal.Count];
  record.Tag = tag;
  lstrcpynA(record.Path, path ? path : "", kFullPathSize);
  lstrcpynA(record.Target, target ? target : "", kFullPathSize);
  if (!WriteLine(tag, path, target)) return 0;
  ++journal.Count;
  return 1;
}

int Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Deletes a file that may carry the read-only mark (a file copied from a
// disc). A file that is not there counts as deleted; one that the run may not
// touch (game_paths.h) is left and counts as not deleted.
int RemoveFile(const char* path) {
  if (!Exists(path)) return 1;
  if (!IsWritableGamePath(path)) return 0;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path) || !Exists(path);
}

void NoteFailure(char* failedPath, const char* path, int* ok) {
  if (*ok) lstrcpynA(failedPath, path, kFullPathSize);
  *ok = 0;
}

int HasCompleted() {
  for (int i = 0; i < journal.Count; ++i) {
    if (journal.Records[i].Tag == 'C') return 1;
  }
  return 0;
}

// Undoes the records, last first; see the header.
int UndoRecords(char* failedPath) {
  int ok = 1;
  for (int i = journal.Count - 1; i >= 0; --i) {
    const JournalRecord& record = journal.Records[i];
    switch (record.Tag) {
      case 'B':
        if (Exists(record.Path) &&
            (!IsWritableGamePath(record.Path) || !IsWritableGamePath(record.Target))) {
          NoteFailure(failedPath, record.Target, &ok);
        } else if (Exists(record.Path)) {
          if (Exists(record.Target)) SetFileAttributesA(record.Target, FILE_ATTRIBUTE_NORMAL);
          if (!MoveFileExA(record.Path, record.Target,
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            NoteFailure(failedPath, record.Target, &ok);
          }
        }
        break;
      case 'N':
        if (!RemoveFile(record.Path)) NoteFailure(failedPath, record.Path, &ok);
        break;
      case 'S':
        if (!RemoveFile(record.Path)) NoteFailure(failedPath, record.Path, &ok);
        break;
      case 'D':
        // Fails, as it should, when something is in the folder now.
        if (IsWritableGamePath(record.Path)) RemoveDirectoryA(record.Path);
        break;
      default:
        break;
    }
  }
  return ok;
}

// What is left of a complete run: its backups and any staged file.
void RemoveLeftovers() {
  for (int i = 0; i < journal.Count; ++i) {
    const JournalRecord& record = journal.Records[i];
    if (record.Tag == 'B' || record.Tag == 'S') RemoveFile(record.Path);
  }
}

void CloseJournal(int deleteFile) {
  if (journal.File) CloseHandle(journal.File);
  journal.File = nullptr;
  if (deleteFile) DeleteFileA(journal.Path);
  journal.Count = 0;
}

// Whether the last level of path is prefix, four hex digits and ".TMP", as
// MakeSiblingName names the run's own files.
int HasRunName(const char* path, const char* prefix) {
  const char* name = path;
  for (const char* p = path; *p; p = CharNextA(p)) {
    if (*p == '\\') name = p + 1;
  }
  const size_t prefixLength = std::strlen(prefix);
  if (std::strlen(name) != prefixLength + 8 || CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE,
                                                              name, static_cast<int>(prefixLength),
                                                              prefix, static_cast<int>(prefixLength)) !=
                                                   CSTR_EQUAL) {
    return 0;
  }
  for (int i = 0; i < 4; ++i) {
    const char c = name[prefixLength + i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) return 0;
  }
  return lstrcmpiA(name + prefixLength + 4, ".TMP") == 0;
}

// Whether every record keeps to the rules of the header: a journal that
// breaks one was not written by this updater for this game.
int RecordsKeepTheRules() {
  for (int i = 0; i < journal.Count; ++i) {
    const JournalRecord& record = journal.Records[i];
    switch (record.Tag) {
      case 'S':
        if (!IsWritableGamePath(record.Path) || !HasRunName(record.Path, kStagedPrefix)) return 0;
        break;
      case 'B':
        if (!IsWritableGamePath(record.Target) || !IsWritableGamePath(record.Path) ||
            !AreSiblings(record.Path, record.Target) || !HasRunName(record.Path, kBackupPrefix)) {
          return 0;
        }
        break;
      case 'N':
      case 'D':
        if (!IsWritableGamePath(record.Path)) return 0;
        break;
      default:
        break;
    }
  }
  return 1;
}

// Takes the complete, intact lines of text (size bytes) as records. Stops at
// the first line without its CR LF, with a wrong hash or of an unknown form.
void ParseJournal(char* text, size_t size) {
  journal.Count = 0;
  size_t start = 0;
  int first = 1;
  while (start < size && journal.Count < kMaxRecords) {
    char* line = text + start;
    char* end = static_cast<char*>(std::memchr(line, '\n', size - start));
    if (!end || end == line || end[-1] != '\r') return;
    const size_t length = static_cast<size_t>(end - line) - 1;  // without CR LF
    start += length + 2;
    line[length] = '\0';
    char* hashTab = std::strrchr(line, '\t');
    if (!hashTab || hashTab[1] != '#' || std::strlen(hashTab + 2) != 8) return;
    char expected[9];
    wsprintfA(expected, "%08X",
              static_cast<unsigned>(LineHash(line, static_cast<size_t>(hashTab - line))));
    if (std::memcmp(expected, hashTab + 2, 8) != 0) return;
    *hashTab = '\0';

    char* fields[3] = {line, nullptr, nullptr};
    int fieldCount = 1;
    for (char* p = line; *p && fieldCount < 3; ++p) {
      if (*p == '\t') {
        *p = '\0';
        fields[fieldCount++] = p + 1;
      }
    }
    const char tag = fields[0][0];
    if (fields[0][1] != '\0') return;
    if (first) {
      if (tag != 'J' || fieldCount != 2 || lstrcmpA(fields[1], "1") != 0) return;
      first = 0;
      continue;
    }
    const int wanted =
        tag == 'B' ? 3 : tag == 'C' ? 1 : (tag == 'S' || tag == 'N' || tag == 'D') ? 2 : 0;
    if (wanted == 0 || fieldCount != wanted) return;
    JournalRecord& record = journal.Records[journal.Count++];
    record.Tag = tag;
    lstrcpynA(record.Path, fieldCount > 1 ? fields[1] : "", kFullPathSize);
    lstrcpynA(record.Target, fieldCount > 2 ? fields[2] : "", kFullPathSize);
  }
}

}  // namespace

int JournalStaged(const char* staged) { return AddRecord('S', staged, nullptr); }

int JournalBackup(const char* backup, const char* target) {
  return AddRecord('B', backup, target);
}

int JournalNewTarget(const char* target) { return AddRecord('N', target, nullptr); }

int JournalFolder(const char* folder) { return AddRecord('D', folder, nullptr); }

int JournalCompleted() { return AddRecord('C', nullptr, nullptr); }

int IsJournalOpen() { return journal.File != nullptr; }

int RollBackJournal(char* failedPath) {
  if (!journal.File) return 1;
  const int ok = UndoRecords(failedPath);
  CloseJournal(ok);
  return ok;
}

DWORD WINAPI RemoveLeftoversAndJournal(void*) {
  RemoveLeftovers();
  CloseJournal(1);
  return 0;
}

void FinishJournal() {
  if (!journal.File) return;
  // Deleting the old files takes a while on some file systems; the player
  // need not wait for it. A kill meanwhile leaves the journal, which says
  // complete, and the next start deletes what is left.
  finisher = CreateThread(nullptr, 0, RemoveLeftoversAndJournal, nullptr, 0, nullptr);
  if (!finisher) RemoveLeftoversAndJournal(nullptr);
}

void WaitForJournalFinished() {
  if (!finisher) return;
  WaitForSingleObject(finisher, INFINITE);
  CloseHandle(finisher);
  finisher = nullptr;
}

int RecoverJournal(char* failedPath, JournalRecovery* found) {
  JournalRecovery none = JournalRecovery::None;
  JournalRecovery& what = found ? *found : none;
  what = JournalRecovery::None;
  // No trusted folder, no journal: nothing in it can be believed.
  if (!PrepareFolder(0)) return 1;
  // Writing is asked for only to learn whether a live run holds the journal.
  HANDLE file = CreateFileA(journal.Path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;

  // A journal of up to kMaxRecords lines of two paths; anything beyond that
  // was not written by an updater and is not read.
  constexpr DWORD kMaxJournalSize = kMaxRecords * kLineSize;
  char* text = static_cast<char*>(GlobalAlloc(GMEM_FIXED, kMaxJournalSize));
  DWORD size = 0;
  const int read = text && ReadFile(file, text, kMaxJournalSize, &size, nullptr);
  CloseHandle(file);
  if (!read) {
    if (text) GlobalFree(text);
    return 1;  // tried again at the next start
  }
  ParseJournal(text, size);
  GlobalFree(text);
  if (!RecordsKeepTheRules()) {
    journal.Count = 0;
    char refused[kPathSize];
    lstrcpynA(refused, journal.Folder, kPathSize);
    if (JoinPath(refused, kRefusedJournalName)) {
      MoveFileExA(journal.Path, refused, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    what = JournalRecovery::Refused;
    return 1;
  }

  int ok = 1;
  if (HasCompleted()) {
    what = JournalRecovery::Finished;
    RemoveLeftovers();
  } else {
    what = JournalRecovery::RolledBack;
    ok = UndoRecords(failedPath);
  }
  if (ok) DeleteFileA(journal.Path);
  journal.Count = 0;
  return ok;
}

void ResetJournal() {
  WaitForJournalFinished();
  journal.File = nullptr;
  journal.Count = 0;
  journal.Path[0] = '\0';
  journal.Folder[0] = '\0';
}
