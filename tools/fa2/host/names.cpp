#include "fa2/host/names.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

#include "archive/archive_names.h"

namespace {

#ifndef _WIN32
// Converts the whole text with iconv, or returns 0. The descriptor is opened
// for each call: names are few and short.
int ConvertText(const char* to, const char* from, const std::string& in, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  std::string result(in.size() * 4 + 8, '\0');
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char* outPtr = result.data();
  size_t outLeft = result.size();
  const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  const size_t flushed = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || flushed == static_cast<size_t>(-1) || inLeft != 0)
    return 0;
  result.resize(result.size() - outLeft);
  *out = std::move(result);
  return 1;
}
#endif

}  // namespace

int HostNameToArchiveName(const std::string& hostName, std::string* archiveName) {
  if (hostName.find('\0') != std::string::npos) return 0;
#ifdef _WIN32
  *archiveName = hostName;
  return 1;
#else
  return ConvertText("CP932", "UTF-8", hostName, archiveName);
#endif
}

int ArchiveNameToHostName(const std::string& archiveName, std::string* hostName) {
#ifdef _WIN32
  *hostName = archiveName;
  return 1;
#else
  return ConvertText("UTF-8", "CP932", archiveName, hostName);
#endif
}

int Utf8ToCp932(const std::string& text, std::string* cp932) {
  cp932->clear();
  if (text.empty()) return 1;
  if (text.size() > 0x7FFFFFFF) return 0;
#ifdef _WIN32
  const int length = static_cast<int>(text.size());
  const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length,
                                        nullptr, 0);
  if (count <= 0) return 0;
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), count);
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), count, nullptr, 0,
                                       nullptr, &lossy);
  if (size <= 0 || lossy) return 0;
  cp932->resize(static_cast<size_t>(size));
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), count, cp932->data(), size, nullptr,
                      &lossy);
  return !lossy;
#else
  return ConvertText("CP932", "UTF-8", text, cp932);
#endif
}

int Cp932ToUtf16(const std::string& text, std::u16string* wide) {
  wide->clear();
  if (text.empty()) return 1;
  if (text.size() > 0x7FFFFFFF) return 0;
#ifdef _WIN32
  const int length = static_cast<int>(text.size());
  const int count = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (count <= 0) return 0;
  wide->resize(static_cast<size_t>(count));
  return MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data(), length,
                             reinterpret_cast<wchar_t*>(wide->data()), count) == count;
#else
  std::string bytes;
  if (!ConvertText("UTF-16LE", "CP932", text, &bytes) || bytes.size() % 2) return 0;
  wide->resize(bytes.size() / 2);
  for (size_t i = 0; i < wide->size(); ++i)
    (*wide)[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  return 1;
#endif
}

std::string DisplayArchiveName(const std::string& archiveName) {
  std::string host;
  bool printable = ArchiveNameToHostName(archiveName, &host);
  for (unsigned char c : host) printable = printable && c >= 0x20 && c != 0x7F;
  if (printable) return host;
  std::string shown;
  for (unsigned char c : archiveName) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      shown += escape;
    }
  }
  return shown;
}

std::string FoldArchiveName(const std::string& name) {
  std::string folded(name.size() + 1, '\0');
  folded.resize(FoldArchiveName(name.data(), name.size(), folded.data()));
  return folded;
}

bool IsSafeArchiveName(const std::string& archiveName) {
  if (archiveName.empty() || archiveName == "." || archiveName == "..") return false;
  for (size_t i = 0; i < archiveName.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(archiveName[i]);
    if (IsCp932LeadByte(c)) {
      ++i;  // the second byte may be 0x5C and is no separator
      continue;
    }
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  }
  return true;
}

bool ArchiveNamesEqual(const std::string& a, const std::string& b) {
  return ArchiveNamesEqual(a.data(), a.size(), b.data(), b.size()) != 0;
}
