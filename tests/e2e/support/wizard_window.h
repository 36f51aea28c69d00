// The updater's wizard seen from the outside: found by its caption among the
// windows of the updater's process, its controls read and its buttons
// pressed as the player would, and waits that poll instead of sleeping.
#ifndef E2E_WIZARD_WINDOW_H
#define E2E_WIZARD_WINDOW_H

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "harness/dialog_thread.h"  // PostCommand: a button's command, whatever its state
#include "resources/dialog_ids.h"   // the wizard's control ids

// Polls condition every few milliseconds until it holds or timeoutMs pass.
// Returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// The visible top-level dialog window (class WC_DIALOG, "#32770") of the
// process whose title is caption, or null. A message box of the same title
// is not taken: it has the static text control 0xFFFF.
HWND FindWizard(DWORD pid, const std::string& caption);
// The same, waiting for it to appear.
HWND WaitForWizard(DWORD pid, const std::string& caption, DWORD timeoutMs = 10000);

struct ControlView {
  bool exists = false;
  bool enabled = false;
  bool visible = false;
  bool checked = false;  // for buttons: BM_GETCHECK
  std::string text;      // CP932
};

struct WizardView {
  std::string title;
  std::map<int, ControlView> controls;  // by id: 1, 2, 4, 1000, 1001, 1002, 1003

  const ControlView& operator[](int id) const { return controls.at(id); }
};

ControlView ReadControl(HWND dialog, int id);
WizardView ReadWizard(HWND dialog);

// Presses a button as the player does (BM_CLICK). A player cannot press a
// missing, hidden or disabled button: then nothing is sent and the result is
// false. Posted, so that the test goes on while the wizard works.
bool ClickButton(HWND dialog, int id);

#endif
