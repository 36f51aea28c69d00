#include "fa2/check/update_plan.h"

#include "archive/archive_names.h"
#include "config/decimal.h"
#include "config/update_items.h"
#include "fa2/check/profile_text.h"
#include "fa2/cli/report.h"
#include "fa2/host/names.h"

namespace {

const char* KindText(UpdateKind kind) {
  switch (kind) {
    case UpdateKind::Update: return "u: written unless the installed file is newer";
    case UpdateKind::Data: return "d: written where no readable file is";
    case UpdateKind::Overwrite: return "o: written only over an existing file";
    default: return "written always, replacing a file there";
  }
}

// "every install mode", or the one the item's selector names.
std::string ModesText(const std::string& value) {
  size_t at = value.find_first_not_of(" \t");
  if (at != std::string::npos && at + 1 <= value.size() && value[at] >= '0' && value[at] <= '9' &&
      (at + 1 == value.size() || value[at + 1] == ','))
    return std::string("install mode ") + value[at];
  return "every install mode";
}

}  // namespace

std::vector<std::string> PlanUpdate(const UpdateCheckInput& input) {
  std::vector<std::string> lines;
  if (input.updateIni == nullptr) return lines;
  std::string bytes = *input.updateIni;
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
  const ProfileText ini = ParseProfileText(bytes);
  std::string dataFolder, overwriteOnly;
  ReadProfileValue(ini, "SETUP", "DataFolder", kListSlotSize, &dataFolder);
  const bool onlyOver =
      ReadProfileValue(ini, "UPDATE", "OverwriteOnly", kListSlotSize, &overwriteOnly) &&
      DecimalToInt32(overwriteOnly.c_str()) != 0;
  const std::string below = dataFolder.empty() ? "\\" : "\\" + dataFolder + "\\";

  for (int index = 0; index < kUpdateListKeys; ++index) {
    char key[kUpdateKeyNameSize];
    FormatUpdateFileKey(key, sizeof key, index);
    std::string value;
    if (!ReadProfileValue(ini, "UPDATE", key, kUpdateValueSize, &value)) break;
    int disc = 0;
    UpdateItem item;
    ParseUpdateItem(value.c_str(), 0, IsCp932LeadByte, disc, item);
    const std::string name = item.ItemName;
    const std::string base = name.substr(static_cast<size_t>(item.BaseOffset));
    std::string what = KindText(item.Kind);
    if (onlyOver && item.Kind != UpdateKind::Data && item.Kind != UpdateKind::Overwrite)
      what += " (OverwriteOnly: only over an existing file)";
    const std::string root = item.Kind == UpdateKind::Data ? "DataPath" : "InstPath";
    std::string entry = "no entry", size = "-";
    for (const CheckedEntry& e : input.entries) {
      if (!base.empty() && ArchiveNamesEqual(e.name, base)) {
        entry = DisplayArchiveName(e.name);
        size = FormatCount(e.size) + " bytes";
        break;
      }
    }
    if (entry == "no entry" && !base.empty()) entry = DisplayArchiveName(base) + " (missing)";
    lines.push_back(std::string(key) + "\t" + ModesText(value) + "\t" + what + "\t" + root +
                    DisplayArchiveName(below + name) + "\t" + entry + "\t" + size);
  }
  for (int index = 0; index < kUpdateListKeys; ++index) {
    char key[kUpdateKeyNameSize];
    FormatCopyFileKey(key, sizeof key, index);
    std::string value;
    if (!ReadProfileValue(ini, "UPDATE", key, kCopyValueSize, &value)) break;
    DiscCopyItem item;
    const bool hasMode = value.size() >= 2 && value[1] == ',';
    const uint32_t mode = hasMode ? static_cast<uint32_t>(value[0] - '0') : 0;
    ParseDiscCopyItem(value.c_str(), mode, item);
    const std::string disc =
        item.DiscNumber > 0 ? "disc " + std::to_string(item.DiscNumber) : "the disc before";
    lines.push_back(std::string(key) + "\t" +
                    (hasMode ? std::string("install mode ") + value[0] : "every install mode") +
                    "\tcopied from " + disc + "\tInstPath\\" +
                    DisplayArchiveName(item.Path) + "\t-\t-");
  }
  return lines;
}
