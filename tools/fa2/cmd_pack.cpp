// fa2 pack: makes an archive from files and the regular files of folders.
//
// Entries are read and compressed on worker threads, as many as the
// processor has cores (never more than entries), and written to the archive
// in order by the main thread, which also shows the progress. Workers run at
// most a few entries ahead of the writer, so that only those entries are in
// memory at once.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "fa2/archive_writer.h"
#include "fa2/commands.h"
#include "fa2/file_time.h"
#include "fa2/host_files.h"
#include "fa2/names.h"
#include "fa2/patch/patch_pack.h"

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
  bool anyFile = false;
  std::vector<std::pair<std::string, std::string>> files;  // path, host name
  for (const std::string& input : inputs) {
    HostFileInfo info;
    std::string error;
    if (!StatHostFile(input, &info, &error)) {
      ReportError(input, error);
      return 0;
    }
    if (info.isDirectory) {
      std::vector<std::string> names, skipped;
      if (!ListFolderFiles(input, &names, &error, &skipped)) {
        ReportError(input, error);
        return 0;
      }
      for (const std::string& name : skipped)
        ReportWarning(JoinHostPath(input, name),
                      "not packed: an archive holds the files of a folder, not its sub-folders");
      if (names.empty()) ReportWarning(input, "the folder has no files to pack");
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
    anyFile = anyFile || ArchiveNamesEqual(source.name, "UPDATE.INI");
    sources->push_back(std::move(source));
  }
  if (sources->empty())
    ReportWarning(inputs.front(), "nothing to pack: the archive will have no entries");
  else if (!anyFile)
    ReportWarning(inputs.front(),
                  "no UPDATE.INI among the files: an updater made from this archive stops at "
                  "start");
  return 1;
}

// Progress on a terminal, for packs that take more than a couple of seconds.
struct Progress {
  bool enabled = StandardErrorIsTerminal() && Verbosity() >= 0;
  uint64_t start = SteadyMilliseconds();
  uint64_t last = start;
  bool shown = false;

  void Update(size_t done, size_t count, uint64_t bytesDone, uint64_t bytesTotal) {
    if (!enabled) return;
    const uint64_t now = SteadyMilliseconds();
    if (now - start < 2000 || now - last < 200) return;
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

// One entry as a worker leaves it for the writer.
struct PackSlot {
  bool done = false;
  bool ok = false;
  PackedEntry entry;
  std::string error;
};

// The entries being packed: workers take the next index while it is fewer
// than `ahead` entries past the last one written.
struct PackQueue {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<PackSlot> slots;
  size_t next = 0;
  size_t written = 0;
  size_t ahead = 1;
  bool stop = false;
};

void PackWorker(PackQueue* q, const std::vector<PackSource>* sources, bool store, int level) {
  std::vector<uint8_t> content;
  for (;;) {
    size_t i;
    {
      std::unique_lock<std::mutex> lock(q->mutex);
      q->changed.wait(lock, [&] {
        return q->stop || q->next >= q->slots.size() || q->next < q->written + q->ahead;
      });
      if (q->stop || q->next >= q->slots.size()) return;
      i = q->next++;
    }
    const PackSource& source = (*sources)[i];
    PackSlot slot;
    slot.ok = ReadHostFile(source.path, UINT32_MAX, &content, &slot.error) &&
              PackEntry(source.name, source.lastWrite, content.data(), content.size(), store,
                        &slot.entry, &slot.error, level);
    slot.done = true;
    content = std::vector<uint8_t>();  // give a large file's memory back
    std::lock_guard<std::mutex> lock(q->mutex);
    q->slots[i] = std::move(slot);
    q->changed.notify_all();
  }
}

int WriteArchive(const std::string& output, const std::vector<PackSource>& sources, bool store,
                 bool plainDirectory, int level, std::vector<PackedEntry>* patches) {
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

  PackQueue queue;
  queue.slots.resize(sources.size());
  const size_t threads =
      std::max<size_t>(1, std::min<size_t>(std::thread::hardware_concurrency(), sources.size()));
  queue.ahead = threads + 1;
  std::vector<std::thread> workers;
  for (size_t t = 0; t < threads && !sources.empty(); ++t)
    workers.emplace_back(PackWorker, &queue, &sources, store, level);
  auto stopWorkers = [&] {
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      queue.stop = true;
      queue.changed.notify_all();
    }
    for (std::thread& worker : workers) worker.join();
    workers.clear();
  };

  for (size_t i = 0; i < sources.size(); ++i) {
    PackSlot slot;
    {
      std::unique_lock<std::mutex> lock(queue.mutex);
      while (!queue.slots[i].done) {
        lock.unlock();
        progress.Update(i, sources.size(), done, total);
        lock.lock();
        queue.changed.wait_for(lock, std::chrono::milliseconds(200),
                               [&] { return queue.slots[i].done; });
      }
      slot = std::move(queue.slots[i]);
      queue.slots[i] = PackSlot();
    }
    const PackSource& source = sources[i];
    bool ok = slot.ok;
    if (!ok) {
      progress.Clear();
      ReportError(source.path, slot.error);
    } else if (!AddArchiveEntry(&writer, slot.entry, &error)) {
      progress.Clear();
      ReportError(output, error + " when adding " + source.path);
      ok = false;
    }
    if (!ok) {
      stopWorkers();
      AbandonArchive(&writer);
      RemoveHostFile(partial);
      return kExitFailed;
    }
    done += source.size;
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      queue.written = i + 1;
      queue.changed.notify_all();
    }
  }
  stopWorkers();
  progress.Clear();
  for (const PackedEntry& patch : *patches) {
    if (!AddArchiveEntry(&writer, patch, &error)) {
      ReportError(output, error + " when adding a patch");
      AbandonArchive(&writer);
      RemoveHostFile(partial);
      return kExitFailed;
    }
  }
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
  if (Verbosity() >= 0)
    std::printf("%s: %zu entries, %s → %s bytes\n", output.c_str(), sources.size() + patches->size(),
                FormatCount(total).c_str(), FormatCount(size).c_str());
  return kExitOk;
}

// Makes the patches from the --from folders and leaves out the full entries
// that they make unneeded.
int AddUpdatePatches(std::vector<PackSource>* sources, const std::vector<std::string>& from,
                     bool keepFull, int level, std::vector<PackedEntry>* patches) {
  std::vector<PatchInput> inputs;
  for (const PackSource& source : *sources)
    inputs.push_back({source.path, source.name, source.lastWrite});
  PatchOutcome outcome;
  if (!MakeUpdatePatches(inputs, from, keepFull, level, &outcome)) return 0;
  std::vector<PackSource> kept;
  for (size_t i = 0; i < sources->size(); ++i)
    if (!outcome.dropFull[i]) kept.push_back(std::move((*sources)[i]));
  *sources = std::move(kept);
  *patches = std::move(outcome.patches);
  return 1;
}

}  // namespace

int RunPack(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    std::fputs(kPackHelp, stdout);
    return kExitOk;
  }
  std::string output;
  bool store = false, plainDirectory = false, optionsEnded = false, haveMtime = false;
  uint64_t mtime = 0;
  int level = kCompressLevelDefault;
  auto setLevel = [&](const std::string& text) {
    if (text.size() != 1 || text[0] < '0' + kCompressLevelFastest ||
        text[0] > '0' + kCompressLevelSmallest)
      return false;
    level = text[0] - '0';
    return true;
  };
  std::vector<std::string> inputs, from;
  bool keepFull = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      inputs.push_back(arg);
    } else if (arg == "--from") {
      if (i + 1 >= argc) return ReportUsageError("pack", "--from needs a folder");
      from.push_back(argv[++i]);
    } else if (arg == "--keep-full") {
      keepFull = true;
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 >= argc) return ReportUsageError("pack", arg + " needs an archive name");
      output = argv[++i];
    } else if (arg.rfind("--output=", 0) == 0) {
      output = arg.substr(9);
    } else if (arg.rfind("-o", 0) == 0) {
      output = arg.substr(2);
    } else if (arg == "--level") {
      if (i + 1 >= argc) return ReportUsageError("pack", "--level needs a number from 1 to 9");
      if (!setLevel(argv[++i]))
        return ReportUsageError("pack", std::string("--level ") + argv[i] +
                                            ": the level is a number from 1 to 9");
    } else if (arg.rfind("--level=", 0) == 0) {
      if (!setLevel(arg.substr(8)))
        return ReportUsageError("pack", arg + ": the level is a number from 1 to 9");
    } else if (arg == "--store") {
      store = true;
    } else if (arg == "--plain-directory") {
      plainDirectory = true;
    } else if (arg == "--mtime") {
      if (i + 1 >= argc) return ReportUsageError("pack", "--mtime needs a time");
      if (!ParseFileTimeUtc(argv[++i], &mtime))
        return ReportUsageError("pack", std::string("not a time: ") + argv[i] +
                                            " (write 2024-03-01T12:00:00Z, 2024-03-01 or @SECONDS)");
      haveMtime = true;
    } else {
      return ReportUsageError("pack", "unknown option " + arg);
    }
  }
  if (output.empty()) return ReportUsageError("pack", "no archive given (-o ARCHIVE)");
  if (inputs.empty()) return ReportUsageError("pack", "no files or folders to pack");

  std::vector<PackSource> sources;
  if (!CollectSources(inputs, &sources)) return kExitFailed;
  if (haveMtime) {
    for (PackSource& source : sources) source.lastWrite = mtime;
  }
  std::vector<PackedEntry> patches;
  if (!from.empty() && !AddUpdatePatches(&sources, from, keepFull, level, &patches))
    return kExitFailed;
  return WriteArchive(output, sources, store, plainDirectory, level, &patches);
}
