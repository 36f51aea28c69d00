// A stand-in for the running game: one top-level window of the class and
// with the title given on the command line, open until it is closed.
//
//   game_window CLASS TITLE [hidden]
//
// With "hidden" the window is created without being shown, so that a test
// can see whether the updater brings it forward.
#include <windows.h>

#include <cstring>

namespace {

LRESULT CALLBACK GameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 2;
  const char* className = __argv[1];
  const char* title = __argv[2];
  bool hidden = __argc > 3 && std::strcmp(__argv[3], "hidden") == 0;

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = GameProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = className;
  if (!RegisterClassA(&windowClass)) return 3;
  HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 40, 40, 320, 200,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 3;
  if (!hidden) ShowWindow(window, SW_SHOW);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
