#include "fa2/check/ini_text.h"

#include "archive/archive_names.h"

bool IsCp932Text(const std::string& text, size_t* at) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    bool ok = true;
    if (IsCp932LeadByte(c)) {
      const unsigned char t = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
      ok = (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC);
      ++i;
    } else {
      ok = c != 0x80 && c != 0xA0 && c < 0xFD;
    }
    if (!ok) {
      if (at) *at = i;
      return false;
    }
  }
  return true;
}

bool LooksLikeUtf8(const std::string& text, size_t* at) {
  bool wide = false;
  size_t first = 0;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
    if (more == 9 || (c >= 0x80 && c < 0xC2)) return false;
    for (size_t k = 1; k <= more; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
        return false;
    }
    if (more > 0 && !wide) first = i;
    wide = wide || more > 0;
    i += more + 1;
  }
  if (wide && at) *at = first;
  return wide;
}

int LineOfOffset(const std::string& text, size_t offset) {
  int line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) line += text[i] == '\n';
  return line;
}
