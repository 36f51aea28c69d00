// All or nothing: an update run that fails, is cancelled or is killed leaves
// the game exactly as it was, and one that completes leaves only the new
// files. The disc cases use a folder that the test bed maps as a CD-ROM drive
// D: (WINE_RUN_DRIVES=d:cdrom).
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <random>
#include <string>
#include <vector>

#include "common/updater_state_win32.h"
#include "platform/journal_folder.h"
#include "platform/update_journal.h"
#include "scenario.h"
#include "wizard_window.h"

namespace {

// Everything below a folder: bytes, last-write time and attributes by path.
struct FileState {
  std::string bytes;
  uint64_t time = 0;
  DWORD attributes = 0;
  bool operator==(const FileState& o) const {
    return bytes == o.bytes && time == o.time && attributes == o.attributes;
  }
};
using Snapshot = std::map<std::string, FileState>;

Snapshot Take(const std::string& folder) {
  Snapshot files;
  ForEachFileBelow(folder, [&](const std::string& path, const WIN32_FIND_DATAA& found) {
    FileState& state = files[path.substr(folder.size())];
    state.bytes = ReadBytes(path);
    state.time = (uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) |
                 found.ftLastWriteTime.dwLowDateTime;
    state.attributes = found.dwFileAttributes;
  });
  return files;
}

std::vector<std::string> Names(const Snapshot& files) {
  std::vector<std::string> names;
  for (const auto& [name, state] : files) names.push_back(name);
  return names;
}

// Files of a run that may never outlive it: staged files, backups, journal.
std::vector<std::string> RunLeftovers(const std::string& folder) {
  std::vector<std::string> found;
  ForEachFileBelow(folder, [&](const std::string& path, const WIN32_FIND_DATAA& data) {
    const std::string name = data.cFileName;
    if (name.rfind("~UP", 0) == 0) found.push_back(path);
  });
  return found;
}

std::vector<std::string> Texts(const RunResult& run) {
  std::vector<std::string> texts;
  for (const SeenBox& box : run.boxes) texts.push_back(box.text);
  return texts;
}

std::string DiscFolder() {
  char folder[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA("WINE_DRIVE_D", folder, sizeof folder);
  return length && length < sizeof folder ? HostPath(folder) : std::string();
}

// The system's text for an error, as the run log gives it.
std::string SystemReason(DWORD error) {
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                     FORMAT_MESSAGE_MAX_WIDTH_MASK,
                 nullptr, error, 0, text, sizeof text, nullptr);
  std::string reason = text;
  while (!reason.empty() && (reason.back() == ' ' || reason.back() == '\r' || reason.back() == '\n'))
    reason.pop_back();
  return reason + " (error " + std::to_string(error) + ")";
}

struct FaultCase {
  const char* what;
  std::string updateSection;
  std::vector<int> answers;
  std::vector<std::string> boxes;
  // What the run log must say besides the boxes (paths below the
  // installation folder start with "\\").
  std::vector<std::string> logSays;
};

// Each case fails after at least one item could have been written: the game
// folder must come out of the run byte for byte, time for time as it went in.
TEST(StagedRun, AFailedOrCancelledRunLeavesEveryFileAsItWas) {
  const std::string interrupted = kInterruptedMessage;
  const std::string writeFailed = kWriteFailedMessage;
  const std::vector<FaultCase> cases = {
      {"the second item's entry is missing",
       "UpdateFile00=file.dat\r\nUpdateFile01=missing.dat\r\n", {},
       {kNoEntryMessage, writeFailed, interrupted},
       {"\\missing.dat: Can't Find File in Resource !!"}},
      {"a folder is in the way of the third item",
       "UpdateFile00=file.dat\r\nUpdateFile01=new.dat\r\nUpdateFile02=dir.dat\r\n", {},
       {writeFailed, interrupted},
       {"\\file.dat: from entry file.dat", "\\dir.dat: " + SystemReason(ERROR_ACCESS_DENIED)}},
      {"the second item's folder does not exist",
       "UpdateFile00=file.dat\r\nUpdateFile01=nodir\\new.dat\r\n", {},
       {writeFailed, interrupted},
       {"\\nodir\\new.dat: " + SystemReason(ERROR_PATH_NOT_FOUND)}},
      {"the player cancels at the disc prompt after the items are in place",
       "UpdateFile00=file.dat\r\nUpdateFile01=hidden.dat\r\nUpdateFile02=d,save.dat\r\n"
       "UpdateFile03=new.dat\r\nCopyFile00=1:movie\r\n",
       {IDCANCEL},
       {"ＣＤ－ＲＯＭドライブに「テストゲーム」ディスク 1 を入れて下さい", interrupted},
       {"update run: every new file is in place"}},
      {"the shell's copy fails after the items are in place",
       "UpdateFile00=file.dat\r\nUpdateFile01=new.dat\r\nCopyFile00=1:nosuch\r\n", {},
       {"SETUP.INI : \"nosuch\" のコピーに失敗しました", interrupted},
       {"disc item: D:\\nosuch to "}},
  };
  const std::string log = TempFolder() + Game().dir + "_update.log";
  std::string previousLog, lastLog;
  ASSERT_FALSE(DiscFolder().empty()) << "the suite needs WINE_RUN_DRIVES=d:cdrom";
  ASSERT_TRUE(WriteBytes(DiscFolder() + "\\disc1.chk", ""));

  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    // The disc check file is on the disc only for the copy that fails.
    const bool discIn = c.answers.empty();
    if (!discIn) DeleteFileA((DiscFolder() + "\\disc1.chk").c_str());
    Scenario s;
    s.updateIniMore = "[UPDATE]\r\n" + c.updateSection;
    s.files = {{"file.dat", "new file"},
               {"new.dat", "a file the game did not have"},
               {"hidden.dat", "new hidden"},
               {"save.dat", "archive save"},
               {"dir.dat", "never written"}};
    s.installFiles = {{"file.dat", "old file"}, {"hidden.dat", "old hidden"},
                      {"save.dat", "player's save"}};
    s.record.SetText("DataPath", s.InstallFolder());
    s.LayOut();
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    ASSERT_TRUE(CreateDirectoryA((s.InstallFolder() + "\\dir.dat").c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesA((s.InstallFolder() + "\\hidden.dat").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    const Snapshot before = Take(s.InstallFolder());

    UpdaterProcess process(s.UpdaterPath(), c.answers);
    process.PlayWizard();
    RunResult run = process.Wait();
    if (!discIn) {
      ASSERT_TRUE(WriteBytes(DiscFolder() + "\\disc1.chk", ""));
    }

    ExpectEnd(run, 0);
    EXPECT_EQ(Texts(run), c.boxes);
    const Snapshot after = Take(s.InstallFolder());
    EXPECT_EQ(Names(after), Names(before));
    for (const auto& [name, state] : before) {
      auto it = after.find(name);
      if (it == after.end()) continue;
      EXPECT_EQ(it->second.bytes, state.bytes) << name;
      EXPECT_EQ(it->second.time, state.time) << name;
      EXPECT_EQ(it->second.attributes, state.attributes) << name;
    }

    // The run log tells support what the boxes do not: the file and the
    // system's reason, every box, the roll-back and its result.
    const std::string said = FileText(log).value_or("");
    std::vector<std::string> expected = c.logSays;
    for (const std::string& text : c.boxes) expected.push_back("] " + text + "\r\n");
    expected.push_back("game found: InstPath \"" + s.InstallFolder() + "\"");
    expected.push_back("roll-back: done, the game's files are as they were\r\n");
    expected.push_back("exit code 0\r\n");
    for (std::string text : expected) {
      if (text.rfind("\\", 0) == 0) text = s.InstallFolder() + text;
      EXPECT_NE(said.find(text), std::string::npos) << "the log lacks: " << text << "\n" << said;
    }
    previousLog = lastLog;
    lastLog = said;
  }
  // The log of each of the last runs is kept; older ones go.
  EXPECT_EQ(FileText(TempFolder() + Game().dir + "_update.1.log"), previousLog);
  EXPECT_TRUE(FileText(TempFolder() + Game().dir + "_update.2.log").has_value());
  EXPECT_FALSE(FileText(TempFolder() + Game().dir + "_update.3.log").has_value());
}

// A complete run: the new files, hidden files still hidden, read-only
// cleared, a Data item keeping the player's bytes, and not one file of the
// run's own left behind. The run log cannot be made here (every name it
// could take is a folder with a file in it), which changes nothing.
TEST(StagedRun, ACompleteRunLeavesOnlyTheNewFiles) {
  std::vector<std::string> logNames;
  for (const char* suffix : {"_update.log", "_update.1.log", "_update.2.log"}) {
    const std::string folder = TempFolder() + Game().dir + suffix;
    DeleteFileA(folder.c_str());
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(folder + "\\inside", "taken"));
    logNames.push_back(folder);
  }
  Scenario s;
  s.updateIniMore =
      "[UPDATE]\r\nUpdateFile00=file.dat\r\nUpdateFile01=hidden.dat\r\nUpdateFile02=new.dat\r\n"
      "UpdateFile03=d,save.dat\r\n";
  s.files = {{"file.dat", "new file"}, {"hidden.dat", "new hidden"},
             {"new.dat", "a file the game did not have"}, {"save.dat", "archive save"}};
  s.installFiles = {{"file.dat", "old file"}, {"hidden.dat", "old hidden"}};
  s.LayOut();
  ASSERT_FALSE(testing::Test::HasFatalFailure());
  // Without a DataPath, the Data item goes below the installation folder.
  ASSERT_TRUE(WriteBytes(s.InstallFolder() + "\\save.dat", "player's save"));
  const std::string hidden = s.InstallFolder() + "\\hidden.dat";
  ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                     FILE_ATTRIBUTE_READONLY));

  UpdaterProcess process(s.UpdaterPath());
  process.PlayWizard();
  RunResult run = process.Wait();
  ExpectEnd(run, 1);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\file.dat"), "new file");
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\new.dat"), "a file the game did not have");
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\save.dat"), "player's save");
  EXPECT_EQ(ReadBytes(hidden), "new hidden");
  EXPECT_EQ(GetFileAttributesA(hidden.c_str()) &
                (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(Names(Take(s.InstallFolder())),
            (std::vector<std::string>{"\\SETUP.INI", "\\file.dat", "\\hidden.dat", "\\new.dat",
                                      "\\save.dat"}));
  for (const std::string& folder : logNames) {
    EXPECT_EQ(ReadBytes(folder + "\\inside"), "taken");
    DeleteFileA((folder + "\\inside").c_str());
    RemoveDirectoryA(folder.c_str());
  }
}

// The attack of a local user: a well-formed journal, planted in the game's
// folder (which every signed-in user may write) and in the journal folder
// (as if the user had made it first), names files outside the game to be
// deleted and replaced. The elevated updater acts on neither: nothing outside
// the game changes, the journal folder's copy is kept aside, and the update
// then runs as usual.
TEST(StagedRun, APlantedJournalChangesNothingOutsideTheGame) {
  Scenario s;
  s.updateIniMore = "[UPDATE]\r\nUpdateFile00=file.dat\r\n";
  s.files = {{"file.dat", "new file"}};
  s.installFiles = {{"file.dat", "old file"}};
  s.LayOut();
  ASSERT_FALSE(testing::Test::HasFatalFailure());
  ScratchDir victim;
  ScratchDir attacker;
  ASSERT_TRUE(WriteBytes(victim.file("victim.txt"), "victim"));
  ASSERT_TRUE(WriteBytes(victim.file("target.dll"), "system library"));
  ASSERT_TRUE(WriteBytes(victim.file("staged.txt"), "staged"));
  ASSERT_TRUE(WriteBytes(attacker.file("evil.dll"), "the attacker's library"));
  const std::string planted =
      JournalLine("J\t1") + JournalLine("N\t" + victim.file("victim.txt")) +
      JournalLine("B\t" + attacker.file("evil.dll") + "\t" + victim.file("target.dll")) +
      JournalLine("S\t" + victim.file("staged.txt"));
  ASSERT_TRUE(WriteBytes(s.InstallFolder() + "\\" + kJournalName, planted));
  lstrcpyA(State.CompanyName, s.game.company.c_str());
  lstrcpyA(State.GameDir, s.game.dir.c_str());
  char folder[kPathSize];
  ASSERT_TRUE(ComposeJournalFolder(folder));
  ASSERT_TRUE(PrepareJournalFolder(folder, 1));
  const std::string journalFolder = folder;
  ASSERT_TRUE(WriteBytes(journalFolder + "\\" + kJournalName, planted));

  UpdaterProcess process(s.UpdaterPath());
  process.PlayWizard();
  RunResult run = process.Wait();
  ExpectEnd(run, 1);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\file.dat"), "new file");
  EXPECT_EQ(ReadBytes(victim.file("victim.txt")), "victim");
  EXPECT_EQ(ReadBytes(victim.file("target.dll")), "system library");
  EXPECT_EQ(ReadBytes(victim.file("staged.txt")), "staged");
  EXPECT_EQ(ReadBytes(attacker.file("evil.dll")), "the attacker's library");
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\" + kJournalName), planted) << "never read";
  EXPECT_EQ(ReadBytes(journalFolder + "\\" + kRefusedJournalName), planted) << "kept aside";
  EXPECT_FALSE(FileExists(journalFolder + "\\" + kJournalName));
  const std::string log = ReadBytes(TempFolder() + s.game.dir + "_update.log");
  EXPECT_NE(log.find("an earlier run's journal breaks the journal's rules: set aside"),
            std::string::npos)
      << log;
}

// Bytes that differ per file and per version, and pack a little.
std::string Content(int file, int version, size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 2654435761u * static_cast<uint32_t>(file * 7 + version + 1);
  for (size_t i = 0; i < size; ++i) {
    if (i % 64 == 0) x = x * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>((x >> (i % 24)) & 0x3F);
  }
  return bytes;
}

// Patch entries: each installed version that the update was made from is
// updated to files identical to the new version; an installed file that no
// patch was made from takes the full entry when there is one, and without
// one the run stops before any game file is touched.
TEST(StagedRun, PatchesUpdateTheVersionsTheyWereMadeFrom) {
  constexpr size_t kSize = 300000;
  const std::string v0 = Content(1, 0, kSize), v1 = Content(1, 1, kSize);
  // The new version: v0 with scattered changes and a grown end.
  std::string v2 = v0;
  for (size_t i = 0; i < v2.size(); i += 4099) v2[i] ^= 0x40;
  v2 += "appended by version 2";
  std::string modified = v0;
  modified[1234] ^= 1;
  const std::string pakOld = Content(2, 0, kSize), pakNew = pakOld.substr(1000) + "more";
  const std::string refused =
      "ファイル \"%s\\GAME.DAT\" はこのアップデートを適用できるバージョンではありません";
  struct PatchCase {
    const char* what;
    std::vector<std::string> from;  // the versions that GAME.DAT has patches from
    bool full;                      // and its full entry
    std::string installed;
    std::vector<std::string> boxes;  // refused: the version message, then the usual ones
  } cases[] = {
      {"the version the patch was made from", {v0}, false, v0, {}},
      {"the first of two versions", {v0, v1}, false, v0, {}},
      {"the second of two versions", {v0, v1}, false, v1, {}},
      {"a modified file, the full entry kept", {v0, v1}, true, modified, {}},
      {"a modified file without a full entry", {v0, v1}, false, modified,
       {refused, "ファイルの書き込みに失敗しました", "アップデートが中断されました"}},
  };
  for (const PatchCase& c : cases) {
    SCOPED_TRACE(c.what);
    Scenario s;
    s.updateIniMore = "[UPDATE]\r\nUpdateFile00=DATA.PAK\r\nUpdateFile01=GAME.DAT\r\n";
    s.files = {{"DATA.PAK", pakNew}, {"GAME.DAT", v2}};
    s.files[0].patchFrom = {pakOld};
    s.files[0].full = false;
    s.files[1].patchFrom = c.from;
    s.files[1].full = c.full;
    s.installFiles = {{"DATA.PAK", pakOld}, {"GAME.DAT", c.installed}};
    s.LayOut();
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    const Snapshot before = Take(s.InstallFolder());

    UpdaterProcess process(s.UpdaterPath());
    process.PlayWizard();
    RunResult run = process.Wait();
    std::vector<std::string> boxes;
    char text[1024];
    for (const std::string& box : c.boxes) {
      wsprintfA(text, box.c_str(), s.InstallFolder().c_str());
      boxes.push_back(text);
    }
    EXPECT_EQ(Texts(run), boxes);
    if (c.boxes.empty()) {
      ExpectEnd(run, 1);
      EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\GAME.DAT"), v2);
      EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\DATA.PAK"), pakNew);
    } else {
      ExpectEnd(run, 0);
      EXPECT_TRUE(Take(s.InstallFolder()) == before) << "a game file changed";
    }
    EXPECT_EQ(RunLeftovers(s.InstallFolder()), std::vector<std::string>{});
  }
}

// A large update, one stored entry of 128 MiB written into sixteen folders
// (2 GiB, a run of a few seconds): while the workers write, the wizard
// answers every ask within half a second, and its bar of the bytes written
// only rises and ends at its maximum.
TEST(StagedRun, ALargeRunAnswersThePlayerAndShowsItsProgress) {
  constexpr int kItems = 16;
  constexpr size_t kSize = 128u << 20;
  constexpr DWORD kAskMs = 500;
  Scenario s;
  s.updateIniMore = "[UPDATE]\r\n";
  for (int i = 0; i < kItems; ++i) {
    const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
    s.updateIniMore += "UpdateFile" + number + "=d" + number + "\\BIG.PAK\r\n";
  }
  s.files.push_back({"BIG.PAK", Content(0, 1, kSize), 0x01D9000000000000ull, true});
  s.LayOut();
  ASSERT_FALSE(testing::Test::HasFatalFailure());
  for (int i = 0; i < kItems; ++i) {
    const std::string folder = s.InstallFolder() + "\\d" + (i < 10 ? "0" : "") + std::to_string(i);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  }

  UpdaterProcess process(s.UpdaterPath());
  HWND wizard = WaitForWizard(process.pid(), "テストゲーム アップデータ ", kRunTimeoutMs);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
  ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == "アップデートを実行します"; }));
  ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));

  // Ask the wizard every few milliseconds until the run is complete. Every
  // message sent counts, the reading of the button's text too: one that
  // waits longer than half a second is a window that does not answer.
  std::vector<int> positions;
  int unanswered = 0, asks = 0;
  DWORD slowest = 0;
  auto ask = [&](const std::function<bool()>& send) {
    const ULONGLONG asked = GetTickCount64();
    const bool answered = send();
    const DWORD took = static_cast<DWORD>(GetTickCount64() - asked);
    slowest = std::max(slowest, took);
    ++asks;
    if (!answered || took > kAskMs) ++unanswered;
  };
  const ULONGLONG start = GetTickCount64();
  bool complete = false;
  while (!complete && GetTickCount64() - start < 120000) {
    DWORD_PTR answer = 0;
    ask([&] { return SendMessageTimeoutA(wizard, WM_NULL, 0, 0, SMTO_NORMAL, kAskMs, &answer) != 0; });
    HWND bar = GetDlgItem(wizard, IDC_PROGRESS);
    if (bar) {
      ask([&] {
        DWORD_PTR position = 0;
        if (!SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, kAskMs, &position)) return false;
        positions.push_back(static_cast<int>(position));
        return true;
      });
    }
    ask([&] { return (complete = ReadControl(wizard, IDC_NEXT).text == "完了"), true; });
    Sleep(40);
  }
  const DWORD runMs = static_cast<DWORD>(GetTickCount64() - start);
  std::printf("large run: %lu ms, %d asks, slowest answer %lu ms, %zu bar readings\n",
              static_cast<unsigned long>(runMs), asks, static_cast<unsigned long>(slowest),
              positions.size());
  ASSERT_TRUE(complete);
  EXPECT_EQ(unanswered, 0) << "slowest answer " << slowest << " ms";

  HWND bar = GetDlgItem(wizard, IDC_PROGRESS);
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(IsWindowVisible(bar));
  const int maximum = static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
  EXPECT_GT(maximum, 0);
  EXPECT_EQ(static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)), maximum);
  ASSERT_FALSE(positions.empty());
  std::set<int> between;
  for (size_t i = 0; i < positions.size(); ++i) {
    if (i) EXPECT_GE(positions[i], positions[i - 1]) << "reading " << i;
    if (positions[i] > 0 && positions[i] < maximum) between.insert(positions[i]);
  }
  EXPECT_GE(between.size(), 3u) << "the bar moved in fewer steps during the run";

  process.PlayWizard();
  RunResult run = process.Wait();
  ExpectEnd(run, 1);
  for (int i = 0; i < kItems; ++i) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::string file =
        s.InstallFolder() + "\\d" + (i < 10 ? "0" : "") + std::to_string(i) + "\\BIG.PAK";
    ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data)) << file;
    EXPECT_EQ(data.nFileSizeLow, kSize) << file;
  }
  EXPECT_EQ(ReadBytes(s.InstallFolder() + "\\d15\\BIG.PAK"), Content(0, 1, kSize));
}

// The updater killed at random moments of its run, then started again: the
// game is all old or all new, and nothing of the killed run is left, not even
// the DataFolder level that it created below the data folder for its "d"
// item. Half of the files are patched from the installed ones.
TEST(StagedRun, AKilledRunIsRolledBackByTheNextStart) {
  constexpr int kFiles = 8;
  constexpr size_t kSize = 2 << 20;
  constexpr DWORD kTrials = 6;
  Scenario s;
  s.updateIni.Set("UpdateMessage", "お知らせ");
  s.updateIni.Set("DataFolder", "save");
  s.updateIniMore = "[UPDATE]\r\n";
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "DATA" + std::to_string(i) + ".PAK";
    s.updateIniMore += "UpdateFile0" + std::to_string(i) + "=" + name + "\r\n";
    s.files.push_back({name, Content(i, 1, kSize)});
    // Every other file comes as a patch from the installed version alone.
    if (i % 2) {
      s.files.back().patchFrom = {Content(i, 0, kSize)};
      s.files.back().full = false;
    }
  }
  s.updateIniMore += "UpdateFile0" + std::to_string(kFiles) + "=d,SAVE.DAT\r\n";
  s.files.push_back({"SAVE.DAT", "archive save"});
  s.LayOut();
  ASSERT_FALSE(testing::Test::HasFatalFailure());
  // The game has its "save" level; the data folder gets it from the run.
  const std::string game = s.InstallFolder() + "\\save";
  const std::string newFolder = s.DataFolder() + "\\save";
  ASSERT_TRUE(CreateDirectoryA(game.c_str(), nullptr));

  auto install = [&] {
    for (int i = 0; i < kFiles; ++i) {
      const std::string path = game + "\\DATA" + std::to_string(i) + ".PAK";
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ASSERT_TRUE(WriteBytes(path, Content(i, 0, kSize)));
    }
    RemoveTree(newFolder);
  };
  // 0: all old, 1: all new, -1: mixed or damaged.
  auto version = [&] {
    int seen = -2;
    for (int i = 0; i < kFiles; ++i) {
      const std::string bytes = ReadBytes(game + "\\DATA" + std::to_string(i) + ".PAK");
      const int v = bytes == Content(i, 0, kSize) ? 0 : bytes == Content(i, 1, kSize) ? 1 : -1;
      if (v < 0 || (seen >= 0 && v != seen)) return -1;
      seen = v;
    }
    // The "d" item's folder is there only in the new version, with its file.
    const int saved = ReadBytes(newFolder + "\\SAVE.DAT") == "archive save"
                          ? 1
                          : GetFileAttributesA(newFolder.c_str()) == INVALID_FILE_ATTRIBUTES ? 0
                                                                                           : -1;
    return saved == seen ? seen : -1;
  };

  // Presses through to the start of the run and returns the wizard once the
  // run has begun, or null.
  auto startRun = [&](UpdaterProcess& process) -> HWND {
    HWND wizard = WaitForWizard(process.pid(), "テストゲーム アップデータ ", kRunTimeoutMs);
    if (!wizard) return nullptr;
    ClickButton(wizard, IDC_NEXT);
    if (!WaitUntil([&] { return ReadControl(wizard, IDC_INFO).text == "アップデートを実行します"; }))
      return nullptr;
    return ClickButton(wizard, IDC_NEXT) ? wizard : nullptr;
  };

  // One undisturbed run tells how long a run takes, from "次へ" to the "完了"
  // page.
  install();
  DWORD runMs = 0;
  {
    UpdaterProcess process(s.UpdaterPath());
    HWND wizard = startRun(process);
    ASSERT_NE(wizard, nullptr);
    const DWORD start = GetTickCount();
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).text == "完了"; },
                          kRunTimeoutMs));
    runMs = GetTickCount() - start;
    process.PlayWizard();
    RunResult run = process.Wait();
    ASSERT_EQ(run.exitCode, 1u);
    ASSERT_EQ(version(), 1);
  }

  std::mt19937 random(20261207);
  int seen[2] = {0, 0};
  for (DWORD trial = 0; trial < kTrials; ++trial) {
    install();
    // One moment in each of kTrials equal slices of the run, so that the
    // kills reach the staging, the commit and the end alike.
    const DWORD slice = runMs / kTrials;
    const DWORD delay = trial * slice + std::uniform_int_distribution<DWORD>(0, slice)(random);
    SCOPED_TRACE("killed " + std::to_string(delay) + " ms into a run of " +
                 std::to_string(runMs) + " ms");
    {
      UpdaterProcess process(s.UpdaterPath());
      ASSERT_NE(startRun(process), nullptr);
      Sleep(delay);
      HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.pid());
      ASSERT_NE(handle, nullptr);
      TerminateProcess(handle, 99);
      WaitForSingleObject(handle, 10000);
      CloseHandle(handle);
    }
    // The next start undoes the killed run before its first box, the notice.
    UpdaterProcess again(s.UpdaterPath(), {}, /*hold=*/true);
    ASSERT_TRUE(again.Boxes().WaitForCount(1, kRunTimeoutMs));
    EXPECT_EQ(again.Boxes().Boxes()[0].text, "お知らせ");
    const int v = version();
    EXPECT_GE(v, 0) << "old and new files mixed";
    if (v >= 0) ++seen[v];
    EXPECT_EQ(RunLeftovers(s.InstallFolder()), std::vector<std::string>{});
    EXPECT_EQ(RunLeftovers(s.DataFolder()), std::vector<std::string>{});
  }
  std::printf("kill trials: %d rolled back to the old version, %d complete\n", seen[0], seen[1]);
}

}  // namespace
