// fa2 embed: makes an updater from the stub and an archive.
#include <cstdio>
#include <iterator>

#include "fa2/archive/archive_file.h"
#include "fa2/cli/report.h"
#include "fa2/commands/branding_options.h"
#include "fa2/commands/commands.h"
#include "fa2/pe/make_updater.h"

namespace {

const char kEmbedHelp[] =
    "Usage: fa2 embed STUB_EXE ARCHIVE -o OUT_EXE [--icon FILE.ico] [--version KEY=VALUE]...\n"
    "                 [--force]\n"
    "\n"
    "Makes the updater OUT_EXE: a copy of the updater program STUB_EXE (built\n"
    "without a payload) that carries ARCHIVE as its resource \"UPDATE\" 102,\n"
    "language 1041, with the payload's XXH3-128 digest beside it as resource\n"
    "\"UPDATE\" 103, which the updater checks before it reads the payload. A\n"
    "payload already in STUB_EXE is replaced; every other resource (dialogs,\n"
    "manifest, and the icon and version unless --icon or --version replace\n"
    "them) is kept as it is. ARCHIVE is checked as 'fa2 verify' does, and its\n"
    "UPDATE.INI as 'fa2 check' does, first; it may also be an updater, whose\n"
    "payload is then taken.\n"
    "When STUB_EXE has a load configuration whose dependent-load flag is 0, the\n"
    "flag is set so that libraries bound at load time come from the system\n"
    "folder only.\n"
    "\n"
    "  -o, --output OUT_EXE  the updater to write (replaced when it exists)\n"
    FA2_BRANDING_HELP
    "  --force               embed even when 'fa2 check' finds errors\n"
    "  -h, --help            show this help\n"
    "\n"
    "Refused: an update with errors (unless --force), a STUB_EXE that cannot\n"
    "apply the archive's patch entries, a signed STUB_EXE (sign\n"
    "the updater after embedding), a damaged executable or archive, and an\n"
    "updater of 2 GiB or more, which Windows does not start.\n";

const OptionSpec kEmbedOptions[] = {
    {"--output", 'o', "a file name"},
    FA2_BRANDING_OPTIONS,
    {"--force", 0, nullptr},
};

int RunEmbed(const ParsedArguments& arguments) {
  if (arguments.Count("--output") > 1) return ReportUsageError("embed", "give -o only once");
  const std::string output = arguments.Value("--output");
  if (arguments.Has("--output") && output.empty())
    return ReportUsageError("embed", "the output name is empty");
  if (arguments.operands.size() != 2)
    return ReportUsageError("embed", "give STUB_EXE and ARCHIVE");
  if (output.empty()) return ReportUsageError("embed", "give the updater to write with -o");
  const std::string& stubPath = arguments.operands[0];
  const std::string& archivePath = arguments.operands[1];
  UpdaterBranding branding;
  if (const int failed = LoadBranding("embed", arguments, &branding)) return failed;

  std::vector<uint8_t> archive;
  std::string error;
  PayloadDigestStatus digest;
  if (!ReadArchiveFile(archivePath, &archive, &digest, &error)) {
    ReportError(archivePath, error);
    return kExitFailed;
  }
  // A payload taken from a damaged updater would be passed on with a new,
  // matching digest.
  if (digest.HasRecord && digest.Check != kDigestMatches) {
    ReportError(archivePath, DescribePayloadDigest(digest));
    return kExitFailed;
  }
  MakeUpdaterOptions options;
  options.branding = &branding;
  options.force = arguments.Has("--force");
  uint64_t size = 0;
  if (!MakeUpdater(stubPath, archivePath, archive, options, output, &size)) return kExitFailed;
  if (Verbosity() >= 0)
    std::printf("%s: %s bytes, payload of %s bytes\n", output.c_str(), FormatCount(size).c_str(),
                FormatCount(archive.size()).c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kEmbedCommand = {"embed", "make an updater that carries an archive", kEmbedHelp,
                                  kEmbedOptions, std::size(kEmbedOptions), RunEmbed};
