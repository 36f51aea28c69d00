// fa2 list: one line an entry.
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "archive/patch_records.h"
#include "fa2/archive/archive_file.h"
#include "fa2/archive/archive_image.h"
#include "fa2/cli/report.h"
#include "fa2/commands/commands.h"
#include "fa2/host/file_time.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"
#include "fa2/patch/patch_checks.h"

namespace {

const char kListHelp[] =
    "Usage: fa2 list [--json] ARCHIVE\n"
    "\n"
    "Lists the entries of ARCHIVE, one line an entry, in directory order, with\n"
    "tab-separated columns: name, \"compressed\" or \"stored\", unpacked size,\n"
    "stored size, data position, last-write time (UTC, ISO-8601); a patch entry\n"
    "(kind \"patch\") adds a column with its base file's size and XXH3-128. On a terminal\n"
    "a header line comes first and a line of totals last. For an updater, a\n"
    "first line \"# payload digest: ...\" tells whether it carries the digest\n"
    "of its payload (resource \"UPDATE\" 103) and whether the payload matches it\n"
    "(not with --json; 'fa2 verify' checks the digest).\n"
    "\n"
    "  --json      print a JSON array of objects with the members name, compressed,\n"
    "              size, stored, position and time, and for a patch entry\n"
    "              patch: {base_size, base_xxh3_128}\n"
    "  -h, --help  show this help\n";

const OptionSpec kListOptions[] = {{"--json", 0, nullptr}};

int RunList(const ParsedArguments& arguments) {
  if (arguments.operands.size() != 1) return ReportUsageError("list", "give exactly one archive");
  const std::string& path = arguments.operands[0];
  const bool json = arguments.Has("--json");

  std::vector<uint8_t> payload;
  OpenedArchive archive;
  std::string error;
  PayloadDigestStatus digest;
  if (!ReadArchiveFile(path, &payload, &digest, &error) ||
      !OpenArchiveImage(payload, &archive, &error)) {
    ReportError(path, error);
    return kExitFailed;
  }
  const ArchiveReader& reader = archive.reader;
  if (json) {
    std::fputs("[", stdout);
    for (uint32_t i = 0; i < reader.EntryCount; ++i) {
      const ArchiveEntry& entry = reader.Entries[i];
      std::printf("%s\n {\"name\": %s, \"compressed\": %s, \"size\": %u, \"stored\": %u, "
                  "\"position\": %llu, \"time\": \"%s\"%s}",
                  i ? "," : "", JsonText(DisplayArchiveName(EntryName(entry))).c_str(),
                  (entry.Flags & kEntryCompressed) ? "true" : "false", entry.UnpackedSize,
                  entry.StoredSize, static_cast<unsigned long long>(reader.Positions[i]),
                  FormatFileTimeUtc(EntryFileTime(entry)).c_str(),
                  PatchListJson(reader, i).c_str());
    }
    std::fputs(reader.EntryCount == 0 ? "]\n" : "\n]\n", stdout);
    return kExitOk;
  }
  if (digest.IsUpdater) std::printf("# payload digest: %s\n", DescribePayloadDigest(digest).c_str());
  // The header and the totals only for a reader: scripts get the bare lines.
  const bool terminal = StandardOutputIsTerminal();
  if (terminal) std::puts("name\tkind\tsize\tstored\tposition\ttime");
  uint64_t unpacked = 0, stored = 0;
  for (uint32_t i = 0; i < reader.EntryCount; ++i) {
    const ArchiveEntry& entry = reader.Entries[i];
    std::printf("%s\t%s\t%u\t%u\t%llu\t%s%s\n", DisplayArchiveName(EntryName(entry)).c_str(),
                IsArchivePatch(&reader, i)          ? "patch"
                : (entry.Flags & kEntryCompressed) ? "compressed"
                                                    : "stored",
                entry.UnpackedSize, entry.StoredSize,
                static_cast<unsigned long long>(reader.Positions[i]),
                FormatFileTimeUtc(EntryFileTime(entry)).c_str(), PatchListColumn(reader, i).c_str());
    unpacked += entry.UnpackedSize;
    stored += entry.StoredSize;
  }
  if (terminal)
    std::printf("%u entries, %s → %s bytes\n", reader.EntryCount,
                FormatCount(unpacked).c_str(), FormatCount(stored).c_str());
  if (reader.EntryCount == 0) ReportWarning(path, "the archive has no entries");
  return kExitOk;
}

}  // namespace

const Subcommand kListCommand = {"list", "list the entries of an archive", kListHelp,
                                 kListOptions, std::size(kListOptions), RunList};
