// Pictures of every page of the wizard and of the boxes around it, taken from
// the real updater as a player meets them, for the README.
//
//   screenshots OUTPUT_FOLDER
//
// Each picture is the window (or a box together with the wizard it belongs
// to) cut from the screen and written as a 24-bit BMP named after what it
// shows; scripts/screenshots.sh turns them into PNGs. The disk-space page
// needs drive T: as a small tmpfs (WINE_RUN_DRIVES=t:tmpfs:1m).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "harness/test_env.h"
#include "scenario.h"
#include "wizard/run_progress.h"  // the bar's range
#include "wizard_window.h"

namespace {

std::string outputFolder;
int failures = 0;

void Fail(const char* what) {
  std::fprintf(stderr, "screenshots: %s\n", what);
  failures++;
}

// Lets the windows paint before the screen is read: a round trip through
// each window's thread, then a moment for the paint that follows.
void LetPaint(const std::vector<HWND>& windows) {
  for (HWND window : windows) {
    DWORD_PTR ignored;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &ignored);
  }
  Sleep(400);
}

// Writes the screen area covered by the windows as OUTPUT_FOLDER/name.bmp.
void Shoot(const std::string& name, const std::vector<HWND>& windows) {
  if (windows.empty() || !windows[0]) {
    Fail(("no window for " + name).c_str());
    return;
  }
  LetPaint(windows);
  RECT area = {};
  GetWindowRect(windows[0], &area);
  for (HWND window : windows) {
    RECT r;
    GetWindowRect(window, &r);
    UnionRect(&area, &area, &r);
  }
  int width = area.right - area.left;
  int height = area.bottom - area.top;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as BMP files store rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::string pixels(static_cast<size_t>(stride) * height, '\0');
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
  bytes += pixels;
  std::string path = outputFolder + "\\" + name + ".bmp";
  if (!WriteBytes(path, bytes)) {
    Fail(("cannot write " + path).c_str());
    return;
  }
  std::printf("  %s.bmp (%dx%d)\n", name.c_str(), width, height);
}

// The installed sample game, as examples/sample-game describes it.
Game SampleGame() {
  Game game;
  game.company = "ミナセソフト";
  game.dir = "HoshiNoNiwa";
  game.title = "星の庭";
  game.windowClass = "HoshiNoNiwaWindow";
  return game;
}

const char kCaption[] = "星の庭 アップデータ 1.02";

void NewUpdate(Scenario& s) {
  s.updateIni.Set("UpdaterVersion", "1.02");
  s.updateIniMore = "[UPDATE]\r\nUpdateFile00=README.TXT\r\n";
  s.files = {{"README.TXT", "星の庭 1.02\r\n"}};
}

// The box of the process that is open now, waiting for it.
HWND OpenBox(UpdaterProcess& process, size_t index) {
  if (!process.Boxes().WaitForCount(index + 1, kRunTimeoutMs)) return nullptr;
  return process.Boxes().Boxes()[index].window;
}

// Answers the held boxes and holds the next ones again once these are gone.
void Answer(UpdaterProcess& process, std::vector<int> answers) {
  std::vector<SeenBox> open = process.Boxes().Boxes();
  process.Boxes().Script(std::move(answers));
  process.Boxes().Hold(false);
  WaitUntil([&] {
    for (const SeenBox& box : open)
      if (IsWindow(box.window)) return false;
    return true;
  });
  process.Boxes().Hold(true);
}

// Lets the process end, answering whatever it still shows with OK.
void Finish(UpdaterProcess& process) {
  process.Boxes().Hold(false);
  process.Wait();
}

bool WaitForInfo(HWND wizard, const std::string& text) {
  return WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == text; }, kRunTimeoutMs);
}

// The notice, the agreement refused and accepted, the confirmation, the
// finished page.
void AgreementCourse() {
  Scenario s(SampleGame());
  NewUpdate(s);
  s.updateIni.Set("UpdateMessage",
                  "「星の庭」を 1.02 に更新します。\\nゲームを終了してから「OK」を押して下さい。");
  s.updateIni.Set("AgreementText", "KIYAKU.TXT");
  s.files.push_back({"KIYAKU.TXT",
                     "使用許諾契約書\r\n\r\n"
                     "第1条 本アップデートは「星の庭」をお持ちのお客様のためのものです。\r\n"
                     "第2条 本アップデートの再配布はご遠慮下さい。\r\n"
                     "第3条 アップデートの前にセーブデータのバックアップをお勧めします。\r\n"});
  s.LayOut();
  UpdaterProcess process(s.UpdaterPath(), {}, /*hold=*/true);
  Shoot("notice", {OpenBox(process, 0)});
  Answer(process, {IDOK});
  HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
  if (!wizard) return Fail("no wizard with the agreement");
  Shoot("agreement", {wizard});
  ClickButton(wizard, IDC_AGREE);
  WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).enabled; });
  Shoot("agreement-accepted", {wizard});
  ClickButton(wizard, IDC_NEXT);
  if (!WaitForInfo(wizard, "アップデートを実行します")) return Fail("no confirmation page");
  Shoot("confirm-agreement", {wizard});
  ClickButton(wizard, IDC_NEXT);
  if (!WaitForInfo(wizard, "アップデートは完了しました")) return Fail("the run did not finish");
  Shoot("finished-agreement", {wizard});
  ClickButton(wizard, IDC_NEXT);
  Finish(process);
}

// The first page without an agreement, its confirmation, the finished page,
// and "中止" with the box that follows.
void PlainCourse() {
  for (bool stop : {false, true}) {
    Scenario s(SampleGame());
    NewUpdate(s);
    s.LayOut();
    UpdaterProcess process(s.UpdaterPath(), {}, /*hold=*/true);
    HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
    if (!wizard) return Fail("no wizard");
    if (stop) {
      ClickButton(wizard, IDC_STOP);
      Shoot("interrupted", {OpenBox(process, 0)});
      Answer(process, {IDOK});
      Finish(process);
      continue;
    }
    Shoot("welcome", {wizard});
    ClickButton(wizard, IDC_NEXT);
    if (!WaitForInfo(wizard, "アップデートを実行します")) return Fail("no confirmation page");
    Shoot("confirm", {wizard});
    ClickButton(wizard, IDC_NEXT);
    if (!WaitForInfo(wizard, "アップデートは完了しました")) return Fail("the run did not finish");
    Shoot("finished", {wizard});
    ClickButton(wizard, IDC_NEXT);
    Finish(process);
  }
}

// A large update halfway through its run: the progress bar below the text.
void RunningCourse() {
  Scenario s(SampleGame());
  s.updateIni.Set("UpdaterVersion", "1.02");
  s.updateIniMore = "[UPDATE]\r\n";
  for (int i = 0; i < 16; ++i) {
    const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
    s.updateIniMore += "UpdateFile" + number + "=v" + number + "\\VOICE.PAK\r\n";
  }
  s.files = {{"VOICE.PAK", std::string(128u << 20, 'v'), 0x01D9000000000000ull, true}};
  s.LayOut();
  for (int i = 0; i < 16; ++i) {
    const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
    CreateDirectoryA((s.InstallFolder() + "\\v" + number).c_str(), nullptr);
  }
  UpdaterProcess process(s.UpdaterPath(), {}, /*hold=*/true);
  HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
  if (!wizard) return Fail("no wizard");
  ClickButton(wizard, IDC_NEXT);
  if (!WaitForInfo(wizard, "アップデートを実行します")) return Fail("no confirmation page");
  ClickButton(wizard, IDC_NEXT);
  const bool moving = WaitUntil([&] {
    HWND bar = GetDlgItem(wizard, IDC_PROGRESS);
    DWORD_PTR position = 0;
    return bar && SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 500, &position) &&
           position >= kRunProgressSteps / 10;
  }, kRunTimeoutMs);
  if (!moving) return Fail("no progress bar");
  Shoot("running", {wizard});
  WaitForInfo(wizard, "アップデートは完了しました");
  ClickButton(wizard, IDC_NEXT);
  Finish(process);
}

// The running game's question, with the game's window behind it.
void RunningGame() {
  Scenario s(SampleGame());
  NewUpdate(s);
  s.LayOut();
  std::string command = std::string("\"") + GAME_WINDOW_EXE + "\" HoshiNoNiwaWindow 星の庭";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION game = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &game))
    return Fail("cannot start the game window");
  CloseHandle(game.hThread);
  HWND gameWindow = nullptr;
  WaitUntil([&] { return (gameWindow = FindWindowA("HoshiNoNiwaWindow", "星の庭")) != nullptr; });
  UpdaterProcess process(s.UpdaterPath(), {}, /*hold=*/true);
  Shoot("running-game", {OpenBox(process, 0)});
  Answer(process, {IDCANCEL});
  Finish(process);
  PostMessageA(gameWindow, WM_CLOSE, 0, 0);
  WaitForSingleObject(game.hProcess, 5000);
  CloseHandle(game.hProcess);
}

// The request for the game's disc, over the wizard that waits for it.
void DiscPrompt() {
  Scenario s(SampleGame());
  NewUpdate(s);
  s.updateIniMore += "CopyFile00=1:MOVIE\r\n";
  s.LayOut();
  UpdaterProcess process(s.UpdaterPath(), {}, /*hold=*/true);
  HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
  if (!wizard) return Fail("no wizard");
  ClickButton(wizard, IDC_NEXT);
  WaitForInfo(wizard, "アップデートを実行します");
  ClickButton(wizard, IDC_NEXT);
  Shoot("disc-prompt", {wizard, OpenBox(process, 0)});
  Answer(process, {IDCANCEL, IDOK});
  Finish(process);
}

// The run stopped for lack of room on a small drive T:.
void DiskSpace() {
  if (GetDriveTypeA("T:\\") == DRIVE_NO_ROOT_DIR) return Fail("no drive T: for the disk-space page");
  RemoveTree("T:\\HoshiNoNiwa");
  Scenario s(SampleGame());
  NewUpdate(s);
  s.updateIniMore = "[UPDATE]\r\nRequiredDiskSpace=2000000\r\nUpdateFile00=README.TXT\r\n";
  s.LayOut();
  CreateDirectoryA("T:\\HoshiNoNiwa", nullptr);
  CopyFileA((s.InstallFolder() + "\\SETUP.INI").c_str(), "T:\\HoshiNoNiwa\\SETUP.INI", FALSE);
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, s.RegistryKey().c_str(), 0, KEY_SET_VALUE, &key) != 0)
    return Fail("no install record");
  const char path[] = "T:\\HoshiNoNiwa";
  RegSetValueExA(key, "InstPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
  RegCloseKey(key);
  UpdaterProcess process(s.UpdaterPath(), {}, /*hold=*/true);
  HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
  if (!wizard) return Fail("no wizard");
  ClickButton(wizard, IDC_NEXT);
  WaitForInfo(wizard, "アップデートを実行します");
  ClickButton(wizard, IDC_NEXT);
  if (!WaitUntil([&] { return ReadControl(wizard, IDC_BACK).enabled; }))
    return Fail("no disk-space stop");
  Shoot("disk-space", {wizard});
  ClickButton(wizard, IDC_STOP);
  OpenBox(process, 0);
  Answer(process, {IDOK});
  Finish(process);
  RemoveTree("T:\\HoshiNoNiwa");
}

// One of the start-up errors: the game is not installed.
void NotInstalled() {
  Scenario s(SampleGame());
  NewUpdate(s);
  s.record.present = false;
  s.LayOut();
  UpdaterProcess process(s.UpdaterPath(), {}, /*hold=*/true);
  Shoot("not-installed", {OpenBox(process, 0)});
  Answer(process, {IDOK});
  Finish(process);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  outputFolder = argv[1][0] == '/' ? HostPath(argv[1]) : argv[1];
  CreateDirectoryA(outputFolder.c_str(), nullptr);
  AgreementCourse();
  PlainCourse();
  RunningCourse();
  RunningGame();
  DiscPrompt();
  DiskSpace();
  NotInstalled();
  return failures ? 1 : 0;
}
