// Parsing the branding options and reading the icon file they name.
#include "fa2/branding_options.h"

#include "fa2/commands.h"
#include "fa2/host_files.h"
#include "fa2/names.h"

namespace {

// Icons are small; anything past this is not one.
constexpr uint64_t kMaxIconSize = 16u << 20;

}  // namespace

int TakeBrandingOption(const char* command, int argc, char** argv, int* i, int* taken,
                       BrandingOptions* options) {
  const std::string arg = argv[*i];
  *taken = arg == "--icon" || arg == "--version";
  if (!*taken) return 0;
  if (*i + 1 >= argc) return ReportUsageError(command, arg + " needs a value");
  const std::string value = argv[++*i];
  if (arg == "--icon") {
    if (!options->IconPath.empty()) return ReportUsageError(command, "give --icon only once");
    if (value.empty()) return ReportUsageError(command, "the icon file's name is empty");
    options->IconPath = value;
  } else {
    options->VersionFields.push_back(value);
  }
  return 0;
}

int LoadBranding(const char* command, const BrandingOptions& options, UpdaterBranding* branding) {
  *branding = UpdaterBranding{};
  std::string error;
  for (const std::string& text : options.VersionFields) {
    std::string cp932;
    VersionField field;
    if (!HostNameToArchiveName(text, &cp932))
      return ReportUsageError(command, "--version " + text + ": a character that CP932 cannot write");
    if (!ParseVersionField(cp932, &field, &error))
      return ReportUsageError(command, "--version " + text + ": " + error);
    branding->Version.push_back(field);
  }
  std::vector<uint8_t> unused;
  if (!branding->Version.empty() && !BuildVersionResource(branding->Version, &unused, &error))
    return ReportUsageError(command, "--version: " + error);
  if (!options.IconPath.empty()) {
    if (!ReadHostFile(options.IconPath, kMaxIconSize, &branding->Icon, &error) ||
        !BuildIconGroup(branding->Icon.data(), branding->Icon.size(), 1, &unused, &error)) {
      ReportError(options.IconPath, error);
      return kExitFailed;
    }
  }
  return 0;
}
