// fa2 check: what the updater will make of an update, before it ships.
#include <cstdio>
#include <iterator>

#include "fa2/archive/archive_file.h"
#include "fa2/check/check_payload.h"
#include "fa2/check/update_plan.h"
#include "fa2/cli/report.h"
#include "fa2/commands/commands.h"
#include "fa2/host/host_files.h"

namespace {

const char kCheckHelp[] =
    "Usage: fa2 check [--setup SETUP.INI] [--json] [--plan] FOLDER|ARCHIVE|UPDATER\n"
    "\n"
    "Reads UPDATE.INI from ARCHIVE (or from the payload of an updater, or from\n"
    "FOLDER with the files that 'fa2 build' would pack from it, without\n"
    "packing) as the updater will read it on a player's machine, and reports\n"
    "every key that will not do what it seems to: required keys missing, gaps\n"
    "in the UpdateFileNN and CopyFileNN lists and keys past 15, items whose\n"
    "archive entries are missing or shared, names that the item syntax changes,\n"
    "mode digits and kind letters that are taken for names, disc items without\n"
    "a disc to copy from, agreement texts missing, too small a\n"
    "RequiredDiskSpace, entries that nothing uses, and text that the updater\n"
    "cannot read as CP932 (an error naming the line) or not ended by CR LF,\n"
    "and an update too large for an updater that Windows starts (a warning\n"
    "from 1.5 GiB, an error from 2 GiB). Each finding names the key, its value\n"
    "and what the player would get.\n"
    "\n"
    "  --setup SETUP.INI  also read the installed game's SETUP.INI: disc numbers\n"
    "                     without a DiskCheckFile, install modes without items\n"
    "  --json             print the findings as a JSON array on standard output\n"
    "  --plan             also list what each item would do on a player's\n"
    "                     machine, one tab-separated line an item: key, install\n"
    "                     modes, what is done, target below InstPath or DataPath,\n"
    "                     entry, its size\n"
    "  -q, --quiet        print errors only\n"
    "  -h, --help         show this help\n"
    "\n"
    "Exit status: 1 when there is an error (or the archive cannot be read), 0\n"
    "when there are warnings only or nothing at all.\n";

const OptionSpec kCheckOptions[] = {
    {"--setup", 0, "a SETUP.INI"},
    {"--json", 0, nullptr},
    {"--plan", 0, nullptr},
};

// Reads what the check needs from a folder (as build would pack it) or from
// an archive or updater.
int ReadForCheck(const std::string& path, CheckedUpdate* update) {
  HostFileInfo info;
  std::string error;
  if (StatHostFile(path, &info, &error) && info.isDirectory) {
    std::vector<PackSource> sources;
    return CollectPackSources({path}, PackOptions{}, &sources) &&
           ReadSourcesForCheck(sources, update);
  }
  std::vector<uint8_t> payload;
  if (!ReadArchiveFile(path, &payload, &error) || !ReadPayloadForCheck(payload, update, &error)) {
    ReportError(path, error);
    return 0;
  }
  return 1;
}

int RunCheck(const ParsedArguments& arguments) {
  if (arguments.operands.size() != 1)
    return ReportUsageError("check", "give exactly one folder, archive or updater");
  const std::string& path = arguments.operands[0];
  const bool json = arguments.Has("--json");
  const std::string setupPath = arguments.Value("--setup");
  std::string setupIni;
  if (!setupPath.empty() && !ReadSetupForCheck(setupPath, &setupIni)) return kExitFailed;
  CheckedUpdate update;
  if (!ReadForCheck(path, &update)) return kExitFailed;
  const int errors =
      ReportUpdateCheck(path, &update, setupPath.empty() ? nullptr : &setupIni, json);
  if (arguments.Has("--plan") && !json) {
    for (const std::string& line : PlanUpdate(update.input)) std::printf("%s\n", line.c_str());
  }
  if (errors > 0) {
    if (!json) ReportError(path, std::to_string(errors) + " error(s): the update is not fit to ship");
    return kExitFailed;
  }
  if (!json && Verbosity() >= 0) std::printf("%s: no errors\n", path.c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kCheckCommand = {"check", "report what an update's UPDATE.INI will do wrong",
                                  kCheckHelp, kCheckOptions, std::size(kCheckOptions), RunCheck};
