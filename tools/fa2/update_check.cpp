#include "fa2/update_check.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "archive/archive_names.h"
#include "config/decimal.h"
#include "config/list_tokenizer.h"
#include "config/update_items.h"
#include "fa2/names.h"
#include "fa2/profile_text.h"

namespace {

// What the updater shows when it cannot find an entry, and when an update
// item could not be written.
const char kNoEntry[] = "\"Can't Find File in Resource !!\"";
const char kWriteFailed[] = "\"ファイルの書き込みに失敗しました\"";
const char kNothingApplies[] = "\"No 'UpdateFileXX' and 'CopyFileXX'\"";

const char* const kRequiredSetupKeys[] = {"CompanyName", "GameTitle", "GameClass", "GameDir"};
const char* const kOptionalSetupKeys[] = {"GameTitleA",    "UpdaterVersion", "UpdaterTitle",
                                          "DataFolder",    "UpdateMessage",  "AgreementText",
                                          "AgreementTitle"};

std::string Quote(const std::string& cp932) { return "'" + DisplayArchiveName(cp932) + "'"; }

// Whether the bytes are well-formed CP932: single bytes, or a lead byte and a
// trail byte 0x40-0x7E or 0x80-0xFC. *at gets the offset of the first bad byte.
bool IsCp932Text(const std::string& text, size_t* at = nullptr) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    bool ok = true;
    if (IsCp932LeadByte(c)) {
      const unsigned char t = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
      ok = (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC);
      ++i;
    } else {
      ok = c != 0x80 && c != 0xA0 && c < 0xFD;
    }
    if (!ok) {
      if (at) *at = i;
      return false;
    }
  }
  return true;
}

// Whether the text holds non-ASCII bytes and is well-formed UTF-8 throughout,
// which CP932 text with Japanese in it practically never is.
bool LooksLikeUtf8(const std::string& text) {
  bool wide = false;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
    if (more == 9 || (c >= 0x80 && c < 0xC2)) return false;
    for (size_t k = 1; k <= more; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
        return false;
    }
    wide = wide || more > 0;
    i += more + 1;
  }
  return wide;
}

// A name that the updater can find in an archive: CP932 that the code page
// can hold (and, on a host that converts names, can convert).
bool IsWritableName(const std::string& name) {
  std::string host;
  return IsCp932Text(name) && ArchiveNameToHostName(name, &host);
}

class Checker {
 public:
  explicit Checker(const UpdateCheckInput& input) : input_(input) {
    for (size_t i = 0; i < input.entries.size(); ++i)
      entryIndex_.emplace(FoldArchiveName(input.entries[i].name), i);
  }

  std::vector<CheckFinding> Run() {
    CheckFinding size;
    if (CheckUpdaterSize(input_.payloadSize, kUpdaterImageLimit, &size)) findings_.push_back(size);
    if (input_.updateIni == nullptr) {
      Error("", "", "", "the archive has no entry UPDATE.INI",
            std::string("the updater shows ") + kNoEntry + " and ends at start");
      return std::move(findings_);
    }
    std::string bytes = *input_.updateIni;
    CheckFileForm(&bytes);
    ini_ = ParseProfileText(bytes);
    if (input_.setupIni) ReadSetup();
    CheckSetupSection();
    CheckUpdateSection();
    CheckSections();
    CheckUnusedEntries();
    // The file's own findings first, then section SETUP, section UPDATE,
    // other sections and the entries, each in the order found.
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return Rank(a) < Rank(b); });
    return std::move(findings_);
  }

 private:
  static int Rank(const CheckFinding& f) {
    if (f.section.empty()) return f.key.empty() ? 0 : 4;
    if (ProfileNamesEqual(f.section, "SETUP")) return 1;
    if (ProfileNamesEqual(f.section, "UPDATE")) return 2;
    return 3;
  }

  void Add(FindingLevel level, const std::string& section, const std::string& key,
           const std::string& value, const std::string& problem, const std::string& player) {
    findings_.push_back({level, section, key, value.empty() ? "" : DisplayArchiveName(value),
                         problem, player});
  }
  void Error(const std::string& section, const std::string& key, const std::string& value,
             const std::string& problem, const std::string& player) {
    Add(FindingLevel::Error, section, key, value, problem, player);
  }
  void Warning(const std::string& section, const std::string& key, const std::string& value,
               const std::string& problem, const std::string& player) {
    Add(FindingLevel::Warning, section, key, value, problem, player);
  }

  // The entry of that name under the updater's comparison, or -1; marks it used.
  long FindEntry(const std::string& name) {
    const auto it = entryIndex_.find(FoldArchiveName(name));
    if (it == entryIndex_.end()) return -1;
    used_.insert(it->second);
    return static_cast<long>(it->second);
  }

  // Encoding and line ends. A byte-order mark is reported and left out, so
  // that the rest of the check sees the keys.
  void CheckFileForm(std::string* bytes) {
    if (bytes->rfind("\xEF\xBB\xBF", 0) == 0) {
      Error("", "", "", "UPDATE.INI begins with a UTF-8 byte-order mark",
            "the updater reads the file as CP932: the first section's name carries the mark "
            "and its keys are not found");
      bytes->erase(0, 3);
    }
    size_t bad = 0;
    if (LooksLikeUtf8(*bytes)) {
      Warning("", "", "", "UPDATE.INI looks like UTF-8 text, not CP932",
              "texts and names with non-ASCII characters arrive garbled and are not found");
    } else if (!IsCp932Text(*bytes, &bad)) {
      Warning("", "", "", "UPDATE.INI is not CP932 text (byte " + std::to_string(bad) + ")",
              "texts and names with such bytes arrive garbled and are not found");
    }
    size_t bareLf = 0, bareCr = 0;
    for (size_t i = 0; i < bytes->size(); ++i) {
      if ((*bytes)[i] == '\n' && (i == 0 || (*bytes)[i - 1] != '\r')) ++bareLf;
      if ((*bytes)[i] == '\r' && (i + 1 == bytes->size() || (*bytes)[i + 1] != '\n')) ++bareCr;
    }
    if (bareLf || bareCr)
      Warning("", "", "",
              "UPDATE.INI has " + std::to_string(bareLf + bareCr) +
                  " line(s) not ended by CR LF",
              "older systems' INI readers may join such lines, and keys on them are lost");
  }

  // Repeated sections and keys, and keys the updater never reads.
  void CheckSections() {
    std::map<std::string, int> firstLine;
    for (const ProfileSection& section : ini_.sections) {
      std::string folded = section.name;
      for (char& c : folded) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      const auto [it, fresh] = firstLine.emplace(folded, section.line);
      if (!fresh && !section.keys.empty()) {
        const bool read = folded == "setup" || folded == "update";
        Add(read ? FindingLevel::Error : FindingLevel::Warning, section.name, "", "",
            "section [" + section.name + "] on line " + std::to_string(section.line) +
                " repeats the one on line " + std::to_string(it->second),
            "the updater reads only the first; the keys here are never read");
        continue;
      }
      if (!fresh) continue;
      const bool isSetup = folded == "setup", isUpdate = folded == "update";
      std::set<std::string> seen;
      for (const ProfileKey& key : section.keys) {
        std::string k = key.name;
        for (char& c : k) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (!seen.insert(k).second) {
          Warning(section.name, key.name, key.value,
                  "given again on line " + std::to_string(key.line),
                  "the updater reads only the first " + key.name);
          continue;
        }
        if (isSetup && IsUpdateKeyName(key.name))
          Error("SETUP", key.name, key.value, "a key of section [UPDATE], not [SETUP]",
                "the updater never reads it here");
        else if (isSetup && !IsKnownSetupKey(key.name))
          Warning("SETUP", key.name, key.value, "not a key of section SETUP",
                  "the updater never reads it");
        if (isUpdate) CheckUpdateKeyName(key);
      }
    }
    if (!FindProfileSection(ini_, "UPDATE"))
      Error("UPDATE", "", "", "UPDATE.INI has no section [UPDATE]",
            std::string("the run ends at once with ") + kNothingApplies);
  }

  static bool IsKnownSetupKey(const std::string& name) {
    for (const char* k : kRequiredSetupKeys)
      if (ProfileNamesEqual(name, k)) return true;
    for (const char* k : kOptionalSetupKeys)
      if (ProfileNamesEqual(name, k)) return true;
    return false;
  }

  // Whether the name is one that the update run reads from section UPDATE.
  static bool IsUpdateKeyName(const std::string& name) {
    if (ProfileNamesEqual(name, "RequiredDiskSpace") || ProfileNamesEqual(name, "OverwriteOnly"))
      return true;
    for (int i = 0; i < kUpdateListKeys; ++i) {
      char update[kUpdateKeyNameSize], copy[kUpdateKeyNameSize];
      FormatUpdateFileKey(update, sizeof update, i);
      FormatCopyFileKey(copy, sizeof copy, i);
      if (ProfileNamesEqual(name, update) || ProfileNamesEqual(name, copy)) return true;
    }
    return false;
  }

  void CheckUpdateKeyName(const ProfileKey& key) {
    if (IsUpdateKeyName(key.name)) return;
    const bool listLike = ProfileNamesEqual(key.name.substr(0, 10), "UpdateFile") ||
                          ProfileNamesEqual(key.name.substr(0, 8), "CopyFile");
    if (IsKnownSetupKey(key.name))
      Error("UPDATE", key.name, key.value, "a key of section [SETUP], not [UPDATE]",
            "the updater never reads it here");
    else if (listLike)
      Error("UPDATE", key.name, key.value,
            "not one of the keys read: a list runs from 00 to 15, two digits each",
            "this item is never read");
    else
      Warning("UPDATE", key.name, key.value, "not a key of section UPDATE",
              "the updater never reads it");
  }

  void CheckSetupSection() {
    for (const char* key : kRequiredSetupKeys) {
      std::string value;
      if (!ReadProfileValue(ini_, "SETUP", key, kListSlotSize, &value))
        Error("SETUP", key, "", "required key missing or empty",
              "the updater shows \"SETUP : " + std::string(key) +
                  " キーが存在しません\" and ends at start");
    }
    for (const char* key : kOptionalSetupKeys) {
      const size_t size = std::string(key) == "UpdateMessage" ? kUpdateValueSize : kListSlotSize;
      std::string value;
      bool cut = false;
      const int present = ReadProfileValue(ini_, "SETUP", key, size, &value, &cut);
      if (cut)
        Warning("SETUP", key, value,
                "longer than " + std::to_string(size - 1) + " bytes",
                "the updater reads only the first " + std::to_string(size - 1) + " bytes");
      const std::string k = key;
      if (present && k == "DataFolder" && FindBaseOffset(value.c_str(), IsCp932LeadByte) > 0)
        Warning("SETUP", key, value, "has more than one level",
                "the run creates only the last level; without the folders above it on the "
                "player's disk every item fails with " + std::string(kWriteFailed));
      if (!present || (k != "AgreementText" && k != "AgreementTitle")) continue;
      const long entry = FindEntry(value);
      if (entry < 0)
        Error("SETUP", key, value, "names no entry of the archive",
              std::string("the updater shows ") + kNoEntry + ", then \"'" +
                  DisplayArchiveName(value) + "' not found at UPDATE.FA3\" and ends at start");
      else if (k == "AgreementTitle" && input_.entries[static_cast<size_t>(entry)].size > 1023)
        Warning("SETUP", key, value, "the entry is longer than 1,023 bytes",
                "the first page shows only its first 1,023 bytes");
    }
  }

  struct TokenInfo {
    std::string raw;   // as written, up to the item end
    std::string text;  // as the tokenizer gives it
  };

  // Every token of the value as the tokenizer splits it, with its raw form.
  static std::vector<TokenInfo> Tokens(const std::string& value, size_t* consumed) {
    std::vector<TokenInfo> tokens;
    const char* cursor = value.c_str();
    int disc = 0;
    for (;;) {
      while (IsBlank(static_cast<unsigned char>(*cursor))) ++cursor;
      const char* start = cursor;
      char out[kListSlotSize];
      if (!TakeListItem(out, sizeof out, cursor, disc)) break;
      const char* end = start;
      while (!IsItemEnd(static_cast<unsigned char>(*end))) ++end;
      tokens.push_back({std::string(start, end), out});
      if (*end == '\0') break;
    }
    *consumed = static_cast<size_t>(cursor - value.c_str());
    return tokens;
  }

  void CheckUpdateSection() {
    uint64_t itemBytes = 0;
    std::set<size_t> counted;
    bool anyUpdate = false, anyCopy = false;
    // Modes in which the update does something: an item without a selector
    // counts for every mode (-1).
    std::set<int> modes;

    // Update items, read as the run reads them.
    std::map<std::string, std::string> nameOfEntry;  // folded base name -> item's name
    std::map<std::string, std::string> keyOfEntry;
    int index = 0;
    for (; index < kUpdateListKeys; ++index) {
      char key[kUpdateKeyNameSize];
      FormatUpdateFileKey(key, sizeof key, index);
      std::string value;
      bool cut = false;
      if (!ReadProfileValue(ini_, "UPDATE", key, kUpdateValueSize, &value, &cut)) break;
      anyUpdate = true;
      if (cut)
        Error("UPDATE", key, value, "longer than 1,023 bytes",
              "the updater reads only the first 1,023 bytes of it");
      int disc = 0;
      UpdateItem item;
      ParseUpdateItem(value.c_str(), 0, IsCp932LeadByte, disc, item);
      size_t consumed = 0;
      const std::vector<TokenInfo> tokens = Tokens(value, &consumed);
      const bool hasMode = !tokens.empty() && tokens[0].text.size() == 1 &&
                           tokens[0].text[0] >= '0' && tokens[0].text[0] <= '9';
      modes.insert(hasMode ? tokens[0].text[0] - '0' : -1);
      if (hasMode && !IsInstallMode(tokens[0].text[0] - '0'))
        Warning("UPDATE", key, value,
                "install mode " + tokens[0].text + " is none of the " +
                    std::to_string(installSelects_) + " selection(s) of SETUP.INI",
                "the item is never written");
      const size_t nameAt = (hasMode ? 1 : 0) + (item.Kind == UpdateKind::Plain ? 0 : 1);
      const std::string name = item.ItemName;
      CheckItemTokens(key, value, tokens, nameAt, consumed);
      if (name.empty()) {
        Error("UPDATE", key, value, "the item has no name",
              std::string("the updater looks for an entry with an empty name: ") + kNoEntry +
                  ", then " + kWriteFailed + "; the run stops");
        continue;
      }
      const std::string base = name.substr(static_cast<size_t>(item.BaseOffset));
      if (!IsWritableName(name)) {
        Error("UPDATE", key, value, "the name " + Quote(name) + " is not CP932 text",
              "no archive entry can have this name: " + std::string(kNoEntry) + ", then " +
                  kWriteFailed + "; the run stops");
        continue;
      }
      const long entry = FindEntry(base);
      if (entry < 0) {
        std::string why = "names the entry " + Quote(base) + ", which the archive lacks";
        if (base.find('/') != std::string::npos)
          why += " (a slash is no folder separator here; use a backslash)";
        if (base.empty()) why = "the name ends with a backslash: it names no entry";
        Error("UPDATE", key, value, why,
              std::string(kNoEntry) + ", then " + kWriteFailed +
                  "; the run stops here, the items before it stay written");
        continue;
      }
      if (counted.insert(static_cast<size_t>(entry)).second)
        itemBytes += input_.entries[static_cast<size_t>(entry)].size;
      const std::string folded = FoldArchiveName(base);
      const auto [it, fresh] = nameOfEntry.emplace(folded, name);
      if (!fresh && FoldArchiveName(it->second) != FoldArchiveName(name)) {
        Error("UPDATE", key, value,
              "takes the same entry " + Quote(base) + " as " + keyOfEntry[folded] + " (" +
                  Quote(it->second) + "): the archive holds files by base name alone",
              "both targets get the content of the one entry " + Quote(base));
      }
      keyOfEntry.emplace(folded, key);
      if (name.find("..") != std::string::npos)
        Warning("UPDATE", key, value, "the name climbs out of the target folder with '..'",
                "the file is written outside the game's folder");
    }
    ReportHiddenKeys("UpdateFile", index, FormatUpdateFileKey);

    // Disc items.
    bool numberedBefore[10] = {};
    for (index = 0; index < kUpdateListKeys; ++index) {
      char key[kUpdateKeyNameSize];
      FormatCopyFileKey(key, sizeof key, index);
      std::string value;
      bool cut = false;
      if (!ReadProfileValue(ini_, "UPDATE", key, kCopyValueSize, &value, &cut)) break;
      anyCopy = true;
      if (cut)
        Error("UPDATE", key, value, "longer than 259 bytes",
              "the updater reads only the first 259 bytes: the path is cut");
      CheckDiscItem(key, value, numberedBefore, &modes);
    }
    ReportHiddenKeys("CopyFile", index, FormatCopyFileKey);

    if (!anyUpdate && !anyCopy && FindProfileSection(ini_, "UPDATE"))
      Error("UPDATE", "UpdateFile00", "", "neither UpdateFile00 nor CopyFile00 is given",
            std::string("the run ends at once with ") + kNothingApplies);
    if (setupRead_ && (anyUpdate || anyCopy) && !modes.count(-1)) {
      for (int mode = 0; mode < installSelects_ && mode < 10; ++mode) {
        if (modes.count(mode)) continue;
        Error("UPDATE", "UpdateFile00", "",
              "no item applies in install mode " + std::to_string(mode) +
                  " (SETUP.INI has " + std::to_string(installSelects_) + " selection(s))",
              "a player who installed in that mode gets " + std::string(kNothingApplies));
      }
    }
    CheckDiskSpace(itemBytes);
  }

  // Tokens that the tokenizer changes or that the item never uses.
  void CheckItemTokens(const char* key, const std::string& value,
                       const std::vector<TokenInfo>& tokens, size_t nameAt, size_t consumed) {
    for (size_t i = 0; i < tokens.size() && i <= nameAt; ++i) {
      const TokenInfo& t = tokens[i];
      if (t.raw.size() >= 2 && t.raw[1] == ':')
        Error("UPDATE", key, value,
              "the token " + Quote(t.raw) + " begins with a character and a colon",
              "the tokenizer takes them as a disc prefix: the item uses " + Quote(t.text));
      else if (t.raw.size() > kListSlotSize - 1)
        Error("UPDATE", key, value, "the token " + Quote(t.raw.substr(0, 40)) + "... is longer than 259 bytes",
              "the updater cuts it to 259 bytes");
      if (!t.text.empty() && IsBlank(static_cast<unsigned char>(t.text.back())))
        Error("UPDATE", key, value, "the token " + Quote(t.text) + " ends with a blank",
              "blanks after a token belong to it: the item uses " + Quote(t.text));
    }
    if (nameAt >= tokens.size()) return;
    // What follows the name is never read.
    std::string rest;
    if (nameAt + 1 < tokens.size()) {
      for (size_t i = nameAt + 1; i < tokens.size(); ++i) rest += (rest.empty() ? "" : ",") + tokens[i].raw;
    } else if (consumed < value.size()) {
      rest = value.substr(consumed);
    }
    size_t first = rest.find_first_not_of(" \t,");
    if (first == std::string::npos) return;
    rest = rest.substr(first);
    std::string why;
    const std::string& taken = tokens[nameAt].text;
    if (nameAt == 0 && !taken.empty() && taken[0] >= '0' && taken[0] <= '9')
      why = Quote(taken) + " is no mode selector (that is exactly one digit), so it is the name";
    else if (taken.size() == 1)
      why = Quote(taken) + " is no kind letter (d, u or o), so it is the name";
    else
      why = "the item's name is " + Quote(taken);
    Error("UPDATE", key, value, why + "; " + Quote(rest) + " after it is ignored",
          "the updater writes the entry " + Quote(taken) + ", not " + Quote(rest));
  }

  void CheckDiscItem(const char* key, const std::string& value, bool* numberedBefore,
                     std::set<int>* modes) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(value.c_str());
    int mode = -1;
    if (p[0] != '\0' && p[1] == ',') {
      mode = p[0] - '0';
      if (mode < 0 || mode > 9) {
        Error("UPDATE", key, value,
              "the mode selector " + Quote(std::string(1, static_cast<char>(p[0]))) +
                  " is not a digit",
              "the item applies in no install mode and is never copied");
        return;
      }
      p += 2;
    }
    modes->insert(mode);
    int disc = 0;
    if (p[0] != '\0' && p[1] == ':') {
      disc = p[0] - '0';
      if (disc < 0 || disc > 9 || disc == 0) {
        if (disc != 0)
          Error("UPDATE", key, value,
                "the disc number " + Quote(std::string(1, static_cast<char>(p[0]))) +
                    " is not 1 to 9",
                "the updater shows \"SETUP.INI : \"...\" のコピーに失敗しました\" and the run "
                "stops");
        else
          Warning("UPDATE", key, value, "disc number 0 means no disc",
                  "the item is copied from the drive of the disc item before it");
        if (disc != 0) return;
      }
      p += 2;
    }
    const std::string path = reinterpret_cast<const char*>(p);
    if (path.empty())
      Error("UPDATE", key, value, "the item names no path",
            "the whole disc root is copied into the game's folder, or the copy fails");
    if (disc > 0) {
      if (mode < 0)
        for (int m = 0; m < 10; ++m) numberedBefore[m] = true;
      else
        numberedBefore[mode] = true;
      if (setupRead_ && diskCheckFile_[disc].empty())
        Error("UPDATE", key, value,
              "SETUP.INI gives no DiskCheckFile" + std::to_string(disc),
              "any CD-ROM drive with a readable disc counts as disc " + std::to_string(disc));
      return;
    }
    // Without a number the item is copied from the drive of the latest search.
    std::string unsearched;
    int count = 0;
    for (int m = 0; m < 10; ++m) {
      if ((mode < 0 || mode == m) && !numberedBefore[m] && IsInstallMode(m)) {
        unsearched += (unsearched.empty() ? "" : ", ") + std::to_string(m);
        ++count;
      }
    }
    if (count)
      Error("UPDATE", key, value,
            "no disc item with a disc number comes before it" +
                (mode < 0 && !setupRead_ ? std::string() : " (install mode " + unsearched + ")"),
            "no disc has been looked for yet: the updater shows \"SETUP.INI : \"" +
                DisplayArchiveName(path) + "\" のコピーに失敗しました\" and the run stops");
  }

  bool IsInstallMode(int mode) const { return !setupRead_ || mode < installSelects_; }

  void ReportHiddenKeys(const char* stem, int end, void (*format)(char*, size_t, int)) {
    if (end >= kUpdateListKeys) return;
    char gap[kUpdateKeyNameSize];
    format(gap, sizeof gap, end);
    for (int i = end + 1; i < kUpdateListKeys; ++i) {
      char key[kUpdateKeyNameSize];
      format(key, sizeof key, i);
      std::string value;
      if (!ReadProfileValue(ini_, "UPDATE", key, kUpdateValueSize, &value)) continue;
      Error("UPDATE", key, value,
            std::string(gap) + " is missing or empty, which ends the " + stem + " list",
            "this item and every later one are never read");
    }
  }

  void CheckDiskSpace(uint64_t itemBytes) {
    std::string value;
    if (!ReadProfileValue(ini_, "UPDATE", "RequiredDiskSpace", kListSlotSize, &value)) return;
    const int32_t required = DecimalToInt32(value.c_str());
    if (required == 0) {
      Warning("UPDATE", "RequiredDiskSpace", value, "reads as 0",
              "the free space is not checked");
      return;
    }
    const uint64_t asChecked = static_cast<uint32_t>(required);
    if (required < 0)
      Warning("UPDATE", "RequiredDiskSpace", value, "is negative",
              "the check asks for " + std::to_string(asChecked) +
                  " bytes: a drive with less than that free (but under 4 GiB) refuses the "
                  "update");
    else if (asChecked < itemBytes)
      Warning("UPDATE", "RequiredDiskSpace", value,
              "below the " + std::to_string(itemBytes) + " bytes that the update items unpack to",
              "a drive with too little space passes the check, and the run stops part-way "
              "with " + std::string(kWriteFailed));
  }

  void CheckUnusedEntries() {
    for (size_t i = 0; i < input_.entries.size(); ++i) {
      const std::string& name = input_.entries[i].name;
      if (used_.count(i) || ArchiveNamesEqual(name, "UPDATE.INI")) continue;
      Warning("", DisplayArchiveName(name), "", "no item or key uses this entry",
              "it is carried in the updater but never written");
    }
  }

  // The parts of the installed SETUP.INI that decide the run: the install
  // modes (one a selection) and the discs' check files.
  void ReadSetup() {
    const ProfileText setup = ParseProfileText(*input_.setupIni);
    std::string value;
    setupRead_ = true;
    installSelects_ = 0;
    if (ReadProfileValue(setup, "SETUP", "InstallSelects", 20, &value))
      installSelects_ = DecimalToInt32(value.c_str());
    if (installSelects_ < 1) installSelects_ = 1;
    for (int i = 0; i < 10; ++i)
      ReadProfileValue(setup, "SETUP", "DiskCheckFile" + std::to_string(i), kListSlotSize,
                       &diskCheckFile_[i]);
  }

  const UpdateCheckInput& input_;
  std::map<std::string, size_t> entryIndex_;  // folded name -> first entry
  std::set<size_t> used_;
  ProfileText ini_;
  std::vector<CheckFinding> findings_;
  bool setupRead_ = false;
  int installSelects_ = 0;
  std::string diskCheckFile_[10];
};

}  // namespace

bool CheckUpdaterSize(uint64_t imageSize, uint64_t limit, CheckFinding* finding) {
  const bool over = imageSize >= limit;
  if (!over && imageSize < limit / 4 * 3) return false;
  auto count = [](uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
      if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
      out += digits[i];
    }
    return out;
  };
  finding->level = over ? FindingLevel::Error : FindingLevel::Warning;
  finding->section.clear();
  finding->key.clear();
  finding->value.clear();
  finding->problem =
      "the updater takes at least " + count(imageSize) + " bytes; Windows starts no program of " +
      count(limit) + " bytes (2 GiB) or more" +
      (over ? std::string() : ", and this one is within a quarter of that") +
      ". Make it smaller: ship patches against the installed files (--from), pack at a higher "
      "--level, or split the update in two";
  finding->player = over ? "Windows says the updater is not a valid application and does not "
                           "start it"
                         : "nothing yet; a little more and the updater does not start";
  return true;
}

std::vector<CheckFinding> CheckUpdate(const UpdateCheckInput& input) {
  return Checker(input).Run();
}

int CountFindings(const std::vector<CheckFinding>& findings, FindingLevel level) {
  int count = 0;
  for (const CheckFinding& f : findings) count += f.level == level;
  return count;
}

std::string FormatFinding(const CheckFinding& f) {
  std::string line = f.level == FindingLevel::Error ? "error: " : "warning: ";
  std::string where = f.section;
  if (!f.key.empty()) where += (where.empty() ? "" : " ") + f.key;
  if (!f.value.empty()) where += " = '" + f.value + "'";
  if (!where.empty()) line += where + ": ";
  return line + f.problem + "; the player: " + f.player;
}
