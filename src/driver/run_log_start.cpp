#include "driver/run_log_start.h"

#include <cstring>

#include "common/updater_state_win32.h"
#include "platform/run_log_win32.h"

#ifndef UPDATER_VERSION
#define UPDATER_VERSION "unversioned"
#endif

namespace {

// The numeric file version of the module's version resource, which `fa2
// embed --version` sets: the fixed block is found by its signature, so that
// no version library needs to be loaded. Returns 0 when there is none.
int ReadFileVersion(HINSTANCE instance, DWORD* high, DWORD* low) {
  HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
  if (!resource) return 0;
  const DWORD size = SizeofResource(instance, resource);
  HGLOBAL loaded = LoadResource(instance, resource);
  const auto* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
  if (!bytes) return 0;
  const uint8_t signature[4] = {0xBD, 0x04, 0xEF, 0xFE};  // 0xFEEF04BD, little-endian
  for (DWORD i = 0; i + 16 <= size; i += 4) {
    if (std::memcmp(bytes + i, signature, 4) == 0) {
      std::memcpy(high, bytes + i + 8, 4);
      std::memcpy(low, bytes + i + 12, 4);
      return 1;
    }
  }
  return 0;
}

}  // namespace

void LogUpdaterStart(HINSTANCE instance) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char path[kPathSize] = {};
  GetModuleFileNameA(instance, path, sizeof path - 1);
  DWORD high = 0, low = 0;
  ReadFileVersion(instance, &high, &low);
  LogLine("%04u-%02u-%02u updater %s, file version %u.%u.%u.%u, %s", now.wYear, now.wMonth,
          now.wDay, UPDATER_VERSION, HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low), path);
}
