#include "harness/screen_icon.h"

#include <cstdint>
#include <vector>

namespace {

struct IconPixels {
  int kind;
  std::vector<uint32_t> color;   // 0x00RRGGBB
  std::vector<bool> opaque;
};

// Reads a bitmap as top-down 32-bit pixels of size x size.
std::vector<uint32_t> BitmapPixels(HBITMAP bitmap, int size) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, bitmap, 0, size, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return pixels;
}

// The system icons as this process draws them at the standard size. An icon
// with an alpha channel is opaque where alpha is full; one without is opaque
// where its mask is black.
const std::vector<IconPixels>& SystemIcons(int size) {
  static std::vector<IconPixels> icons = [size] {
    struct Kind { LPCSTR id; int style; };
    const Kind kinds[] = {{IDI_HAND, MB_ICONERROR}, {IDI_EXCLAMATION, MB_ICONWARNING},
                          {IDI_ASTERISK, MB_ICONINFORMATION}, {IDI_QUESTION, MB_ICONQUESTION}};
    std::vector<IconPixels> result;
    for (const Kind& k : kinds) {
      ICONINFO info = {};
      if (!GetIconInfo(LoadIconA(nullptr, k.id), &info)) continue;
      IconPixels icon;
      icon.kind = k.style;
      std::vector<uint32_t> color = BitmapPixels(info.hbmColor, size);
      std::vector<uint32_t> mask = BitmapPixels(info.hbmMask, size);
      bool hasAlpha = false;
      for (uint32_t p : color) hasAlpha = hasAlpha || (p >> 24) != 0;
      for (size_t i = 0; i < color.size(); i++) {
        icon.color.push_back(color[i] & 0xFFFFFF);
        icon.opaque.push_back(hasAlpha ? (color[i] >> 24) == 0xFF : (mask[i] & 0xFFFFFF) == 0);
      }
      if (info.hbmColor) DeleteObject(info.hbmColor);
      if (info.hbmMask) DeleteObject(info.hbmMask);
      result.push_back(std::move(icon));
    }
    return result;
  }();
  return icons;
}

// The pixels of the control's top-left size x size square as the screen shows them.
std::vector<uint32_t> ScreenPixels(HWND control, int size) {
  RECT rect;
  GetWindowRect(control, &rect);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, size, size, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  std::vector<uint32_t> pixels = BitmapPixels(bitmap, size);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

}  // namespace

int RecogniseIconOnScreen(HWND iconControl, DWORD timeoutMs) {
  const int size = GetSystemMetrics(SM_CXICON);
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    std::vector<uint32_t> shown = ScreenPixels(iconControl, size);
    for (const IconPixels& icon : SystemIcons(size)) {
      bool same = true;
      for (size_t i = 0; same && i < shown.size(); i++)
        same = !icon.opaque[i] || icon.color[i] == shown[i];
      if (same) return icon.kind;
    }
    if (!IsWindow(iconControl) || GetTickCount64() > deadline) return -1;
    Sleep(10);
  }
}
