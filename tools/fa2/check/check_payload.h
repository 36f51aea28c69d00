// The update check over what fa2 is given: an archive's payload, or a folder
// of files as 'fa2 build' would pack it; its findings printed for the
// publisher, or as JSON. Reports its own failures (fa2/cli/report.h).
#ifndef FA2_CHECK_CHECK_PAYLOAD_H
#define FA2_CHECK_CHECK_PAYLOAD_H

#include <cstdint>
#include <string>
#include <vector>

#include "fa2/archive/pack_files.h"
#include "fa2/check/update_check.h"

// What the check reads: its input and the UPDATE.INI bytes it points to.
struct CheckedUpdate {
  UpdateCheckInput input;
  std::string updateIni;
  // Findings about the archive itself (its patch entries), reported with
  // those of the check.
  std::vector<CheckFinding> archiveFindings;
};

// Reads the entries and UPDATE.INI (the first entry of that name, as the
// updater finds it) of an archive; a file that has patch entries is one
// entry of its name, and files without a fallback make findings. Returns 0 with *error when the archive
// cannot be read.
int ReadPayloadForCheck(const std::vector<uint8_t>& payload, CheckedUpdate* update,
                        std::string* error);

// The same for the files that would be packed: their names and sizes, and
// the content of the file named UPDATE.INI. Reports a failure itself.
int ReadSourcesForCheck(const std::vector<PackSource>& sources, CheckedUpdate* update);

// Reads a SETUP.INI for the check into *text. Reports a failure itself.
int ReadSetupForCheck(const std::string& path, std::string* text);

// Runs the check and prints the findings for label (errors even when fa2 is
// quiet), or as JSON on standard output. Returns the number of errors.
int ReportUpdateCheck(const std::string& label, CheckedUpdate* update,
                      const std::string* setupIni, bool json);

// ReadPayloadForCheck and ReportUpdateCheck. Returns the number of errors,
// or -1 when the archive cannot be read (reported).
int CheckUpdatePayload(const std::string& label, const std::vector<uint8_t>& payload,
                       const std::string* setupIni, bool json);

#endif
