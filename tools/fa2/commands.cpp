#include <cstdio>
#include <cstring>

#include "fa2/commands.h"

void ReportError(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "fa2: %s: %s\n", file.c_str(), reason.c_str());
}

int ReportUsageError(const char* command, const std::string& reason) {
  std::fprintf(stderr, "fa2 %s: %s\nTry 'fa2 %s --help'.\n", command, reason.c_str(), command);
  return kExitUsage;
}

bool AsksForHelp(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

int TakeOneArchive(const char* command, int argc, char** argv, std::string* path) {
  int given = 0;
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsEnded && std::strcmp(arg, "--") == 0) {
      optionsEnded = true;
    } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
      return ReportUsageError(command, std::string("unknown option ") + arg);
    } else {
      *path = arg;
      ++given;
    }
  }
  if (given != 1) return ReportUsageError(command, "give exactly one archive");
  return 0;
}
