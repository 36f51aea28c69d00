// The commit of the staged items, its roll-back, and the end of a complete
// run.
#include "common/updater_contract.h"
#include "platform/game_paths.h"
#include "platform/path_parts.h"
#include "platform/run_log_win32.h"
#include "platform/set_info_text.h"
#include "platform/update_error.h"
#include "resources/dialog_ids.h"
#include "wizard/run_update_plan.h"
#include "wizard/run_update_steps.h"
#include "wizard/staged_file.h"
#include "wizard/update_dialog.h"

namespace {

// What a replaced file hands on to the new one: hidden and system stay as the
// game had them; read-only is cleared, as every write of the run clears it.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Makes sure every staged file is on the disk: most were flushed while the
// later ones were being filled; this flushes any that were not.
int FlushStagedFiles(UpdatePlan& plan) {
  int ok = 1;
  for (int i = 0; i < plan.Count; ++i) {
    PlannedItem& item = plan.Items[i];
    if (!item.StagedFile) continue;
    if (!item.Flushed && !FlushFileBuffers(item.StagedFile)) ok = 0;
    CloseHandle(item.StagedFile);
    item.StagedFile = nullptr;
  }
  return ok;
}

// Moves the existing target aside and the staged file into its place. Each
// move is named in the journal before it is made.
int PlaceItem(const PlannedItem& item) {
  // Checked again: a folder on the way may have become a link since staging.
  if (!IsWritableGamePath(item.Target)) return 0;
  const int exists = item.TargetAttributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (item.TargetAttributes & kKeptAttributes)) {
    SetFileAttributesA(item.Staged, item.TargetAttributes & kKeptAttributes);
  }
  if (exists) {
    char backup[kFullPathSize];
    if (!MakeSiblingName(item.Target, kBackupPrefix, backup, sizeof backup)) return 0;
    if (!JournalBackup(backup, item.Target)) return 0;
    if (!MoveFileExA(item.Target, backup, MOVEFILE_WRITE_THROUGH)) return 0;
  } else if (!JournalNewTarget(item.Target)) {
    return 0;
  }
  return MoveFileExA(item.Staged, item.Target, MOVEFILE_WRITE_THROUGH) != 0;
}

void FailCommit(HWND dialog, UpdatePlan& plan) {
  ShowUpdateError(kWriteFailedMessage);
  RollBackUpdate(plan);
  EndDialog(dialog, -1);
}

void ShowCompleted(HWND dialog) {
  SetInfoText(dialog, "アップデートは完了しました");
  SetDlgItemTextA(dialog, IDC_NEXT, "完了");
  EnableButton(dialog, IDC_NEXT, TRUE);
  SetFocus(GetDlgItem(dialog, IDC_NEXT));
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

}  // namespace

int CommitUpdateItems(HWND dialog, UpdatePlan& plan) {
  int ok = FlushStagedFiles(plan);
  if (!ok) LogLine("commit: a staged file could not be put on the disk");
  for (int i = 0; ok && i < plan.Count; ++i) {
    if (HasStagedFile(plan.Items[i])) ok = PlaceItem(plan.Items[i]);
    if (!ok) LogSystemFailure("commit: could not put in place", plan.Items[i].Target);
  }
  if (!ok) FailCommit(dialog, plan);
  return ok;
}

void RollBackUpdate(UpdatePlan& plan) {
  LogRollBackStart();
  // The journal names every staged file, backup, new target and folder of
  // the run, and takes each back (a folder only when nothing else is in it);
  // the plan only lets go of its handles first.
  ReleasePlan(plan);
  char failedPath[kFullPathSize];
  if (!RollBackJournal(failedPath)) ShowRestoreError(failedPath);
  LogRollBackEnd();
}

int FinishUpdate(HWND dialog, UpdatePlan& plan) {
  // Once the journal says complete, a kill from here on keeps the new files.
  if (IsJournalOpen() && !JournalCompleted()) {
    FailCommit(dialog, plan);
    return 0;
  }
  // A kept file loses its read-only mark like a written one, so that the next
  // update can replace it.
  for (int i = 0; i < plan.Count; ++i) {
    const PlannedItem& item = plan.Items[i];
    if (item.Action == ItemAction::Keep && item.TargetAttributes != INVALID_FILE_ATTRIBUTES &&
        (item.TargetAttributes & FILE_ATTRIBUTE_READONLY)) {
      ClearReadOnly(item.Target, item.TargetAttributes);
    }
  }
  ReleasePlan(plan);
  ShowCompleted(dialog);
  LogLine("update run: complete");
  // The old files go while the player reads the last page.
  FinishJournal();
  return 1;
}
