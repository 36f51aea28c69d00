// The extra drives that the test bed gives a suite (cmake/wine-drives.sh):
// this suite asks for a 256 KiB tmpfs as T: and a CD-ROM folder as D:, the
// shapes that the space and disc-copy tests rely on.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "harness/test_env.h"

namespace {

std::string Environment(const char* name) {
  char value[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length && length < sizeof value ? value : "";
}

TEST(TestBedDrives, ASmallTmpfsRunsFull) {
  ULARGE_INTEGER freeToCaller, total;
  ASSERT_TRUE(GetDiskFreeSpaceExA("T:", &freeToCaller, &total, nullptr));
  EXPECT_EQ(total.QuadPart, 256u * 1024);
  EXPECT_EQ(freeToCaller.QuadPart, 256u * 1024);
  EXPECT_EQ(GetDriveTypeA("T:\\"), static_cast<UINT>(DRIVE_FIXED));
  EXPECT_FALSE(WriteBytes("T:\\too-big.bin", std::string(256 * 1024 + 1, 'x')));
  DeleteFileA("T:\\too-big.bin");
}

TEST(TestBedDrives, ACdRomFolderIsReachableFromBothSides) {
  EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
  std::string unixFolder = Environment("WINE_DRIVE_D");
  ASSERT_FALSE(unixFolder.empty()) << "WINE_DRIVE_D names the drive's Linux folder";
  ASSERT_TRUE(WriteBytes(HostPath(unixFolder) + "\\DISC1.DAT", "disc one"));
  EXPECT_EQ(ReadBytes("D:\\DISC1.DAT"), "disc one");
}

}  // namespace
