// The run's free-space checks: the overall one before anything is written,
// and each item's as it is staged.
#include <cstdint>

#include "common/updater_state_win32.h"
#include "config/decimal.h"
#include "config/settings_access_win32.h"
#include "platform/disk_space.h"
#include "platform/path_parts.h"
#include "platform/run_log_win32.h"
#include "platform/set_info_text.h"
#include "resources/dialog_ids.h"
#include "wizard/run_update_steps.h"
#include "wizard/update_dialog.h"

int CheckRequiredSpace(HWND dialog) {
  char value[kPathSize];
  if (!ReadUpdateKey("UPDATE", "RequiredDiskSpace", value, sizeof value)) return 1;
  const int32_t written = DecimalToInt32(value);
  if (written == 0) return 1;
  // The number is taken as unsigned 32-bit: "-1" asks for 4 GiB less one
  // byte, and a volume with 4 GiB or more free always passes.
  const uint64_t required = static_cast<uint32_t>(written);

  char root[3];
  DriveOfPath(State.InstPath, root);
  // A root that cannot be asked (no drive letter, a vanished drive) has no
  // figure to compare and passes, as in the per-file check of the extraction:
  // a write that then finds no room still fails cleanly, item by item.
  uint64_t freeToCaller = 0;
  uint64_t totalBytes = 0;
  if (!QueryDiskSpace(root, &freeToCaller, &totalBytes, nullptr)) return 1;
  if (freeToCaller >= required) return 1;

  // The missing amount is shown in full as an unsigned number: a requirement
  // above 2 GiB must not read as a negative count.
  SetInfoText(dialog, "ディスク容量が足りません。\r%s ドライブに %I64u バイトの空き容量が必要です",
              root, required - freeToCaller);
  LogLine("RequiredDiskSpace: %I64u bytes more needed on %s", required - freeToCaller, root);
  EnableButton(dialog, IDC_BACK, TRUE);
  EnableButton(dialog, IDC_NEXT, FALSE);
  EnableButton(dialog, IDC_STOP, TRUE);
  return 0;
}

int CheckEntrySpace(const char* target, uint64_t size, char* shortfall) {
  char root[3];
  DriveOfPath(target, root);
  uint64_t freeToCaller = 0, totalBytes = 0;
  // A drive that cannot be asked passes: the staging write fails cleanly if
  // the room runs out.
  if (!QueryDiskSpace(root, &freeToCaller, &totalBytes, nullptr)) return 1;
  if (size <= freeToCaller) return 1;
  wsprintfA(shortfall, "ディスク容量が足りません。%s ドライブに %I64u バイトの空き容量が必要です", root,
            static_cast<unsigned long long>(size - freeToCaller));
  return 0;
}

uint64_t ClusterRoom(const char* path, uint64_t size) {
  char drive[3];
  DriveOfPath(path, drive);
  const uint64_t cluster = QueryClusterSize(drive);
  return (size + cluster - 1) / cluster * cluster;
}
