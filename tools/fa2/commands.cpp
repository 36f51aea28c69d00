#include <cstdio>
#include <cstring>

#include "fa2/commands.h"

void ReportError(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "fa2: %s: %s\n", file.c_str(), reason.c_str());
}

namespace {
int verbosity = 0;
}  // namespace

int Verbosity() { return verbosity; }
void SetVerbosity(int level) { verbosity = level; }

void ReportWarning(const std::string& file, const std::string& reason) {
  if (verbosity >= 0) std::fprintf(stderr, "fa2: %s: warning: %s\n", file.c_str(), reason.c_str());
}

std::string FormatCount(uint64_t count) {
  std::string digits = std::to_string(count), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

int ReportUsageError(const char* command, const std::string& reason) {
  std::fprintf(stderr, "fa2: %s: %s\nTry 'fa2 %s --help'.\n", command, reason.c_str(), command);
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

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}
