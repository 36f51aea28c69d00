// The updater's start-up, end to end: every way out before the launch
// sequence, with the boxes the player sees, the exit code, and no temporary
// UPDATE.INI left behind.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "scenario.h"

namespace {

TEST(StartUp, AStubWithoutPayloadEndsAtOnceWithoutAnyWindow) {
  Scenario s;
  s.noPayload = true;
  RunResult run = s.Run();
  ExpectEnd(run, 0);
  EXPECT_TRUE(run.windows.empty()) << run.windows.size() << " windows, the first titled "
                                   << run.windows[0].title;
}

TEST(StartUp, ADamagedPayloadIsAResourceReadError) {
  // A header whose directory lies beyond the end of the payload.
  Scenario s;
  std::vector<uint8_t> payload = {'F', 'A', '2', 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 1, 0, 0, 0};
  s.rawPayload = payload;
  RunResult run = s.Run();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", kReadErrorMessage}});
  // Without UPDATE.INI's GameDir, the run log takes the updater's own name.
  const std::string log = FileText(TempFolder() + "updater_update.log").value_or("");
  EXPECT_NE(log.find("box [UPDATE] RESOURCE READ ERROR\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("exit code 0\r\n"), std::string::npos) << log;
}

// Every file below the folder with its bytes and last-write time.
std::map<std::string, std::pair<std::string, uint64_t>> FolderState(const std::string& folder) {
  std::map<std::string, std::pair<std::string, uint64_t>> files;
  ForEachFileBelow(folder, [&](const std::string& path, const WIN32_FIND_DATAA& found) {
    files[path] = {ReadBytes(path), uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32 |
                                        found.ftLastWriteTime.dwLowDateTime};
  });
  return files;
}

TEST(StartUp, ADamagedDownloadIsRefusedBeforeAnythingIsWritten) {
  // A stored entry that the update writes: damage to it decodes without
  // complaint, so only the digest can tell. Payload offset 2000 lies in it.
  std::string patch(4000, 'p');
  for (size_t i = 0; i < patch.size(); i++) patch[i] = static_cast<char>('a' + i % 26);
  struct Case {
    const char* what;
    bool withDigest;
    std::vector<int64_t> damage;
    bool refused;
  } cases[] = {
      {"a byte of a stored entry", true, {2000}, true},
      {"the header's first byte", true, {0}, true},
      {"UPDATE.INI's first byte", true, {16}, true},
      {"the directory's last byte", true, {-1}, true},
      {"bytes all over", true, {3, 100, 2000, -20}, true},
      // An updater without the record runs as it always did, damaged or not.
      {"no record, sound", false, {}, false},
      {"no record, a byte of a stored entry", false, {2000}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scenario s;
    s.files = {{"patch.dat", patch, 0x01D9000000000000ull, true}};
    s.updateIniMore = "[UPDATE]\r\nUpdateFile00=patch.dat\r\n";
    s.installFiles["patch.dat"] = "old patch";
    s.withDigest = c.withDigest;
    s.damagedPayloadBytes = c.damage;
    s.LayOut();
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    const auto installed = FolderState(s.InstallFolder());
    UpdaterProcess process(s.UpdaterPath());
    process.PlayWizard();
    RunResult run = process.Wait();
    if (c.refused) {
      ExpectEnd(run, 0);
      ExpectBoxes(run, {{"UPDATE", "アップデータが破損しています。もう一度ダウンロードして下さい"}});
      EXPECT_EQ(FolderState(s.InstallFolder()), installed);
      EXPECT_TRUE(FolderState(s.DataFolder()).empty());
    } else {
      ExpectBoxes(run, {});
      ExpectLaunchSequenceReached(run);
      // Written whole, with the damaged byte in it when there is one.
      const std::string written = FileText(s.InstallFolder() + "\\patch.dat").value_or("");
      ASSERT_EQ(written.size(), patch.size());
      size_t differing = 0;
      for (size_t i = 0; i < patch.size(); i++) differing += written[i] != patch[i];
      EXPECT_EQ(differing, c.damage.size());
    }
  }
}

TEST(StartUp, AnArchiveWithoutUpdateIniEndsAfterTheLookupMessage) {
  Scenario s;
  s.withUpdateIni = false;
  s.files = {{"readme.txt", "no description here"}};
  RunResult run = s.Run();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", kNoEntryMessage}});
}

TEST(StartUp, EachRequiredKeyIsReportedWhenMissingOrEmpty) {
  for (const char* key : {"CompanyName", "GameTitle", "GameClass", "GameDir"}) {
    for (bool empty : {false, true}) {
      SCOPED_TRACE(std::string(key) + (empty ? " empty" : " missing"));
      Scenario s;
      if (empty) {
        s.updateIni.Set(key, "");
      } else {
        s.updateIni.Erase(key);
      }
      RunResult run = s.Run();
      ExpectEnd(run, 0);
      // Only the first missing key is reported: the others are all there.
      ExpectBoxes(run, {{"VARDELIX", std::string("SETUP : ") + key + " キーが存在しません"}});
    }
  }
}

TEST(StartUp, AMissingAgreementEntryShowsTwoBoxesInOrder) {
  for (const char* key : {"AgreementText", "AgreementTitle"}) {
    SCOPED_TRACE(key);
    Scenario s;
    s.updateIni.Set(key, "同意書.txt");
    s.files = {{"other.txt", "x"}};
    RunResult run = s.Run();
    ExpectEnd(run, 0);
    ExpectBoxes(run, {{"UPDATE", kNoEntryMessage},
                      {"UPDATE", "'同意書.txt' not found at UPDATE.FA3"}});
  }
}

TEST(StartUp, AgreementAndWelcomeEntriesThatExistAreLoadedSilently) {
  Scenario s;
  s.updateIni.Set("AgreementText", "license.txt");
  s.updateIni.Set("AgreementTitle", "welcome.txt");
  s.files = {{"license.txt", std::string(5000, 'L')}, {"welcome.txt", "ようこそ", 0, true}};
  RunResult run = s.Run();
  ExpectBoxes(run, {});
  ExpectLaunchSequenceReached(run);
}

TEST(StartUp, AGameWithoutItsRecordIsNotInstalled) {
  const std::string message = "「テストゲーム」がインストールされていません";
  {
    SCOPED_TRACE("no key");
    Scenario s;
    s.record.present = false;
    RunResult run = s.Run();
    ExpectEnd(run, 0);
    ExpectBoxes(run, {{"UPDATE", message}});
  }
  for (const char* value : {"InstPath", "InstMode"}) {
    SCOPED_TRACE(std::string("no ") + value);
    Scenario s;
    s.record.Erase(value);
    RunResult run = s.Run();
    ExpectEnd(run, 0);
    ExpectBoxes(run, {{"UPDATE", message}});
  }
  // A record that points the game at a drive root or the Windows folder is
  // none: nothing is written there, not even the updater's journal folder.
  char windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
  auto names = [](const std::string& folder) {
    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    do found.push_back(data.cFileName); while (FindNextFileA(search, &data));
    FindClose(search);
    return found;
  };
  for (const std::string& place : {std::string("C:\\"), std::string(windows)}) {
    for (const char* value : {"InstPath", "DataPath"}) {
      SCOPED_TRACE(std::string(value) + " " + place);
      Scenario s;
      s.record.SetText(value, place);
      RemoveTree("C:\\ProgramData\\GameUpdater");
      const std::vector<std::string> before = names(place);
      RunResult run = s.Run();
      ExpectEnd(run, 0);
      ExpectBoxes(run, {{"UPDATE", message}});
      EXPECT_EQ(names(place), before);
      EXPECT_FALSE(FileExists("C:\\ProgramData\\GameUpdater"));
    }
  }
}

TEST(StartUp, TheNotInstalledMessageNamesTheTitleOfUpdateIni) {
  // SETUP.INI would name the game otherwise, but it is never reached.
  Scenario s;
  s.updateIni.Set("GameTitle", "更新側の題名");
  s.record.Erase("InstMode");
  RunResult run = s.Run();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", "「更新側の題名」がインストールされていません"}});
}

TEST(StartUp, ARecordWithoutDataPathCountsAsInstalled) {
  Scenario s;
  s.record.Erase("DataPath");
  RunResult run = s.Run();
  ExpectBoxes(run, {});
  ExpectLaunchSequenceReached(run);
}

TEST(StartUp, TheNoticeIsShownOnceWithCarriageReturnsAndTheCourseGoesOn) {
  Scenario s;
  // 表 ends in the byte 0x5C: followed by n it is no escape.
  s.updateIni.Set("UpdateMessage", "一行目\\n二行目\\\\n表n");
  RunResult run = s.Run();
  ExpectBoxes(run, {{"UPDATE", "一行目\r二行目\\\r表n"}});
  ExpectLaunchSequenceReached(run);
}

TEST(StartUp, WithoutSetupIniInTheInstallationFolderTheUpdaterEnds) {
  Scenario s;
  s.withSetupIni = false;
  RunResult run = s.Run();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", "インストール先に \"SETUP.INI\" ファイルが見つかりません"}});
}

TEST(StartUp, SetupIniIsFoundInAFolderEndingInTrailByte5C) {
  // 能 is 0x94 0x5C: the folder's last byte looks like a backslash.
  Scenario s;
  s.SetInstallFolder("ゲーム\\機能");
  RunResult run = s.Run();
  ExpectBoxes(run, {});
  ExpectLaunchSequenceReached(run);
  EXPECT_TRUE(FileExists(s.InstallFolder() + "\\SETUP.INI"));
}

TEST(StartUp, TheInstallationIsLeftAsItWas) {
  Scenario s;
  s.updateIni.Set("UpdateMessage", "お知らせ");
  RunResult run = s.Run();
  ExpectLaunchSequenceReached(run);
  EXPECT_EQ(FileText(s.InstallFolder() + "\\SETUP.INI"), s.setupIni.Text());
  EXPECT_EQ(FileText(s.InstallFolder() + "\\game.exe"), "MZ game");
  EXPECT_EQ(FileText(s.InstallFolder() + "\\data.pak"), "game data");
}

TEST(StartUp, NoLibraryIsLoadedFromTheUpdatersFolder) {
  // uxtheme.dll is not one of the system's known DLLs: it is loaded by name
  // when the first window opens, and the default search would find it in the
  // updater's folder first. The suite runs with it native first
  // (WINEDLLOVERRIDES, set by CMake), so that wine, too, would take a DLL of
  // that name from there.
  char overrides[256] = "";
  GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
  ASSERT_NE(std::string(overrides).find("uxtheme=n,b"), std::string::npos)
      << "the suite must run with WINEDLLOVERRIDES=uxtheme=n,b, as ctest runs it";
  Scenario s;
  s.updateIni.Set("UpdateMessage", "お知らせ");
  s.LayOut();
  ASSERT_FALSE(testing::Test::HasFatalFailure());
  const std::string folder = s.UpdaterPath().substr(0, s.UpdaterPath().rfind('\\'));
  const std::string planted = folder + "\\uxtheme.dll";
  ASSERT_TRUE(CopyFileA(HostPath(PLANTED_DLL).c_str(), planted.c_str(), FALSE));
  UpdaterProcess process(s.UpdaterPath());
  process.PlayWizard();
  RunResult run = process.Wait();
  ExpectBoxes(run, {{"UPDATE", "お知らせ"}});
  ExpectLaunchSequenceReached(run);
  EXPECT_FALSE(FileExists(planted + ".planted")) << "uxtheme.dll was loaded from " << folder;
}

}  // namespace
