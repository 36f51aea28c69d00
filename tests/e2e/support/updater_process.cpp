#include "updater_process.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "wizard_window.h"

namespace {

std::string WindowTitle(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The names that GetTempFileNameA (prefix "upd") and the updater could give
// its copy of UPDATE.INI. File names compare without regard to case; these
// are ASCII, so an ASCII fold is enough.
bool IsUpdaterTempName(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower == "update.ini" ||
         (lower.size() > 7 && lower.rfind("upd", 0) == 0 &&
          lower.compare(lower.size() - 4, 4, ".tmp") == 0);
}

}  // namespace

std::string TempFolder() {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  return folder;
}

std::set<std::string> UpdaterTempFiles() {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((TempFolder() + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (IsUpdaterTempName(found.cFileName)) names.insert(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

UpdaterProcess::UpdaterProcess(const std::string& exe, std::vector<int> answers, bool hold) {
  tempBefore_ = UpdaterTempFiles();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string commandLine = "\"" + exe + "\"";
  // Started suspended, so that the watchers are in place before the program
  // can show anything.
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &info)) {
    ADD_FAILURE() << "cannot start " << exe << " (error " << GetLastError() << ")";
    return;
  }
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
  watcher_ = std::make_unique<MessageBoxWatcher>(pid_);
  watcher_->Script(std::move(answers));
  watcher_->Hold(hold);
  logger_ = std::thread([this] { LogWindows(); });
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
}

UpdaterProcess::~UpdaterProcess() {
  if (process_ && Running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  stop_ = true;
  if (logger_.joinable()) logger_.join();
  if (player_.joinable()) player_.join();
  if (process_) CloseHandle(process_);
}

bool UpdaterProcess::Running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::vector<SeenWindow> UpdaterProcess::Windows() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return windows_;
}

void UpdaterProcess::LogWindows() {
  while (!stop_) {
    for (HWND window : VisibleWindowsOf(pid_)) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (std::any_of(windows_.begin(), windows_.end(),
                      [window](const SeenWindow& w) { return w.window == window; }))
        continue;
      SeenWindow seen;
      seen.window = window;
      char name[256] = {};
      GetClassNameA(window, name, sizeof name);
      seen.className = name;
      seen.title = WindowTitle(window);
      windows_.push_back(seen);
    }
    Sleep(10);
  }
}

void UpdaterProcess::PlayWizard() {
  if (process_ && !player_.joinable()) player_ = std::thread([this] { Play(); });
}

void UpdaterProcess::Play() {
  while (!stop_ && Running()) {
    for (const SeenWindow& seen : Windows()) {
      HWND wizard = seen.window;
      // The wizard, not a box, and not disabled under a box of its own.
      if (seen.className != "#32770" || !IsWindow(wizard) || GetDlgItem(wizard, 0xFFFF) ||
          !IsWindowVisible(wizard) || !IsWindowEnabled(wizard))
        continue;
      WizardView view = ReadWizard(wizard);
      if (view[IDC_AGREE].exists && view[IDC_AGREE].visible && !view[IDC_AGREE].checked) {
        ClickButton(wizard, IDC_AGREE);
        WaitUntil([&] { return !IsWindow(wizard) || ReadControl(wizard, IDC_AGREE).checked; }, 2000);
        continue;
      }
      if (!view[IDC_NEXT].enabled) continue;
      // One press at a time: the next waits until the page has changed.
      ClickButton(wizard, IDC_NEXT);
      WaitUntil([&] {
        if (!IsWindow(wizard)) return true;
        WizardView now = ReadWizard(wizard);
        return now[IDC_INFO].text != view[IDC_INFO].text ||
               now[IDC_NEXT].text != view[IDC_NEXT].text;
      }, 2000);
    }
    Sleep(10);
  }
}

RunResult UpdaterProcess::Wait(DWORD timeoutMs) {
  RunResult result;
  if (!process_) return result;
  result.finished = WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
  if (!result.finished) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  GetExitCodeProcess(process_, &result.exitCode);
  stop_ = true;
  if (logger_.joinable()) logger_.join();
  if (player_.joinable()) player_.join();
  result.boxes = watcher_->Boxes();
  result.windows = Windows();
  for (const std::string& name : UpdaterTempFiles()) {
    if (!tempBefore_.count(name)) result.tempLeftovers.push_back(name);
  }
  return result;
}
