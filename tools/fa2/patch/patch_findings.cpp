#include "fa2/patch/patch_findings.h"

#include "common/updater_contract.h"
#include "fa2/archive/archive_image.h"
#include "fa2/patch/patch_checks.h"

void AddPatchFindings(const std::vector<uint8_t>& payload, std::vector<CheckFinding>* findings) {
  OpenedArchive archive;
  std::string error;
  if (!OpenArchiveImage(payload, &archive, &error)) return;  // the check has said so
  // The updater's message, with "..." for the installed file's path.
  std::string refusal = kNotPatchableFormat;
  refusal.replace(refusal.find("%s"), 2, "...");
  for (const std::string& name : EntriesWithoutFallback(archive.reader)) {
    findings->push_back(
        {FindingLevel::Warning, "", name, "",
         "has patch entries but no full entry to fall back on (pack with --keep-full to keep one)",
         "an installed file that no patch was made from stops the update with \"" + refusal +
             "\""});
  }
}
