#include "harness/message_boxes.h"

#include <algorithm>

#include "harness/screen_icon.h"

namespace {

// A message box is a dialog of the system dialog class whose text is the
// static control 0xFFFF; its icon is a static control of its own.
constexpr int kBoxTextId = 0xFFFF;

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(window, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

bool IsDialogClass(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpA(name, "#32770") == 0;
}

int IconKind(HWND window) {
  // The box shows one of the shared system icons; compare the handle the
  // static control holds with each of them.
  struct Kind { LPCSTR id; int style; };
  const Kind kinds[] = {{IDI_HAND, MB_ICONERROR}, {IDI_EXCLAMATION, MB_ICONWARNING},
                        {IDI_ASTERISK, MB_ICONINFORMATION}, {IDI_QUESTION, MB_ICONQUESTION}};
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Static") != 0 || !IsWindowVisible(child)) continue;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    if (!icon) continue;
    for (const Kind& k : kinds) {
      if (icon == LoadIconA(nullptr, k.id)) return k.style;
    }
    // Not a handle of this process: a box of another process, or an icon
    // that is not one of the system's (-1).
    return RecogniseIconOnScreen(child);
  }
  return 0;
}

}  // namespace

std::vector<HWND> VisibleWindowsOf(DWORD processId) {
  struct Found { DWORD pid; std::vector<HWND> windows; } found{processId, {}};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* f = reinterpret_cast<Found*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == f->pid && IsWindowVisible(window)) f->windows.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

bool ReadMessageBox(HWND window, SeenBox* box) {
  if (!IsWindow(window) || !IsDialogClass(window)) return false;
  HWND textControl = GetDlgItem(window, kBoxTextId);
  if (!textControl) return false;
  box->window = window;
  box->owner = GetWindow(window, GW_OWNER);
  box->title = WindowText(window);
  box->text = WindowText(textControl);
  box->icon = IconKind(window);
  box->buttons.clear();
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Button") != 0 || !IsWindowVisible(child)) continue;
    box->buttons.push_back(GetDlgCtrlID(child));
  }
  return true;
}

MessageBoxWatcher::MessageBoxWatcher(DWORD processId)
    : processId_(processId), thread_([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

void MessageBoxWatcher::Script(std::vector<int> answers) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_.assign(answers.begin(), answers.end());
}

void MessageBoxWatcher::Hold(bool hold) { hold_ = hold; }

std::vector<SeenBox> MessageBoxWatcher::Boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

size_t MessageBoxWatcher::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_.size();
}

bool MessageBoxWatcher::WaitForCount(size_t n, DWORD timeoutMs) const {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (Count() < n) {
    if (GetTickCount64() > deadline) return false;
    Sleep(10);
  }
  return true;
}

void MessageBoxWatcher::Run() {
  while (!stop_) {
    Poll();
    Sleep(15);
  }
}

void MessageBoxWatcher::Poll() {
  for (HWND window : VisibleWindowsOf(processId_)) {
    bool known;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      known = std::find(answered_.begin(), answered_.end(), window) != answered_.end() ||
              std::find(pending_.begin(), pending_.end(), window) != pending_.end();
    }
    if (known) continue;
    SeenBox box;
    if (!ReadMessageBox(window, &box)) continue;
    // A box is read once its text is in place: the window can be visible a
    // moment before its controls are filled.
    if (box.buttons.empty()) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(window);
    boxes_.push_back(box);
  }

  if (hold_) return;
  std::vector<HWND> toAnswer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    toAnswer.swap(pending_);
  }
  for (HWND window : toAnswer) {
    int answer = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = std::find_if(boxes_.begin(), boxes_.end(),
                             [window](const SeenBox& b) { return b.window == window && !b.answer; });
      if (it == boxes_.end()) continue;
      if (!script_.empty()) {
        answer = script_.front();
        script_.pop_front();
      } else if (std::find(it->buttons.begin(), it->buttons.end(), IDOK) != it->buttons.end()) {
        answer = IDOK;
      } else {
        answer = it->buttons.front();
      }
      it->answer = answer;
      answered_.push_back(window);
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, answer)));
  }
}
