#include "fa2/patch/patch_pack.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "archive/archive_names.h"
#include "archive/patch_format.h"
#include "archive/payload_digest.h"
#include "config/update_items.h"
#include "fa2/check/profile_text.h"
#include "fa2/cli/report.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"
#include "fa2/patch/patch_maker.h"

namespace {

// An item's place below InstPath (DataFolder\ItemName, CP932) as a host path
// below folder: split at single-byte backslashes, each part converted.
int HostPathBelow(const std::string& folder, const std::string& relative, std::string* path) {
  *path = folder;
  std::string part;
  auto flush = [&] {
    std::string host;
    if (!part.empty()) {
      if (!ArchiveNameToHostName(part, &host)) return false;
      *path = JoinHostPath(*path, host);
    }
    part.clear();
    return true;
  };
  for (size_t i = 0; i < relative.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(relative[i]);
    if (c == '\\' || c == '/') {
      if (!flush()) return 0;
      continue;
    }
    part += relative[i];
    if (IsCp932LeadByte(c) && i + 1 < relative.size()) part += relative[++i];
  }
  return flush() ? 1 : 0;
}

// The places below InstPath of every item that writes there, by input index.
int ItemPlaces(const std::vector<PatchInput>& inputs,
               std::vector<std::vector<std::string>>* places) {
  places->assign(inputs.size(), {});
  size_t ini = inputs.size();
  std::map<std::string, size_t> byName;
  for (size_t i = 0; i < inputs.size(); ++i) {
    byName.emplace(FoldArchiveName(inputs[i].name), i);
    if (ArchiveNamesEqual(inputs[i].name, "UPDATE.INI")) ini = i;
  }
  if (ini == inputs.size()) {
    ReportError("--from", "patches need UPDATE.INI among the files: its items say where each "
                          "file lies in an installed game");
    return 0;
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadHostFile(inputs[ini].path, 1 << 20, &bytes, &error)) {
    ReportError(inputs[ini].path, error);
    return 0;
  }
  const ProfileText text = ParseProfileText(std::string(bytes.begin(), bytes.end()));
  std::string dataFolder;
  ReadProfileValue(text, "SETUP", "DataFolder", kListSlotSize, &dataFolder);
  for (int k = 0; k < kUpdateListKeys; ++k) {
    char key[kUpdateKeyNameSize];
    FormatUpdateFileKey(key, sizeof key, k);
    std::string value;
    if (!ReadProfileValue(text, "UPDATE", key, kUpdateValueSize, &value)) break;
    UpdateItem item;
    int disc = 0;
    ParseUpdateItem(value.c_str(), 0, IsCp932LeadByte, disc, item);  // every install mode
    if (item.Kind == UpdateKind::Data) continue;
    const auto it = byName.find(FoldArchiveName(item.ItemName + item.BaseOffset));
    if (it == byName.end()) continue;  // the check reports a missing entry
    std::string relative = dataFolder.empty() ? item.ItemName : dataFolder + "\\" + item.ItemName;
    (*places)[it->second].push_back(relative);
  }
  return 1;
}

struct PatchJob {
  size_t input;
  std::string basePath;
  uint64_t baseSize;
  uint8_t baseHash[16];
  bool ok = false, kept = false;
  PackedEntry entry;
  uint64_t fullSize = 0;
  std::string error;
};

void RunJob(PatchJob* job, const PatchInput& input, int level) {
  HostFileView target, base;
  if (!MapHostFile(input.path, UINT32_MAX, &target, &job->error) ||
      !MapHostFile(job->basePath, kPatchMaxBaseSize, &base, &job->error))
    return;
  PackedEntry full;
  if (!PackEntry(input.name, input.fileTime, target.data, target.size, false, &full, &job->error,
                 level) ||
      !PackPatchEntry(input.name, input.fileTime, base.data, base.size, target.data, target.size,
                      kPatchLevel, &job->entry, &job->error))
    return;
  job->fullSize = full.stored.size();
  job->kept = job->entry.stored.size() * 10 < job->fullSize * 9;
  job->ok = true;
}

}  // namespace

int MakeUpdatePatches(const std::vector<PatchInput>& inputs, const std::vector<std::string>& from,
                      bool keepFull, int level, const char* label, PatchOutcome* outcome) {
  std::vector<std::vector<std::string>> places;
  if (!ItemPlaces(inputs, &places)) return 0;

  // One job per distinct base of each input; covered[input][from] tells
  // whether every place of the input has a base in that folder.
  std::vector<PatchJob> jobs;
  std::map<std::pair<size_t, std::string>, size_t> jobOf;  // (input, size + hash) -> job
  std::vector<std::vector<std::vector<size_t>>> needs(inputs.size());  // [input][from] -> jobs
  std::vector<std::vector<bool>> missing(inputs.size(), std::vector<bool>(from.size(), false));
  for (size_t i = 0; i < inputs.size(); ++i) {
    needs[i].resize(from.size());
    for (size_t f = 0; f < from.size(); ++f) {
      for (const std::string& relative : places[i]) {
        std::string basePath, error;
        HostFileInfo info;
        if (!HostPathBelow(from[f], relative, &basePath) || !StatHostFile(basePath, &info, &error) ||
            !info.isRegular) {
          missing[i][f] = true;
          continue;
        }
        if (info.size > kPatchMaxBaseSize) {
          ReportWarning(basePath, "no patch from this file: it is larger than 2 GiB");
          missing[i][f] = true;
          continue;
        }
        HostFileView base;
        if (!MapHostFile(basePath, kPatchMaxBaseSize, &base, &error)) {
          ReportError(basePath, error);
          return 0;
        }
        PatchJob job;
        job.input = i;
        job.basePath = basePath;
        job.baseSize = base.size;
        DigestXxh3_128(base.data, base.size, job.baseHash);
        const auto [it, fresh] = jobOf.emplace(
            std::make_pair(i, std::to_string(base.size) + std::string(
                                  reinterpret_cast<const char*>(job.baseHash), 16)),
            jobs.size());
        if (fresh) jobs.push_back(std::move(job));
        needs[i][f].push_back(it->second);
      }
    }
  }

  std::atomic<size_t> next{0}, done{0};
  auto work = [&] {
    for (size_t j; (j = next.fetch_add(1)) < jobs.size();) {
      RunJob(&jobs[j], inputs[jobs[j].input], level);
      done.fetch_add(1);
    }
  };
  const size_t threads =
      std::max<size_t>(1, std::min<size_t>(std::thread::hardware_concurrency(), jobs.size()));
  std::vector<std::thread> helpers;
  for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
  const bool progress = StandardErrorIsTerminal() && Verbosity() >= 0 && !jobs.empty();
  std::thread shower;
  std::atomic<bool> finished{false};
  if (progress) {
    shower = std::thread([&] {
      while (!finished) {
        std::fprintf(stderr, "\r%s: patches %zu/%zu", label, done.load(), jobs.size());
        std::fflush(stderr);
        for (int k = 0; k < 5 && !finished; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(40));
      }
    });
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  finished = true;
  if (progress) {
    shower.join();
    std::fprintf(stderr, "\r%40s\r", "");
  }

  for (const PatchJob& job : jobs) {
    if (!job.ok) {
      ReportError(job.basePath, "no patch to " + inputs[job.input].path + ": " + job.error);
      return 0;
    }
    if (Verbosity() > 0)
      std::fprintf(stderr, "fa2: %s: patch from %s: %zu bytes against %llu for the full entry%s\n",
                   inputs[job.input].path.c_str(), job.basePath.c_str(), job.entry.stored.size(),
                   static_cast<unsigned long long>(job.fullSize), job.kept ? "" : " (not kept)");
  }
  outcome->patches.clear();
  outcome->dropFull.assign(inputs.size(), false);
  size_t kept = 0, dropped = 0;
  for (size_t i = 0; i < inputs.size(); ++i) {
    bool everyBase = !places[i].empty() && !from.empty();
    for (size_t f = 0; f < from.size(); ++f) {
      if (missing[i][f]) everyBase = false;
      for (size_t j : needs[i][f])
        if (!jobs[j].kept) everyBase = false;
    }
    for (PatchJob& job : jobs) {
      if (job.input == i && job.kept) {
        outcome->patches.push_back(std::move(job.entry));
        ++kept;
      }
    }
    outcome->dropFull[i] = everyBase && !keepFull;
    dropped += outcome->dropFull[i];
  }
  if (Verbosity() >= 0)
    std::printf("patches: %zu kept of %zu made; %zu full entr%s left out\n",
                 kept, jobs.size(), dropped, dropped == 1 ? "y" : "ies");
  return 1;
}
