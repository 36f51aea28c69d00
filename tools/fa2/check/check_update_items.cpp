// The update items (UpdateFileNN): their tokens, names and entries, the
// free space they ask for, and the entries that no item takes.
#include <set>

#include "archive/archive_names.h"
#include "common/updater_contract.h"
#include "config/decimal.h"
#include "config/list_tokenizer.h"
#include "config/update_items.h"
#include "fa2/check/check_context.h"
#include "fa2/check/ini_text.h"
#include "fa2/host/names.h"

namespace {

struct TokenInfo {
  std::string raw;   // as written, up to the item end
  std::string text;  // as the tokenizer gives it
};

// Every token of the value as the tokenizer splits it, with its raw form.
std::vector<TokenInfo> Tokens(const std::string& value, size_t* consumed) {
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

// A name that the updater can find in an archive: CP932 that the code page
// can hold (and, on a host that converts names, can convert).
bool IsWritableName(const std::string& name) {
  std::string host;
  return IsCp932Text(name) && ArchiveNameToHostName(name, &host);
}

// Tokens that the tokenizer changes or that the item never uses.
void CheckItemTokens(CheckContext& c, const char* key, const std::string& value,
                     const std::vector<TokenInfo>& tokens, size_t nameAt, size_t consumed) {
  for (size_t i = 0; i < tokens.size() && i <= nameAt; ++i) {
    const TokenInfo& t = tokens[i];
    if (t.raw.size() >= 2 && t.raw[1] == ':')
      Error(c, "UPDATE", key, value,
            "the token " + Quote(t.raw) + " begins with a character and a colon",
            "the tokenizer takes them as a disc prefix: the item uses " + Quote(t.text));
    else if (t.raw.size() > kListSlotSize - 1)
      Error(c, "UPDATE", key, value, "the token " + Quote(t.raw.substr(0, 40)) + "... is longer than 259 bytes",
            "the updater cuts it to 259 bytes");
    if (!t.text.empty() && IsBlank(static_cast<unsigned char>(t.text.back())))
      Error(c, "UPDATE", key, value, "the token " + Quote(t.text) + " ends with a blank",
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
  Error(c, "UPDATE", key, value, why + "; " + Quote(rest) + " after it is ignored",
        "the updater writes the entry " + Quote(taken) + ", not " + Quote(rest));
}

}  // namespace

void CheckUpdateItems(CheckContext& c, ItemTally* tally) {
  std::set<size_t> counted;
  std::map<std::string, std::string> nameOfEntry;  // folded base name -> item's name
  std::map<std::string, std::string> keyOfEntry;
  int index = 0;
  for (; index < kUpdateListKeys; ++index) {
    char key[kUpdateKeyNameSize];
    FormatUpdateFileKey(key, sizeof key, index);
    std::string value;
    bool cut = false;
    if (!ReadProfileValue(c.ini, "UPDATE", key, kUpdateValueSize, &value, &cut)) break;
    tally->anyUpdate = true;
    if (cut)
      Error(c, "UPDATE", key, value, "longer than 1,023 bytes",
            "the updater reads only the first 1,023 bytes of it");
    int disc = 0;
    UpdateItem item;
    ParseUpdateItem(value.c_str(), 0, IsCp932LeadByte, disc, item);
    size_t consumed = 0;
    const std::vector<TokenInfo> tokens = Tokens(value, &consumed);
    const bool hasMode = !tokens.empty() && tokens[0].text.size() == 1 &&
                         tokens[0].text[0] >= '0' && tokens[0].text[0] <= '9';
    tally->modes.insert(hasMode ? tokens[0].text[0] - '0' : -1);
    if (hasMode && !IsInstallMode(c, tokens[0].text[0] - '0'))
      Warning(c, "UPDATE", key, value,
              "install mode " + tokens[0].text + " is none of the " +
                  std::to_string(c.installSelects) + " selection(s) of SETUP.INI",
              "the item is never written");
    const size_t nameAt = (hasMode ? 1 : 0) + (item.Kind == UpdateKind::Plain ? 0 : 1);
    const std::string name = item.ItemName;
    CheckItemTokens(c, key, value, tokens, nameAt, consumed);
    if (name.empty()) {
      Error(c, "UPDATE", key, value, "the item has no name",
            "the updater looks for an entry with an empty name: " +
                QuoteMessage(kNoEntryMessage) + ", then " + QuoteMessage(kWriteFailedMessage) +
                "; the run stops");
      continue;
    }
    const std::string base = name.substr(static_cast<size_t>(item.BaseOffset));
    if (!IsWritableName(name)) {
      Error(c, "UPDATE", key, value, "the name " + Quote(name) + " is not CP932 text",
            "no archive entry can have this name: " + QuoteMessage(kNoEntryMessage) + ", then " +
                QuoteMessage(kWriteFailedMessage) + "; the run stops");
      continue;
    }
    const long entry = FindEntry(c, base);
    if (entry < 0) {
      std::string why = "names the entry " + Quote(base) + ", which the archive lacks";
      if (base.find('/') != std::string::npos)
        why += " (a slash is no folder separator here; use a backslash)";
      if (base.empty()) why = "the name ends with a backslash: it names no entry";
      Error(c, "UPDATE", key, value, why,
            QuoteMessage(kNoEntryMessage) + ", then " + QuoteMessage(kWriteFailedMessage) +
                "; the run stops, nothing of the update stays written and the game is as it was");
      continue;
    }
    if (counted.insert(static_cast<size_t>(entry)).second)
      tally->itemBytes += c.input.entries[static_cast<size_t>(entry)].size;
    const std::string folded = FoldArchiveName(base);
    const auto [it, fresh] = nameOfEntry.emplace(folded, name);
    if (!fresh && FoldArchiveName(it->second) != FoldArchiveName(name)) {
      Error(c, "UPDATE", key, value,
            "takes the same entry " + Quote(base) + " as " + keyOfEntry[folded] + " (" +
                Quote(it->second) + "): the archive holds files by base name alone",
            "both targets get the content of the one entry " + Quote(base));
    }
    keyOfEntry.emplace(folded, key);
    if (name.find("..") != std::string::npos)
      Warning(c, "UPDATE", key, value, "the name climbs out of the target folder with '..'",
              "the file is written outside the game's folder");
  }
  ReportHiddenKeys(c, "UpdateFile", index, FormatUpdateFileKey);

}

void CheckDiskSpace(CheckContext& c, uint64_t itemBytes) {
  std::string value;
  if (!ReadProfileValue(c.ini, "UPDATE", "RequiredDiskSpace", kListSlotSize, &value)) return;
  const int32_t required = DecimalToInt32(value.c_str());
  if (required == 0) {
    Warning(c, "UPDATE", "RequiredDiskSpace", value, "reads as 0",
            "the free space is not checked");
    return;
  }
  const uint64_t asChecked = static_cast<uint32_t>(required);
  if (required < 0)
    Warning(c, "UPDATE", "RequiredDiskSpace", value, "is negative",
            "the check asks for " + std::to_string(asChecked) +
                " bytes: a drive with less than that free (but under 4 GiB) refuses the "
                "update");
  else if (asChecked < itemBytes)
    Warning(c, "UPDATE", "RequiredDiskSpace", value,
            "below the " + std::to_string(itemBytes) + " bytes that the update items unpack to",
            "a drive with too little space passes the check, and the run stops part-way "
            "with " + QuoteMessage(kWriteFailedMessage));
}

void CheckUnusedEntries(CheckContext& c) {
  for (size_t i = 0; i < c.input.entries.size(); ++i) {
    const std::string& name = c.input.entries[i].name;
    if (c.used.count(i) || ArchiveNamesEqual(name, "UPDATE.INI")) continue;
    Warning(c, "", DisplayArchiveName(name), "", "no item or key uses this entry",
            "it is carried in the updater but never written");
  }
}
