// Libraries from the system folder only: a DLL planted beside the program is
// found by a load by name until RestrictLibrarySearch has run, and never
// after it, nor by LoadSystemLibrary.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "harness/test_env.h"
#include "platform/system_library.h"

namespace {

std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.rfind('\\'));
}

TEST(SystemLibrary, APlantedDllIsFoundBesideTheProgramOnlyBeforeTheSearchIsRestricted) {
  // A name that no system folder holds: a load by name can only find the
  // planted copy, which leaves its mark and refuses to stay loaded.
  const std::string planted = ProgramFolder() + "\\planted_probe.dll";
  const std::string mark = planted + ".planted";
  ASSERT_TRUE(CopyFileA(HostPath(PLANTED_DLL).c_str(), planted.c_str(), FALSE));
  DeleteFileA(mark.c_str());

  // The platform's default search finds it: the plant works.
  EXPECT_EQ(LoadLibraryA("planted_probe.dll"), nullptr);
  EXPECT_TRUE(FileExists(mark)) << "the planted DLL was not loaded from " << ProgramFolder();
  DeleteFileA(mark.c_str());

  EXPECT_EQ(RestrictLibrarySearch(), 1);
  EXPECT_EQ(LoadLibraryA("planted_probe.dll"), nullptr);
  EXPECT_EQ(LoadSystemLibrary("planted_probe.dll"), nullptr);
  EXPECT_FALSE(FileExists(mark)) << "loaded from the program's folder after the restriction";

  // The system's own libraries are still found, by name and by full path.
  EXPECT_NE(LoadLibraryA("version.dll"), nullptr);
  EXPECT_NE(LoadSystemLibrary("kernel32.dll"), nullptr);

  DeleteFileA(mark.c_str());
  DeleteFileA(planted.c_str());
}

}  // namespace
