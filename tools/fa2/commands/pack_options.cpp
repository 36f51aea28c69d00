#include "fa2/commands/pack_options.h"

#include "fa2/cli/report.h"
#include "fa2/host/file_time.h"

int TakePackOptions(const char* command, const ParsedArguments& arguments, PackOptions* options) {
  options->store = arguments.Has("--store");
  options->plainDirectory = arguments.Has("--plain-directory");
  options->from = arguments.Values("--from");
  options->keepFull = arguments.Has("--keep-full");
  for (const std::string& folder : options->from)
    if (folder.empty()) return ReportUsageError(command, "--from needs a folder");
  if (arguments.Has("--level")) {
    const std::string text = arguments.Value("--level");
    if (text.size() != 1 || text[0] < '0' + kCompressLevelFastest ||
        text[0] > '0' + kCompressLevelSmallest)
      return ReportUsageError(command, "--level " + text + ": the level is a number from 1 to 9");
    options->level = text[0] - '0';
  }
  if (arguments.Has("--mtime")) {
    const std::string text = arguments.Value("--mtime");
    if (!ParseFileTimeUtc(text, &options->lastWrite))
      return ReportUsageError(command, "not a time: " + text +
                                           " (write 2024-03-01T12:00:00Z, 2024-03-01 or @SECONDS)");
    options->haveTime = true;
  }
  return 0;
}
