// fa2 pack: makes an archive from files and the regular files of folders.
#include <cstdio>
#include <iterator>

#include "fa2/archive/pack_files.h"
#include "fa2/cli/report.h"
#include "fa2/commands/commands.h"
#include "fa2/commands/pack_options.h"

namespace {

const char kPackHelp[] =
    "Usage: fa2 pack -o ARCHIVE [--level N] [--store] [--plain-directory]\n"
    "                [--mtime TIME] [--from OLD_GAME]... [--keep-full] FILE_OR_FOLDER...\n"
    "\n"
    "Makes the FA2 archive ARCHIVE. Entries follow the order of the arguments; a\n"
    "folder adds its regular files (not its sub-folders, which are named in a\n"
    "warning), sorted by name. An entry is named by the file's name alone, in\n"
    "CP932, and keeps the file's last-write time. Each entry is compressed when\n"
    "that saves bytes, else stored. Entries are compressed on as many threads as\n"
    "the processor has cores.\n"
    "\n"
    "  -o, --output ARCHIVE  the archive to write (replaced when it exists)\n"
    "  --mtime TIME          give every entry this last-write time instead, UTC:\n"
    "                        2024-03-01T12:00:00Z, 2024-03-01 or @UNIX_SECONDS\n"
    "                        (\"u\" items compare times; a checkout gives files\n"
    "                        arbitrary ones)\n"
    "  --level N             compression from 1 (fastest) to 9 (smallest, about ten\n"
    "                        times slower than 6); 6 when not given\n"
    "  --store               store every entry without compression\n"
    "  --plain-directory     store the directory without compression\n"
    "  --from OLD_GAME       also make patch entries from an earlier version: a folder\n"
    "                        laid out as the installed game (below InstPath). Each\n"
    "                        plain, \"u\" or \"o\" item of UPDATE.INI whose file is at\n"
    "                        its place there gets a patch from that file, kept when\n"
    "                        clearly smaller than the full entry; a file patched from\n"
    "                        every OLD_GAME loses its full entry. May be repeated\n"
    "  --keep-full           keep every full entry, as the fallback for installed\n"
    "                        files that no patch was made from\n"
    "  -v, --verbose         name each file as it is packed\n"
    "  -h, --help            show this help\n"
    "\n"
    "Refused: two names that the updater cannot tell apart (it compares them\n"
    "without regard to case), a name of 260 bytes or more in CP932 or one that\n"
    "CP932 cannot write, a file of 4 GiB or more, and an archive that would\n"
    "pass 4 GiB.\n";

const OptionSpec kPackOptions[] = {
    {"--output", 'o', "an archive name"},
    FA2_LEVEL_OPTION,
    FA2_MTIME_OPTION,
    {"--store", 0, nullptr},
    {"--plain-directory", 0, nullptr},
    FA2_PATCH_OPTIONS,
};

int RunPack(const ParsedArguments& arguments) {
  PackOptions options;
  if (const int usage = TakePackOptions("pack", arguments, &options)) return usage;
  const std::string output = arguments.Value("--output");
  if (output.empty()) return ReportUsageError("pack", "no archive given (-o ARCHIVE)");
  if (arguments.operands.empty()) return ReportUsageError("pack", "no files or folders to pack");

  std::vector<PackSource> sources;
  PackTotals totals;
  if (!CollectPackSources(arguments.operands, options, &sources) ||
      !PackToFile(output, sources, options, &totals))
    return kExitFailed;
  // Each file read counts once, whether it went in whole, as patches or both.
  uint64_t total = 0;
  for (const PackSource& source : sources) total += source.size;
  const std::string patches =
      totals.patches == 0 ? "" : " (" + std::to_string(totals.patches) + " of them patches)";
  if (Verbosity() >= 0)
    std::printf("%s: %zu entries%s, %s → %s bytes\n", output.c_str(), totals.entries,
                patches.c_str(), FormatCount(total).c_str(),
                FormatCount(totals.archiveSize).c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kPackCommand = {"pack", "make an archive from files and folders", kPackHelp,
                                 kPackOptions, std::size(kPackOptions), RunPack};
