// fa2 extract: writes entries out as files.
#include <cstdio>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

#include "fa2/archive/archive_file.h"
#include "fa2/archive/archive_image.h"
#include "fa2/cli/report.h"
#include "fa2/commands/commands.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"

namespace {

const char kExtractHelp[] =
    "Usage: fa2 extract ARCHIVE [-C FOLDER] [-k] [-v] [NAME...]\n"
    "\n"
    "Writes the entries of ARCHIVE (all, or those named) as files into the\n"
    "current folder or FOLDER, each with the entry's last-write time. Existing\n"
    "files are replaced unless --keep is given. Names match as the updater\n"
    "matches them, without regard to case; of entries that share a name, the\n"
    "first one is written, as the updater would use it.\n"
    "\n"
    "  -C, --directory FOLDER  write into FOLDER (made when it does not exist)\n"
    "  -k, --keep              keep files that exist already (named in a warning)\n"
    "  -v, --verbose           name each file as it is written\n"
    "  -h, --help              show this help\n";

const OptionSpec kExtractOptions[] = {
    {"--directory", 'C', "a folder"},
    {"--keep", 'k', nullptr},
};

// Writes one entry and gives it its time. A partly written file is removed.
int WriteEntryFile(const std::string& path, const std::vector<uint8_t>& content,
                   uint64_t fileTime, std::string* error) {
  FILE* file = OpenHostFile(path, "wb", error);
  if (file == nullptr) return 0;
  if (!WriteHostBytes(file, content.data(), content.size(), error)) {
    std::fclose(file);
    RemoveHostFile(path);
    return 0;
  }
  if (!CloseHostFile(file, error)) {
    RemoveHostFile(path);
    return 0;
  }
  return SetHostFileTime(path, fileTime, error);
}

int RunExtract(const ParsedArguments& arguments) {
  if (arguments.operands.empty()) return ReportUsageError("extract", "no archive given");
  const std::string& archivePath = arguments.operands[0];
  const std::vector<std::string> requested(arguments.operands.begin() + 1,
                                           arguments.operands.end());
  const std::string folder = arguments.Value("--directory");
  const bool keep = arguments.Has("--keep");

  std::vector<uint8_t> payload;
  OpenedArchive archive;
  std::string error;
  if (!ReadArchiveFile(archivePath, &payload, &error) ||
      !OpenArchiveImage(payload, &archive, &error)) {
    ReportError(archivePath, error);
    return kExitFailed;
  }
  const ArchiveReader& reader = archive.reader;

  std::vector<uint32_t> chosen;
  if (requested.empty()) {
    // The first entry of each name, as the updater's lookup finds it.
    std::unordered_set<std::string> seen;
    for (uint32_t i = 0; i < reader.EntryCount; ++i) {
      const std::string name = EntryName(reader.Entries[i]);
      if (seen.insert(FoldArchiveName(name)).second)
        chosen.push_back(i);
      else
        ReportWarning(archivePath, "skipped entry " + std::to_string(i) + " \"" +
                                       DisplayArchiveName(name) +
                                     "\", hidden by an earlier entry of the same name");
    }
  } else {
    std::unordered_set<uint32_t> taken;
    for (const std::string& name : requested) {
      std::string archiveName;
      uint32_t found;
      if (!HostNameToArchiveName(name, &archiveName) ||
          !FindArchiveEntry(&reader, archiveName.c_str(), &found)) {
        ReportError(archivePath, "no entry named \"" + name + "\"");
        return kExitFailed;
      }
      if (taken.insert(found).second) chosen.push_back(found);
    }
  }

  if (!folder.empty() && !MakeHostFolder(folder, &error)) {
    ReportError(folder, error);
    return kExitFailed;
  }
  int status = kExitOk;
  std::vector<uint8_t> content;
  for (uint32_t index : chosen) {
    const ArchiveEntry& entry = reader.Entries[index];
    const std::string name = EntryName(entry);
    std::string hostName;
    if (name.size() >= kArchiveNameSize || !IsSafeArchiveName(name) ||
        !ArchiveNameToHostName(name, &hostName)) {
      ReportError(archivePath, "entry " + std::to_string(index) + " \"" +
                                   DisplayArchiveName(name) +
                                   "\" has a name that cannot be a file name; not extracted");
      status = kExitFailed;
      continue;
    }
    if (!ReadEntryContent(reader, index, &content, &error)) {
      ReportError(archivePath, error);
      status = kExitFailed;
      continue;
    }
    const std::string path = JoinHostPath(folder, hostName);
    HostFileInfo existing;
    std::string ignored;
    if (keep && StatHostFile(path, &existing, &ignored)) {
      ReportWarning(path, "exists; kept (--keep)");
      continue;
    }
    if (!WriteEntryFile(path, content, EntryFileTime(entry), &error)) {
      ReportError(path, error);
      status = kExitFailed;
    } else if (Verbosity() > 0) {
      std::printf("%s (%s bytes)\n", path.c_str(), FormatCount(content.size()).c_str());
    }
  }
  return status;
}

}  // namespace

const Subcommand kExtractCommand = {"extract", "write entries out as files", kExtractHelp,
                                    kExtractOptions, std::size(kExtractOptions), RunExtract};
