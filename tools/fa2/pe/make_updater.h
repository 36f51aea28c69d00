// Making an updater: the work of 'fa2 embed' and of the last step of 'fa2
// build'. The archive is verified as 'fa2 verify' does and its update checked
// as 'fa2 check' does; then the stub is read, the archive embedded with the
// branding, and the updater written. Every failure is reported
// (fa2/cli/report.h) naming its file.
#ifndef FA2_PE_MAKE_UPDATER_H
#define FA2_PE_MAKE_UPDATER_H

#include <cstdint>
#include <string>
#include <vector>

#include "fa2/pe/pe_branding.h"

struct MakeUpdaterOptions {
  const std::string* setupIni = nullptr;  // the installed game's SETUP.INI for the check
  const UpdaterBranding* branding = nullptr;
  bool force = false;  // embed even when the check finds errors
};

// Makes the updater output from the stub at stubPath and the archive;
// archiveLabel names the archive (or the folder it was packed from) in the
// findings. The updater is written under a temporary name beside output
// first, so that a failure never leaves a half-written updater. *updaterSize
// gets its size. Returns 1, or 0 after reporting why.
int MakeUpdater(const std::string& stubPath, const std::string& archiveLabel,
                const std::vector<uint8_t>& archive, const MakeUpdaterOptions& options,
                const std::string& output, uint64_t* updaterSize);

#endif
