// The state of one check of an update and the parts of the check that work
// on it: each part reads UPDATE.INI (or SETUP.INI) as the updater reads it
// and adds its findings. Internal to fa2/check.
#ifndef FA2_CHECK_CHECK_CONTEXT_H
#define FA2_CHECK_CHECK_CONTEXT_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fa2/check/profile_text.h"
#include "fa2/check/update_check.h"

struct CheckContext {
  explicit CheckContext(const UpdateCheckInput& checked);

  const UpdateCheckInput& input;
  std::map<std::string, size_t> entryIndex;  // folded name -> first entry
  std::set<size_t> used;                     // entries that an item or key takes
  ProfileText ini;
  std::vector<CheckFinding> findings;
  bool setupRead = false;  // the installed game's SETUP.INI was given
  int installSelects = 0;
  std::string diskCheckFile[10];
};

// What the update items add up to, for the checks across both lists.
struct ItemTally {
  bool anyUpdate = false, anyCopy = false;
  // Modes in which the update does something: an item without a selector
  // counts for every mode (-1).
  std::set<int> modes;
  uint64_t itemBytes = 0;  // the entries that update items take, each once
};

void Error(CheckContext& c, const std::string& section, const std::string& key,
           const std::string& value, const std::string& problem, const std::string& player);
void Warning(CheckContext& c, const std::string& section, const std::string& key,
             const std::string& value, const std::string& problem, const std::string& player);
void Add(CheckContext& c, FindingLevel level, const std::string& section, const std::string& key,
         const std::string& value, const std::string& problem, const std::string& player);

// The entry of that name under the updater's comparison, or -1; marks it used.
long FindEntry(CheckContext& c, const std::string& name);
// Whether the installed game has that install mode (any, without SETUP.INI).
bool IsInstallMode(const CheckContext& c, int mode);
// A CP932 name in single quotes, as the host shows it.
std::string Quote(const std::string& cp932);
// One of the updater's messages (common/updater_contract.h) in double quotes,
// its %s filled in order with first and second.
std::string QuoteMessage(const char* format, const std::string& first = std::string(),
                         const std::string& second = std::string());

// Keys of a list after its first gap, which are never read.
void ReportHiddenKeys(CheckContext& c, const char* stem, int end,
                      void (*format)(char*, size_t, int));

// The parts, in the order the check runs them.
void CheckFileForm(CheckContext& c, std::string* bytes);   // check_file_form.cpp
void CheckSetupSection(CheckContext& c);                   // check_sections.cpp
void CheckUpdateItems(CheckContext& c, ItemTally* tally);  // check_update_items.cpp
void CheckDiscItems(CheckContext& c, ItemTally* tally);    // check_disc_items.cpp
void CheckDiskSpace(CheckContext& c, uint64_t itemBytes);  // check_update_items.cpp
void CheckSections(CheckContext& c);                       // check_sections.cpp
void CheckUnusedEntries(CheckContext& c);                  // check_update_items.cpp

#endif
