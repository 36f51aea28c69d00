// The updater's start-up, end to end: every way out before the launch
// sequence, with the boxes the player sees, the exit code, and no temporary
// UPDATE.INI left behind.
#include <gtest/gtest.h>

#include <cstring>

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
  ExpectBoxes(run, {{"UPDATE", "RESOURCE READ ERROR"}});
}

TEST(StartUp, AnArchiveWithoutUpdateIniEndsAfterTheLookupMessage) {
  Scenario s;
  s.withUpdateIni = false;
  s.files = {{"readme.txt", "no description here"}};
  RunResult run = s.Run();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", "Can't Find File in Resource !!"}});
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
    ExpectBoxes(run, {{"UPDATE", "Can't Find File in Resource !!"},
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

}  // namespace
