// The sections and their keys: the required keys of SETUP, repeated
// sections and keys, and keys that the updater never reads where they are.
#include "archive/archive_names.h"
#include "common/updater_contract.h"
#include "config/list_tokenizer.h"
#include "config/update_items.h"
#include "fa2/check/check_context.h"
#include "fa2/host/names.h"

namespace {

const char* const kRequiredSetupKeys[] = {"CompanyName", "GameTitle", "GameClass", "GameDir"};
const char* const kOptionalSetupKeys[] = {"GameTitleA",    "UpdaterVersion", "UpdaterTitle",
                                          "DataFolder",    "UpdateMessage",  "AgreementText",
                                          "AgreementTitle"};

bool IsKnownSetupKey(const std::string& name) {
  for (const char* k : kRequiredSetupKeys)
    if (ProfileNamesEqual(name, k)) return true;
  for (const char* k : kOptionalSetupKeys)
    if (ProfileNamesEqual(name, k)) return true;
  return false;
}

// Whether the name is one that the update run reads from section UPDATE.
bool IsUpdateKeyName(const std::string& name) {
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

void CheckUpdateKeyName(CheckContext& c, const ProfileKey& key) {
  if (IsUpdateKeyName(key.name)) return;
  const bool listLike = ProfileNamesEqual(key.name.substr(0, 10), "UpdateFile") ||
                        ProfileNamesEqual(key.name.substr(0, 8), "CopyFile");
  if (IsKnownSetupKey(key.name))
    Error(c, "UPDATE", key.name, key.value, "a key of section [SETUP], not [UPDATE]",
          "the updater never reads it here");
  else if (listLike)
    Error(c, "UPDATE", key.name, key.value,
          "not one of the keys read: a list runs from 00 to 15, two digits each",
          "this item is never read");
  else
    Warning(c, "UPDATE", key.name, key.value, "not a key of section UPDATE",
            "the updater never reads it");
}

}  // namespace

void CheckSetupSection(CheckContext& c) {
  for (const char* key : kRequiredSetupKeys) {
    std::string value;
    if (!ReadProfileValue(c.ini, "SETUP", key, kListSlotSize, &value))
      Error(c, "SETUP", key, "", "required key missing or empty",
            "the updater shows " + QuoteMessage(kKeyMissingFormat, "SETUP", key) +
                " and ends at start");
  }
  for (const char* key : kOptionalSetupKeys) {
    const size_t size = std::string(key) == "UpdateMessage" ? kUpdateValueSize : kListSlotSize;
    std::string value;
    bool cut = false;
    const int present = ReadProfileValue(c.ini, "SETUP", key, size, &value, &cut);
    if (cut)
      Warning(c, "SETUP", key, value,
              "longer than " + std::to_string(size - 1) + " bytes",
              "the updater reads only the first " + std::to_string(size - 1) + " bytes");
    const std::string k = key;
    if (present && k == "DataFolder" && FindBaseOffset(value.c_str(), IsCp932LeadByte) > 0)
      Warning(c, "SETUP", key, value, "has more than one level",
              "the run creates only the last level; without the folders above it on the "
              "player's disk every item fails with " + QuoteMessage(kWriteFailedMessage));
    if (!present || (k != "AgreementText" && k != "AgreementTitle")) continue;
    const long entry = FindEntry(c, value);
    if (entry < 0)
      Error(c, "SETUP", key, value, "names no entry of the archive",
            "the updater shows " + QuoteMessage(kNoEntryMessage) + ", then " +
                QuoteMessage(kEntryNotFoundFormat, DisplayArchiveName(value)) +
                " and ends at start");
    else if (k == "AgreementTitle" && c.input.entries[static_cast<size_t>(entry)].size > 1023)
      Warning(c, "SETUP", key, value, "the entry is longer than 1,023 bytes",
              "the first page shows only its first 1,023 bytes");
  }
}

// Repeated sections and keys, and keys the updater never reads.
void CheckSections(CheckContext& c) {
  std::map<std::string, int> firstLine;
  for (const ProfileSection& section : c.ini.sections) {
    std::string folded = section.name;
    for (char& c : folded) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const auto [it, fresh] = firstLine.emplace(folded, section.line);
    if (!fresh && !section.keys.empty()) {
      const bool read = folded == "setup" || folded == "update";
      Add(c, read ? FindingLevel::Error : FindingLevel::Warning, section.name, "", "",
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
        Warning(c, section.name, key.name, key.value,
                "given again on line " + std::to_string(key.line),
                "the updater reads only the first " + key.name);
        continue;
      }
      if (isSetup && IsUpdateKeyName(key.name))
        Error(c, "SETUP", key.name, key.value, "a key of section [UPDATE], not [SETUP]",
              "the updater never reads it here");
      else if (isSetup && !IsKnownSetupKey(key.name))
        Warning(c, "SETUP", key.name, key.value, "not a key of section SETUP",
                "the updater never reads it");
      if (isUpdate) CheckUpdateKeyName(c, key);
    }
  }
  if (!FindProfileSection(c.ini, "UPDATE"))
    Error(c, "UPDATE", "", "", "UPDATE.INI has no section [UPDATE]",
          std::string("the run ends at once with ") + QuoteMessage(kNothingAppliesMessage));
}
