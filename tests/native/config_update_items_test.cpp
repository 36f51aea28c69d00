// UPDATE.INI item values: UpdateFileNN and CopyFileNN.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/archive_names.h"
#include "config/update_items.h"

namespace {

struct Parsed {
  int applies;
  UpdateItem item;
  int disc;
};

Parsed Parse(const char* value, uint32_t mode) {
  Parsed p{};
  std::memset(&p.item, 0x7F, sizeof p.item);  // every field must be written
  p.applies = ParseUpdateItem(value, mode, IsCp932LeadByte, p.disc, p.item);
  return p;
}

TEST(ConfigUpdateItem, ModeKindAndName) {
  auto p = Parse("1,u,sub\\file.dat", 1);
  EXPECT_EQ(p.applies, 1);
  EXPECT_EQ(p.item.Kind, UpdateKind::Update);
  EXPECT_STREQ(p.item.ItemName, "sub\\file.dat");
  EXPECT_EQ(p.item.BaseOffset, 4);
  EXPECT_STREQ(p.item.ItemName + p.item.BaseOffset, "file.dat");

  EXPECT_EQ(Parse("1,u,sub\\file.dat", 2).applies, 0);
  EXPECT_EQ(Parse("2,u,sub\\file.dat", 0).applies, 0);
  EXPECT_EQ(Parse("0,file.dat", 0).applies, 1);

  p = Parse("D,save.dat", 3);  // no mode selector: applies in every mode
  EXPECT_EQ(p.applies, 1);
  EXPECT_EQ(p.item.Kind, UpdateKind::Data);
  EXPECT_STREQ(p.item.ItemName, "save.dat");
  EXPECT_EQ(p.item.BaseOffset, 0);

  p = Parse("2,O,bin\\game.dat,ignored,more", 2);
  EXPECT_EQ(p.item.Kind, UpdateKind::Overwrite);
  EXPECT_STREQ(p.item.ItemName, "bin\\game.dat");
  EXPECT_EQ(p.item.BaseOffset, 4);

  p = Parse("U,a.dat", 0);
  EXPECT_EQ(p.item.Kind, UpdateKind::Update);
  p = Parse("plain.dat,u,x", 0);
  EXPECT_EQ(p.item.Kind, UpdateKind::Plain);
  EXPECT_STREQ(p.item.ItemName, "plain.dat");
}

TEST(ConfigUpdateItem, TokensThatAreNotSelectorsOrLetters) {
  // A letter other than d, u or o is the name.
  auto p = Parse("x,file.dat", 0);
  EXPECT_EQ(p.item.Kind, UpdateKind::Plain);
  EXPECT_STREQ(p.item.ItemName, "x");

  // A blank before the comma makes the first token two bytes long.
  p = Parse("1 ,u,file.dat", 5);
  EXPECT_EQ(p.applies, 1);
  EXPECT_EQ(p.item.Kind, UpdateKind::Plain);
  EXPECT_STREQ(p.item.ItemName, "1 ");

  // "du" is no kind letter; "12" is no mode selector.
  p = Parse("12,du,f", 1);
  EXPECT_EQ(p.applies, 1);
  EXPECT_EQ(p.item.Kind, UpdateKind::Plain);
  EXPECT_STREQ(p.item.ItemName, "12");

  // The list running dry leaves the later tokens empty.
  p = Parse("3", 3);
  EXPECT_EQ(p.applies, 1);
  EXPECT_EQ(p.item.Kind, UpdateKind::Plain);
  EXPECT_STREQ(p.item.ItemName, "");
  p = Parse("3,u", 3);
  EXPECT_EQ(p.item.Kind, UpdateKind::Update);
  EXPECT_STREQ(p.item.ItemName, "");
  p = Parse("3,,u,f", 3);  // the empty token ends the list
  EXPECT_STREQ(p.item.ItemName, "");
}

TEST(ConfigUpdateItem, TokenizerRulesApply) {
  // Blanks before tokens go, blanks after stay; a drive letter is eaten.
  auto p = Parse(" 1, u, a b.dat ", 1);
  EXPECT_EQ(p.applies, 1);
  EXPECT_EQ(p.item.Kind, UpdateKind::Update);
  EXPECT_STREQ(p.item.ItemName, "a b.dat ");
  p = Parse("1,u,C:\\x\\y.dat", 1);
  EXPECT_STREQ(p.item.ItemName, "\\x\\y.dat");
  EXPECT_EQ(p.disc, 0);
  EXPECT_EQ(p.item.BaseOffset, 3);
}

TEST(ConfigUpdateItem, BaseOffsetRespectsDoubleByteCharacters) {
  // 表 = 0x95 0x5C: its trail byte is no separator.
  EXPECT_EQ(FindBaseOffset("\x95\x5C.dat", IsCp932LeadByte), 0);
  EXPECT_EQ(FindBaseOffset("dir\\\x95\x5C.dat", IsCp932LeadByte), 4);
  EXPECT_EQ(FindBaseOffset("\x95\x5C\\\x83\x5C", IsCp932LeadByte), 3);
  // A forward slash never splits.
  EXPECT_EQ(FindBaseOffset("a/b.dat", IsCp932LeadByte), 0);
  EXPECT_EQ(FindBaseOffset("a\\b/c.dat", IsCp932LeadByte), 2);
  // Half-width katakana (0xA1-0xDF) are single bytes.
  EXPECT_EQ(FindBaseOffset("\xB1\\x", IsCp932LeadByte), 2);
  // A lead byte cut off at the end does not carry the scan past the text.
  const char cut[] = "a\\\x95\0\\zz";
  EXPECT_EQ(FindBaseOffset(cut, IsCp932LeadByte), 2);
  EXPECT_EQ(FindBaseOffset("", IsCp932LeadByte), 0);

  auto p = Parse("u,\x95\x5C\\\x95\x5C.dat", 0);
  EXPECT_EQ(p.item.BaseOffset, 3);
}

TEST(ConfigUpdateItem, OverlongNameIsCut) {
  const std::string value = "u," + std::string(500, 'n') + "\\tail.dat";
  auto p = Parse(value.c_str(), 0);
  EXPECT_EQ(std::strlen(p.item.ItemName), size_t{kListSlotSize - 1});
  EXPECT_EQ(p.item.BaseOffset, 0);  // the backslash lay beyond the slot
}

DiscCopyItem Disc(const char* value, uint32_t mode, int* applies) {
  DiscCopyItem item;
  std::memset(&item, 0x7F, sizeof item);
  *applies = ParseDiscCopyItem(value, mode, item);
  return item;
}

TEST(ConfigDiscItem, Forms) {
  int applies = 0;
  auto d = Disc("2:movie\\op.dat", 0, &applies);
  EXPECT_EQ(applies, 1);
  EXPECT_EQ(d.DiscNumber, 2);
  EXPECT_STREQ(d.Path, "movie\\op.dat");

  d = Disc("1,2:movie\\op.dat", 1, &applies);
  EXPECT_EQ(applies, 1);
  EXPECT_EQ(d.DiscNumber, 2);
  EXPECT_STREQ(d.Path, "movie\\op.dat");
  Disc("1,2:movie\\op.dat", 2, &applies);
  EXPECT_EQ(applies, 0);

  // Commas and blanks belong to the path; no blank is skipped.
  d = Disc("3:a, b ,c.dat", 0, &applies);
  EXPECT_EQ(d.DiscNumber, 3);
  EXPECT_STREQ(d.Path, "a, b ,c.dat");
  d = Disc(" 3:x", 0, &applies);
  EXPECT_EQ(d.DiscNumber, 0);
  EXPECT_STREQ(d.Path, " 3:x");

  d = Disc("movie", 7, &applies);
  EXPECT_EQ(applies, 1);
  EXPECT_EQ(d.DiscNumber, 0);
  EXPECT_STREQ(d.Path, "movie");

  d = Disc("0:movie", 0, &applies);
  EXPECT_EQ(d.DiscNumber, 0);
  EXPECT_STREQ(d.Path, "movie");
}

TEST(ConfigDiscItem, AnyCharacterCounts) {
  int applies = 0;
  // A non-digit disc character keeps its code minus '0'; the update run
  // refuses it. A letter mode selector is compared the same way.
  auto d = Disc("A:x", 0, &applies);
  EXPECT_EQ(d.DiscNumber, 'A' - '0');
  d = Disc("\x82:x", 0, &applies);
  EXPECT_EQ(d.DiscNumber, 0x82 - '0');
  d = Disc(":::x", 0, &applies);
  EXPECT_EQ(d.DiscNumber, ':' - '0');
  EXPECT_STREQ(d.Path, ":x");
  Disc("A,x", 'A' - '0', &applies);
  EXPECT_EQ(applies, 1);
  Disc("+,x", 0, &applies);  // '+' - '0' is negative: no install mode matches
  EXPECT_EQ(applies, 0);
  Disc("+,x", 0xFFFFFFFBu, &applies);
  EXPECT_EQ(applies, 0);

  // Short values never read past their end.
  d = Disc("1", 1, &applies);
  EXPECT_EQ(applies, 1);
  EXPECT_STREQ(d.Path, "1");
  d = Disc("1,", 1, &applies);
  EXPECT_EQ(applies, 1);
  EXPECT_STREQ(d.Path, "");
  d = Disc("1,2:", 1, &applies);
  EXPECT_EQ(d.DiscNumber, 2);
  EXPECT_STREQ(d.Path, "");
}

TEST(ConfigDiscItem, OverlongPathIsCut) {
  const std::string value = "1:" + std::string(400, 'p');
  int applies = 0;
  auto d = Disc(value.c_str(), 0, &applies);
  EXPECT_EQ(std::strlen(d.Path), size_t{kListSlotSize - 1});
}

TEST(ConfigUpdateKeys, Names) {
  char name[kUpdateKeyNameSize];
  FormatUpdateFileKey(name, sizeof name, 0);
  EXPECT_STREQ(name, "UpdateFile00");
  FormatUpdateFileKey(name, sizeof name, 15);
  EXPECT_STREQ(name, "UpdateFile15");
  FormatCopyFileKey(name, sizeof name, 7);
  EXPECT_STREQ(name, "CopyFile07");
  // Any index and any room give what printf's "%02i" would, cut as it cuts.
  for (int index : {0, 9, 10, 99, 100, 12345, -1, -10, INT_MIN, INT_MAX}) {
    for (size_t room : {size_t{1}, size_t{9}, size_t{11}, size_t{13}, sizeof name}) {
      char want[kUpdateKeyNameSize];
      std::snprintf(want, room, "CopyFile%02i", index);
      std::memset(name, 'x', sizeof name);
      FormatCopyFileKey(name, room, index);
      EXPECT_STREQ(name, want) << index << " in " << room;
    }
  }
}

}  // namespace
