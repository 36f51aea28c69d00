// The core's name comparison against lstrcmpiA itself, under code page 932:
// over every character (each byte, each lead byte at the end of a name, each
// lead byte with every second byte), then over whole names.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/archive_names.h"

namespace {

bool CoreEqual(const std::string& a, const std::string& b) {
  return ArchiveNamesEqual(a.data(), a.size(), b.data(), b.size()) != 0;
}

bool SystemEqual(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string Folded(const std::string& name) {
  std::string folded(name.size() + 1, '\0');
  folded.resize(FoldArchiveName(name.data(), name.size(), folded.data()));
  return folded;
}

}  // namespace

TEST(ArchiveNames, LeadBytesAreTheSystemsLeadBytes) {
  ASSERT_EQ(GetACP(), 932u);
  for (int c = 0; c < 256; ++c)
    EXPECT_EQ(IsCp932LeadByte(static_cast<unsigned char>(c)) != 0,
              IsDBCSLeadByte(static_cast<BYTE>(c)) != 0)
        << c;
}

TEST(ArchiveNames, EveryCharacterComparesAsLstrcmpiADoes) {
  std::vector<std::string> all;
  for (int b = 1; b < 256; ++b) {
    all.push_back(std::string(1, static_cast<char>(b)));
    if (IsCp932LeadByte(static_cast<unsigned char>(b)))
      for (int t = 1; t < 256; ++t) all.push_back({static_cast<char>(b), static_cast<char>(t)});
  }
  // Each character is equal to its fold: the core never parts what lstrcmpiA
  // joins through the fold...
  for (const std::string& c : all) {
    const std::string folded = Folded(c);
    ASSERT_TRUE(CoreEqual(c, folded));
    EXPECT_TRUE(SystemEqual(c, folded)) << std::hex << (c[0] & 0xFF) << " " << (c.back() & 0xFF);
  }
  // ...and, in lstrcmpiA's order, each character equals its neighbour under
  // the core exactly when it does under lstrcmpiA. With the line above, the
  // classes of the two comparisons are the same.
  std::stable_sort(all.begin(), all.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  });
  int differences = 0;
  for (size_t i = 0; i + 1 < all.size(); ++i) {
    if (CoreEqual(all[i], all[i + 1]) == SystemEqual(all[i], all[i + 1])) continue;
    ADD_FAILURE() << std::hex << (all[i][0] & 0xFF) << (all[i].back() & 0xFF) << " and "
                  << (all[i + 1][0] & 0xFF) << (all[i + 1].back() & 0xFF);
    if (++differences > 20) break;
  }
}

TEST(ArchiveNames, WholeNamesCompareAsLstrcmpiADoes) {
  // Pairs of names (CP932 literals) and whether lstrcmpiA finds them equal.
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } names[] = {
      {"Update.Ini", "UPDATE.INI", true},
      {"UPDATE.INI", "UPDATE.IN", false},
      {"ＡＢ.TXT", "ａｂ.txt", true},
      {"Αβγ.DAT", "αΒΓ.dat", true},
      {"ア.DAT", "ヂ.DAT", false},
      {"表ソ.txt", "表ソ.TXT", true},
      {"㎜.DAT", "MM.dat", true},
      {"ｶﾞ.DAT", "ガ.DAT", false},
      {"a-b", "ab", false},
      {"a\x81", "a・", true},
      {"\x85\x40\x85\x41", "・・", true},
      {"ー.TXT", "ｰ.txt", true},
      {"カー", "カア", false},
  };
  for (const auto& n : names) {
    EXPECT_EQ(SystemEqual(n.a, n.b), n.equal) << n.a << " " << n.b;
    EXPECT_EQ(CoreEqual(n.a, n.b), n.equal) << n.a << " " << n.b;
    EXPECT_EQ(Folded(n.a) == Folded(n.b), n.equal) << n.a << " " << n.b;
  }
  // Where lstrcmpiA looks at the character before, the core is coarser: after
  // kana it tells the prolonged sound mark from its half-width form and a
  // unit symbol from its letters before such a mark; the core does not.
  for (const auto& [a, b] : {std::pair{"カー", "カｰ"}, std::pair{"カ㎜ー", "カMMー"}}) {
    EXPECT_FALSE(SystemEqual(a, b)) << a;
    EXPECT_TRUE(CoreEqual(a, b)) << a;
  }
}
