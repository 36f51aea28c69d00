// make_name_folds: measures which CP932 characters lstrcmpiA cannot tell
// apart and writes the table of folds (src/archive/archive_name_folds.cpp)
// that ArchiveNamesEqual applies. Run under the updater's conditions, with
// code page 932 and the Japanese locale:
//
//   cmake --build --preset windows --target make_name_folds
//   cmake/wine-run.sh build/windows/tools/make_name_folds.exe Z:$PWD/src/archive/archive_name_folds.cpp
//
// Every character is measured: each single byte, each lead byte at the end
// of a name, and each lead byte with every possible second byte. Sorted with
// lstrcmpiA as the comparison, characters that it finds equal stand side by
// side; each such class folds to one member. Characters that lstrcmpiA finds
// equal to two characters (as a unit symbol to its letters) are found by
// splitting their sort keys and confirmed with lstrcmpiA. Every fold is then
// checked again between other characters (see "coarser" below); the program
// refuses to write a table when lstrcmpiA does not order the characters
// consistently or a character equals two that the table cannot hold.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Character {
  std::string bytes;
  unsigned code;  // one byte, or lead * 256 + second byte
};

int Compare(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()); }

std::vector<Character> AllCharacters() {
  std::vector<Character> all;
  for (unsigned b = 1; b < 256; ++b) {
    all.push_back({std::string(1, static_cast<char>(b)), b});
    if (!IsDBCSLeadByte(static_cast<BYTE>(b))) continue;
    for (unsigned t = 1; t < 256; ++t)
      all.push_back({std::string{static_cast<char>(b), static_cast<char>(t)}, b * 256 + t});
  }
  return all;
}

bool IsLeadByte(unsigned code) { return code < 256 && IsDBCSLeadByte(static_cast<BYTE>(code)); }



// The member that a class folds to: a whole character before a lone lead
// byte, a usual second byte (0x40-0x7E, 0x80-0xFC) before an unusual one,
// then the shorter, then the lower code.
bool Preferred(const Character& a, const Character& b) {
  auto rank = [](const Character& c) {
    const unsigned t = c.code & 0xFF;
    const bool usual = c.code < 256 ? !IsLeadByte(c.code) : (t >= 0x40 && t != 0x7F && t <= 0xFC);
    return std::make_tuple(!usual, c.bytes.size(), c.code);
  };
  return rank(a) < rank(b);
}

std::string SortKey(const std::string& s) {
  char key[512];
  const int n = LCMapStringA(GetThreadLocale(), LCMAP_SORTKEY | NORM_IGNORECASE, s.data(),
                             static_cast<int>(s.size()), key, sizeof key);
  return std::string(key, n > 0 ? n : 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "Usage: make_name_folds OUTPUT.cpp\n(see the comment at the top of "
                         "tools/name_folds/make_name_folds.cpp)\n");
    return argc == 2 ? 0 : 2;
  }
  if (GetACP() != 932) {
    std::fprintf(stderr, "make_name_folds: the ANSI code page is %u, not 932\n", GetACP());
    return 1;
  }
  std::vector<Character> all = AllCharacters();
  std::vector<Character> sorted = all;
  std::stable_sort(sorted.begin(), sorted.end(), [](const Character& a, const Character& b) {
    return Compare(a.bytes, b.bytes) < 0;
  });

  // Classes: runs of characters that compare equal.
  std::map<unsigned, std::string> fold;  // code -> folded bytes, for every character
  int failures = 0;
  for (size_t start = 0; start < sorted.size();) {
    size_t end = start + 1;
    while (end < sorted.size()) {
      const int order = Compare(sorted[end - 1].bytes, sorted[end].bytes);
      if (order > 0) {
        std::fprintf(stderr, "lstrcmpiA orders %04X after %04X\n", sorted[end - 1].code,
                     sorted[end].code);
        ++failures;
      }
      if (order != 0) break;
      ++end;
    }
    const Character& chosen =
        *std::min_element(sorted.begin() + start, sorted.begin() + end, Preferred);
    for (size_t i = start; i < end; ++i) fold[sorted[i].code] = chosen.bytes;
    start = end;
  }

  // Characters equal to two others: a sort key whose primary weights split
  // into the keys of two characters that carry no other weights.
  std::map<std::string, const Character*> plainByPrimary;
  const std::string plainTail("\x01\x01\x01\x01\x00", 5);
  std::vector<std::string> keys;
  for (const Character& c : all) {
    keys.push_back(SortKey(c.bytes));
    const std::string& key = keys.back();
    const size_t primary = key.find('\x01');
    if (primary != std::string::npos && key.substr(primary) == plainTail &&
        !plainByPrimary.count(key.substr(0, primary)))
      plainByPrimary[key.substr(0, primary)] = &c;
  }
  std::map<unsigned, std::string> expansions;
  for (size_t i = 0; i < all.size(); ++i) {
    const std::string primary = keys[i].substr(0, keys[i].find('\x01'));
    for (size_t cut = 1; cut < primary.size(); ++cut) {
      auto first = plainByPrimary.find(primary.substr(0, cut));
      auto second = plainByPrimary.find(primary.substr(cut));
      if (first == plainByPrimary.end() || second == plainByPrimary.end()) continue;
      if (Compare(all[i].bytes, first->second->bytes + second->second->bytes) != 0) continue;
      const std::string to = fold[first->second->code] + fold[second->second->code];
      if (to.size() > all[i].bytes.size() || to.size() != 2 || IsLeadByte(to[0] & 0xFF)) {
        std::fprintf(stderr, "%04X equals %s, which the table cannot hold\n", all[i].code,
                     to.c_str());
        ++failures;
      }
      expansions[all[i].code] = to;
      break;
    }
  }
  for (const auto& [code, to] : expansions) {
    // The whole class of such a character is taken as the two.
    const std::string chosen = fold[code];
    for (auto& [member, folded] : fold)
      if (folded == chosen) expansions[member] = to;
  }

  // Between other characters a few folds are coarser than lstrcmpiA: marks
  // that repeat the character before them (the prolonged sound mark, the
  // iteration marks) are all equal at the start of a name and after a Latin
  // letter, but not after kana; a unit symbol is its two letters except
  // before such a mark. ArchiveNamesEqual folds them everywhere, so it finds
  // equal every pair that lstrcmpiA finds equal and, there only, some more:
  // fa2 then refuses a few names that the updater could tell apart, never
  // the reverse. They are listed in the table's first lines.
  const std::vector<std::string> before = {"", "A", "\x83\x41", "\xb1", "\x83\x4a"};
  const std::vector<std::string> after = {"", "B", "\x82\xa0", "1", "\x81\x5b"};
  std::set<unsigned> coarser;
  for (const Character& c : all) {
    auto expansion = expansions.find(c.code);
    const std::string to = expansion != expansions.end() ? expansion->second : fold[c.code];
    if (to == c.bytes) continue;
    for (const std::string& p : before)
      for (const std::string& a : after)
        // A lone lead byte stands only at the end of a name.
        if ((!IsLeadByte(c.code) || a.empty()) && Compare(p + c.bytes + a, p + to + a) != 0)
          coarser.insert(c.code);
  }
  if (failures) {
    std::fprintf(stderr, "make_name_folds: %d contradictions; no table written\n", failures);
    return 1;
  }

  // Runs of consecutive codes that fold to one character or to a shifted
  // range become one range each.
  std::vector<unsigned> codes;  // folded codes, in order
  std::map<unsigned, unsigned> target;
  for (const auto& [code, folded] : fold) {
    if (expansions.count(code)) continue;
    const unsigned to = folded.size() == 1 ? (folded[0] & 0xFF)
                                           : ((folded[0] & 0xFF) << 8) | (folded[1] & 0xFF);
    if (to == code) continue;
    codes.push_back(code);
    target[code] = to;
  }
  struct Range {
    unsigned first, last, to, shift;
  };
  std::vector<Range> ranges;
  for (unsigned code : codes) {
    if (!ranges.empty()) {
      Range& r = ranges.back();
      if (r.last + 1 == code) {
        const bool same = target[code] == r.to && (r.first == r.last || r.shift == 0);
        const bool shifted = target[code] == r.to + (code - r.first) && (r.first == r.last || r.shift == 1);
        if (same || shifted) {
          r.shift = same ? 0 : 1;
          r.last = code;
          continue;
        }
      }
    }
    ranges.push_back({code, code, target[code], 0});
  }

  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "make_name_folds: cannot write %s\n", argv[1]);
    return 1;
  }
  std::fprintf(out,
               "// Generated by tools/name_folds/make_name_folds.cpp from lstrcmpiA under code\n"
               "// page 932 and the Japanese locale; do not edit. To make it again:\n"
               "//   cmake --build --preset windows --target make_name_folds\n"
               "//   cmake/wine-run.sh build/windows/tools/make_name_folds.exe "
               "Z:$PWD/src/archive/archive_name_folds.cpp\n"
               "// %zu characters measured, %zu of them folded. Coarser than lstrcmpiA\n"
               "// after other characters (see make_name_folds.cpp):",
               all.size(), codes.size() + expansions.size());
  int column = 0;
  for (unsigned code : coarser) {
    if (column++ % 10 == 0) std::fprintf(out, "\n//  ");
    std::fprintf(out, " %04X", code);
  }
  std::fprintf(out, "\n#include \"archive/archive_name_folds.h\"\n\n"
                    "const NameFoldRange kNameFoldRanges[] = {\n");
  for (size_t i = 0; i < ranges.size(); ++i) {
    const Range& r = ranges[i];
    std::fprintf(out, "%s{0x%04X, 0x%04X, 0x%04X, %u},", i % 3 == 0 ? "    " : " ", r.first,
                 r.last, r.to, r.shift);
    if (i % 3 == 2 || i + 1 == ranges.size()) std::fprintf(out, "\n");
  }
  std::fprintf(out,
               "};\nconst size_t kNameFoldRangeCount = sizeof kNameFoldRanges / sizeof "
               "kNameFoldRanges[0];\n\nconst NameFoldExpansion kNameFoldExpansions[] = {\n");
  for (const auto& [code, to] : expansions)
    std::fprintf(out, "    {0x%04X, {'\\x%02X', '\\x%02X'}},\n", code, to[0] & 0xFF, to[1] & 0xFF);
  std::fprintf(out,
               "};\nconst size_t kNameFoldExpansionCount =\n    sizeof kNameFoldExpansions / "
               "sizeof kNameFoldExpansions[0];\n");
  std::fclose(out);
  std::fprintf(stderr, "make_name_folds: %zu ranges, %zu expansions, %zu coarser folds\n",
               ranges.size(), expansions.size(), coarser.size());
  return 0;
}
