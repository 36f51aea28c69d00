// Runs an updater once as a player would, against a game installed from a
// folder, and tells what happened: the boxes it showed (each answered with
// OK), the wizard pages it went through (agreeing and pressing the default
// button until it ends) and its exit code, which becomes this program's.
//
//   sample_run [--manual] UPDATER_EXE GAME_FOLDER [INSTMODE]
//   sample_run [--manual] --installed UPDATER_EXE INSTALL_FOLDER
//
// GAME_FOLDER holds the installed game's files and its SETUP.INI; it is
// installed as InstallGameFromFolder says (installed_game.h). With
// --installed, the game is installed already (registry record and all) in
// INSTALL_FOLDER, as the kit's try-updater.sh leaves it. Paths may be given
// as host paths (/a/b). With --manual the player clicks, on the display.
#include <windows.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "harness/test_env.h"
#include "installed_game.h"
#include "updater_process.h"
#include "wizard_window.h"

namespace {

// Size and last-write time of every file below a folder, by path.
struct FileState {
  uint64_t size = 0;
  uint64_t time = 0;
  bool operator!=(const FileState& o) const { return size != o.size || time != o.time; }
};

void Snapshot(const std::string& folder, std::map<std::string, FileState>& files) {
  ForEachFileBelow(folder, [&](const std::string& path, const WIN32_FIND_DATAA& found) {
    FileState state;
    state.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    state.time = (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                 found.ftLastWriteTime.dwLowDateTime;
    files[path] = state;
  });
}

std::string LocalTime(uint64_t fileTime) {
  FILETIME utc = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  SYSTEMTIME t;
  FileTimeToSystemTime(&utc, &t);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u UTC", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute);
  return text;
}

// Tells which files the run wrote: new ones, and existing ones whose size or
// time changed.
void ReportFiles(const std::map<std::string, FileState>& before,
                 const std::map<std::string, FileState>& after) {
  int written = 0;
  for (const auto& [path, state] : after) {
    auto old = before.find(path);
    const char* what = old == before.end() ? "new     " : old->second != state ? "replaced" : nullptr;
    if (!what) continue;
    std::printf("  %s %s (%llu bytes, %s)\n", what, Utf8(path).c_str(),
                static_cast<unsigned long long>(state.size), LocalTime(state.time).c_str());
    written++;
  }
  if (!written) std::printf("  no file was written\n");
  for (const auto& [path, state] : before) {
    auto now = after.find(path);
    if (now != after.end() && !(now->second != state))
      std::printf("  kept     %s\n", Utf8(path).c_str());
  }
}

// Moves the wizard on as a player who agrees and presses the default button.
void StepWizard(HWND wizard) {
  WizardView view = ReadWizard(wizard);
  if (view[IDC_AGREE].exists && view[IDC_AGREE].enabled && !view[IDC_AGREE].checked)
    ClickButton(wizard, IDC_AGREE);
  if (view[IDC_NEXT].enabled) {
    std::printf("  wizard: %s -> [%s]\n", Utf8(view[IDC_INFO].text).c_str(),
                Utf8(view[IDC_NEXT].text).c_str());
    ClickButton(wizard, IDC_NEXT);
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool manual = false;
  bool preinstalled = false;
  for (; argc > 1 && argv[1][0] == '-' && argv[1][1] == '-'; argc--, argv++) {
    const std::string option = argv[1];
    if (option == "--manual") {
      manual = true;
    } else if (option == "--installed") {
      preinstalled = true;
    } else {
      argc = 0;  // an unknown option: the usage below
      break;
    }
  }
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: sample_run [--manual] UPDATER_EXE GAME_FOLDER [INSTMODE]\n"
                 "       sample_run [--manual] --installed UPDATER_EXE INSTALL_FOLDER\n");
    return 2;
  }
  std::string updater = WinePath(argv[1]);
  std::string game = WinePath(argv[2]);
  DWORD instMode = argc > 3 ? static_cast<DWORD>(std::atoi(argv[3])) : 1;

  std::string installed = game;
  if (!preinstalled && !InstallGameFromFolder(game, instMode, &installed)) return 2;

  std::map<std::string, FileState> before;
  Snapshot(installed, before);

  std::printf("running %s%s\n", Utf8(updater).c_str(),
              manual ? ": the wizard is yours, on the display" : "");
  UpdaterProcess process(updater, {}, /*hold=*/manual);
  if (!process.started()) return 2;
  size_t shownBoxes = 0;
  const DWORD limitMs = manual ? 30 * 60 * 1000 : 60000;
  ULONGLONG deadline = GetTickCount64() + limitMs;
  while (process.Running() && GetTickCount64() < deadline) {
    for (std::vector<SeenBox> boxes = process.Boxes().Boxes(); shownBoxes < boxes.size();
         shownBoxes++) {
      std::printf("  box [%s] %s\n", Utf8(boxes[shownBoxes].title).c_str(),
                  Utf8(boxes[shownBoxes].text).c_str());
    }
    for (const SeenWindow& window : manual ? std::vector<SeenWindow>() : process.Windows()) {
      if (window.className == "#32770" && IsWindow(window.window) &&
          !GetDlgItem(window.window, 0xFFFF) && IsWindowEnabled(window.window))
        StepWizard(window.window);
    }
    Sleep(100);
  }
  RunResult run = process.Wait(1000);
  for (; shownBoxes < run.boxes.size(); shownBoxes++) {
    std::printf("  box [%s] %s\n", Utf8(run.boxes[shownBoxes].title).c_str(),
                Utf8(run.boxes[shownBoxes].text).c_str());
  }
  if (!run.finished) {
    std::printf("the updater did not end within %s and was stopped\n",
                manual ? "half an hour" : "a minute");
    return 3;
  }
  std::map<std::string, FileState> after;
  Snapshot(installed, after);
  std::printf("files in %s:\n", Utf8(installed).c_str());
  ReportFiles(before, after);
  for (const std::string& name : run.tempLeftovers)
    std::printf("left in the temporary folder: %s\n", name.c_str());
  std::printf("exit code %lu\n", static_cast<unsigned long>(run.exitCode));
  return static_cast<int>(run.exitCode);
}
