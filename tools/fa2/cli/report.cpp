#include <cstdio>
#include <cstring>

#include "fa2/cli/report.h"

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

void ReportProgress(const std::string& file, const std::string& what) {
  if (verbosity > 0) std::fprintf(stderr, "fa2: %s: %s\n", file.c_str(), what.c_str());
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
