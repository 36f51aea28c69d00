// fa2 pack: makes an archive from files and the regular files of folders.
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "fa2/archive_writer.h"
#include "fa2/commands.h"
#include "fa2/host_files.h"
#include "fa2/names.h"

const char kPackHelp[] =
    "Usage: fa2 pack -o ARCHIVE [--store] [--plain-directory] FILE_OR_FOLDER...\n"
    "\n"
    "Makes the FA2 archive ARCHIVE. Entries follow the order of the arguments; a\n"
    "folder adds its regular files (not its sub-folders), sorted by name. An entry\n"
    "is named by the file's name alone, in CP932, and keeps the file's last-write\n"
    "time. Each entry is compressed when that saves bytes, else stored.\n"
    "\n"
    "  -o, --output ARCHIVE  the archive to write (replaced when it exists)\n"
    "  --store               store every entry without compression\n"
    "  --plain-directory     store the directory without compression\n"
    "  -h, --help            show this help\n"
    "\n"
    "Refused: two names that the updater cannot tell apart (it compares them\n"
    "without regard to case), a name of 260 bytes or more in CP932 or one that\n"
    "CP932 cannot write, a file of 4 GiB or more, and an archive that would\n"
    "pass 4 GiB.\n";

namespace {

struct PackSource {
  std::string path;      // as given or joined with its folder, for reading and messages
  std::string name;      // entry name, CP932
  uint64_t size;
  uint64_t lastWrite;
};

// Turns the arguments into the list of files, checking every name and size
// before anything is written.
int CollectSources(const std::vector<std::string>& inputs, std::vector<PackSource>* sources) {
  std::vector<std::pair<std::string, std::string>> files;  // path, host name
  for (const std::string& input : inputs) {
    HostFileInfo info;
    std::string error;
    if (!StatHostFile(input, &info, &error)) {
      ReportError(input, error);
      return 0;
    }
    if (info.isDirectory) {
      std::vector<std::string> names;
      if (!ListFolderFiles(input, &names, &error)) {
        ReportError(input, error);
        return 0;
      }
      for (const std::string& name : names) files.emplace_back(JoinHostPath(input, name), name);
    } else if (info.isRegular) {
      files.emplace_back(input, HostBaseName(input));
    } else {
      ReportError(input, "is neither a regular file nor a folder");
      return 0;
    }
  }

  std::unordered_map<std::string, std::string> pathOfName;  // folded name -> path
  for (const auto& [path, hostName] : files) {
    PackSource source;
    source.path = path;
    if (!HostNameToArchiveName(hostName, &source.name)) {
      ReportError(path, "the name has a character that CP932 cannot write");
      return 0;
    }
    if (source.name.size() >= kArchiveNameSize) {
      ReportError(path, "the name is " + std::to_string(source.name.size()) +
                            " bytes in CP932; an entry name holds at most 259");
      return 0;
    }
    if (!IsSafeArchiveName(source.name)) {
      ReportError(path, "the name has a character that an entry name cannot hold");
      return 0;
    }
    HostFileInfo info;
    std::string error;
    if (!StatHostFile(path, &info, &error)) {
      ReportError(path, error);
      return 0;
    }
    if (info.size > UINT32_MAX) {
      ReportError(path, "file of " + std::to_string(info.size) +
                            " bytes is too large; an entry holds less than 4 GiB");
      return 0;
    }
    const auto [it, fresh] = pathOfName.emplace(FoldArchiveName(source.name), path);
    if (!fresh) {
      ReportError(path, "has the same entry name as " + it->second +
                            " (names are compared without regard to case)");
      return 0;
    }
    source.size = info.size;
    source.lastWrite = info.lastWrite;
    sources->push_back(std::move(source));
  }
  return 1;
}

// Progress on a terminal, for packs that take more than a moment.
struct Progress {
  bool enabled = StandardErrorIsTerminal();
  uint64_t start = SteadyMilliseconds();
  uint64_t last = start;
  bool shown = false;

  void Update(size_t done, size_t count, uint64_t bytesDone, uint64_t bytesTotal) {
    if (!enabled) return;
    const uint64_t now = SteadyMilliseconds();
    if (now - start < 1000 || now - last < 200) return;
    last = now;
    shown = true;
    std::fprintf(stderr, "\rfa2 pack: %zu/%zu files, %llu/%llu MB", done, count,
                 static_cast<unsigned long long>(bytesDone >> 20),
                 static_cast<unsigned long long>(bytesTotal >> 20));
    std::fflush(stderr);
  }
  void Clear() {
    if (shown) std::fprintf(stderr, "\r%60s\r", "");
    shown = false;
  }
};

int WriteArchive(const std::string& output, const std::vector<PackSource>& sources, bool store,
                 bool plainDirectory) {
  // The archive is made under a temporary name and takes its real name only
  // when it is complete, so a failed pack never leaves a broken archive.
  const std::string partial = output + ".partial";
  ArchiveWriter writer;
  writer.compressDirectory = !plainDirectory;
  std::string error;
  if (!BeginArchive(&writer, partial, &error)) {
    ReportError(partial, error);
    return kExitFailed;
  }
  uint64_t total = 0, done = 0;
  for (const PackSource& source : sources) total += source.size;
  Progress progress;
  std::vector<uint8_t> content;
  PackedEntry entry;
  for (size_t i = 0; i < sources.size(); ++i) {
    progress.Update(i, sources.size(), done, total);
    const PackSource& source = sources[i];
    if (!ReadHostFile(source.path, UINT32_MAX, &content, &error) ||
        !PackEntry(source.name, source.lastWrite, content.data(), content.size(), store, &entry,
                   &error)) {
      progress.Clear();
      ReportError(source.path, error);
      AbandonArchive(&writer);
      RemoveHostFile(partial);
      return kExitFailed;
    }
    if (!AddArchiveEntry(&writer, entry, &error)) {
      progress.Clear();
      ReportError(output, error + " when adding " + source.path);
      AbandonArchive(&writer);
      RemoveHostFile(partial);
      return kExitFailed;
    }
    done += source.size;
  }
  progress.Clear();
  uint64_t size = 0;
  if (!FinishArchive(&writer, &size, &error)) {
    ReportError(partial, error);
    AbandonArchive(&writer);
    RemoveHostFile(partial);
    return kExitFailed;
  }
  if (!ReplaceHostFile(partial, output, &error)) {
    ReportError(output, error);
    RemoveHostFile(partial);
    return kExitFailed;
  }
  std::printf("%s: %zu entries, %llu bytes from %llu\n", output.c_str(), sources.size(),
              static_cast<unsigned long long>(size), static_cast<unsigned long long>(total));
  return kExitOk;
}

}  // namespace

int RunPack(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    std::fputs(kPackHelp, stdout);
    return kExitOk;
  }
  std::string output;
  bool store = false, plainDirectory = false, optionsEnded = false;
  std::vector<std::string> inputs;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      inputs.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 >= argc) return ReportUsageError("pack", arg + " needs an archive name");
      output = argv[++i];
    } else if (arg.rfind("--output=", 0) == 0) {
      output = arg.substr(9);
    } else if (arg.rfind("-o", 0) == 0) {
      output = arg.substr(2);
    } else if (arg == "--store") {
      store = true;
    } else if (arg == "--plain-directory") {
      plainDirectory = true;
    } else {
      return ReportUsageError("pack", "unknown option " + arg);
    }
  }
  if (output.empty()) return ReportUsageError("pack", "no archive given (-o ARCHIVE)");
  if (inputs.empty()) return ReportUsageError("pack", "no files or folders to pack");

  std::vector<PackSource> sources;
  if (!CollectSources(inputs, &sources)) return kExitFailed;
  return WriteArchive(output, sources, store, plainDirectory);
}
