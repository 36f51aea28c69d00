// Writing archive entries to disk: the newer rule, read-only and folder
// destinations, the entry's time on the file, and the write that either puts
// the whole new file in place or leaves the old one untouched.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "wizard/archive_entries.h"
#include "platform/write_file.h"
#include "common/updater_state_win32.h"
#include "harness/import_patch.h"
#include "harness/message_boxes.h"
#include "harness/test_archive.h"
#include "harness/test_env.h"

namespace {

constexpr uint64_t kOneDay = 864000000000ULL;

FILETIME ToFileTime(uint64_t t) {
  return {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}
uint64_t FromFileTime(const FILETIME& t) {
  return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

struct FileTimes {
  uint64_t created = 0, accessed = 0, written = 0;
};
FileTimes TimesOf(const std::string& path) {
  FileTimes times;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return times;
  FILETIME c, a, w;
  if (GetFileTime(file, &c, &a, &w)) {
    times = {FromFileTime(c), FromFileTime(a), FromFileTime(w)};
  }
  CloseHandle(file);
  return times;
}

bool SetWriteTime(const std::string& path, uint64_t t) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME time = ToFileTime(t);
  bool ok = SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
  return ok;
}

// The names in a folder, sorted: what a player would find there.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

using Names = std::vector<std::string>;

class Extraction : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUpdaterState();
    archive.Add("GAME.EXE", "new game executable");
    archive.AddCompressed("DATA.PAK", std::string(5000, 'd') + "tail");
    archive.Load();
  }
  void TearDown() override { ResetUpdaterState(); }

  TestArchive archive;
  ScratchDir dir;
  MessageBoxWatcher boxes;
};

TEST_F(Extraction, WritesTheContentWithTheEntrysTime) {
  std::string exe = dir.file("game.exe"), pak = dir.file("data.pak");
  EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", exe.c_str(), 0), 1);
  EXPECT_EQ(ExtractArchiveEntry("DATA.PAK", pak.c_str(), 1), 1);

  // The times first: reading the content moves the last-access time on.
  for (const std::string& path : {exe, pak}) {
    FileTimes times = TimesOf(path);
    EXPECT_EQ(times.written, kTestEntryTime) << path;
    EXPECT_EQ(times.created, kTestEntryTime) << path;
    EXPECT_EQ(times.accessed, kTestEntryTime) << path;
  }
  EXPECT_EQ(ReadBytes(exe), "new game executable");
  EXPECT_EQ(ReadBytes(pak), std::string(5000, 'd') + "tail");
  DWORD attributes = GetFileAttributesA(exe.c_str());
  EXPECT_EQ(attributes & ~DWORD{FILE_ATTRIBUTE_ARCHIVE}, 0u) << std::hex << attributes;
  EXPECT_EQ(Listing(dir.path()), (Names{"data.pak", "game.exe"}));
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(Extraction, OnlyIfNewerRewritesAFileOfTheSameTime) {
  std::string exe = dir.file("GAME.EXE");
  ASSERT_TRUE(WriteBytes(exe, "old game executable"));
  ASSERT_TRUE(SetWriteTime(exe, kTestEntryTime));
  EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", exe.c_str(), 1), 1);
  EXPECT_EQ(ReadBytes(exe), "new game executable");
}

TEST_F(Extraction, OnlyIfNewerReplacesAnOlderFile) {
  std::string exe = dir.file("GAME.EXE");
  ASSERT_TRUE(WriteBytes(exe, "old"));
  ASSERT_TRUE(SetWriteTime(exe, kTestEntryTime - 1));
  EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", exe.c_str(), 1), 1);
  EXPECT_EQ(ReadBytes(exe), "new game executable");
  EXPECT_EQ(TimesOf(exe).written, kTestEntryTime);
}

TEST_F(Extraction, OnlyIfNewerKeepsANewerFileButClearsItsReadOnlyMark) {
  std::string exe = dir.file("GAME.EXE");
  ASSERT_TRUE(WriteBytes(exe, "patched by the player"));
  ASSERT_TRUE(SetWriteTime(exe, kTestEntryTime + 1));
  ASSERT_TRUE(SetFileAttributesA(exe.c_str(), FILE_ATTRIBUTE_READONLY));

  EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", exe.c_str(), 1), 1);
  EXPECT_EQ(ReadBytes(exe), "patched by the player");
  EXPECT_EQ(TimesOf(exe).written, kTestEntryTime + 1);
  EXPECT_EQ(GetFileAttributesA(exe.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(Listing(dir.path()), (Names{"GAME.EXE"}));
}

TEST_F(Extraction, WithoutOnlyIfNewerEvenANewerReadOnlyFileIsReplaced) {
  std::string exe = dir.file("GAME.EXE");
  ASSERT_TRUE(WriteBytes(exe, "newer"));
  ASSERT_TRUE(SetWriteTime(exe, kTestEntryTime + 100 * kOneDay));
  ASSERT_TRUE(SetFileAttributesA(exe.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", exe.c_str(), 0), 1);
  EXPECT_EQ(ReadBytes(exe), "new game executable");
  EXPECT_EQ(TimesOf(exe).written, kTestEntryTime);
  EXPECT_EQ(GetFileAttributesA(exe.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

// A file that exists but cannot be opened for reading (its access rights
// deny it, which wine run as root cannot show): the import of CreateFileA is
// patched to refuse read-only opens of that one path.
std::string unreadablePath;
decltype(&CreateFileA) RealCreateFile;
HANDLE WINAPI RefusingCreateFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                 DWORD disposition, DWORD flags, HANDLE templateFile) {
  if (lstrcmpiA(name, unreadablePath.c_str()) == 0 && access == GENERIC_READ) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return RealCreateFile(name, access, share, sa, disposition, flags, templateFile);
}

TEST_F(Extraction, ANewerFileThatCannotBeReadIsWritten) {
  std::string exe = dir.file("GAME.EXE");
  ASSERT_TRUE(WriteBytes(exe, "newer"));
  ASSERT_TRUE(SetWriteTime(exe, kTestEntryTime + kOneDay));
  unreadablePath = exe;
  {
    ImportPatch refuse("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(&RefusingCreateFile));
    ASSERT_TRUE(refuse.active());
    RealCreateFile = reinterpret_cast<decltype(RealCreateFile)>(refuse.original());
    ASSERT_EQ(CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", exe.c_str(), 1), 1);
  }
  EXPECT_EQ(ReadBytes(exe), "new game executable");
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(Listing(dir.path()), (Names{"GAME.EXE"}));
}

TEST_F(Extraction, AFolderInTheWayIsLeftAloneWithoutAMessage) {
  std::string folder = dir.file("DATA.PAK");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_EQ(ExtractArchiveEntry("DATA.PAK", folder.c_str(), 0), 0);
  EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", folder.c_str(), 1), 0);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_NE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(Listing(folder), Names{});
  EXPECT_EQ(Listing(dir.path()), (Names{"DATA.PAK"}));
}

TEST_F(Extraction, ALockedFileStaysAsItWasAndNothingIsLeftBehind) {
  std::string exe = dir.file("GAME.EXE");
  ASSERT_TRUE(WriteBytes(exe, "the game's own bytes"));
  ASSERT_TRUE(SetWriteTime(exe, kTestEntryTime - kOneDay));
  HANDLE running = CreateFileA(exe.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);

  EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", exe.c_str(), 0), 0);
  EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", exe.c_str(), 1), 0);
  EXPECT_EQ(WriteFileWithTime(exe.c_str(), "x", 1, nullptr), 0);
  CloseHandle(running);

  EXPECT_EQ(boxes.Count(), 0u);  // the caller reports a failed write
  EXPECT_EQ(ReadBytes(exe), "the game's own bytes");
  EXPECT_EQ(TimesOf(exe).written, kTestEntryTime - kOneDay);
  EXPECT_EQ(Listing(dir.path()), (Names{"GAME.EXE"}));
}

TEST_F(Extraction, AMissingEntryWritesNothing) {
  std::string target = dir.file("NOPE.DAT");
  EXPECT_EQ(ExtractArchiveEntry("NOPE.DAT", target.c_str(), 0), 0);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, kNoEntryMessage);
  EXPECT_EQ(Listing(dir.path()), Names{});
}

TEST_F(Extraction, ADamagedEntryWritesNothingAndKeepsTheOldFile) {
  archive.records[1].UnpackedSize += 10;  // the stream ends before the entry's size
  archive.Load();
  std::string pak = dir.file("DATA.PAK");
  ASSERT_TRUE(WriteBytes(pak, "old data"));
  EXPECT_EQ(ExtractArchiveEntry("DATA.PAK", pak.c_str(), 0), 0);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, kReadErrorMessage);
  EXPECT_EQ(boxes.Boxes()[0].icon, MB_ICONERROR);
  EXPECT_EQ(ReadBytes(pak), "old data");
  EXPECT_EQ(Listing(dir.path()), (Names{"DATA.PAK"}));
}

HGLOBAL WINAPI FailingGlobalAlloc(UINT, SIZE_T) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

TEST_F(Extraction, NoMemoryToDecodeWritesNothingAndKeepsTheOldFile) {
  std::string pak = dir.file("DATA.PAK");
  ASSERT_TRUE(WriteBytes(pak, "old data"));
  {
    ImportPatch noMemory("kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&FailingGlobalAlloc));
    ASSERT_TRUE(noMemory.active());
    EXPECT_EQ(ExtractArchiveEntry("DATA.PAK", pak.c_str(), 0), 0);
  }
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, kNoMemoryMessage);
  EXPECT_EQ(ReadBytes(pak), "old data");
  EXPECT_EQ(Listing(dir.path()), (Names{"DATA.PAK"}));
}

TEST_F(Extraction, ADriveThatCannotBeAskedDoesNotStopTheWrite) {
  // A bare name has no drive in its first two characters ("ne"), so the space
  // query fails; the write goes on into the current folder.
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
  int result = ExtractArchiveEntry("GAME.EXE", "new.exe", 0);
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(ReadBytes(dir.file("new.exe")), "new game executable");
  EXPECT_EQ(Listing(dir.path()), (Names{"new.exe"}));
}

TEST_F(Extraction, AJapaneseFolderEndingInByte5CIsWrittenInto) {
  // 表 ends in the byte 0x5C: the temporary file must go into 表, not beside it.
  std::string folder = dir.file("表");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  std::string exe = folder + "\\GAME.EXE";
  EXPECT_EQ(ExtractArchiveEntry("GAME.EXE", exe.c_str(), 0), 1);
  EXPECT_EQ(ReadBytes(exe), "new game executable");
  EXPECT_EQ(Listing(folder), (Names{"GAME.EXE"}));
  EXPECT_EQ(Listing(dir.path()), (Names{"表"}));
}

TEST(WriteFileWithTime, WritesWithoutATimeAndReplacesWhatWasThere) {
  ScratchDir dir;
  std::string path = dir.file("save.dat");
  ASSERT_TRUE(WriteBytes(path, std::string(10000, 'o')));
  ASSERT_TRUE(SetWriteTime(path, kTestEntryTime));
  EXPECT_EQ(WriteFileWithTime(path.c_str(), "short", 5, nullptr), 1);
  EXPECT_EQ(ReadBytes(path), "short");
  EXPECT_GT(TimesOf(path).written, kTestEntryTime);  // now, not the old time

  EXPECT_EQ(WriteFileWithTime(path.c_str(), nullptr, 0, nullptr), 1);
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(Listing(dir.path()), (Names{"save.dat"}));
}

TEST(WriteFileWithTime, FailsCleanlyWhereNoFileCanBeMade) {
  ScratchDir dir;
  std::string inMissingFolder = dir.file("missing\\file.dat");
  EXPECT_EQ(WriteFileWithTime(inMissingFolder.c_str(), "x", 1, nullptr), 0);
  EXPECT_EQ(WriteFileWithTime(dir.path().c_str(), "x", 1, nullptr), 0);  // a folder
  std::string tooLong = dir.path() + "\\" + std::string(300, 'L');
  EXPECT_EQ(WriteFileWithTime(tooLong.c_str(), "x", 1, nullptr), 0);
  EXPECT_EQ(Listing(dir.path()), Names{});
}

}  // namespace
