// fa2 list: one line an entry.
#include <cstdio>
#include <string>
#include <vector>

#include "fa2/archive_file.h"
#include "fa2/archive_image.h"
#include "fa2/commands.h"
#include "fa2/file_time.h"
#include "fa2/names.h"

const char kListHelp[] =
    "Usage: fa2 list ARCHIVE\n"
    "\n"
    "Lists the entries of ARCHIVE, one line an entry, in directory order, with\n"
    "tab-separated columns: name, \"compressed\" or \"stored\", unpacked size,\n"
    "stored size, data position, last-write time (UTC, ISO-8601). For an updater,\n"
    "a first line \"# payload digest: ...\" tells whether it carries the digest\n"
    "of its payload (resource \"UPDATE\" 103) and whether the payload matches it.\n"
    "\n"
    "  -h, --help  show this help\n";

int RunList(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    std::fputs(kListHelp, stdout);
    return kExitOk;
  }
  std::string path;
  if (const int usage = TakeOneArchive("list", argc, argv, &path)) return usage;

  std::vector<uint8_t> payload;
  OpenedArchive archive;
  std::string error;
  PayloadDigestStatus digest;
  if (!ReadArchiveFile(path, &payload, &digest, &error) ||
      !OpenArchiveImage(payload, &archive, &error)) {
    ReportError(path, error);
    return kExitFailed;
  }
  if (digest.IsUpdater) std::printf("# payload digest: %s\n", DescribePayloadDigest(digest).c_str());
  const ArchiveReader& reader = archive.reader;
  for (uint32_t i = 0; i < reader.EntryCount; ++i) {
    const ArchiveEntry& entry = reader.Entries[i];
    std::printf("%s\t%s\t%u\t%u\t%llu\t%s\n", DisplayArchiveName(EntryName(entry)).c_str(),
                (entry.Flags & kEntryCompressed) ? "compressed" : "stored", entry.UnpackedSize,
                entry.StoredSize, static_cast<unsigned long long>(reader.Positions[i]),
                FormatFileTimeUtc(EntryFileTime(entry)).c_str());
  }
  return kExitOk;
}
