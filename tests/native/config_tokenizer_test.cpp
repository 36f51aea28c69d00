// The item-list tokenizer: separators, blanks, disc prefixes, list ends and
// over-long items.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/list_tokenizer.h"

namespace {

struct Item {
  std::string text;
  int disc;
};

// Calls the tokenizer until it returns 0 and records every item with the disc
// number in force after it.
std::vector<Item> Tokenize(const char* list, int disc = 0, size_t slot = kListSlotSize) {
  std::vector<Item> items;
  const char* cursor = list;
  std::vector<char> out(slot + 8, '#');
  while (TakeListItem(out.data(), slot, cursor, disc)) {
    items.push_back({out.data(), disc});
    if (items.size() > 64) break;  // a tokenizer that never ends fails below
  }
  return items;
}

TEST(ConfigTokenizer, CharacterClasses) {
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(IsBlank(c), c == 0x09 || c == 0x20) << c;
    EXPECT_EQ(IsItemEnd(c), c == 0 || c == 0x0A || c == 0x0D || c == 0x2C) << c;
  }
}

TEST(ConfigTokenizer, WorkedExample) {
  auto items = Tokenize("1:A.DAT, B.DAT ,2:C.DAT");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "A.DAT");
  EXPECT_EQ(items[0].disc, 1);
  EXPECT_EQ(items[1].text, "B.DAT ");  // blanks after an item belong to it
  EXPECT_EQ(items[1].disc, 1);         // sticky
  EXPECT_EQ(items[2].text, "C.DAT");
  EXPECT_EQ(items[2].disc, 2);
}

TEST(ConfigTokenizer, ListsWithoutItems) {
  for (const char* list : {"", "   ", "\t \t", ",A", " ,A", "\nA", "\rA"}) {
    const char* cursor = list;
    int disc = 7;
    char out[8] = "keep";
    EXPECT_EQ(TakeListItem(out, sizeof out, cursor, disc), 0) << list;
    EXPECT_STREQ(out, "keep") << "out is not written";
    EXPECT_EQ(disc, 7);
    // The cursor has passed the blanks and rests on the item end.
    const char* end = list;
    while (*end == ' ' || *end == '\t') ++end;
    EXPECT_EQ(cursor, end) << list;
  }
}

TEST(ConfigTokenizer, AdjacentCommasStopOnTheSecond) {
  const char* list = "A,,B";
  const char* cursor = list;
  int disc = 0;
  char out[kListSlotSize];
  ASSERT_EQ(TakeListItem(out, sizeof out, cursor, disc), 1);
  EXPECT_STREQ(out, "A");
  EXPECT_EQ(TakeListItem(out, sizeof out, cursor, disc), 0);
  EXPECT_EQ(cursor, list + 2);
  // Calling again changes nothing: the list is over for a caller that stops.
  EXPECT_EQ(TakeListItem(out, sizeof out, cursor, disc), 0);
  EXPECT_EQ(cursor, list + 2);
}

TEST(ConfigTokenizer, PrefixAloneGivesEmptyItem) {
  auto items = Tokenize("3:,B");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].text, "");
  EXPECT_EQ(items[0].disc, 3);
  EXPECT_EQ(items[1].text, "B");
  EXPECT_EQ(items[1].disc, 3);

  items = Tokenize("A,4:");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].text, "");
  EXPECT_EQ(items[1].disc, 4);
}

TEST(ConfigTokenizer, PrefixRules) {
  // A drive letter is taken for a prefix: disc 0, and the item loses "C:".
  auto items = Tokenize("C:\\GAMES", 5);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text, "\\GAMES");
  EXPECT_EQ(items[0].disc, 0);

  // Blanks before the prefix are skipped, blanks after the colon are kept.
  items = Tokenize("  9: X");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text, " X");
  EXPECT_EQ(items[0].disc, 9);

  // Only the second byte is looked at: "12:X" has no prefix.
  items = Tokenize("12:X,+:Y,\x82:Z");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "12:X");
  EXPECT_EQ(items[0].disc, 0);
  EXPECT_EQ(items[1].text, "Y");
  EXPECT_EQ(items[1].disc, 0);
  EXPECT_EQ(items[2].text, "Z");
  EXPECT_EQ(items[2].disc, 0);
}

TEST(ConfigTokenizer, LineEndsEndItems) {
  auto items = Tokenize("A\nB\rC\r\nD");
  // The CR of CR LF ends C; the LF then stands where an item should begin.
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "A");
  EXPECT_EQ(items[1].text, "B");
  EXPECT_EQ(items[2].text, "C");
}

TEST(ConfigTokenizer, ShiftJisPassesUnchanged) {
  // 表 (0x95 0x5C) and ソ (0x83 0x5C) carry a backslash as trail byte.
  auto items = Tokenize("\x95\x5C\x83\x5C.DAT,\x82\xA0");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].text, "\x95\x5C\x83\x5C.DAT");
  EXPECT_EQ(items[1].text, "\x82\xA0");
}

TEST(ConfigTokenizer, EndOfTextIsNeverPassed) {
  const char text[] = "A\0ZZZ";  // bytes after the terminator must not be read as items
  const char* cursor = text;
  int disc = 0;
  char out[kListSlotSize];
  ASSERT_EQ(TakeListItem(out, sizeof out, cursor, disc), 1);
  EXPECT_EQ(cursor, text + 1);
  EXPECT_EQ(TakeListItem(out, sizeof out, cursor, disc), 0);
  EXPECT_EQ(cursor, text + 1);
}

TEST(ConfigTokenizer, OverlongItemIsCutAndConsumedWhole) {
  const std::string longItem(300, 'x');
  const std::string list = "1:" + longItem + ",NEXT";
  std::vector<char> out(kListSlotSize + 64, '#');
  const char* cursor = list.c_str();
  int disc = 0;
  ASSERT_EQ(TakeListItem(out.data(), kListSlotSize, cursor, disc), 1);
  EXPECT_EQ(std::string(out.data()), std::string(kListSlotSize - 1, 'x'));
  for (size_t i = kListSlotSize; i < out.size(); ++i) ASSERT_EQ(out[i], '#') << "written past the slot at " << i;
  EXPECT_EQ(cursor, list.c_str() + 2 + 300 + 1);
  ASSERT_EQ(TakeListItem(out.data(), kListSlotSize, cursor, disc), 1);
  EXPECT_STREQ(out.data(), "NEXT");
  EXPECT_EQ(disc, 1);

  // The same with a tiny slot: exactly outSize - 1 bytes and the terminator.
  auto items = Tokenize("ABCDEF,GH", 0, 4);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].text, "ABC");
  EXPECT_EQ(items[1].text, "GH");
}

}  // namespace
