// Times the real updater against copying the same bytes, for
// bench/updater_bench.sh (a benchmark, not a test).
//
//   updater_bench_run UPDATER_EXE GAME_FOLDER SOURCE_FOLDER [RUNS]
//
// Installs the game of GAME_FOLDER (installed_game.h) and runs the updater
// once untimed, so that the game holds an older copy of every file of the
// update, as a game being updated does. Then RUNS times (5 by default), one
// after the other in each round:
//   - the updater, played through, its update run timed from the press of
//     "次へ" on the confirmation page until the "完了" page is there: it
//     replaces the files that the run before wrote;
//   - CopyFileA of every file of SOURCE_FOLDER (the update's files,
//     unpacked) over copies of them in a folder on C:, timed as a whole;
//   - a durable copy: the same, each file flushed with FlushFileBuffers
//     before the next one, as the updater must have its files on the disk
//     before it puts them in place.
// Every step finds the files that it replaces on the disk, and leaves its
// own there before the next step, so that no step waits for the disk on
// bytes that an earlier one left behind.
// Then one more updater run, not timed, that watches the game folder every
// millisecond for the phases of the run (planning until the first staged
// file, decoding until every staged file has its entry's time, flushing until
// the first old file is moved aside, the commit and the end, and the old
// files' deletion that goes on behind the last page) and reads the
// updater's memory counters at its end.
// Prints each time, the best of each, the profile, and last the line
//   apply: updater X.XX s, durable copy Y.YY s, ratio R.RR
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "harness/test_env.h"
#include "installed_game.h"
#include "updater_process.h"
#include "wizard_window.h"

namespace {

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HWND FindAnyWizard(UpdaterProcess& process) {
  for (const SeenWindow& seen : process.Windows()) {
    if (seen.className == "#32770" && IsWindow(seen.window) && !GetDlgItem(seen.window, 0xFFFF))
      return seen.window;
  }
  return nullptr;
}

// One updater run; returns the seconds of its update run, or a negative
// number when it did not finish with exit code 1.
double TimeUpdater(const std::string& updater) {
  UpdaterProcess process(updater);
  HWND wizard = nullptr;
  if (!WaitUntil([&] { return (wizard = FindAnyWizard(process)) != nullptr; }, 60000)) return -1;
  ClickButton(wizard, IDC_NEXT);
  if (!WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == "アップデートを実行します"; }))
    return -1;
  double start = Seconds();
  ClickButton(wizard, IDC_NEXT);
  // The wizard answers only once the run has returned to its message loop.
  WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).text == "完了"; }, 600000);
  double seconds = Seconds() - start;
  ClickButton(wizard, IDC_NEXT);
  RunResult run = process.Wait(60000);
  if (!run.finished || run.exitCode != 1) {
    for (const SeenBox& box : run.boxes) std::printf("  box: %s\n", Utf8(box.text).c_str());
    return -1;
  }
  return seconds;
}

uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// What the profile run sees of the run's files in the game folder.
struct FolderState {
  int staged = 0;        // ~UPN files
  int stagedDone = 0;    // of those, the ones that have their entry's time
  int backups = 0;       // ~UPO files
};

FolderState LookAtFolder(const std::string& folder, uint64_t doneBefore) {
  FolderState state;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\~UP*.TMP").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return state;
  do {
    if (std::strncmp(found.cFileName, "~UPN", 4) == 0) {
      ++state.staged;
      if (FileTimeValue(found.ftLastWriteTime) < doneBefore) ++state.stagedDone;
    } else if (std::strncmp(found.cFileName, "~UPO", 4) == 0) {
      ++state.backups;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return state;
}

// One updater run, watched: prints the seconds of each phase of its update
// run and the updater's memory counters at its end. The entries' times are
// those of the update's files, written well before this run; a staged file
// gets its entry's time when its decoding is done.
int ProfileUpdater(const std::string& updater, const std::string& game, int files) {
  UpdaterProcess process(updater);
  HWND wizard = nullptr;
  if (!WaitUntil([&] { return (wizard = FindAnyWizard(process)) != nullptr; }, 60000)) return 0;
  ClickButton(wizard, IDC_NEXT);
  if (!WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == "アップデートを実行します"; }))
    return 0;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t doneBefore = FileTimeValue(now) - 20000000ull;  // two seconds back
  const double start = Seconds();
  // The press is posted: the wizard is busy with the run until its end and
  // answers no message meanwhile, while the folder is watched.
  ClickButton(wizard, IDC_NEXT);
  double planned = 0, decoded = 0, flushed = 0, committed = 0;
  while (Seconds() - start < 600) {
    const FolderState state = LookAtFolder(game, doneBefore);
    const double t = Seconds() - start;
    if (!planned && state.staged) planned = t;
    if (!decoded && state.staged == files && state.stagedDone == files) decoded = t;
    if (!flushed && state.backups) {
      flushed = t;
      if (!decoded) decoded = t;
      if (!planned) planned = t;
    }
    if (flushed && !committed && !state.staged) committed = t;
    if (committed) break;
    Sleep(1);
  }
  WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).text == "完了"; }, 600000);
  const double end = Seconds() - start;
  // The old files go on a thread of their own while the page is shown.
  WaitUntil([&] { return LookAtFolder(game, doneBefore).backups == 0; }, 600000);
  const double deleted = Seconds() - start;
  std::printf("profile (one more run, the folder watched every millisecond):\n");
  std::printf("  plan (until the first staged file)    %.2f s\n", planned);
  std::printf("  create and decode (all staged files)  %.2f s\n", decoded - planned);
  std::printf("  flush (until the first old file moves) %.2f s\n", flushed - decoded);
  std::printf("  commit (renames)                      %.2f s\n", committed - flushed);
  std::printf("  finish (page shown)                   %.2f s\n", end - committed);
  std::printf("  whole run                             %.2f s\n", end);
  std::printf("  old files deleted, behind the page    %.2f s more\n", deleted - end);

  HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process.pid());
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (handle && K32GetProcessMemoryInfo(handle, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                         sizeof counters)) {
    std::printf("updater memory: PeakPagefileUsage %.1f MiB, PrivateUsage %.1f MiB, "
                "PeakWorkingSetSize %.1f MiB\n",
                counters.PeakPagefileUsage / 1048576.0, counters.PrivateUsage / 1048576.0,
                counters.PeakWorkingSetSize / 1048576.0);
  }
  if (handle) CloseHandle(handle);
  ClickButton(wizard, IDC_NEXT);
  RunResult run = process.Wait(60000);
  return run.finished && run.exitCode == 1;
}

// Copies every file of source into target, flushing each when durable.
int CopyFiles(const std::string& source, const std::string& target,
              const std::vector<std::pair<std::string, unsigned long long>>& files, int durable) {
  for (const auto& [name, size] : files) {
    const std::string copy = target + "\\" + name;
    if (!CopyFileA((source + "\\" + name).c_str(), copy.c_str(), FALSE)) return 0;
    if (durable) {
      HANDLE file = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) return 0;
      const BOOL flushed = FlushFileBuffers(file);
      CloseHandle(file);
      if (!flushed) return 0;
    }
  }
  return 1;
}

// The names and sizes of the files of a folder.
std::vector<std::pair<std::string, unsigned long long>> FolderFiles(const std::string& folder) {
  std::vector<std::pair<std::string, unsigned long long>> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    files.emplace_back(found.cFileName,
                       (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) |
                           found.nFileSizeLow);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

// Copies every file of a folder over copies of them already on the disk;
// returns the seconds and adds the bytes copied.
double TimeCopy(const std::string& source, const std::string& target, int durable,
                unsigned long long* bytes) {
  RemoveTree(target);
  CreateDirectoryA(target.c_str(), nullptr);
  const auto files = FolderFiles(source);
  if (files.empty()) return -1;
  if (!CopyFiles(source, target, files, 1)) return -1;  // the older copies, on the disk
  const double start = Seconds();
  if (!CopyFiles(source, target, files, durable)) return -1;
  const double seconds = Seconds() - start;
  if (!durable && !CopyFiles(source, target, files, 1)) return -1;
  RemoveTree(target);
  *bytes = 0;
  for (const auto& file : files) *bytes += file.second;
  return seconds;
}

}  // namespace


// The patch case: before each timed run the previous version's files are put
// back into the game (untimed, flushed), and the patching updater makes the
// new ones of them; timed against the durable copy of the new files. One
// more run is profiled. Prints the last line "patch: ...".
int RunPatchCase(const std::string& patcher, const std::string& old, const std::string& source,
                 const std::string& installed, int runs) {
  const auto oldFiles = FolderFiles(old);
  double bestPatch = 1e9, bestDurable = 1e9;
  unsigned long long bytes = 0;
  for (int i = 0; i < runs; i++) {
    if (!CopyFiles(old, installed, oldFiles, 1)) {
      std::printf("the old files could not be put back\n");
      return 1;
    }
    const double u = TimeUpdater(patcher);
    const double d = TimeCopy(source, "C:\\bench-copy", 1, &bytes);
    if (u < 0 || d < 0) {
      std::printf("the patching updater run or the copy failed\n");
      return 1;
    }
    std::printf("patch run %d: updater %.2f s, durable copy %.2f s\n", i + 1, u, d);
    bestPatch = std::min(bestPatch, u);
    bestDurable = std::min(bestDurable, d);
  }
  RemoveTree("C:\\bench-copy");
  // Where a patching run's time goes: its plan hashes the installed files.
  if (!CopyFiles(old, installed, oldFiles, 1) ||
      !ProfileUpdater(patcher, installed, static_cast<int>(oldFiles.size()))) {
    std::printf("the profiled patching run failed\n");
    return 1;
  }
  for (const auto& [name, size] : FolderFiles(source)) {
    if (ReadBytes(installed + "\\" + name) != ReadBytes(source + "\\" + name)) {
      std::printf("%s differs from the update's file after patching\n", name.c_str());
      return 1;
    }
  }
  std::printf("patched files are the update's files, %llu bytes\n", bytes);
  std::printf("patch: updater %.2f s, durable copy %.2f s, ratio %.2f\n", bestPatch, bestDurable,
              bestPatch / bestDurable);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: updater_bench_run UPDATER_EXE GAME_FOLDER SOURCE_FOLDER [RUNS "
                         "[OLD_FOLDER PATCH_UPDATER_EXE]]\n");
    return 2;
  }
  std::string updater = WinePath(argv[1]);
  std::string source = WinePath(argv[3]);
  int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  std::string installed;
  if (!InstallGameFromFolder(WinePath(argv[2]), 1, &installed)) return 2;

  // The files that every timed run replaces.
  if (TimeUpdater(updater) < 0) {
    std::printf("the first updater run failed\n");
    return 1;
  }
  double bestUpdater = 1e9;
  double bestCopy = 1e9;
  double bestDurable = 1e9;
  unsigned long long bytes = 0;
  for (int i = 0; i < runs; i++) {
    double u = TimeUpdater(updater);
    if (u < 0) {
      std::printf("the updater run failed\n");
      return 1;
    }
    double c = TimeCopy(source, "C:\\bench-copy", 0, &bytes);
    double d = TimeCopy(source, "C:\\bench-copy", 1, &bytes);
    if (c < 0 || d < 0) {
      std::printf("CopyFileA failed\n");
      return 1;
    }
    std::printf("run %d: updater %.2f s, CopyFileA %.2f s, durable copy %.2f s\n", i + 1, u, c, d);
    bestUpdater = std::min(bestUpdater, u);
    bestCopy = std::min(bestCopy, c);
    bestDurable = std::min(bestDurable, d);
  }
  RemoveTree("C:\\bench-copy");
  // The update really is on disk: every file as the source holds it.
  const auto sourceFiles = FolderFiles(source);
  for (const auto& [name, size] : sourceFiles) {
    if (ReadBytes(installed + "\\" + name) != ReadBytes(source + "\\" + name)) {
      std::printf("%s differs from the update's file\n", name.c_str());
      return 1;
    }
  }
  std::printf("bytes %llu, written by the updater as they are in the update\n", bytes);
  std::printf("best updater run %.2f s (%.0f MB/s)\n", bestUpdater, bytes / 1e6 / bestUpdater);
  std::printf("best CopyFileA %.2f s (%.0f MB/s)\n", bestCopy, bytes / 1e6 / bestCopy);
  std::printf("best durable copy %.2f s (%.0f MB/s)\n", bestDurable, bytes / 1e6 / bestDurable);
  if (!ProfileUpdater(updater, installed, static_cast<int>(sourceFiles.size()))) {
    std::printf("the profiled updater run failed\n");
    return 1;
  }
  std::printf("apply: updater %.2f s, durable copy %.2f s, ratio %.2f\n", bestUpdater, bestDurable,
              bestUpdater / bestDurable);
  if (argc > 6) return RunPatchCase(WinePath(argv[6]), WinePath(argv[5]), source, installed, runs);
  return 0;
}
