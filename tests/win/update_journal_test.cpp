// The journal that a killed run leaves, read by the next start: what it rolls
// back, what it keeps, and the lines and records it must not trust. Drive L:
// (WINE_RUN_DRIVES=l:links) holds L:\game with a folder "link" that is a
// symbolic link to L:\outside.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/updater_state_win32.h"
#include "harness/test_env.h"
#include "platform/journal_folder.h"
#include "platform/update_journal.h"

namespace {

std::string Line(const std::string& fields) { return JournalLine(fields); }

// Sets State up for a game installed in inst and returns the path of its
// journal, in the journal folder that the updater makes for it.
std::string GameWithJournal(const std::string& inst) {
  ResetUpdaterState();
  ResetJournal();
  lstrcpyA(State.CompanyName, "テスト会社");
  lstrcpyA(State.GameDir, "Game");
  lstrcpyA(State.InstPath, inst.c_str());
  // The data folder holds a link to a folder outside it.
  lstrcpyA(State.DataPath, "L:\\game");
  char folder[kPathSize];
  EXPECT_TRUE(ComposeJournalFolder(folder));
  EXPECT_TRUE(PrepareJournalFolder(folder, 1));
  char path[kPathSize];
  EXPECT_TRUE(ComposeJournalPath(path));
  DeleteFileA((std::string(folder) + "\\" + kRefusedJournalName).c_str());
  return path;
}

std::string Refused(const std::string& journal) {
  return journal.substr(0, journal.rfind('\\') + 1) + kRefusedJournalName;
}

struct JournalCase {
  const char* what;
  // The journal's text; {inst} stands for the installation folder, {out} for
  // a folder beside it that is no part of the game.
  std::vector<std::string> lines;
  std::string tail;  // raw bytes after the lines: a line cut short
  // The folder before (name=bytes; a name of "-" is absent) and after.
  std::vector<std::pair<std::string, std::string>> before;
  std::vector<std::pair<std::string, std::string>> after;
  // The journal breaks a rule: it is moved aside and nothing of it is done.
  bool refused = false;
};

std::string Expand(std::string text, const std::string& inst, const std::string& out) {
  for (size_t at; (at = text.find("{inst}")) != std::string::npos;) text.replace(at, 6, inst);
  for (size_t at; (at = text.find("{out}")) != std::string::npos;) text.replace(at, 5, out);
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return text;
}

std::vector<std::pair<std::string, std::string>> Contents(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  ForEachFileBelow(folder, [&](const std::string& path, const WIN32_FIND_DATAA& found) {
    files.emplace_back(found.cFileName, ReadBytes(path));
  });
  std::sort(files.begin(), files.end());
  return files;
}

TEST(UpdateJournal, TheNextStartRollsAKilledRunBackOrFinishesAComplete) {
  const std::string head = Line("J\t1");
  const std::vector<JournalCase> cases = {
      {"killed while staging: the staged files go",
       {"S\t{inst}\\~UPN0001.TMP", "S\t{inst}\\~UPN0002.TMP"}, "",
       {{"A.DAT", "old a"}, {"~UPN0001.TMP", "new a"}, {"~UPN0002.TMP", "new b, half"}},
       {{"A.DAT", "old a"}}},
      {"killed in the commit: backups return over new files, new targets go",
       {"S\t{inst}\\~UPN0001.TMP", "S\t{inst}\\~UPN0002.TMP", "S\t{inst}\\~UPN0003.TMP",
        "B\t{inst}\\~UPO0001.TMP\t{inst}\\A.DAT", "N\t{inst}\\B.DAT",
        "B\t{inst}\\~UPO0002.TMP\t{inst}\\C.DAT"},
       "",
       {{"A.DAT", "new a"}, {"B.DAT", "new b"}, {"~UPN0003.TMP", "new c"},
        {"~UPO0001.TMP", "old a"}, {"~UPO0002.TMP", "old c"}},
       {{"A.DAT", "old a"}, {"C.DAT", "old c"}}},
      {"a backup line cut short: its move never began",
       {"S\t{inst}\\~UPN0001.TMP"}, "B\t{inst}\\~UPO0001.TMP\t{inst}\\A.D",
       {{"A.DAT", "old a"}, {"~UPN0001.TMP", "new a"}},
       {{"A.DAT", "old a"}}},
      {"a line with a wrong hash ends the journal",
       {"S\t{inst}\\~UPN0001.TMP"}, "N\t{inst}\\A.DAT\t#00000000\r\n",
       {{"A.DAT", "the player's own"}, {"~UPN0001.TMP", "new a"}},
       {{"A.DAT", "the player's own"}}},
      {"complete: the new files stay, what is left of the backups goes",
       {"S\t{inst}\\~UPN0001.TMP", "B\t{inst}\\~UPO0001.TMP\t{inst}\\A.DAT",
        "B\t{inst}\\~UPO0002.TMP\t{inst}\\B.DAT", "C"},
       "",
       {{"A.DAT", "new a"}, {"B.DAT", "new b"}, {"~UPO0002.TMP", "old b"}},
       {{"A.DAT", "new a"}, {"B.DAT", "new b"}}},
      {"the same game in other spellings: mixed case, a trailing dot, a detour",
       {"S\t{INST}\\~upn0001.tmp", "N\t{inst}\\sub.\\..\\B.DAT."}, "",
       {{"B.DAT", "new b"}, {"~UPN0001.TMP", "new a"}},
       {}},
      {"a target outside the game: refused, whatever comes before it",
       {"S\t{inst}\\~UPN0001.TMP", "N\t{out}\\victim.txt"}, "",
       {{"~UPN0001.TMP", "new a"}},
       {{"~UPN0001.TMP", "new a"}}, true},
      {"a target that climbs out with ..",
       {"N\t{inst}\\..\\{outname}\\victim.txt"}, "",
       {{"A.DAT", "old a"}}, {{"A.DAT", "old a"}}, true},
      {"a backup from outside the game put over a game file",
       {"B\t{out}\\evil.dll\t{inst}\\A.DAT"}, "",
       {{"A.DAT", "old a"}}, {{"A.DAT", "old a"}}, true},
      {"a backup that is not in its target's folder",
       {"B\t{inst}\\sub\\~UPO0001.TMP\t{inst}\\A.DAT"}, "",
       {{"A.DAT", "old a"}}, {{"A.DAT", "old a"}}, true},
      {"a backup without the run's name",
       {"B\t{inst}\\SAVE.DAT\t{inst}\\A.DAT"}, "",
       {{"A.DAT", "old a"}, {"SAVE.DAT", "the player's save"}},
       {{"A.DAT", "old a"}, {"SAVE.DAT", "the player's save"}}, true},
      {"a staged file without the run's name",
       {"S\t{inst}\\GAME.EXE"}, "",
       {{"GAME.EXE", "the game"}}, {{"GAME.EXE", "the game"}}, true},
      {"a folder outside the game",
       {"D\t{out}"}, "", {}, {}, true},
      {"a target through a link below the game's data folder",
       {"N\tL:\\game\\link\\victim.txt"}, "", {}, {}, true},
  };
  ASSERT_EQ(GetFileAttributesA("L:\\game\\link") & FILE_ATTRIBUTE_REPARSE_POINT,
            static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT))
      << "the suite needs WINE_RUN_DRIVES=l:links";
  for (const JournalCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir inst;
    ScratchDir out;
    const std::string journal = GameWithJournal(inst.path());
    ASSERT_TRUE(CreateDirectoryA(inst.file("sub").c_str(), nullptr));
    const std::vector<std::pair<std::string, std::string>> outside = {
        {"evil.dll", "the attacker's"}, {"victim.txt", "someone's"}};
    for (const auto& [name, bytes] : outside) ASSERT_TRUE(WriteBytes(out.file(name), bytes));
    ASSERT_TRUE(WriteBytes("L:\\outside\\victim.txt", "someone's"));
    for (const auto& [name, bytes] : c.before) ASSERT_TRUE(WriteBytes(inst.file(name), bytes));
    std::string text = head;
    for (std::string line : c.lines) {
      for (size_t at; (at = line.find("{outname}")) != std::string::npos;) {
        line.replace(at, 9, out.path().substr(out.path().rfind('\\') + 1));
      }
      for (size_t at; (at = line.find("{INST}")) != std::string::npos;) {
        line.replace(at, 6, Upper(inst.path()));
      }
      text += Line(Expand(line, inst.path(), out.path()));
    }
    text += Expand(c.tail, inst.path(), out.path());
    ASSERT_TRUE(WriteBytes(journal, text));

    char failed[kFullPathSize] = "";
    JournalRecovery found = JournalRecovery::None;
    EXPECT_EQ(RecoverJournal(failed, &found), 1) << failed;
    const bool completed = std::find(c.lines.begin(), c.lines.end(), "C") != c.lines.end();
    EXPECT_EQ(found, c.refused    ? JournalRecovery::Refused
                     : completed ? JournalRecovery::Finished
                                 : JournalRecovery::RolledBack);
    EXPECT_EQ(Contents(inst.path()), c.after);
    EXPECT_EQ(Contents(out.path()), outside) << "nothing outside the game changes";
    EXPECT_EQ(ReadBytes("L:\\outside\\victim.txt"), "someone's");
    EXPECT_FALSE(FileExists(journal));
    EXPECT_EQ(ReadBytes(Refused(journal)), c.refused ? text : "") << "a refused journal is kept";
  }
  ResetUpdaterState();
}

// A journal that lies anywhere but in the journal folder is never read: one
// in the game's folder, however well formed, is left alone.
TEST(UpdateJournal, AJournalInTheGameFolderIsNeverActedOn) {
  ScratchDir inst;
  GameWithJournal(inst.path());
  ASSERT_TRUE(WriteBytes(inst.file("A.DAT"), "the game's"));
  ASSERT_TRUE(WriteBytes(inst.file("~UPN0001.TMP"), "whose?"));
  const std::string text = Line("J\t1") + Line("S\t" + inst.file("~UPN0001.TMP")) +
                           Line("N\t" + inst.file("A.DAT"));
  ASSERT_TRUE(WriteBytes(inst.file(kJournalName), text));
  char failed[kFullPathSize] = "";
  JournalRecovery found = JournalRecovery::RolledBack;
  EXPECT_EQ(RecoverJournal(failed, &found), 1);
  EXPECT_EQ(found, JournalRecovery::None);
  EXPECT_EQ(ReadBytes(inst.file("A.DAT")), "the game's");
  EXPECT_EQ(ReadBytes(inst.file("~UPN0001.TMP")), "whose?");
  EXPECT_EQ(ReadBytes(inst.file(kJournalName)), text);
  ResetUpdaterState();
}

TEST(UpdateJournal, ALiveRunsJournalIsLeftAlone) {
  ScratchDir inst;
  const std::string journal = GameWithJournal(inst.path());
  ASSERT_TRUE(WriteBytes(inst.file("~UPN0001.TMP"), "being staged"));
  const std::string text = Line("J\t1") + Line("S\t" + inst.file("~UPN0001.TMP"));
  ASSERT_TRUE(WriteBytes(journal, text));
  // The run holds its journal as the updater does: shared for reading only.
  HANDLE live = CreateFileA(journal.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(live, INVALID_HANDLE_VALUE);
  char failed[kFullPathSize] = "";
  JournalRecovery found = JournalRecovery::RolledBack;
  EXPECT_EQ(RecoverJournal(failed, &found), 1);
  EXPECT_EQ(found, JournalRecovery::None);
  CloseHandle(live);
  EXPECT_EQ(ReadBytes(inst.file("~UPN0001.TMP")), "being staged");
  EXPECT_EQ(ReadBytes(journal), text);
  ResetUpdaterState();
}

TEST(UpdateJournal, AFileThatCannotBeRestoredIsNamedAndTheJournalKept) {
  ScratchDir inst;
  const std::string journal = GameWithJournal(inst.path());
  // A folder has taken the target's name: the backup cannot go back there.
  ASSERT_TRUE(CreateDirectoryA(inst.file("A.DAT").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(inst.file("~UPO0001.TMP"), "old a"));
  const std::string text =
      Line("J\t1") + Line("B\t" + inst.file("~UPO0001.TMP") + "\t" + inst.file("A.DAT"));
  ASSERT_TRUE(WriteBytes(journal, text));
  char failed[kFullPathSize] = "";
  JournalRecovery found = JournalRecovery::None;
  EXPECT_EQ(RecoverJournal(failed, &found), 0);
  EXPECT_EQ(found, JournalRecovery::RolledBack);
  EXPECT_EQ(std::string(failed), inst.file("A.DAT"));
  EXPECT_EQ(ReadBytes(inst.file("~UPO0001.TMP")), "old a");
  EXPECT_TRUE(FileExists(journal)) << "kept for the next start";
  RemoveDirectoryA(inst.file("A.DAT").c_str());
  ResetUpdaterState();
}

}  // namespace
