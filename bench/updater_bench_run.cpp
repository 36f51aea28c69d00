// Times the real updater against copying the same bytes, for
// bench/updater_bench.sh (a benchmark, not a test).
//
//   updater_bench_run UPDATER_EXE GAME_FOLDER SOURCE_FOLDER [RUNS]
//
// Installs the game of GAME_FOLDER (installed_game.h), then RUNS times (5 by
// default): runs the updater, played through, and times its update run,
// from the press of "次へ" on the confirmation page until the "完了" page is
// there; and copies every file of SOURCE_FOLDER (the update's files,
// unpacked) with CopyFileA into a fresh folder on C:, timed as a whole.
// Prints each time, the best of each and the bytes that the copy moved.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

// Copies every file of a folder into a fresh folder; returns the seconds and
// adds the bytes copied.
double TimeCopy(const std::string& source, const std::string& target, unsigned long long* bytes) {
  RemoveTree(target);
  CreateDirectoryA(target.c_str(), nullptr);
  std::vector<std::pair<std::string, unsigned long long>> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((source + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return -1;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    files.emplace_back(found.cFileName,
                       (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) |
                           found.nFileSizeLow);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  double start = Seconds();
  for (const auto& [name, size] : files) {
    if (!CopyFileA((source + "\\" + name).c_str(), (target + "\\" + name).c_str(), FALSE))
      return -1;
  }
  double seconds = Seconds() - start;
  *bytes = 0;
  for (const auto& file : files) *bytes += file.second;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: updater_bench_run UPDATER_EXE GAME_FOLDER SOURCE_FOLDER [RUNS]\n");
    return 2;
  }
  std::string updater = WinePath(argv[1]);
  std::string source = WinePath(argv[3]);
  int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  std::string installed;
  if (!InstallGameFromFolder(WinePath(argv[2]), 1, &installed)) return 2;

  double bestUpdater = 1e9;
  double bestCopy = 1e9;
  unsigned long long bytes = 0;
  for (int i = 0; i < runs; i++) {
    double u = TimeUpdater(updater);
    if (u < 0) {
      std::printf("the updater run failed\n");
      return 1;
    }
    double c = TimeCopy(source, "C:\\bench-copy", &bytes);
    if (c < 0) {
      std::printf("CopyFileA failed\n");
      return 1;
    }
    std::printf("run %d: updater %.2f s, CopyFileA %.2f s\n", i + 1, u, c);
    bestUpdater = std::min(bestUpdater, u);
    bestCopy = std::min(bestCopy, c);
  }
  RemoveTree("C:\\bench-copy");
  // The update really is on disk: every file as the source holds it.
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((source + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      std::string name = found.cFileName;
      if (ReadBytes(installed + "\\" + name) != ReadBytes(source + "\\" + name)) {
        std::printf("%s differs from the update's file\n", name.c_str());
        return 1;
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  std::printf("bytes %llu, written by the updater as they are in the update\n", bytes);
  std::printf("best updater run %.2f s (%.0f MB/s)\n", bestUpdater, bytes / 1e6 / bestUpdater);
  std::printf("best CopyFileA %.2f s (%.0f MB/s)\n", bestCopy, bytes / 1e6 / bestCopy);
  return 0;
}
