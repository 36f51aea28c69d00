// SETUP.INI list shapes: name lists with their disc numbers, Shortcut lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/setup_lists.h"

namespace {

struct Lines {
  char fields[kShortcutLineFields][kListSlotSize];
};

TEST(ConfigNameList, MarkerAfterLastName) {
  char slots[20][kListSlotSize];
  for (auto& s : slots) std::snprintf(s, sizeof s, "old");
  int disc = 0;
  EXPECT_EQ(TakeNameList("a.bmp,b.bmp,c.bmp", slots, 20, nullptr, disc), 3);
  EXPECT_STREQ(slots[2], "c.bmp");
  EXPECT_STREQ(slots[3], "");
  EXPECT_STREQ(slots[4], "old");
}

TEST(ConfigNameList, CapacityKeepsTheFirstNames) {
  std::string list;
  for (int i = 0; i < 25; ++i) {
    if (i) list += ',';
    list += std::to_string(i);
    list += ".bmp";
  }
  char slots[21][kListSlotSize];
  std::snprintf(slots[20], sizeof slots[20], "guard");
  int disc = 0;
  EXPECT_EQ(TakeNameList(list.c_str(), slots, 20, nullptr, disc), 20);
  EXPECT_STREQ(slots[0], "0.bmp");
  EXPECT_STREQ(slots[19], "19.bmp");
  EXPECT_STREQ(slots[20], "guard") << "a full list has no marker";
}

TEST(ConfigNameList, FirstItemMissing) {
  char slots[4][kListSlotSize];
  std::snprintf(slots[0], sizeof slots[0], "old");
  int disc = 0;
  EXPECT_EQ(TakeNameList(",a.bmp", slots, 4, nullptr, disc), 0);
  EXPECT_EQ(TakeNameList("   ", slots, 4, nullptr, disc), 0);
  EXPECT_STREQ(slots[0], "old");
}

TEST(ConfigNameList, DiscNumbers) {
  char slots[40][kListSlotSize];
  int discs[40] = {};
  int disc = 0;
  ASSERT_EQ(TakeNameList("1:A.DAT,B.DAT,0:C.DAT", slots, 40, discs, disc), 3);
  EXPECT_EQ(discs[0], 1);
  EXPECT_EQ(discs[1], 1);
  EXPECT_EQ(discs[2], 0);
  EXPECT_STREQ(slots[0], "A.DAT");
  EXPECT_STREQ(slots[2], "C.DAT");
}

std::vector<std::string> Split(const char* line, int* ok) {
  Lines l;
  for (auto& f : l.fields) std::snprintf(f, sizeof f, "stale");
  int disc = 0;
  *ok = SplitShortcutLine(line, l.fields, disc);
  return {l.fields[0], l.fields[1], l.fields[2], l.fields[3]};
}

TEST(ConfigShortcutLine, Table) {
  struct Case {
    const char* line;
    int ok;
    std::vector<std::string> fields;
  } cases[] = {
      {"one,two", 1, {"one", "two", "", ""}},
      {"one,two,three,four", 1, {"one", "two", "three", "four"}},
      {"one,two,,four", 1, {"one", "two", "", "four"}},
      {"one,two,,,four", 1, {"one", "two", "", "four"}},
      {"one,two, , ,four", 1, {"one", "two", "", "four"}},
      {"one,two,three,,five", 1, {"one", "two", "three", ""}},
      {"one,two,three,four,five", 1, {"one", "two", "three", "four"}},
      {"one,two,,", 1, {"one", "two", "", ""}},
      {"one,two\r\nthree", 1, {"one", "two", "", ""}},
      {"1:one,two", 1, {"one", "two", "", ""}},
  };
  for (const auto& c : cases) {
    int ok = -1;
    auto fields = Split(c.line, &ok);
    EXPECT_EQ(ok, c.ok) << c.line;
    EXPECT_EQ(fields, c.fields) << c.line;
  }
}

TEST(ConfigShortcutLine, Refused) {
  for (const char* line : {"one", "one,,three", ",two", "", "one,"}) {
    int ok = -1;
    Split(line, &ok);
    EXPECT_EQ(ok, 0) << line;
  }
}

}  // namespace
