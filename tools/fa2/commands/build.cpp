// fa2 build: from a folder of files to a checked updater in one step.
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "archive/archive_names.h"
#include "fa2/archive/pack_files.h"
#include "fa2/check/check_payload.h"
#include "fa2/check/update_ini_encoding.h"
#include "fa2/cli/report.h"
#include "fa2/commands/branding_options.h"
#include "fa2/commands/commands.h"
#include "fa2/commands/pack_options.h"
#include "fa2/host/host_files.h"
#include "fa2/pe/make_updater.h"

namespace {

const char kBuildHelp[] =
    "Usage: fa2 build FOLDER -o UPDATER [--level N] [--stub STUB_EXE] [--mtime TIME]\n"
    "                 [--setup SETUP.INI] [--icon FILE.ico] [--version KEY=VALUE]...\n"
    "                 [--from OLD_GAME]... [--keep-full] [--force] [--convert-utf8]\n"
    "\n"
    "Makes the updater UPDATER from FOLDER, which holds UPDATE.INI and the\n"
    "update's files: packs the folder's files as 'fa2 pack' does, checks the\n"
    "update as 'fa2 check' does, and embeds it into the updater stub as 'fa2\n"
    "embed' does. Nothing is written when a step fails.\n"
    "\n"
    "  -o, --output UPDATER  the updater to write (replaced when it exists)\n"
    "  --stub STUB_EXE       the updater stub (default: updater.exe beside fa2)\n"
    "  --level N             compression from 1 to 9 (see 'fa2 pack'); 6 when not given\n"
    "  --mtime TIME          give every entry this last-write time (see 'fa2 pack')\n"
    "  --setup SETUP.INI     check against the installed game's SETUP.INI too\n"
    "  --from OLD_GAME       patch entries from an earlier version (see 'fa2 pack')\n"
    "  --keep-full           keep the full entries beside the patches (see 'fa2 pack')\n"
    FA2_BRANDING_HELP
    "  --force               embed even when the check finds errors\n"
    "  --convert-utf8        when FOLDER's UPDATE.INI is UTF-8 text, rewrite it as\n"
    "                        CP932 (which the updater reads) first; refused when a\n"
    "                        character has no CP932 form\n"
    "  -v, --verbose         name each step and each file as it is packed\n"
    "  -h, --help            show this help\n";

const OptionSpec kBuildOptions[] = {
    {"--output", 'o', "a value"},
    {"--stub", 0, "a value"},
    FA2_LEVEL_OPTION,
    FA2_MTIME_OPTION,
    FA2_PATCH_OPTIONS,
    {"--setup", 0, "a value"},
    FA2_BRANDING_OPTIONS,
    {"--force", 0, nullptr},
    {"--convert-utf8", 0, nullptr},
};

// The folder that holds the running fa2, with its separator, or empty.
std::string ProgramFolder() {
  const std::string path = ExecutablePath();
  size_t end = 0;
  for (size_t i = 0; i < path.size(); ++i) {
#ifdef _WIN32
    // ANSI paths are CP932: a second byte 0x5C is no separator.
    if (IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
      ++i;
      continue;
    }
    if (path[i] == '\\' || path[i] == '/') end = i + 1;
#else
    if (path[i] == '/') end = i + 1;
#endif
  }
  return path.substr(0, end);
}

int RunBuild(const ParsedArguments& arguments) {
  if (arguments.operands.size() != 1) return ReportUsageError("build", "give exactly one folder");
  const std::string& folder = arguments.operands[0];
  const std::string output = arguments.Value("--output");
  if (output.empty()) return ReportUsageError("build", "give the updater to write with -o");
  for (const char* name : {"--stub", "--setup"})
    if (arguments.Has(name) && arguments.Value(name).empty())
      return ReportUsageError("build", std::string(name) + " needs a value");
  PackOptions packOptions;
  packOptions.progressLabel = "fa2 build";
  if (const int usage = TakePackOptions("build", arguments, &packOptions)) return usage;

  UpdaterBranding branding;
  if (const int failed = LoadBranding("build", arguments, &branding)) return failed;
  const std::string setupPath = arguments.Value("--setup");
  std::string setupIni;
  if (!setupPath.empty() && !ReadSetupForCheck(setupPath, &setupIni)) return kExitFailed;
  HostFileInfo info;
  std::string error;
  if (!StatHostFile(folder, &info, &error)) {
    ReportError(folder, error);
    return kExitFailed;
  }
  if (!info.isDirectory) {
    ReportError(folder, "is not a folder (fa2 build takes the folder of the update's files)");
    return kExitFailed;
  }
  std::string stub = arguments.Value("--stub");
  if (stub.empty()) {
    stub = ProgramFolder() + "updater.exe";
    if (!StatHostFile(stub, &info, &error)) {
      ReportError(stub, "no updater stub beside fa2 (" + error + "); name one with --stub");
      return kExitFailed;
    }
  }

  // The archive is made in memory: nothing but the updater is ever written.
  ReportProgress("build", "packing " + folder);
  std::vector<PackSource> sources;
  if (!CollectPackSources({folder}, packOptions, &sources)) return kExitFailed;
  if (arguments.Has("--convert-utf8") && !ConvertUpdateIniToCp932(&sources)) return kExitFailed;
  std::vector<uint8_t> archive;
  PackTotals totals;
  if (!PackToMemory(folder, sources, packOptions, &archive, &totals)) return kExitFailed;
  ReportProgress("build", "checking and embedding into " + stub);
  MakeUpdaterOptions options;
  options.setupIni = setupPath.empty() ? nullptr : &setupIni;
  options.branding = &branding;
  options.force = arguments.Has("--force");
  uint64_t size = 0;
  if (!MakeUpdater(stub, folder, archive, options, output, &size)) return kExitFailed;
  if (Verbosity() >= 0)
    std::printf("%s: %s bytes, payload of %zu entries, %s → %s bytes\n", output.c_str(),
                FormatCount(size).c_str(), totals.entries, FormatCount(totals.unpacked).c_str(),
                FormatCount(totals.stored).c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kBuildCommand = {"build", "check, pack and embed a folder in one step",
                                  kBuildHelp, kBuildOptions, std::size(kBuildOptions), RunBuild};
