// The updater's temporary UPDATE.INI: a file of its own per process, and the
// clean-up that removes it and the directory block at every way out.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "common/updater_state_win32.h"
#include "driver/temp_files.h"
#include "harness/test_env.h"

namespace {

std::string TempFolder() {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  return folder;
}

TEST(TempFiles, EachUpdaterGetsAFileOfItsOwnInTheTemporaryFolder) {
  ResetUpdaterState();
  ASSERT_EQ(MakeUpdateIniPath(), 1);
  std::string first = State.UpdateIniPath;
  // A file of that name exists at once, so no other updater can get it.
  EXPECT_TRUE(FileExists(first));
  EXPECT_EQ(first.rfind(TempFolder(), 0), 0u) << first;
  EXPECT_NE(first, TempFolder() + "UPDATE.INI");

  ResetUpdaterState();
  ASSERT_EQ(MakeUpdateIniPath(), 1);
  std::string second = State.UpdateIniPath;
  EXPECT_NE(first, second);

  CleanupTempFiles();
  EXPECT_FALSE(FileExists(second));
  EXPECT_TRUE(FileExists(first));
  DeleteFileA(first.c_str());
}

TEST(TempFiles, CleanupReleasesTheDirectoryAndDeletesTheCopy) {
  ResetUpdaterState();
  ASSERT_EQ(MakeUpdateIniPath(), 1);
  std::string path = State.UpdateIniPath;
  ASSERT_TRUE(WriteBytes(path, "[SETUP]\r\nCompanyName=X\r\n"));
  State.Directory = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, 16));
  State.DirectoryEntries = reinterpret_cast<const ArchiveEntry*>(State.Directory + 16);
  State.Archive.EntryCount = 3;  // as if opened into the block

  CleanupTempFiles();
  EXPECT_EQ(State.Directory, nullptr);
  EXPECT_EQ(State.DirectoryEntries, nullptr);
  EXPECT_EQ(State.Archive.EntryCount, 0u);
  EXPECT_FALSE(FileExists(path));
  EXPECT_STREQ(State.UpdateIniPath, "");
}

TEST(TempFiles, ASecondCleanupLeavesALaterFileOfTheSameNameAlone) {
  ResetUpdaterState();
  ASSERT_EQ(MakeUpdateIniPath(), 1);
  std::string path = State.UpdateIniPath;
  CleanupTempFiles();
  // Another program now holds the freed name.
  ASSERT_TRUE(WriteBytes(path, "theirs"));
  CleanupTempFiles();
  EXPECT_EQ(ReadBytes(path), "theirs");
  DeleteFileA(path.c_str());
}

TEST(TempFiles, CleanupBeforeAnythingWasMadeDoesNothing) {
  ResetUpdaterState();
  CleanupTempFiles();
  EXPECT_EQ(State.Directory, nullptr);
  EXPECT_STREQ(State.UpdateIniPath, "");
}

TEST(TempFiles, WithoutATemporaryFolderTheFileGoesToTheCurrentFolder) {
  ScratchDir dir;
  char saved[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof saved, saved);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
  // GetTempPathA takes TMP first, then TEMP; a folder name too long for the
  // 260-byte buffer is as good as none.
  std::string longFolder = "C:\\" + std::string(300, 't');
  char tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
  GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
  GetEnvironmentVariableA("TEMP", temp, sizeof temp);
  SetEnvironmentVariableA("TMP", longFolder.c_str());
  SetEnvironmentVariableA("TEMP", longFolder.c_str());

  ResetUpdaterState();
  int made = MakeUpdateIniPath();
  std::string path = State.UpdateIniPath;
  SetEnvironmentVariableA("TMP", tmp);
  SetEnvironmentVariableA("TEMP", temp);
  SetCurrentDirectoryA(saved);

  ASSERT_EQ(made, 1);
  EXPECT_EQ(path.rfind(".\\upd", 0), 0u) << path;
  EXPECT_TRUE(FileExists(dir.path() + path.substr(1)));
  SetCurrentDirectoryA(dir.path().c_str());
  CleanupTempFiles();
  SetCurrentDirectoryA(saved);
  EXPECT_FALSE(FileExists(dir.path() + path.substr(1)));
}

}  // namespace
