// fa2 verify: checks an archive through and through.
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "fa2/archive/archive_file.h"
#include "fa2/archive/archive_image.h"
#include "fa2/cli/report.h"
#include "fa2/commands/commands.h"
#include "fa2/host/names.h"
#include "fa2/patch/patch_checks.h"

namespace {

const char kVerifyHelp[] =
    "Usage: fa2 verify [--from OLD_GAME]... ARCHIVE\n"
    "\n"
    "Checks the header and the directory of ARCHIVE and every entry: its name,\n"
    "that its data lies within the archive before the directory, and that a\n"
    "compressed entry decodes to exactly its unpacked size within its stored\n"
    "size. For an updater, also checks its payload against the digest stored\n"
    "beside it (resource \"UPDATE\" 103), as the updater does when it starts.\n"
    "Patch entries: their records and frames are checked; with --from, every\n"
    "patch whose base file (same name, size and XXH3-128) is below an OLD_GAME\n"
    "folder is applied and its result compared with the new file's XXH3-128.\n"
    "Prints every fault found and exits with 1, or exits with 0.\n"
    "\n"
    "  --from OLD_GAME  a folder laid out as an installed earlier version; may\n"
    "                   be repeated\n"
    "  -h, --help       show this help\n";

const OptionSpec kVerifyOptions[] = {{"--from", 0, "a folder"}};

int RunVerify(const ParsedArguments& arguments) {
  if (arguments.operands.size() != 1) return ReportUsageError("verify", "give exactly one archive");
  const std::string& path = arguments.operands[0];
  const std::vector<std::string> from = arguments.Values("--from");

  ArchiveBytes archive;
  std::string error;
  PayloadDigestStatus digest;
  if (!MapArchiveFile(path, &archive, &digest, &error)) {
    ReportError(path, error);
    return kExitFailed;
  }
  std::vector<std::string> problems, notes;
  int ok = VerifyArchive(archive.data, archive.size, &problems, &notes);
  if (ok && !from.empty()) {
    OpenedArchive opened;
    std::string ignored;
    ok = OpenArchiveImage(archive.data, archive.size, &opened, &ignored) &&
         ApplyPatchesFrom(opened.reader, from, &problems, &notes);
  }
  if (digest.IsUpdater && !digest.HasRecord) notes.push_back(DescribePayloadDigest(digest));
  if (digest.HasRecord && digest.Check != kDigestMatches) {
    problems.push_back(DescribePayloadDigest(digest));
    ok = 0;
  }
  for (const std::string& note : notes) ReportError(path, "note: " + note);
  for (const std::string& problem : problems) ReportError(path, problem);
  if (!ok) return kExitFailed;
  // Sound, but perhaps not an update: say so rather than pass it silently.
  OpenedArchive opened;
  std::string ignored;
  if (OpenArchiveImage(archive.data, archive.size, &opened, &ignored)) {
    uint32_t index = 0;
    const bool hasUpdateIni = FindArchiveEntry(&opened.reader, "UPDATE.INI", &index) != 0;
    if (opened.reader.EntryCount == 0)
      ReportWarning(path, "the archive has no entries");
    else if (!hasUpdateIni)
      ReportWarning(path, "no entry UPDATE.INI: an updater that carries this archive stops at start");
  }
  if (Verbosity() >= 0) std::printf("%s: OK\n", path.c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kVerifyCommand = {"verify", "check an archive and every entry in it", kVerifyHelp,
                                   kVerifyOptions, std::size(kVerifyOptions), RunVerify};
