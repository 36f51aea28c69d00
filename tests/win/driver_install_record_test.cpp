// The install record under HKEY_CURRENT_USER and the SETUP.INI beside the
// installed game: which records count as an installation, what is read out
// of them, and the messages when there is none.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/updater_state_win32.h"
#include "driver/install_record.h"
#include "harness/message_boxes.h"
#include "harness/test_env.h"

namespace {

constexpr char kKey[] = "Software\\テスト会社\\TestGame";

class InstallRecord : public testing::Test {
 protected:
  void SetUp() override {
    ResetUpdaterState();
    std::strcpy(State.CompanyName, "テスト会社");
    std::strcpy(State.GameDir, "TestGame");
    std::strcpy(State.GameTitle, "表示テスト");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
  }
  void SetBytes(const char* name, const std::string& bytes, DWORD type = REG_BINARY) {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }
  void SetText(const char* name, const std::string& text) {
    SetBytes(name, std::string(text.c_str(), text.size() + 1), REG_SZ);
  }
  void SetNumber(const char* name, DWORD value) {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value),
              ERROR_SUCCESS);
  }
  // Runs the lookup and returns its result; *boxes gets what was shown.
  int Read(std::vector<SeenBox>* boxes) {
    MessageBoxWatcher watcher;
    int result = ReadInstallRecord();
    *boxes = watcher.Boxes();
    return result;
  }
  void ExpectNotInstalled() {
    std::vector<SeenBox> boxes;
    EXPECT_EQ(Read(&boxes), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "「表示テスト」がインストールされていません");
    EXPECT_EQ(boxes[0].title, "UPDATE");
    EXPECT_EQ(boxes[0].icon, MB_ICONERROR);
    EXPECT_EQ(boxes[0].owner, nullptr);
  }

  HKEY key_ = nullptr;
};

TEST_F(InstallRecord, AFullRecordIsReadAsItIs) {
  SetText("InstPath", "C:\\Games\\機能");
  SetText("DataPath", "C:\\Data");
  SetNumber("InstMode", 2);
  SetNumber("InstAdd", 1);
  std::vector<SeenBox> boxes;
  EXPECT_EQ(Read(&boxes), 1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_STREQ(State.InstPath, "C:\\Games\\機能");
  EXPECT_STREQ(State.DataPath, "C:\\Data");
  EXPECT_EQ(State.InstMode, 2u);
}

TEST_F(InstallRecord, WithoutDataPathTheGameIsInstalledWithAnEmptyOne) {
  SetText("InstPath", "C:\\Games\\X");
  SetNumber("InstMode", 0);
  std::strcpy(State.DataPath, "left over");
  std::vector<SeenBox> boxes;
  EXPECT_EQ(Read(&boxes), 1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_STREQ(State.DataPath, "");
}

TEST_F(InstallRecord, WithoutInstModeOrInstPathOrKeyTheGameIsNotInstalled) {
  SetText("InstPath", "C:\\Games\\X");
  ExpectNotInstalled();

  RegDeleteValueA(key_, "InstPath");
  SetNumber("InstMode", 1);
  ExpectNotInstalled();

  std::strcpy(State.GameDir, "OtherGame");
  ExpectNotInstalled();
}

// The record is the player's to change: a drive root or the system's own
// folders, however spelled, are no installation, for InstPath and DataPath.
TEST_F(InstallRecord, ARootOrTheSystemsFoldersAreNoInstallation) {
  char windows[MAX_PATH];
  char system[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
  ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
  std::string upper = windows;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  const std::vector<std::string> refused = {
      "C:\\", "c:\\.", "D:\\", "\\\\server\\share", "\\\\?\\C:\\Games\\X", windows,
      upper + "\\", std::string(windows) + "\\Fonts", std::string(system) + ".",
      "C:\\Games\\..\\" + std::string(windows + 3) + "\\Temp\\X"};
  SetNumber("InstMode", 1);
  for (const std::string& path : refused) {
    SCOPED_TRACE(path);
    SetText("InstPath", path);
    RegDeleteValueA(key_, "DataPath");
    ExpectNotInstalled();
    SetText("InstPath", "C:\\Games\\X");
    SetText("DataPath", path);
    ExpectNotInstalled();
  }
  // A folder whose name only begins like the Windows folder's is a game's.
  SetText("InstPath", std::string(windows) + "Games\\X");
  SetText("DataPath", "C:\\Games\\X\\save");
  std::vector<SeenBox> boxes;
  EXPECT_EQ(Read(&boxes), 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(InstallRecord, APathOfExactlyTheBufferSizeWithoutNulCountsAsAbsent) {
  // 260 path bytes and no terminator: reading it as a text would run past
  // the field, so it is too long like any longer value.
  SetBytes("InstPath", std::string(260, 'A'));
  SetNumber("InstMode", 1);
  ExpectNotInstalled();
  EXPECT_EQ(std::memchr(State.InstPath, '\0', sizeof State.InstPath), State.InstPath);
}

TEST_F(InstallRecord, ThePathLimitsLieAt259BytesAndANul) {
  SetBytes("InstPath", std::string(259, 'B') + '\0');
  SetBytes("DataPath", std::string(260, 'D'));  // absent: installed, empty
  SetNumber("InstMode", 3);
  std::vector<SeenBox> boxes;
  EXPECT_EQ(Read(&boxes), 1);
  EXPECT_EQ(std::string(State.InstPath), std::string(259, 'B'));
  EXPECT_STREQ(State.DataPath, "");

  SetBytes("InstPath", std::string(261, 'C'));
  ExpectNotInstalled();
  EXPECT_STREQ(State.InstPath, "");
}

TEST_F(InstallRecord, AShortValueWithoutNulIsEndedByTheBuffer) {
  std::memset(State.InstPath, 'x', sizeof State.InstPath);
  SetBytes("InstPath", "C:\\G");
  SetNumber("InstMode", 1);
  std::vector<SeenBox> boxes;
  EXPECT_EQ(Read(&boxes), 1);
  EXPECT_STREQ(State.InstPath, "C:\\G");
}

TEST_F(InstallRecord, AnInstModeLongerThanFourBytesIsUnreadable) {
  SetText("InstPath", "C:\\Games\\X");
  SetBytes("InstMode", std::string("\x01\0\0\0\0\0\0\0", 8));
  ExpectNotInstalled();
}

class SetupIni : public testing::Test {
 protected:
  void SetUp() override { ResetUpdaterState(); }
  int Find(std::vector<SeenBox>* boxes) {
    MessageBoxWatcher watcher;
    int result = FindSetupIni();
    *boxes = watcher.Boxes();
    return result;
  }
  void ExpectNotFound() {
    std::vector<SeenBox> boxes;
    EXPECT_EQ(Find(&boxes), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "インストール先に \"SETUP.INI\" ファイルが見つかりません");
    EXPECT_EQ(boxes[0].title, "UPDATE");
    EXPECT_EQ(boxes[0].icon, MB_ICONERROR);
  }
  ScratchDir dir_;
};

TEST_F(SetupIni, IsFoundBelowAFolderEndingInTrailByte5C) {
  // 能 is 0x94 0x5C: the folder name ends in a byte that looks like a
  // backslash, and the separator must still be added.
  std::string folder = dir_.file("機能");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + "\\SETUP.INI", "[SETUP]\r\n"));
  std::strcpy(State.InstPath, folder.c_str());
  std::vector<SeenBox> boxes;
  EXPECT_EQ(Find(&boxes), 1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(std::string(State.SetupIniPath), folder + "\\SETUP.INI");
}

TEST_F(SetupIni, ATrailingBackslashIsNotDoubled) {
  ASSERT_TRUE(WriteBytes(dir_.file("SETUP.INI"), "[SETUP]\r\n"));
  std::strcpy(State.InstPath, (dir_.path() + "\\").c_str());
  std::vector<SeenBox> boxes;
  EXPECT_EQ(Find(&boxes), 1);
  EXPECT_EQ(std::string(State.SetupIniPath), dir_.file("SETUP.INI"));
}

TEST_F(SetupIni, AFolderOfThatNamePasses) {
  ASSERT_TRUE(CreateDirectoryA(dir_.file("SETUP.INI").c_str(), nullptr));
  std::strcpy(State.InstPath, dir_.path().c_str());
  std::vector<SeenBox> boxes;
  EXPECT_EQ(Find(&boxes), 1);
}

TEST_F(SetupIni, AMissingFileIsReported) {
  std::strcpy(State.InstPath, dir_.path().c_str());
  ExpectNotFound();
}

TEST_F(SetupIni, APathThatWouldNotFitIsNotFound) {
  // 255 bytes of folder leave no room for "\SETUP.INI" and the two NULs.
  std::string folder = "C:\\" + std::string(252, 'f');
  std::strcpy(State.InstPath, folder.c_str());
  ExpectNotFound();
  EXPECT_STREQ(State.SetupIniPath, "");
}

}  // namespace
