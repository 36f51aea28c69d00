// The publisher's check of an update: what the updater will make of its
// UPDATE.INI and its archive entries on a player's machine, found before the
// update ships.
//
// The check reads UPDATE.INI through the same parsers as the updater (the
// list tokenizer, the item parsers, the decimal conversion) over a model of
// the platform's INI reader (fa2/check/profile_text.h), so that it sees each key as
// the updater sees it. Optionally it reads the installed game's SETUP.INI for
// the disc names and the install modes.
//
// Platform-neutral and pure: it reads only the bytes it is given and writes
// nothing. Every text of a finding is in the host's character set (as
// DisplayArchiveName gives names), ready to print.
#ifndef FA2_UPDATE_CHECK_H
#define FA2_UPDATE_CHECK_H

#include <cstdint>
#include <string>
#include <vector>

enum class FindingLevel { Warning, Error };

struct CheckFinding {
  FindingLevel level;
  std::string section;  // "SETUP" or "UPDATE"; empty for the file or the archive
  std::string key;      // the key, or the entry's name for an entry; empty for the file
  std::string value;    // the key's value as read
  std::string problem;  // what is wrong
  std::string player;   // what the player gets
};

struct CheckedEntry {
  std::string name;  // CP932, as in the archive
  uint64_t size;     // unpacked
};

struct UpdateCheckInput {
  const std::string* updateIni = nullptr;  // the entry UPDATE.INI; nullptr when the archive lacks it
  std::vector<CheckedEntry> entries;       // every entry, UPDATE.INI included, in archive order
  const std::string* setupIni = nullptr;   // the installed game's SETUP.INI, when given
  uint64_t payloadSize = 0;                // the archive's bytes: the updater carries them all
};

// Windows starts no program image of 2 GiB or more ("not a valid
// application"), so this, not the archive format's 4 GiB, bounds an update.
constexpr uint64_t kUpdaterImageLimit = uint64_t{1} << 31;

// The finding about an updater image of imageSize bytes: an error from limit
// on, a warning from three quarters of it (the payload grows with every
// file a publisher adds), nothing below. Both say what makes it smaller.
// Returns whether there is one.
bool CheckUpdaterSize(uint64_t imageSize, uint64_t limit, CheckFinding* finding);

// Every finding, errors and warnings: those about the file as a whole, then
// section SETUP, section UPDATE (the lists in the order the updater reads
// them), other sections, and last the entries.
std::vector<CheckFinding> CheckUpdate(const UpdateCheckInput& input);

int CountFindings(const std::vector<CheckFinding>& findings, FindingLevel level);

// "error: UPDATE UpdateFile03 = 'x': PROBLEM; the player: PLAYER"
std::string FormatFinding(const CheckFinding& finding);

#endif
