#include "wizard_window.h"

namespace {

std::string Text(HWND window) {
  // Cross-process: WM_GETTEXT is marshalled by the system for every window.
  int length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = static_cast<int>(
      SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  return WaitFor(condition, timeoutMs);
}

HWND FindWizard(DWORD pid, const std::string& caption) {
  struct Search { DWORD pid; const std::string* caption; HWND found; } search{pid, &caption, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s->pid || !IsWindowVisible(window)) return TRUE;
        char name[64] = {};
        GetClassNameA(window, name, sizeof name);
        if (lstrcmpA(name, "#32770") != 0 || GetDlgItem(window, 0xFFFF)) return TRUE;
        if (Text(window) != *s->caption) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWizard(DWORD pid, const std::string& caption, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWizard(pid, caption)) != nullptr; }, timeoutMs);
  return found;
}

ControlView ReadControl(HWND dialog, int id) {
  ControlView view;
  HWND control = GetDlgItem(dialog, id);
  if (!control) return view;
  view.exists = true;
  view.enabled = IsWindowEnabled(control) != FALSE;
  view.visible = IsWindowVisible(control) != FALSE;
  view.text = Text(control);
  char name[32] = {};
  GetClassNameA(control, name, sizeof name);
  if (lstrcmpiA(name, "Button") == 0)
    view.checked = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
  return view;
}

WizardView ReadWizard(HWND dialog) {
  WizardView view;
  view.title = Text(dialog);
  for (int id :
       {IDC_NEXT, IDC_STOP, IDC_BACK, IDC_AGREEMENT_TEXT, IDC_INFO, IDC_AGREE, IDC_DISAGREE})
    view.controls[id] = ReadControl(dialog, id);
  return view;
}

bool ClickButton(HWND dialog, int id) { return Click(dialog, id); }
