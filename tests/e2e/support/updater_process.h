// One updater process, started as the player starts it and watched from the
// outside: every window it shows, every message box with what it says (the
// harness's MessageBoxWatcher, which also answers them by script), its exit
// code, and what it left in the temporary folder.
#ifndef E2E_UPDATER_PROCESS_H
#define E2E_UPDATER_PROCESS_H

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "harness/message_boxes.h"

// How long a run may take before it counts as hung. A run that needs no
// answer ends within a second; the limit only catches a program that waits
// for something no test gives it.
constexpr DWORD kRunTimeoutMs = 20000;

struct SeenWindow {
  HWND window = nullptr;
  std::string className;
  std::string title;  // CP932, as first seen
};

struct RunResult {
  bool finished = false;  // ended by itself within the time limit
  DWORD exitCode = 0;
  std::vector<SeenBox> boxes;       // message boxes, in the order shown
  std::vector<SeenWindow> windows;  // every visible top-level window, boxes included
  // Files of the temporary folder that an updater might leave (upd*.tmp from
  // GetTempFileNameA, UPDATE.INI) and that were not there before the start.
  std::vector<std::string> tempLeftovers;
};

// The names in the temporary folder that an updater's copy of UPDATE.INI
// could have.
std::set<std::string> UpdaterTempFiles();
std::string TempFolder();

class UpdaterProcess {
 public:
  // Starts exe. Its message boxes are answered with answers in order, then
  // with OK (or their first button); with hold, they stay open until
  // Boxes().Hold(false).
  explicit UpdaterProcess(const std::string& exe, std::vector<int> answers = {},
                          bool hold = false);
  // Ends the process if it still runs.
  ~UpdaterProcess();
  UpdaterProcess(const UpdaterProcess&) = delete;
  UpdaterProcess& operator=(const UpdaterProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD pid() const { return pid_; }
  MessageBoxWatcher& Boxes() { return *watcher_; }
  bool Running() const;
  std::vector<SeenWindow> Windows() const;

  // From now on, whenever the wizard is open and usable, plays it through as
  // a player who agrees and presses "次へ" (then "完了") until it ends. For
  // tests about what happens before or after the wizard.
  void PlayWizard();

  // Waits for the process to end (ending it after timeoutMs) and returns
  // what it showed and left.
  RunResult Wait(DWORD timeoutMs = kRunTimeoutMs);

 private:
  void LogWindows();
  void Play();

  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  std::set<std::string> tempBefore_;
  std::unique_ptr<MessageBoxWatcher> watcher_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<SeenWindow> windows_;
  std::thread logger_;
  std::thread player_;
};

#endif
