// Copying the disc items from the game's CD-ROM with the shell's file copy.
#include <windows.h>
#include <shellapi.h>

#include "common/updater_contract.h"
#include "common/updater_state_win32.h"
#include "platform/game_paths.h"
#include "platform/join_path.h"
#include "platform/path_parts.h"
#include "platform/run_log_win32.h"
#include "platform/set_info_text.h"
#include "wizard/run_update_steps.h"

namespace {

constexpr FILEOP_FLAGS kFileCopyFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;  // 0x0210
constexpr FILEOP_FLAGS kFolderCopyFlags = kFileCopyFlags | FOF_NOERRORUI;         // 0x0610

enum class DiscSearch { Found, Cancelled };

// The copy failure box, owned by the dialog; the run then ends.
void FailCopy(HWND dialog, const DiscCopyItem& item) {
  char text[kLongTextSize];
  wsprintfA(text, kDiscCopyFailedFormat, item.Path);
  LogBox(State.Caption, text);
  MessageBoxA(dialog, text, State.Caption, MB_ICONERROR);
  EndDialog(dialog, -1);
}

// A CD-ROM drive holds disc discNumber when the disc's check file (or, for an
// empty name, its root folder) can be seen on it. A check name too long for a
// path is seen on no drive.
int HoldsDisc(const char* drive, int discNumber) {
  // The type is asked of the root, "X:\"; "X:" alone names the drive's
  // current folder.
  const char root[] = {drive[0], ':', '\\', '\0'};
  if (GetDriveTypeA(root) != DRIVE_CDROM) return 0;
  char check[kPathSize];
  lstrcpyA(check, drive);
  if (!JoinPath(check, sizeof check, State.DiskCheckFile[discNumber])) return 0;
  return GetFileAttributesA(check) != INVALID_FILE_ATTRIBUTES;
}

// Searches the drives A: to Z: for the disc, lowest letter first, and asks
// for it until it is found or the player gives up. drive keeps the letter
// that was looked at last.
DiscSearch SearchDisc(HWND dialog, int discNumber, char* drive) {
  for (;;) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      drive[0] = letter;
      drive[1] = ':';
      drive[2] = '\0';
      if (HoldsDisc(drive, discNumber)) return DiscSearch::Found;
    }
    char text[kLongTextSize];
    wsprintfA(text, "ＣＤ－ＲＯＭドライブに「%s」ディスク %i を入れて下さい", State.GameTitle,
              discNumber);
    LogBox(State.Caption, text);
    if (MessageBoxA(dialog, text, State.Caption, MB_OKCANCEL) != IDOK) {
      return DiscSearch::Cancelled;
    }
  }
}

// Composes the shell's source and destination lists, each one path ended by
// two NUL bytes. A source that is not a file (a folder, or nothing at all) is
// copied as a folder into InstPath under its own last name. Returns 0 when a
// path does not fit.
int ComposeCopyPaths(const char* drive, const DiscCopyItem& item, char* source,
                     char* destination, int* isFolder) {
  lstrcpyA(source, drive);
  if (!JoinPath(source, kPathSize, item.Path)) return 0;
  const DWORD attributes = GetFileAttributesA(source);
  *isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;  // also for INVALID_FILE_ATTRIBUTES
  lstrcpynA(destination, State.InstPath, kPathSize);
  if (*isFolder) {
    const int length = lstrlenA(destination);
    if (length + 2 > kPathSize) return 0;
    destination[length + 1] = '\0';
    return 1;
  }
  return JoinPath(destination, kPathSize, item.Path);
}

// Clears the read-only mark, which files copied from a disc carry, of the copy
// of every file below the source folder: source and destination are folders
// of the same tree, each in a kPathSize buffer. A path that does not fit is
// passed over.
void ClearCopiedReadOnly(const char* source, const char* destination) {
  char pattern[kPathSize];
  lstrcpyA(pattern, source);
  if (!JoinPath(pattern, kPathSize, "*")) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!lstrcmpA(found.cFileName, ".") || !lstrcmpA(found.cFileName, "..")) continue;
    char from[kPathSize];
    char to[kPathSize];
    lstrcpyA(from, source);
    lstrcpyA(to, destination);
    if (!JoinPath(from, kPathSize, found.cFileName) || !JoinPath(to, kPathSize, found.cFileName)) {
      continue;
    }
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ClearCopiedReadOnly(from, to);
      continue;
    }
    const DWORD attributes = GetFileAttributesA(to);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      ClearReadOnly(to, attributes);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// The folder that a folder copy made: InstPath and the source's last name.
int CopiedFolder(const char* source, char* folder) {
  const char* last = source;
  for (const char* p = source; *p; p = CharNextA(p)) {
    if ((*p == '\\' || *p == '/') && p[1]) last = p + 1;
  }
  char name[kPathSize];
  lstrcpynA(name, last, kPathSize);
  const int length = lstrlenA(name);
  if (length > 0 && (name[length - 1] == '\\' || name[length - 1] == '/')) name[length - 1] = '\0';
  lstrcpynA(folder, State.InstPath, kPathSize);
  return JoinPath(folder, kPathSize, name);
}

}  // namespace

int CopyDiscItems(HWND dialog, const UpdateRunItems& items) {
  // The drive of the latest disc search of this run; an item without a disc
  // number is copied from it unchecked.
  char discDrive[kPathSize] = "";
  int haveDrive = 0;
  for (int i = 0; i < items.CopyCount; ++i) {
    const DiscCopyItem& item = items.DiscCopyItems[i];
    if (item.DiscNumber != 0) {
      // DiskCheckFile names discs 0 to 9; any other number written before the
      // colon names no disc the game knows, and the item cannot be copied.
      if (item.DiscNumber < 1 || item.DiscNumber > 9) {
        FailCopy(dialog, item);
        return 0;
      }
      if (SearchDisc(dialog, item.DiscNumber, discDrive) == DiscSearch::Cancelled) {
        EndDialog(dialog, -1);
        return 0;
      }
      haveDrive = 1;
    } else if (!haveDrive) {
      // No disc has been looked for yet in this run, so there is no drive to
      // copy from; an arbitrary drive is never guessed.
      FailCopy(dialog, item);
      return 0;
    }

    char source[kPathSize];
    char destination[kPathSize];
    int isFolder = 0;
    if (!ComposeCopyPaths(discDrive, item, source, destination, &isFolder)) {
      FailCopy(dialog, item);
      return 0;
    }
    // Nothing is written through a link below the game's folders.
    char written[kPathSize];
    lstrcpynA(written, destination, kPathSize);
    if ((isFolder && !CopiedFolder(source, written)) || !IsWritableGamePath(written)) {
      FailCopy(dialog, item);
      return 0;
    }
    SetInfoText(dialog, "%s をコピーしています", item.Path);

    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = dialog;
    operation.wFunc = FO_COPY;
    operation.pFrom = source;
    operation.pTo = destination;
    operation.fFlags = isFolder ? kFolderCopyFlags : kFileCopyFlags;
    const int result = SHFileOperationA(&operation);
    LogLine("disc item: %s to %s: shell result %i%s", source, destination, result,
            operation.fAnyOperationsAborted ? ", stopped by the player" : "");
    if (operation.fAnyOperationsAborted) {
      EndDialog(dialog, -1);  // the player stopped it in the shell's window
      return 0;
    }
    if (result != 0) {
      FailCopy(dialog, item);
      return 0;
    }
    // Files copied from a disc carry its read-only mark, which would keep the
    // next update from replacing them.
    if (isFolder) {
      char folder[kPathSize];
      if (CopiedFolder(source, folder)) ClearCopiedReadOnly(source, folder);
    } else {
      SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    }
  }
  return 1;
}
