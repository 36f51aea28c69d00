// A small program with resources of every common kind, for the tests of
// `fa2 embed`. It looks for its own payload as the updater does and reports
// through its exit code what it found: 3 without a payload, 4 when one of
// its other resources is gone, else 0x10000 plus the low 16 bits of the
// payload's FNV-1a hash, so that the test can tell that the program ran and
// read exactly the bytes that were embedded.
#include <windows.h>

#include <cstdint>

namespace {

int HasResource(const char* type, const char* name) {
  return FindResourceA(nullptr, name, type) != nullptr;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (!HasResource(MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(100)) ||
      !HasResource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1)) ||
      !HasResource(MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1)) || !HasResource("MYDATA", "BLOB"))
    return 4;
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(102), "UPDATE");
  DWORD size = found ? SizeofResource(instance, found) : 0;
  HGLOBAL loaded = size ? LoadResource(instance, found) : nullptr;
  const uint8_t* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!bytes) return 3;
  uint32_t hash = 2166136261u;
  for (DWORD i = 0; i < size; i++) hash = (hash ^ bytes[i]) * 16777619u;
  return 0x10000 | (hash & 0xFFFF);
}
