// The disc items (CopyFileNN): their mode and disc prefixes, and the disc
// search that an item without a number relies on.
#include "common/updater_contract.h"
#include "config/update_items.h"
#include "fa2/check/check_context.h"
#include "fa2/host/names.h"

namespace {

void CheckDiscItem(CheckContext& c, const char* key, const std::string& value, bool* numberedBefore,
                   std::set<int>* modes) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(value.c_str());
  int mode = -1;
  if (p[0] != '\0' && p[1] == ',') {
    mode = p[0] - '0';
    if (mode < 0 || mode > 9) {
      Error(c, "UPDATE", key, value,
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
        Error(c, "UPDATE", key, value,
              "the disc number " + Quote(std::string(1, static_cast<char>(p[0]))) +
                  " is not 1 to 9",
              "the updater shows " + QuoteMessage(kDiscCopyFailedFormat, "...") +
                  " and the run stops");
      else
        Warning(c, "UPDATE", key, value, "disc number 0 means no disc",
                "the item is copied from the drive of the disc item before it");
      if (disc != 0) return;
    }
    p += 2;
  }
  const std::string path = reinterpret_cast<const char*>(p);
  if (path.empty())
    Error(c, "UPDATE", key, value, "the item names no path",
          "the whole disc root is copied into the game's folder, or the copy fails");
  if (disc > 0) {
    if (mode < 0)
      for (int m = 0; m < 10; ++m) numberedBefore[m] = true;
    else
      numberedBefore[mode] = true;
    if (c.setupRead && c.diskCheckFile[disc].empty())
      Error(c, "UPDATE", key, value,
            "SETUP.INI gives no DiskCheckFile" + std::to_string(disc),
            "any CD-ROM drive with a readable disc counts as disc " + std::to_string(disc));
    return;
  }
  // Without a number the item is copied from the drive of the latest search.
  std::string unsearched;
  int count = 0;
  for (int m = 0; m < 10; ++m) {
    if ((mode < 0 || mode == m) && !numberedBefore[m] && IsInstallMode(c, m)) {
      unsearched += (unsearched.empty() ? "" : ", ") + std::to_string(m);
      ++count;
    }
  }
  if (count)
    Error(c, "UPDATE", key, value,
          "no disc item with a disc number comes before it" +
              (mode < 0 && !c.setupRead ? std::string() : " (install mode " + unsearched + ")"),
          "no disc has been looked for yet: the updater shows " +
              QuoteMessage(kDiscCopyFailedFormat, DisplayArchiveName(path)) + " and the run stops");
}

}  // namespace

void CheckDiscItems(CheckContext& c, ItemTally* tally) {
  bool numberedBefore[10] = {};
  int index = 0;
  for (; index < kUpdateListKeys; ++index) {
    char key[kUpdateKeyNameSize];
    FormatCopyFileKey(key, sizeof key, index);
    std::string value;
    bool cut = false;
    if (!ReadProfileValue(c.ini, "UPDATE", key, kCopyValueSize, &value, &cut)) break;
    tally->anyCopy = true;
    if (cut)
      Error(c, "UPDATE", key, value, "longer than 259 bytes",
            "the updater reads only the first 259 bytes: the path is cut");
    CheckDiscItem(c, key, value, numberedBefore, &tally->modes);
  }
  ReportHiddenKeys(c, "CopyFile", index, FormatCopyFileKey);

}
