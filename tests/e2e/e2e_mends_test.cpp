// Two faults of the original design that this updater does not have: a
// temporary UPDATE.INI shared by every updater, and registry paths read
// past their buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "scenario.h"

namespace {

TEST(OwnUpdateIni, ASecondUpdaterNeitherReadsNorDeletesTheFirstOnesCopy) {
  Scenario first;
  first.updateIni.Set("UpdateMessage", "一つ目の更新");
  first.LayOut();
  ASSERT_FALSE(testing::Test::HasFatalFailure());

  // The first updater stops at its notice with its copy of UPDATE.INI written.
  std::set<std::string> before = UpdaterTempFiles();
  UpdaterProcess a(first.UpdaterPath(), {}, /*hold=*/true);
  ASSERT_TRUE(a.Boxes().WaitForCount(1, kRunTimeoutMs));
  std::set<std::string> during = UpdaterTempFiles();
  std::vector<std::string> copies;
  std::set_difference(during.begin(), during.end(), before.begin(), before.end(),
                      std::back_inserter(copies));
  ASSERT_EQ(copies.size(), 1u);
  const std::string copy = TempFolder() + copies[0];
  const std::string content = first.updateIni.Text() + first.updateIniMore;
  EXPECT_EQ(ReadBytes(copy), content);
  EXPECT_FALSE(FileExists(TempFolder() + "UPDATE.INI"));

  // A second updater, of another game, runs to its end meanwhile.
  Game other;
  other.company = "別の会社";
  other.dir = "OtherGame";
  other.title = "別のゲーム";
  Scenario second(other);
  second.record.present = false;
  RunResult run = second.Run();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", "「別のゲーム」がインストールされていません"}});
  EXPECT_EQ(ReadBytes(copy), content) << "the first updater's copy was touched";

  // The first one goes on and cleans up after itself alone.
  a.Boxes().Hold(false);
  a.PlayWizard();
  RunResult firstRun = a.Wait();
  ExpectBoxes(firstRun, {{"UPDATE", "一つ目の更新"}});
  ExpectLaunchSequenceReached(firstRun);
  EXPECT_FALSE(FileExists(copy));
}

TEST(OwnUpdateIni, AnUpdateIniOfSomeoneElseInTheTemporaryFolderIsLeftAlone) {
  const std::string shared = TempFolder() + "UPDATE.INI";
  ASSERT_TRUE(WriteBytes(shared, "[SETUP]\r\nCompanyName=theirs\r\n"));
  for (bool installed : {true, false}) {
    SCOPED_TRACE(installed ? "through to the launch sequence" : "ended early");
    Scenario s;
    s.record.present = installed;
    RunResult run = s.Run();
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, installed ? 1u : 0u);
    EXPECT_EQ(ReadBytes(shared), "[SETUP]\r\nCompanyName=theirs\r\n");
  }
  DeleteFileA(shared.c_str());
}

TEST(RegistryValues, AnInstPathOfExactly260BytesWithoutNulIsNotAnInstallation) {
  Scenario s;
  s.record.SetBytes("InstPath", std::string(260, 'A'));
  RunResult run = s.Run();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", "「テストゲーム」がインストールされていません"}});
}

TEST(RegistryValues, ADataPathOfExactly260BytesWithoutNulCountsAsAbsent) {
  Scenario s;
  s.record.SetBytes("DataPath", std::string(260, 'D'));
  RunResult run = s.Run();
  ExpectBoxes(run, {});
  ExpectLaunchSequenceReached(run);
}

TEST(RegistryValues, AnInstPathOf259BytesAndItsNulIsRead) {
  // The longest path that fits: it is read, though no SETUP.INI can be
  // joined to it within 260 bytes.
  Scenario s;
  s.record.SetBytes("InstPath", "C:\\" + std::string(256, 'p') + '\0');
  RunResult run = s.Run();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", "インストール先に \"SETUP.INI\" ファイルが見つかりません"}});
}

}  // namespace
