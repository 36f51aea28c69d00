// The check's course and the helpers its parts share (fa2/check/check_context.h).
#include "fa2/check/update_check.h"

#include <algorithm>

#include "common/updater_contract.h"
#include "config/decimal.h"
#include "config/list_tokenizer.h"
#include "config/update_items.h"
#include "fa2/check/check_context.h"
#include "fa2/host/names.h"

CheckContext::CheckContext(const UpdateCheckInput& checked) : input(checked) {
  for (size_t i = 0; i < checked.entries.size(); ++i)
    entryIndex.emplace(FoldArchiveName(checked.entries[i].name), i);
}

void Add(CheckContext& c, FindingLevel level, const std::string& section, const std::string& key,
         const std::string& value, const std::string& problem, const std::string& player) {
  c.findings.push_back({level, section, key, value.empty() ? "" : DisplayArchiveName(value),
                       problem, player});
}

void Error(CheckContext& c, const std::string& section, const std::string& key,
           const std::string& value, const std::string& problem, const std::string& player) {
  Add(c, FindingLevel::Error, section, key, value, problem, player);
}

void Warning(CheckContext& c, const std::string& section, const std::string& key,
             const std::string& value, const std::string& problem, const std::string& player) {
  Add(c, FindingLevel::Warning, section, key, value, problem, player);
}

long FindEntry(CheckContext& c, const std::string& name) {
  const auto it = c.entryIndex.find(FoldArchiveName(name));
  if (it == c.entryIndex.end()) return -1;
  c.used.insert(it->second);
  return static_cast<long>(it->second);
}

bool IsInstallMode(const CheckContext& c, int mode) {
  return !c.setupRead || mode < c.installSelects;
}

std::string Quote(const std::string& cp932) { return "'" + DisplayArchiveName(cp932) + "'"; }

std::string QuoteMessage(const char* format, const std::string& first, const std::string& second) {
  std::string text = format;
  const std::string* arguments[] = {&first, &second};
  size_t at = 0;
  for (const std::string* argument : arguments) {
    at = text.find("%s", at);
    if (at == std::string::npos) break;
    text.replace(at, 2, *argument);
    at += argument->size();
  }
  return "\"" + text + "\"";
}

void ReportHiddenKeys(CheckContext& c, const char* stem, int end,
                      void (*format)(char*, size_t, int)) {
  if (end >= kUpdateListKeys) return;
  char gap[kUpdateKeyNameSize];
  format(gap, sizeof gap, end);
  for (int i = end + 1; i < kUpdateListKeys; ++i) {
    char key[kUpdateKeyNameSize];
    format(key, sizeof key, i);
    std::string value;
    if (!ReadProfileValue(c.ini, "UPDATE", key, kUpdateValueSize, &value)) continue;
    Error(c, "UPDATE", key, value,
          std::string(gap) + " is missing or empty, which ends the " + stem + " list",
          "this item and every later one are never read");
  }
}

namespace {

// The parts of the installed SETUP.INI that decide the run: the install
// modes (one a selection) and the discs' check files.
void ReadSetup(CheckContext& c) {
  const ProfileText setup = ParseProfileText(*c.input.setupIni);
  std::string value;
  c.setupRead = true;
  c.installSelects = 0;
  if (ReadProfileValue(setup, "SETUP", "InstallSelects", 20, &value))
    c.installSelects = DecimalToInt32(value.c_str());
  if (c.installSelects < 1) c.installSelects = 1;
  for (int i = 0; i < 10; ++i)
    ReadProfileValue(setup, "SETUP", "DiskCheckFile" + std::to_string(i), kListSlotSize,
                     &c.diskCheckFile[i]);
}

// The file's own findings first, then section SETUP, section UPDATE, other
// sections and the entries.
int Rank(const CheckFinding& f) {
  if (f.section.empty()) return f.key.empty() ? 0 : 4;
  if (ProfileNamesEqual(f.section, "SETUP")) return 1;
  if (ProfileNamesEqual(f.section, "UPDATE")) return 2;
  return 3;
}

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
  CheckContext c(input);
  CheckFinding size;
  if (CheckUpdaterSize(c.input.payloadSize, kUpdaterImageLimit, &size)) c.findings.push_back(size);
  if (c.input.updateIni == nullptr) {
    Error(c, "", "", "", "the archive has no entry UPDATE.INI",
          "the updater shows " + QuoteMessage(kNoEntryMessage) + " and ends at start");
    return std::move(c.findings);
  }
  std::string bytes = *c.input.updateIni;
  CheckFileForm(c, &bytes);
  c.ini = ParseProfileText(bytes);
  if (c.input.setupIni) ReadSetup(c);
  CheckSetupSection(c);
  ItemTally tally;
  CheckUpdateItems(c, &tally);
  CheckDiscItems(c, &tally);
  if (!tally.anyUpdate && !tally.anyCopy && FindProfileSection(c.ini, "UPDATE"))
    Error(c, "UPDATE", "UpdateFile00", "", "neither UpdateFile00 nor CopyFile00 is given",
          std::string("the run ends at once with ") + QuoteMessage(kNothingAppliesMessage));
  if (c.setupRead && (tally.anyUpdate || tally.anyCopy) && !tally.modes.count(-1)) {
    for (int mode = 0; mode < c.installSelects && mode < 10; ++mode) {
      if (tally.modes.count(mode)) continue;
      Error(c, "UPDATE", "UpdateFile00", "",
            "no item applies in install mode " + std::to_string(mode) +
                " (SETUP.INI has " + std::to_string(c.installSelects) + " selection(s))",
            "a player who installed in that mode gets " + QuoteMessage(kNothingAppliesMessage));
    }
  }
  CheckDiskSpace(c, tally.itemBytes);
  CheckSections(c);
  CheckUnusedEntries(c);
  // Each group in the order found.
  std::stable_sort(c.findings.begin(), c.findings.end(),
                   [](const CheckFinding& a, const CheckFinding& b) { return Rank(a) < Rank(b); });
  return std::move(c.findings);
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
