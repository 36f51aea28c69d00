// The run log on its own: where it goes, what it keeps, and that a name
// prepared in the temporary folder never makes the updater write elsewhere.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/updater_state_win32.h"
#include "harness/test_env.h"
#include "platform/run_log_win32.h"

namespace {

std::string TempFolder() {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  return folder;
}

std::string LogPath(const char* game, int index) {
  char path[kPathSize] = {};
  EXPECT_EQ(RunLogPath(game, index, path), 1);
  return path;
}

void RemoveLogs(const char* game) {
  for (int i = 0; i <= kRunLogsKept; ++i) DeleteFileA(LogPath(game, i).c_str());
}

class RunLog : public ::testing::Test {
 protected:
  void SetUp() override { ResetUpdaterState(); }
};

TEST_F(RunLog, NamesFollowTheGameAndHoldOnlyFileNameCharacters) {
  const std::string temp = TempFolder();
  EXPECT_EQ(LogPath("HoshiNoNiwa", 0), temp + "HoshiNoNiwa_update.log");
  EXPECT_EQ(LogPath("HoshiNoNiwa", 2), temp + "HoshiNoNiwa_update.2.log");
  // Separators, device and wildcard characters become "_"; the trail byte
  // 0x5C of "ソ" is part of its character and stays.
  EXPECT_EQ(LogPath("..\\a/b:c*?\"<>|\t", 0), temp + ".._a_b_c________update.log");
  EXPECT_EQ(LogPath("ソフト", 0), temp + "ソフト_update.log");
  EXPECT_EQ(LogPath("", 0), temp + "updater_update.log");
  // At most 64 bytes of the name, never half a character.
  EXPECT_EQ(LogPath(std::string(70, 'x').c_str(), 0), temp + std::string(64, 'x') + "_update.log");
  std::string kana;
  for (int i = 0; i < 40; ++i) kana += "ソ";
  EXPECT_EQ(LogPath(("x" + kana).c_str(), 0), temp + "x" + kana.substr(0, 62) + "_update.log");
}

// Lines logged before the log opens are kept for it; each run moves the older
// logs on and the oldest goes.
TEST_F(RunLog, KeepsTheLastRunsWithTheirEarlyLines) {
  const char* game = "RunLogRotation";
  RemoveLogs(game);
  for (int run = 1; run <= 4; ++run) {
    LogLine("run %i before the name", run);
    ASSERT_EQ(OpenRunLog(game), 1);
    LogLine("run %i", run);
    CloseRunLog(run);
  }
  for (int i = 0; i < kRunLogsKept; ++i) {
    const std::string text = ReadBytes(LogPath(game, i));
    const int run = 4 - i;
    SCOPED_TRACE(run);
    EXPECT_NE(text.find(" run " + std::to_string(run) + " before the name\r\n"), std::string::npos);
    EXPECT_LT(text.find(" before the name"), text.find(" run " + std::to_string(run) + "\r\n"));
    EXPECT_NE(text.find(" exit code " + std::to_string(run) + "\r\n"), std::string::npos);
  }
  EXPECT_EQ(GetFileAttributesA(LogPath(game, kRunLogsKept).c_str()), INVALID_FILE_ATTRIBUTES);
  RemoveLogs(game);
}

// A standard user can prepare the log's name in the temporary folder: a hard
// link to a file of someone else's keeps that file as it was.
TEST_F(RunLog, APlantedLinkIsNeverWrittenThrough) {
  const char* game = "RunLogPlanted";
  RemoveLogs(game);
  ScratchDir scratch;
  const std::string victim = scratch.file("victim.dat");
  ASSERT_TRUE(WriteBytes(victim, "not the log's"));
  for (int i = 0; i < kRunLogsKept; ++i) {
    ASSERT_TRUE(CreateHardLinkA(LogPath(game, i).c_str(), victim.c_str(), nullptr));
  }
  ASSERT_EQ(OpenRunLog(game), 1);
  LogLine("a line");
  CloseRunLog(0);
  EXPECT_EQ(ReadBytes(victim), "not the log's");
  EXPECT_NE(ReadBytes(LogPath(game, 0)).find(" a line\r\n"), std::string::npos);
  RemoveLogs(game);
}

// Logging keeps the thread's last error, which callers report after it, and
// lines of worker threads arrive whole.
TEST_F(RunLog, KeepsTheLastErrorAndWholeLines) {
  const char* game = "RunLogThreads";
  RemoveLogs(game);
  ASSERT_EQ(OpenRunLog(game), 1);
  SetLastError(ERROR_PATH_NOT_FOUND);
  LogSystemFailure("failed", "C:\\x\\y.dat");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  LogItemFailure("C:\\x\\z.dat", "Can't Find File in Resource !!");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([t] {
      for (int i = 0; i < 200; ++i) LogLine("worker %i line %i of a run log", t, i);
    });
  }
  for (std::thread& worker : workers) worker.join();
  CloseRunLog(0);

  const std::string text = ReadBytes(LogPath(game, 0));
  EXPECT_NE(text.find(" failed: C:\\x\\y.dat: "), std::string::npos);
  EXPECT_NE(text.find(" (error 3)\r\n"), std::string::npos);
  EXPECT_NE(text.find(" failed: C:\\x\\z.dat: Can't Find File in Resource !!\r\n"),
            std::string::npos);
  const std::regex workerLine(R"(\d\d:\d\d:\d\d\.\d\d\d worker \d line \d+ of a run log)");
  int whole = 0;
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = text.substr(at, end - at);
    if (line.find("worker") == std::string::npos) continue;
    EXPECT_TRUE(std::regex_match(line, workerLine)) << line;
    ++whole;
  }
  EXPECT_EQ(whole, 800);
  RemoveLogs(game);
}

}  // namespace
