#include "fa2/pe/make_updater.h"

#include <cstdio>

#include "fa2/archive/archive_image.h"
#include "fa2/check/check_payload.h"
#include "fa2/check/update_check.h"
#include "fa2/cli/report.h"
#include "fa2/host/host_files.h"
#include "fa2/patch/patch_checks.h"
#include "fa2/pe/pe_resources.h"

int MakeUpdater(const std::string& stubPath, const std::string& archiveLabel,
                const std::vector<uint8_t>& archive, const MakeUpdaterOptions& options,
                const std::string& output, uint64_t* updaterSize) {
  std::vector<uint8_t> stub, updater;
  std::string error;
  // An updater whose payload is damaged would only fail on the player's
  // machine; it is refused here.
  std::vector<std::string> problems, notes;
  const int sound = VerifyArchive(archive, &problems, &notes);
  for (const std::string& note : notes) ReportError(archiveLabel, "note: " + note);
  for (const std::string& problem : problems) ReportError(archiveLabel, problem);
  if (!sound) return 0;
  // So is an update whose UPDATE.INI the updater would stumble over.
  const int errors = CheckUpdatePayload(archiveLabel, archive, options.setupIni, false);
  if (errors < 0) return 0;
  if (errors > 0 && !options.force) {
    // No --force makes an updater that Windows starts out of a payload past
    // the image limit, so the hint is left out there.
    const bool forceHelps = archive.size() < kUpdaterImageLimit;
    ReportError(archiveLabel, "the update has " + std::to_string(errors) +
                                  " error(s); nothing was embedded" +
                                  (forceHelps ? " (--force embeds anyway)" : ""));
    return 0;
  }

  if (!ReadHostFile(stubPath, UINT32_MAX, &stub, &error)) {
    ReportError(stubPath, error);
    return 0;
  }
  // An older stub would write a patch entry as if it were the file.
  if (!CheckStubTakesArchive(stub.data(), stub.size(), archive, &error)) {
    ReportError(stubPath, error);
    return 0;
  }
  if (!EmbedUpdatePayload(stub.data(), stub.size(), archive.data(), archive.size(), &updater,
                          &error, options.branding)) {
    ReportError(stubPath, error);
    return 0;
  }

  if (!WriteHostFileWhole(output, updater.data(), updater.size(), &error)) {
    ReportError(output, error);
    return 0;
  }
  *updaterSize = updater.size();
  return 1;
}
