// fa2 check: what the updater will make of an update, before it ships.
#include <cstdio>
#include <string>
#include <vector>

#include "fa2/archive_file.h"
#include "fa2/archive_image.h"
#include "fa2/commands.h"
#include "fa2/host_files.h"
#include "fa2/names.h"
#include "fa2/update_check.h"

const char kCheckHelp[] =
    "Usage: fa2 check [--setup SETUP.INI] [--json] ARCHIVE|UPDATER\n"
    "\n"
    "Reads UPDATE.INI from ARCHIVE (or from the payload of an updater) as the\n"
    "updater will read it on a player's machine, and reports every key that\n"
    "will not do what it seems to: required keys missing, gaps in the\n"
    "UpdateFileNN and CopyFileNN lists and keys past 15, items whose archive\n"
    "entries are missing or shared, names that the item syntax changes, mode\n"
    "digits and kind letters that are taken for names, disc items without a\n"
    "disc to copy from, agreement texts missing, too small a RequiredDiskSpace,\n"
    "entries that nothing uses, text that is not CP932 with CR LF, and an\n"
    "update too large for an updater that Windows starts (a warning from\n"
    "1.5 GiB, an error from 2 GiB). Each finding names the key, its value and\n"
    "what the player would get.\n"
    "\n"
    "  --setup SETUP.INI  also read the installed game's SETUP.INI: disc numbers\n"
    "                     without a DiskCheckFile, install modes without items\n"
    "  --json             print the findings as a JSON array on standard output\n"
    "  -q, --quiet        print errors only\n"
    "  -h, --help         show this help\n"
    "\n"
    "Exit status: 1 when there is an error (or the archive cannot be read), 0\n"
    "when there are warnings only or nothing at all.\n";

namespace {

// The findings as a JSON array of objects with the members level, section,
// key, value, problem and player, for build pipelines.
std::string FindingsToJson(const std::vector<CheckFinding>& findings) {
  std::string out = "[";
  for (size_t i = 0; i < findings.size(); ++i) {
    const CheckFinding& f = findings[i];
    out += i ? ",\n " : "\n ";
    out += "{\"level\": " + JsonText(f.level == FindingLevel::Error ? "error" : "warning") +
           ", \"section\": " + JsonText(f.section) + ", \"key\": " + JsonText(f.key) +
           ", \"value\": " + JsonText(f.value) + ", \"problem\": " + JsonText(f.problem) +
           ", \"player\": " + JsonText(f.player) + "}";
  }
  return out + (findings.empty() ? "]\n" : "\n]\n");
}

int ReadUpdateForCheck(const std::vector<uint8_t>& payload, UpdateCheckInput* input,
                       std::string* updateIni, std::string* error) {
  OpenedArchive archive;
  if (!OpenArchiveImage(payload, &archive, error)) return 0;
  const ArchiveReader& reader = archive.reader;
  input->updateIni = nullptr;
  input->entries.clear();
  input->payloadSize = payload.size();
  for (uint32_t i = 0; i < reader.EntryCount; ++i)
    input->entries.push_back({EntryName(reader.Entries[i]), reader.Entries[i].UnpackedSize});
  // The updater's own lookup: the first entry of the name.
  uint32_t index = 0;
  if (FindArchiveEntry(&reader, "UPDATE.INI", &index)) {
    std::vector<uint8_t> content;
    if (!ReadEntryContent(reader, index, &content, error)) {
      *error = "UPDATE.INI: " + *error;
      return 0;
    }
    updateIni->assign(content.begin(), content.end());
    input->updateIni = updateIni;
  }
  return 1;
}

}  // namespace

int CheckUpdatePayload(const std::string& path, const std::vector<uint8_t>& payload,
                       const std::string* setupIni, bool json) {
  UpdateCheckInput input;
  std::string updateIni, error;
  if (!ReadUpdateForCheck(payload, &input, &updateIni, &error)) {
    ReportError(path, error);
    return -1;
  }
  input.setupIni = setupIni;
  const std::vector<CheckFinding> findings = CheckUpdate(input);
  const int errors = CountFindings(findings, FindingLevel::Error);
  if (json) {
    std::fputs(FindingsToJson(findings).c_str(), stdout);
    return errors;
  }
  for (const CheckFinding& finding : findings) {
    if (finding.level == FindingLevel::Error || Verbosity() >= 0)
      std::fprintf(stderr, "fa2: %s: %s\n", path.c_str(), FormatFinding(finding).c_str());
  }
  return errors;
}

int ReadSetupForCheck(const std::string& path, std::string* text) {
  std::vector<uint8_t> bytes;
  std::string error;
  // A SETUP.INI is a few kilobytes; a megabyte is surely not one.
  if (!ReadHostFile(path, 1 << 20, &bytes, &error)) {
    ReportError(path, error);
    return 0;
  }
  text->assign(bytes.begin(), bytes.end());
  return 1;
}

int RunCheck(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    std::fputs(kCheckHelp, stdout);
    return kExitOk;
  }
  std::string path, setupPath;
  bool json = false, optionsEnded = false;
  int given = 0;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      path = arg;
      ++given;
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--setup") {
      if (i + 1 >= argc) return ReportUsageError("check", "--setup needs a SETUP.INI");
      setupPath = argv[++i];
    } else if (arg == "--json") {
      json = true;
    } else {
      return ReportUsageError("check", "unknown option " + arg);
    }
  }
  if (given != 1) return ReportUsageError("check", "give exactly one archive or updater");

  std::string setupIni, error;
  if (!setupPath.empty() && !ReadSetupForCheck(setupPath, &setupIni)) return kExitFailed;
  std::vector<uint8_t> payload;
  if (!ReadArchiveFile(path, &payload, &error)) {
    ReportError(path, error);
    return kExitFailed;
  }
  const int errors = CheckUpdatePayload(path, payload, setupPath.empty() ? nullptr : &setupIni,
                                        json);
  if (errors < 0) return kExitFailed;
  if (errors > 0) {
    if (!json) ReportError(path, std::to_string(errors) + " error(s): the update is not fit to ship");
    return kExitFailed;
  }
  if (!json && Verbosity() >= 0) std::printf("%s: no errors\n", path.c_str());
  return kExitOk;
}
