// The journal that a killed run leaves, read by the next start: what it rolls
// back, what it keeps, and the lines it must not trust.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/updater_state_win32.h"
#include "harness/test_env.h"
#include "platform/update_journal.h"

namespace {

uint32_t Fnv1a(const std::string& bytes) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

// One journal line as a run writes it.
std::string Line(const std::string& fields) {
  char hash[16];
  std::snprintf(hash, sizeof hash, "%08X", static_cast<unsigned>(Fnv1a(fields)));
  return fields + "\t#" + hash + "\r\n";
}

struct JournalCase {
  const char* what;
  // The journal's text; {inst} stands for the installation folder.
  std::vector<std::string> lines;
  std::string tail;  // raw bytes after the lines: a line cut short
  // The folder before (name=bytes; a name of "-" is absent) and after.
  std::vector<std::pair<std::string, std::string>> before;
  std::vector<std::pair<std::string, std::string>> after;
};

std::string Expand(std::string text, const std::string& inst) {
  for (size_t at; (at = text.find("{inst}")) != std::string::npos;) text.replace(at, 6, inst);
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
  };
  for (const JournalCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir inst;
    ResetUpdaterState();
    ResetJournal();
    lstrcpyA(State.InstPath, inst.path().c_str());
    for (const auto& [name, bytes] : c.before) ASSERT_TRUE(WriteBytes(inst.file(name), bytes));
    std::string text = head;
    for (const std::string& line : c.lines) text += Line(Expand(line, inst.path()));
    text += Expand(c.tail, inst.path());
    ASSERT_TRUE(WriteBytes(inst.file(kJournalName), text));

    char failed[kJournalPathSize] = "";
    EXPECT_EQ(RecoverJournal(failed), 1) << failed;
    EXPECT_EQ(Contents(inst.path()), c.after);
  }
  ResetUpdaterState();
}

TEST(UpdateJournal, ALiveRunsJournalIsLeftAlone) {
  ScratchDir inst;
  ResetUpdaterState();
  ResetJournal();
  lstrcpyA(State.InstPath, inst.path().c_str());
  ASSERT_TRUE(WriteBytes(inst.file("~UPN0001.TMP"), "being staged"));
  const std::string text = Line("J\t1") + Line("S\t" + inst.file("~UPN0001.TMP"));
  ASSERT_TRUE(WriteBytes(inst.file(kJournalName), text));
  // The run holds its journal as the updater does: shared for reading only.
  HANDLE live = CreateFileA(inst.file(kJournalName).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(live, INVALID_HANDLE_VALUE);
  char failed[kJournalPathSize] = "";
  EXPECT_EQ(RecoverJournal(failed), 1);
  CloseHandle(live);
  EXPECT_EQ(ReadBytes(inst.file("~UPN0001.TMP")), "being staged");
  EXPECT_EQ(ReadBytes(inst.file(kJournalName)), text);
  ResetUpdaterState();
}

TEST(UpdateJournal, AFileThatCannotBeRestoredIsNamedAndTheJournalKept) {
  ScratchDir inst;
  ResetUpdaterState();
  ResetJournal();
  lstrcpyA(State.InstPath, inst.path().c_str());
  // A folder has taken the target's name: the backup cannot go back there.
  ASSERT_TRUE(CreateDirectoryA(inst.file("A.DAT").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(inst.file("~UPO0001.TMP"), "old a"));
  const std::string text =
      Line("J\t1") + Line("B\t" + inst.file("~UPO0001.TMP") + "\t" + inst.file("A.DAT"));
  ASSERT_TRUE(WriteBytes(inst.file(kJournalName), text));
  char failed[kJournalPathSize] = "";
  EXPECT_EQ(RecoverJournal(failed), 0);
  EXPECT_EQ(std::string(failed), inst.file("A.DAT"));
  EXPECT_EQ(ReadBytes(inst.file("~UPO0001.TMP")), "old a");
  EXPECT_TRUE(FileExists(inst.file(kJournalName))) << "kept for the next start";
  RemoveDirectoryA(inst.file("A.DAT").c_str());
  ResetUpdaterState();
}

}  // namespace
