// Packing files: entries are read and compressed on worker threads, as many
// as the processor has cores (never more than entries), and written to the
// archive in order by the calling thread, which also shows the progress.
// Workers run at most a few entries ahead of the writer, so that only those
// entries are in memory at once.
#include "fa2/archive/pack_files.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "fa2/archive/archive_image.h"
#include "fa2/archive/archive_writer.h"
#include "fa2/cli/report.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"
#include "fa2/patch/patch_pack.h"

namespace {

}  // namespace

int CollectPackSources(const std::vector<std::string>& inputs, const PackOptions& options,
                       std::vector<PackSource>* sources) {
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
    source.lastWrite = options.haveTime ? options.lastWrite : info.lastWrite;
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

namespace {

// Progress on a terminal, for packs that take more than a couple of seconds.
struct Progress {
  const char* label;
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
    std::fprintf(stderr, "\r%s: %zu/%zu files, %llu/%llu MB", label, done, count,
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

// Makes the patches from options.from (fa2/patch/patch_pack.h) and leaves
// out of *full the sources whose full entries they make unneeded.
int MakePatches(const std::vector<PackSource>& sources, const PackOptions& options,
                std::vector<PackSource>* full, std::vector<PackedEntry>* patches) {
  std::vector<PatchInput> inputs;
  for (const PackSource& source : sources)
    inputs.push_back({source.path, source.name, source.lastWrite});
  PatchOutcome outcome;
  if (!MakeUpdatePatches(inputs, options.from, options.keepFull, options.level,
                         options.progressLabel, &outcome))
    return 0;
  for (size_t i = 0; i < sources.size(); ++i)
    if (!outcome.dropFull[i]) full->push_back(sources[i]);
  *patches = std::move(outcome.patches);
  return 1;
}

// Packs every source into the begun writer, with the patches that
// options.from asks for after the full entries. label names the archive in
// messages. Reports a failure and leaves the writer to the caller.
int PackSources(ArchiveWriter* writer, const std::string& label,
                const std::vector<PackSource>& given, const PackOptions& options,
                PackTotals* totals) {
  *totals = PackTotals{};
  std::vector<PackSource> kept;
  std::vector<PackedEntry> patches;
  if (!options.from.empty() && !MakePatches(given, options, &kept, &patches)) return 0;
  const std::vector<PackSource>& sources = options.from.empty() ? given : kept;
  writer->compressDirectory = !options.plainDirectory;
  uint64_t total = 0, done = 0;
  for (const PackSource& source : sources) total += source.size;
  Progress progress{options.progressLabel};

  PackQueue queue;
  queue.slots.resize(sources.size());
  const size_t threads =
      std::max<size_t>(1, std::min<size_t>(std::thread::hardware_concurrency(), sources.size()));
  queue.ahead = threads + 1;
  std::vector<std::thread> workers;
  for (size_t t = 0; t < threads && !sources.empty(); ++t)
    workers.emplace_back(PackWorker, &queue, &sources, options.store, options.level);
  auto stopWorkers = [&] {
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      queue.stop = true;
      queue.changed.notify_all();
    }
    for (std::thread& worker : workers) worker.join();
    workers.clear();
  };

  std::string error;
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
    } else if (!AddArchiveEntry(writer, slot.entry, &error)) {
      progress.Clear();
      ReportError(label, error + " when adding " + source.path);
      ok = false;
    }
    if (!ok) {
      stopWorkers();
      return 0;
    }
    const ArchiveEntry& record = slot.entry.record;
    if (Verbosity() > 0) {
      progress.Clear();
      ReportProgress(source.path,
                     std::string((record.Flags & kEntryCompressed) ? "compressed" : "stored") +
                         ", " + FormatCount(record.UnpackedSize) + " → " +
                         FormatCount(record.StoredSize) + " bytes");
    }
    totals->entries += 1;
    totals->unpacked += record.UnpackedSize;
    totals->stored += record.StoredSize;
    done += source.size;
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      queue.written = i + 1;
      queue.changed.notify_all();
    }
  }
  stopWorkers();
  progress.Clear();
  for (const PackedEntry& patch : patches) {
    if (!AddArchiveEntry(writer, patch, &error)) {
      ReportError(label, error + " when adding a patch of " + EntryName(patch.record));
      return 0;
    }
    totals->entries += 1;
    totals->patches += 1;
    totals->unpacked += patch.record.UnpackedSize;
    totals->stored += patch.record.StoredSize;
  }
  if (!FinishArchive(writer, &totals->archiveSize, &error)) {
    ReportError(label, error);
    return 0;
  }
  return 1;
}

}  // namespace

int PackToFile(const std::string& path, const std::vector<PackSource>& sources,
               const PackOptions& options, PackTotals* totals) {
  const std::string partial = path + ".partial";
  ArchiveWriter writer;
  std::string error;
  if (!BeginArchive(&writer, partial, &error)) {
    ReportError(partial, error);
    return 0;
  }
  if (!PackSources(&writer, path, sources, options, totals)) {
    AbandonArchive(&writer);
    RemoveHostFile(partial);
    return 0;
  }
  if (!ReplaceHostFile(partial, path, &error)) {
    ReportError(path, error);
    RemoveHostFile(partial);
    return 0;
  }
  return 1;
}

int PackToMemory(const std::string& label, const std::vector<PackSource>& sources,
                 const PackOptions& options, std::vector<uint8_t>* archive, PackTotals* totals) {
  ArchiveWriter writer;
  BeginArchiveInMemory(&writer, archive);
  return PackSources(&writer, label, sources, options, totals);
}
