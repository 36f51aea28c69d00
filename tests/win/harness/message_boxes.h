// Watches the message boxes that a process shows, records what the player
// would see in each (owner, title, text, icon, buttons) and answers them by
// script. It runs on a thread of its own and works across processes, so the
// same watcher serves tests that call the updater's functions in-process and
// end-to-end tests that drive the real updater.
#ifndef HARNESS_MESSAGE_BOXES_H
#define HARNESS_MESSAGE_BOXES_H

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/updater_contract.h"  // the updater's messages that tests expect

struct SeenBox {
  HWND window = nullptr;
  HWND owner = nullptr;
  std::string title;  // CP932 bytes, as the program passed them
  std::string text;
  int icon = 0;       // 0, MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION or MB_ICONQUESTION
  std::vector<int> buttons;  // control ids in the box, e.g. {IDOK} or {IDOK, IDCANCEL}
  int answer = 0;            // the id the watcher pressed
};

class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(DWORD processId = GetCurrentProcessId());
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Answers the next boxes with these ids, in order. A box for which no
  // scripted answer is left gets IDOK when it has that button, else its first.
  void Script(std::vector<int> answers);
  // While held, boxes are recorded but not answered, so that a test can look
  // at the program while a box stays open. Hold(false) answers them.
  void Hold(bool hold);

  std::vector<SeenBox> Boxes() const;
  size_t Count() const;
  bool WaitForCount(size_t n, DWORD timeoutMs = 10000) const;

 private:
  void Run();
  void Poll();

  DWORD processId_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hold_{false};
  mutable std::mutex mutex_;
  std::deque<int> script_;
  std::vector<SeenBox> boxes_;
  std::vector<HWND> pending_;  // seen, not answered yet (while held)
  std::vector<HWND> answered_;
  std::thread thread_;
};

// The visible top-level windows of a process, in Z order.
std::vector<HWND> VisibleWindowsOf(DWORD processId);

// Recognises a message box window and reads what it shows. Returns false for
// any other window. Exposed for the end-to-end driver, which also looks at
// the other windows of the updater.
bool ReadMessageBox(HWND window, SeenBox* box);

#endif
