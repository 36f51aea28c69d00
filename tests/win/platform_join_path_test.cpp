// JoinPath: the separator by characters of code page 932, the double NUL, and
// the buffer bound.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "common/updater_state_win32.h"
#include "platform/join_path.h"

namespace {

// Joins in a 260-byte buffer and returns the result with everything up to and
// including the second NUL, so that the double NUL is part of what is compared.
std::string Join(const std::string& path, const char* name) {
  char buffer[kPathSize];
  std::memset(buffer, 'X', sizeof buffer);
  std::strcpy(buffer, path.c_str());
  if (!JoinPath(buffer, name)) return "<failed>";
  size_t length = std::strlen(buffer);
  return std::string(buffer, length + 2);
}

std::string Z(const std::string& text) { return text + std::string(2, '\0'); }

TEST(JoinPath, PutsOneBackslashBetween) {
  EXPECT_EQ(GetACP(), 932u) << "these cases need the Japanese code page";
  EXPECT_EQ(Join("C:\\Game", "SETUP.INI"), Z("C:\\Game\\SETUP.INI"));
  EXPECT_EQ(Join("C:\\Game\\", "SETUP.INI"), Z("C:\\Game\\SETUP.INI"));
  EXPECT_EQ(Join("C:\\Game/", "SETUP.INI"), Z("C:\\Game/SETUP.INI"));
  EXPECT_EQ(Join("C:", "SETUP.INI"), Z("C:\\SETUP.INI"));
  EXPECT_EQ(Join("", "SETUP.INI"), Z("SETUP.INI"));
  EXPECT_EQ(Join("C:\\Game", ""), Z("C:\\Game\\"));
  EXPECT_EQ(Join("C:\\ゲーム\\", "セーブ"), Z("C:\\ゲーム\\セーブ"));
}

TEST(JoinPath, ATrailByte5CIsNotASeparator) {
  // 表 ソ 能 十 all end in the byte 0x5C.
  for (const char* folder : {"C:\\ゲーム\\機能", "C:\\表", "D:\\ソ", "十", "C:\\ゲーム\\能"}) {
    ASSERT_EQ(folder[std::strlen(folder) - 1], '\\');
    EXPECT_EQ(Join(folder, "SETUP.INI"), Z(std::string(folder) + "\\SETUP.INI")) << folder;
  }
  // A real backslash after such a character is still one.
  EXPECT_EQ(Join("C:\\機能\\", "a"), Z("C:\\機能\\a"));
  // A lead byte cut off at the end is a character of its own.
  EXPECT_EQ(Join("C:\\a\x95", "b"), Z("C:\\a\x95\\b"));
}

TEST(JoinPath, NeverWritesPastItsBuffer) {
  char buffer[64];
  const size_t size = 20;  // the part that JoinPath may use
  auto fresh = [&](const char* path) {
    std::memset(buffer, '#', sizeof buffer);
    std::strcpy(buffer, path);
  };

  // 10 + 1 + 7 + 2 NULs = 20 bytes: fits exactly.
  fresh("C:\\folder0");
  EXPECT_EQ(JoinPath(buffer, size, "abc.txt"), 1);
  EXPECT_EQ(std::string(buffer, 21), Z("C:\\folder0\\abc.txt") + "#");

  // One byte more fails and leaves the buffer as it was.
  fresh("C:\\folder0");
  EXPECT_EQ(JoinPath(buffer, size, "abcd.txt"), 0);
  EXPECT_EQ(std::string(buffer, 12), std::string("C:\\folder0") + '\0' + '#');
  EXPECT_EQ(std::string(buffer + 11, 53), std::string(53, '#'));

  // Without a separator the same count fits one byte more of name.
  fresh("C:\\folder\\");
  EXPECT_EQ(JoinPath(buffer, size, "abcd.txt"), 1);
  EXPECT_EQ(std::string(buffer, 21), Z("C:\\folder\\abcd.txt") + "#");

  // A path without a terminator inside the buffer is not joined.
  std::memset(buffer, 'p', sizeof buffer);
  EXPECT_EQ(JoinPath(buffer, size, "x"), 0);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'p'));
}

TEST(JoinPath, ThePathBuffersOfTheUpdaterHold260Bytes) {
  std::string path = "C:\\" + std::string(245, 'g');  // 248 bytes
  EXPECT_EQ(Join(path, "SETUP.INI"), Z(path + "\\SETUP.INI"));  // 248 + 1 + 9 + 2 = 260
  EXPECT_EQ(Join(path + "g", "SETUP.INI"), "<failed>");
  EXPECT_EQ(Join(path, std::string(300, 'n').c_str()), "<failed>");
}

}  // namespace
