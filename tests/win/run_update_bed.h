// The test bed of the update run: a payload archive in memory, an UPDATE.INI
// in a scratch folder, the install record, and the wizard's dialog made from
// template 100 of this program, on which RunUpdate runs modally as it does
// inside the wizard. After the run the bed records what the player sees: the
// Info text, the three buttons, the focus, the cursor and how the dialog
// ended.
#ifndef RUN_UPDATE_BED_H
#define RUN_UPDATE_BED_H

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_directory_win32.h"
#include "common/updater_state_win32.h"
#include "harness/message_boxes.h"
#include "harness/test_env.h"
#include "platform/update_journal.h"
#include "test_archives.h"
#include "wizard/run_update.h"

// 2001-02-03 04:05:06 UTC as a FILETIME: long before any run of the tests.
constexpr uint64_t kEntryTime = 126258687060000000ull;
// What DialogBoxParamA returns when the run left the dialog open.
constexpr INT_PTR kStillOpen = 100;

struct BedEntry {
  std::string name;
  std::string content;
  uint64_t time = kEntryTime;
};

// What the dialog showed when RunUpdate returned, and how it ended.
struct RunOutcome {
  HWND dialog = nullptr;
  INT_PTR end = 0;  // -1 when the run ended it, kStillOpen when it stayed open
  std::string info;
  bool backEnabled = false;
  bool nextEnabled = false;
  bool cancelEnabled = false;
  std::string nextText;
  bool nextFocused = false;
  HCURSOR cursor = nullptr;
  // The cursor when the run opened its first message box, before that box's
  // own message loop could let a mouse movement change it.
  HCURSOR cursorAtFirstBox = nullptr;
  // Every text that the run put into the Info field, in order.
  std::vector<std::string> infoTexts;
};

inline HCURSOR SystemCursor(LPCSTR id) { return LoadCursorA(nullptr, id); }

inline uint64_t LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

inline uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

inline void SetLastWriteTime(const std::string& path, uint64_t time) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  FILETIME ft = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &ft));
  CloseHandle(file);
}

class RunBed {
 public:
  // The installation folder is a fresh scratch folder on C: unless the test
  // names another with SetInstPath.
  RunBed() {
    ResetUpdaterState();
    lstrcpyA(State.InstPath, inst_.path().c_str());
    lstrcpyA(State.DataPath, data_.path().c_str());
    lstrcpyA(State.Caption, "テスト アップデータ 1.0");
    lstrcpyA(State.GameTitle, "テストゲーム");
    State.InstMode = 1;
    State.KeysOptional = 1;  // as during the run: keys of UPDATE may be missing
    lstrcpyA(State.UpdateIniPath, ini_.file("UPDATE.INI").c_str());
  }
  ~RunBed() {
    if (State.Directory) GlobalFree(State.Directory);
    ResetUpdaterState();
  }
  RunBed(const RunBed&) = delete;
  RunBed& operator=(const RunBed&) = delete;

  // Every message box of the bed's runs, answered by script (IDOK where none
  // is left).
  MessageBoxWatcher boxes;

  // Called whenever the run sets the Info text, with the new text: a point
  // in the middle of a run at which a test can change the world, as a player
  // changes discs while the run copies.
  std::function<void(const std::string&)> onInfoText;

  const std::string& inst() const { return inst_.path(); }
  const std::string& data() const { return data_.path(); }
  std::string InInst(const std::string& name) const { return inst_.file(name); }
  std::string InData(const std::string& name) const { return data_.file(name); }

  // The payload: the entries packed as the publisher's tool packs them,
  // compressed where that is shorter, with a compressed directory.
  void Payload(const std::vector<BedEntry>& entries) {
    std::vector<TestFile> files;
    for (const BedEntry& entry : entries) files.push_back({entry.name, entry.content, entry.time});
    std::string error;
    image_ = PackTestArchive(files, &error);
    ASSERT_FALSE(image_.empty()) << error;
    State.PayloadImage = image_.data();
    State.PayloadSize = static_cast<uint32_t>(image_.size());
    if (State.Directory) GlobalFree(State.Directory);
    State.Directory = LoadArchiveDirectory();
    ASSERT_NE(State.Directory, nullptr);
    State.DirectoryEntries = State.Archive.Entries;
  }

  // Section UPDATE of UPDATE.INI, one "key=value" a line, written with CR LF
  // (the literals of the tests are Shift-JIS already).
  void UpdateSection(const std::vector<std::string>& lines) {
    std::string text = "[SETUP]\r\nCompanyName=Maker\r\n[UPDATE]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    ASSERT_TRUE(WriteBytes(State.UpdateIniPath, text));
  }

  // Runs RunUpdate on a dialog made from template 100, as the wizard does on
  // its confirmation page, and records the outcome.
  RunOutcome Run() {
    RunOutcome outcome;
    // Keep the pointer off the dialog, so that no WM_SETCURSOR replaces the
    // cursor that the run set.
    SetCursorPos(0, 0);
    current_ = this;
    const INT_PTR end = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100),
                                        nullptr, DialogProc, reinterpret_cast<LPARAM>(&outcome));
    EXPECT_NE(outcome.dialog, nullptr) << "the dialog did not open";
    WaitForJournalFinished();
    current_ = nullptr;
    outcome.end = end;
    return outcome;
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        reinterpret_cast<RunOutcome*>(lParam)->dialog = dialog;
        State.OwnerWindow = dialog;
        infoProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            GetDlgItem(dialog, 1001), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InfoProc)));
        // The confirmation page: Next and Cancel enabled, Back disabled.
        EnableWindow(GetDlgItem(dialog, 4), FALSE);
        PostMessageA(dialog, WM_APP, 0, 0);
        return FALSE;
      case WM_APP: {
        RunOutcome* outcome = reinterpret_cast<RunOutcome*>(GetWindowLongPtrA(dialog, DWLP_USER));
        // A cursor that no step of the run sets, to see whether it changed.
        SetCursor(SystemCursor(IDC_CROSS));
        watched_ = outcome;
        HHOOK hook = SetWindowsHookExA(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId());
        RunUpdate(dialog);
        UnhookWindowsHookEx(hook);
        watched_ = nullptr;
        outcome->cursor = GetCursor();
        char text[2048] = "";
        GetDlgItemTextA(dialog, 1001, text, sizeof text);
        outcome->info = text;
        GetDlgItemTextA(dialog, 1, text, sizeof text);
        outcome->nextText = text;
        outcome->nextEnabled = IsWindowEnabled(GetDlgItem(dialog, 1));
        outcome->cancelEnabled = IsWindowEnabled(GetDlgItem(dialog, 2));
        outcome->backEnabled = IsWindowEnabled(GetDlgItem(dialog, 4));
        outcome->nextFocused = GetFocus() == GetDlgItem(dialog, 1);
        // Reached only when the run left the dialog open: a dialog that the
        // run ended is gone before this message comes.
        PostMessageA(dialog, WM_APP + 1, 0, 0);
        return TRUE;
      }
      case WM_APP + 1:
        EndDialog(dialog, kStillOpen);
        return TRUE;
      case WM_SETCURSOR:
        // The run answers the dialog's messages while its workers write; the
        // wizard's own procedure then keeps the cursor that the run set, and
        // so does this one.
        if (!watched_) return FALSE;
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    return FALSE;
  }

  // Sees every window that the run's thread creates; a dialog-class window
  // other than the wizard is a message box.
  static LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && watched_ && !watched_->cursorAtFirstBox) {
      char className[16] = "";
      GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className);
      if (lstrcmpA(className, "#32770") == 0) watched_->cursorAtFirstBox = GetCursor();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  // The Info field, subclassed to see each text the run sets.
  static LRESULT CALLBACK InfoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && watched_) {
      const std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      watched_->infoTexts.push_back(text);
      if (current_ && current_->onInfoText) current_->onInfoText(text);
    }
    return CallWindowProcA(infoProc_, window, message, wParam, lParam);
  }

  static inline RunOutcome* watched_ = nullptr;
  static inline RunBed* current_ = nullptr;
  static inline WNDPROC infoProc_ = nullptr;
  ScratchDir inst_;
  ScratchDir data_;
  ScratchDir ini_;
  std::vector<uint8_t> image_;
};

// The states of the run's end, as the player sees them.
inline void ExpectCompleted(const RunOutcome& r) {
  EXPECT_EQ(r.end, kStillOpen);
  ASSERT_FALSE(r.infoTexts.empty());
  EXPECT_EQ(r.infoTexts.front(), "アップデートを実行しています");
  EXPECT_EQ(r.info, "アップデートは完了しました");
  EXPECT_EQ(r.nextText, "完了");
  EXPECT_TRUE(r.nextEnabled);
  EXPECT_TRUE(r.nextFocused);
  EXPECT_FALSE(r.backEnabled);
  EXPECT_FALSE(r.cancelEnabled);
  EXPECT_EQ(r.cursor, SystemCursor(IDC_ARROW));
}

// Every failure of the run is reported in a message box, whose own message
// loop may change the cursor as the mouse moves; what the run set is the
// cursor at the first box.
inline void ExpectFailed(const RunOutcome& r, const std::string& info = "アップデートを実行しています") {
  EXPECT_EQ(r.end, -1);
  EXPECT_EQ(r.info, info);
  EXPECT_EQ(r.nextText, "次へ");
  EXPECT_FALSE(r.nextEnabled);
  EXPECT_FALSE(r.backEnabled);
  EXPECT_FALSE(r.cancelEnabled);
  EXPECT_EQ(r.cursorAtFirstBox, SystemCursor(IDC_WAIT));
}

// The error box of the updater, owned by the dialog and titled with Caption.
inline void ExpectErrorBox(const SeenBox& box, const RunOutcome& r, const std::string& text) {
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.title, State.Caption);
  EXPECT_EQ(box.owner, r.dialog);
  EXPECT_EQ(box.icon, MB_ICONERROR);
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
}

#endif
