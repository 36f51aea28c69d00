// fa2 extract: writes entries out as files.
#include <cstdio>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fa2/archive_file.h"
#include "fa2/archive_reader.h"
#include "fa2/commands.h"
#include "fa2/host_files.h"
#include "fa2/names.h"

const char kExtractHelp[] =
    "Usage: fa2 extract ARCHIVE [-C FOLDER] [NAME...]\n"
    "\n"
    "Writes the entries of ARCHIVE (all, or those named; names match without\n"
    "regard to ASCII case) as files into the current folder or FOLDER, each with\n"
    "the entry's last-write time. Existing files are replaced. Of entries that\n"
    "share a name, the first one is written, as the updater would use it.\n"
    "\n"
    "  -C, --directory FOLDER  write into FOLDER (made when it does not exist)\n"
    "  -h, --help              show this help\n";

namespace {

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

}  // namespace

int RunExtract(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    std::fputs(kExtractHelp, stdout);
    return kExitOk;
  }
  std::string archivePath, folder;
  bool haveArchive = false, optionsEnded = false;
  std::vector<std::string> requested;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (!haveArchive) {
        archivePath = arg;
        haveArchive = true;
      } else {
        requested.push_back(arg);
      }
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-C" || arg == "--directory") {
      if (i + 1 >= argc) return ReportUsageError("extract", arg + " needs a folder");
      folder = argv[++i];
    } else if (arg.rfind("--directory=", 0) == 0) {
      folder = arg.substr(12);
    } else if (arg.rfind("-C", 0) == 0) {
      folder = arg.substr(2);
    } else {
      return ReportUsageError("extract", "unknown option " + arg);
    }
  }
  if (!haveArchive) return ReportUsageError("extract", "no archive given");

  std::vector<uint8_t> payload;
  ArchiveContents archive;
  std::string error;
  if (!ReadArchiveFile(archivePath, &payload, &error) ||
      !OpenArchive(payload, &archive, &error)) {
    ReportError(archivePath, error);
    return kExitFailed;
  }

  // The first entry of each name, as the updater's lookup finds it.
  std::unordered_map<std::string, size_t> firstOfName;
  for (size_t i = 0; i < archive.entries.size(); ++i)
    firstOfName.emplace(FoldArchiveName(EntryName(archive.entries[i])), i);

  std::vector<size_t> chosen;
  if (requested.empty()) {
    for (size_t i = 0; i < archive.entries.size(); ++i) {
      if (firstOfName[FoldArchiveName(EntryName(archive.entries[i]))] == i)
        chosen.push_back(i);
      else
        ReportError(archivePath, "note: skipped entry " + std::to_string(i) + " \"" +
                                     DisplayArchiveName(EntryName(archive.entries[i])) +
                                     "\", hidden by an earlier entry of the same name");
    }
  } else {
    std::unordered_set<size_t> taken;
    for (const std::string& name : requested) {
      std::string archiveName;
      auto found = firstOfName.end();
      if (HostNameToArchiveName(name, &archiveName))
        found = firstOfName.find(FoldArchiveName(archiveName));
      if (found == firstOfName.end()) {
        ReportError(archivePath, "no entry named \"" + name + "\"");
        return kExitFailed;
      }
      if (taken.insert(found->second).second) chosen.push_back(found->second);
    }
  }

  if (!folder.empty() && !MakeHostFolder(folder, &error)) {
    ReportError(folder, error);
    return kExitFailed;
  }
  int status = kExitOk;
  std::vector<uint8_t> content;
  for (size_t index : chosen) {
    const ArchiveEntry& entry = archive.entries[index];
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
    if (!ReadEntryContent(payload, archive, index, &content, &error)) {
      ReportError(archivePath, error);
      status = kExitFailed;
      continue;
    }
    const std::string path = JoinHostPath(folder, hostName);
    if (!WriteEntryFile(path, content, EntryFileTime(entry), &error)) {
      ReportError(path, error);
      status = kExitFailed;
    }
  }
  return status;
}
