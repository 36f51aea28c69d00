// fa2 build: from a folder of files to a checked updater in one step.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive_names.h"
#include "fa2/branding_options.h"
#include "fa2/commands.h"
#include "fa2/file_time.h"
#include "fa2/host_files.h"
#include "fa2/names.h"

const char kBuildHelp[] =
    "Usage: fa2 build FOLDER -o UPDATER [--level N] [--stub STUB_EXE] [--mtime TIME]\n"
    "                 [--setup SETUP.INI] [--icon FILE.ico] [--version KEY=VALUE]...\n"
    "                 [--from OLD_GAME]... [--keep-full] [--force]\n"
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
    "  -h, --help            show this help\n";

namespace {

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

// Runs a subcommand with the arguments given.
int RunWith(int (*run)(int, char**), std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return run(static_cast<int>(args.size()), argv.data());
}

}  // namespace

int RunBuild(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    std::fputs(kBuildHelp, stdout);
    return kExitOk;
  }
  std::string folder, output, stub, mtime, setupPath, level;
  bool force = false, optionsEnded = false;
  int given = 0;
  std::vector<std::string> from;  // passed on to the pack
  bool keepFull = false;
  BrandingOptions brandingOptions;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnded) {
      int taken = 0;
      if (const int usage = TakeBrandingOption("build", argc, argv, &i, &taken, &brandingOptions))
        return usage;
      if (taken) continue;
    }
    const bool takesValue = arg == "-o" || arg == "--output" || arg == "--stub" ||
                            arg == "--mtime" || arg == "--setup" || arg == "--level" ||
                            arg == "--from";
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      folder = arg;
      ++given;
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (takesValue) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0')
        return ReportUsageError("build", arg + " needs a value");
      if (arg == "--from") {
        from.push_back(argv[++i]);
        continue;
      }
      std::string& target = arg == "--stub"    ? stub
                            : arg == "--mtime" ? mtime
                            : arg == "--setup" ? setupPath
                            : arg == "--level" ? level
                                               : output;
      target = argv[++i];
    } else if (arg == "--force") {
      force = true;
    } else if (arg == "--keep-full") {
      keepFull = true;
    } else {
      return ReportUsageError("build", "unknown option " + arg);
    }
  }
  if (given != 1) return ReportUsageError("build", "give exactly one folder");
  if (output.empty()) return ReportUsageError("build", "give the updater to write with -o");
  uint64_t ignoredTime;
  if (!mtime.empty() && !ParseFileTimeUtc(mtime, &ignoredTime))
    return ReportUsageError("build", "not a time: " + mtime +
                                         " (write 2024-03-01T12:00:00Z, 2024-03-01 or @SECONDS)");

  UpdaterBranding branding;
  if (const int failed = LoadBranding("build", brandingOptions, &branding)) return failed;
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
  if (stub.empty()) {
    stub = ProgramFolder() + "updater.exe";
    if (!StatHostFile(stub, &info, &error)) {
      ReportError(stub, "no updater stub beside fa2 (" + error + "); name one with --stub");
      return kExitFailed;
    }
  }

  // The archive is made beside the updater and removed again, whatever the
  // outcome; embed checks it and writes the updater only when it passes.
  const std::string archive = output + ".partial.fa2";
  std::vector<std::string> pack = {"-o", archive};
  if (!mtime.empty()) pack.insert(pack.end(), {"--mtime", mtime});
  if (!level.empty()) pack.insert(pack.end(), {"--level", level});
  for (const std::string& old : from) pack.insert(pack.end(), {"--from", old});
  if (keepFull) pack.push_back("--keep-full");
  pack.insert(pack.end(), {"--", folder});
  if (Verbosity() > 0) std::fprintf(stderr, "fa2: build: packing %s\n", folder.c_str());
  if (const int packed = RunWith(RunPack, pack)) {
    RemoveHostFile(archive);
    return packed;
  }
  if (Verbosity() > 0) std::fprintf(stderr, "fa2: build: checking and embedding into %s\n", stub.c_str());
  const int result = EmbedUpdate(stub, archive, folder, setupPath.empty() ? nullptr : &setupIni,
                                 output, branding, force);
  RemoveHostFile(archive);
  return result;
}
