#include "harness/dialog_thread.h"

#include "wizard/update_dialog.h"

namespace {

struct ThreadDialogSearch {
  HWND found = nullptr;
};

BOOL CALLBACK FindThreadDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ThreadDialogSearch*>(param);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(window) || IsMessageBoxWindow(window))
    return TRUE;
  search->found = window;
  return FALSE;
}

constexpr UINT kMarker = WM_APP + 1;

LRESULT CALLBACK MarkerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMarker) {
    reinterpret_cast<std::atomic<long>*>(lParam)->fetch_add(1);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateMarkerWindow() {
  static ATOM atom = [] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MarkerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "DialogThreadMarker";
    return RegisterClassA(&windowClass);
  }();
  return CreateWindowExA(0, MAKEINTATOM(atom), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

bool IsMessageBoxWindow(HWND window) { return GetDlgItem(window, 0xFFFF) != nullptr; }

std::string WindowTextOf(HWND window) {
  // WM_GETTEXT reaches the window's own thread, so a dialog running on
  // another thread answers with its current text.
  int length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = static_cast<int>(
      SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control ? WindowTextOf(control) : std::string();
}

bool Click(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button)) return false;
  return PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

void PostCommand(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > deadline) return false;
    Sleep(5);
  }
}

DialogThread::DialogThread(std::function<INT_PTR()> body)
    : thread_([this, body = std::move(body)] {
        marker_ = CreateMarkerWindow();
        threadId_ = GetCurrentThreadId();
        result_ = body();
        ended_ = true;
        DestroyWindow(marker_);
      }) {
  WaitFor([this] { return threadId_ != 0; });
}

DialogThread::~DialogThread() {
  if (!WaitFor([this] {
        if (ended_) return true;
        ThreadDialogSearch search;
        EnumThreadWindows(threadId_, FindThreadDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) PostCommand(search.found, IDCANCEL);
        return false;
      }, 3000)) {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  }
  thread_.join();
}

std::function<INT_PTR()> DialogThread::Wizard(int templateId) {
  return [templateId] {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), nullptr,
                           UpdateDlgProc, 0);
  };
}

HWND DialogThread::WaitForDialog(DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] {
    ThreadDialogSearch search;
    EnumThreadWindows(threadId_, FindThreadDialog, reinterpret_cast<LPARAM>(&search));
    found = search.found;
    return found != nullptr || ended_;
  }, timeoutMs);
  if (found && firstTitle_.empty()) firstTitle_ = WindowTextOf(found);
  return found;
}

bool DialogThread::WaitForEnd(DWORD timeoutMs) {
  return WaitFor([this] { return ended_.load(); }, timeoutMs);
}

bool DialogThread::Settle(DWORD timeoutMs) {
  for (int round = 0; round < 2; ++round) {
    long seen = markersSeen_;
    if (ended_) return true;
    PostMessageA(marker_, kMarker, 0, reinterpret_cast<LPARAM>(&markersSeen_));
    if (!WaitFor([&] { return markersSeen_ > seen || ended_; }, timeoutMs)) return false;
  }
  return true;
}

HWND DialogThread::Focus() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(threadId_, &info)) return nullptr;
  return info.hwndFocus;
}
