// fa2 embed: makes an updater from the stub and an archive.
#include <cstdio>
#include <string>
#include <vector>

#include "fa2/archive_file.h"
#include "fa2/archive_image.h"
#include "fa2/branding_options.h"
#include "fa2/commands.h"
#include "fa2/host_files.h"
#include "fa2/pe_resources.h"

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
    "Refused: an update with errors (unless --force), a signed STUB_EXE (sign\n"
    "the updater after embedding), a damaged executable or archive, and an\n"
    "updater of 2 GiB or more, which Windows does not start.\n";

namespace {

int ParseArguments(int argc, char** argv, std::string* stub, std::string* archive,
                   std::string* output, BrandingOptions* branding, bool* force) {
  std::vector<std::string> inputs;
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnded) {
      int taken = 0;
      if (const int usage = TakeBrandingOption("embed", argc, argv, &i, &taken, branding))
        return usage;
      if (taken) continue;
    }
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (arg == "-o" || arg == "--output")) {
      if (i + 1 >= argc) return ReportUsageError("embed", arg + " needs a file name");
      if (!output->empty()) return ReportUsageError("embed", "give -o only once");
      *output = argv[++i];
      if (output->empty()) return ReportUsageError("embed", "the output name is empty");
    } else if (!optionsEnded && arg == "--force") {
      *force = true;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      return ReportUsageError("embed", "unknown option " + arg);
    } else {
      inputs.push_back(arg);
    }
  }
  if (inputs.size() != 2) return ReportUsageError("embed", "give STUB_EXE and ARCHIVE");
  if (output->empty()) return ReportUsageError("embed", "give the updater to write with -o");
  *stub = inputs[0];
  *archive = inputs[1];
  return 0;
}

}  // namespace

int RunEmbed(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    std::fputs(kEmbedHelp, stdout);
    return kExitOk;
  }
  std::string stubPath, archivePath, output;
  BrandingOptions brandingOptions;
  bool force = false;
  if (const int usage = ParseArguments(argc, argv, &stubPath, &archivePath, &output,
                                       &brandingOptions, &force))
    return usage;
  UpdaterBranding branding;
  if (const int failed = LoadBranding("embed", brandingOptions, &branding)) return failed;
  return EmbedUpdate(stubPath, archivePath, archivePath, nullptr, output, branding, force);
}

int EmbedUpdate(const std::string& stubPath, const std::string& archivePath,
                const std::string& label, const std::string* setupIni,
                const std::string& output, const UpdaterBranding& branding, bool force) {
  std::vector<uint8_t> archive, stub, updater;
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
  // An updater whose payload is damaged would only fail on the player's
  // machine; it is refused here.
  std::vector<std::string> problems, notes;
  const int sound = VerifyArchive(archive, &problems, &notes);
  for (const std::string& note : notes) ReportError(archivePath, "note: " + note);
  for (const std::string& problem : problems) ReportError(archivePath, problem);
  if (!sound) return kExitFailed;
  // So is an update whose UPDATE.INI the updater would stumble over.
  const int errors = CheckUpdatePayload(label, archive, setupIni, false);
  if (errors < 0) return kExitFailed;
  if (errors > 0 && !force) {
    ReportError(label, "the update has " + std::to_string(errors) +
                           " error(s); nothing was embedded (--force embeds anyway)");
    return kExitFailed;
  }

  if (!ReadHostFile(stubPath, UINT32_MAX, &stub, &error)) {
    ReportError(stubPath, error);
    return kExitFailed;
  }
  if (!EmbedUpdatePayload(stub.data(), stub.size(), archive.data(), archive.size(), &updater,
                          &error, &branding)) {
    ReportError(stubPath, error);
    return kExitFailed;
  }

  // Written under a temporary name first, so that a failure never leaves a
  // half-written updater under the real one.
  const std::string partial = output + ".partial";
  FILE* file = OpenHostFile(partial, "wb", &error);
  if (!file) {
    ReportError(partial, error);
    return kExitFailed;
  }
  int written = WriteHostBytes(file, updater.data(), updater.size(), &error);
  std::string closeError;
  if (!CloseHostFile(file, &closeError) && written) {
    written = 0;
    error = closeError;
  }
  if (!written || !ReplaceHostFile(partial, output, &error)) {
    ReportError(written ? output : partial, error);
    RemoveHostFile(partial);
    return kExitFailed;
  }
  if (Verbosity() >= 0)
    std::printf("%s: %s bytes, payload of %s bytes\n", output.c_str(),
                FormatCount(updater.size()).c_str(), FormatCount(archive.size()).c_str());
  return kExitOk;
}
