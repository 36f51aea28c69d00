// Parsing the branding options and reading the icon file they name.
#include "fa2/commands/branding_options.h"

#include "fa2/cli/report.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"

namespace {

// Icons are small; anything past this is not one.
constexpr uint64_t kMaxIconSize = 16u << 20;

}  // namespace

int LoadBranding(const char* command, const ParsedArguments& arguments, UpdaterBranding* branding) {
  *branding = UpdaterBranding{};
  if (arguments.Count("--icon") > 1) return ReportUsageError(command, "give --icon only once");
  const std::string iconPath = arguments.Value("--icon");
  if (arguments.Has("--icon") && iconPath.empty())
    return ReportUsageError(command, "the icon file's name is empty");
  std::string error;
  for (const std::string& text : arguments.Values("--version")) {
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
  if (!iconPath.empty()) {
    if (!ReadHostFile(iconPath, kMaxIconSize, &branding->Icon, &error) ||
        !BuildIconGroup(branding->Icon.data(), branding->Icon.size(), 1, &unused, &error)) {
      ReportError(iconPath, error);
      return kExitFailed;
    }
  }
  return 0;
}
