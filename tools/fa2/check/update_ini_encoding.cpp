#include "fa2/check/update_ini_encoding.h"

#include "archive/archive_names.h"
#include "fa2/check/ini_text.h"
#include "fa2/cli/report.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"

int ConvertUpdateIniToCp932(std::vector<PackSource>* sources) {
  PackSource* source = nullptr;
  for (PackSource& s : *sources) {
    if (ArchiveNamesEqual(s.name, "UPDATE.INI")) {
      source = &s;
      break;
    }
  }
  if (source == nullptr) return 1;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadHostFile(source->path, 1 << 20, &bytes, &error)) {
    ReportError(source->path, error);
    return 0;
  }
  std::string text(bytes.begin(), bytes.end());
  const bool marked = text.rfind("\xEF\xBB\xBF", 0) == 0;
  if (marked) text.erase(0, 3);
  if (!LooksLikeUtf8(text)) {
    if (marked) ReportWarning(source->path, "not converted: only its byte-order mark is UTF-8");
    return 1;
  }
  std::string cp932;
  if (!Utf8ToCp932(text, &cp932)) {
    // Find the line of the first character without a CP932 form.
    size_t start = 0;
    int line = 1;
    for (;; ++line) {
      const size_t end = text.find('\n', start);
      std::string ignored;
      if (!Utf8ToCp932(text.substr(start, end == std::string::npos ? end : end - start),
                       &ignored) ||
          end == std::string::npos)
        break;
      start = end + 1;
    }
    ReportError(source->path, "line " + std::to_string(line) +
                                  ": a character that CP932 cannot write; nothing converted");
    return 0;
  }
  if (!WriteHostFileWhole(source->path, cp932.data(), cp932.size(), &error)) {
    ReportError(source->path, error);
    return 0;
  }
  source->size = cp932.size();
  ReportWarning(source->path, "converted from UTF-8 to CP932 (--convert-utf8)");
  return 1;
}
