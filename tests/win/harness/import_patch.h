// Puts a stand-in in place of a function that this program imports from a
// DLL, for as long as the patch lives, so that a test can count or fake the
// platform calls of the code under test (which is linked into the program and
// calls through the program's import table).
#ifndef HARNESS_IMPORT_PATCH_H
#define HARNESS_IMPORT_PATCH_H

#include <windows.h>

class ImportPatch {
 public:
  ImportPatch(const char* dll, const char* function, void* standIn) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name; ++d) {
      if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), dll) != 0) continue;
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
      for (; names->u1.AddressOfData; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (lstrcmpA(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
        slot_ = &slots->u1.Function;
        original_ = reinterpret_cast<void*>(*slot_);
        Write(reinterpret_cast<ULONG_PTR>(standIn));
        return;
      }
    }
  }
  ~ImportPatch() {
    if (slot_) Write(reinterpret_cast<ULONG_PTR>(original_));
  }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  bool active() const { return slot_ != nullptr; }
  void* original() const { return original_; }

 private:
  void Write(ULONG_PTR value) {
    DWORD old;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
    *slot_ = value;
    VirtualProtect(slot_, sizeof *slot_, old, &old);
  }
  ULONG_PTR* slot_ = nullptr;
  void* original_ = nullptr;
};

#endif
