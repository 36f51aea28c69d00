// Runs a modal course (the wizard alone, or the whole launch sequence) on a
// thread of its own, so that the test's thread can find the dialog, read its
// controls and press its buttons while the dialog's modal loop, and the
// update run inside it, goes on as in the updater.
#ifndef HARNESS_DIALOG_THREAD_H
#define HARNESS_DIALOG_THREAD_H

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class DialogThread {
 public:
  explicit DialogThread(std::function<INT_PTR()> body);
  // The course ends the way a player would end it: "中止" is pressed until
  // the thread is done; a course that still hangs is ended with WM_QUIT.
  ~DialogThread();
  DialogThread(const DialogThread&) = delete;
  DialogThread& operator=(const DialogThread&) = delete;

  // The wizard itself, opened from this program's own templates as the
  // launch sequence opens it.
  static std::function<INT_PTR()> Wizard(int templateId);

  // The visible dialog of the thread that is not a message box, waiting for
  // it to appear; null when none appears in time. The title it had when it
  // was first seen is kept.
  HWND WaitForDialog(DWORD timeoutMs = 10000);
  const std::string& firstTitle() const { return firstTitle_; }

  // Waits for the body to return. Returns whether it did in time.
  bool WaitForEnd(DWORD timeoutMs = 10000);
  bool ended() const { return ended_; }
  INT_PTR result() const { return result_; }

  // Returns once the dialog's thread has handled every message posted to it
  // before the call, and every message that those posted in turn (such as
  // the "中止" command the dialog manager posts for the close box). For
  // checks that something did not happen. False when the thread is stuck.
  bool Settle(DWORD timeoutMs = 10000);

  // The window that has the keyboard focus on the dialog's thread.
  HWND Focus() const;
  DWORD threadId() const { return threadId_; }

 private:
  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> ended_{false};
  std::atomic<INT_PTR> result_{0};
  std::string firstTitle_;
  // A message-only window of the dialog's thread that counts the markers
  // posted to it; posted messages of one thread are handled in order.
  std::atomic<HWND> marker_{nullptr};
  std::atomic<long> markersSeen_{0};
  std::thread thread_;
};

// Whether window is a message box: a dialog whose text is the static 0xFFFF.
bool IsMessageBoxWindow(HWND window);

// The text of a window or of a dialog's control, in the ANSI code page.
std::string WindowTextOf(HWND window);
std::string ControlText(HWND dialog, int id);

// Presses a button as the player does (BM_CLICK, posted). A player cannot
// press a missing, hidden or disabled button: then nothing is sent and the
// result is false.
bool Click(HWND dialog, int id);
// Posts the command of a control to the dialog whatever the control's state,
// as a stray or repeated click would.
void PostCommand(HWND dialog, int id);

// Polls condition every few milliseconds until it holds or timeoutMs pass.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

#endif
