// Copying the disc items from the game's CD-ROM with the shell's file copy.
#include <windows.h>
#include <shellapi.h>

#include "common/updater_state.h"
#include "platform/join_path.h"
#include "platform/set_info_text.h"
#include "wizard/run_update_steps.h"

namespace {

constexpr FILEOP_FLAGS kFileCopyFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;  // 0x0210
constexpr FILEOP_FLAGS kFolderCopyFlags = kFileCopyFlags | FOF_NOERRORUI;         // 0x0610

enum class DiscSearch { Found, Cancelled };

// The copy failure box, owned by the dialog; the run then ends.
void FailCopy(HWND dialog, const DiscCopyItem& item) {
  char text[kLongTextSize];
  wsprintfA(text, "SETUP.INI : \"%s\" のコピーに失敗しました", item.Path);
  MessageBoxA(dialog, text, State.Caption, MB_ICONERROR);
  EndDialog(dialog, -1);
}

// A CD-ROM drive holds disc discNumber when the disc's check file (or, for an
// empty name, its root folder) can be seen on it. A check name too long for a
// path is seen on no drive.
int HoldsDisc(const char* drive, int discNumber) {
  if (GetDriveTypeA(drive) != DRIVE_CDROM) return 0;
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
    SetInfoText(dialog, "%s をコピーしています", item.Path);

    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = dialog;
    operation.wFunc = FO_COPY;
    operation.pFrom = source;
    operation.pTo = destination;
    operation.fFlags = isFolder ? kFolderCopyFlags : kFileCopyFlags;
    const int result = SHFileOperationA(&operation);
    if (operation.fAnyOperationsAborted) {
      EndDialog(dialog, -1);  // the player stopped it in the shell's window
      return 0;
    }
    if (result != 0) {
      FailCopy(dialog, item);
      return 0;
    }
    // Files copied from a disc carry its read-only mark. For a folder copy
    // this reaches only the installation folder itself.
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
  }
  return 1;
}
