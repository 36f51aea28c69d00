// The file as a whole: its encoding and its line ends.
#include "fa2/check/check_context.h"
#include "fa2/check/ini_text.h"

// Encoding and line ends. A byte-order mark is reported and left out, so
// that the rest of the check sees the keys.
void CheckFileForm(CheckContext& c, std::string* bytes) {
  if (bytes->rfind("\xEF\xBB\xBF", 0) == 0) {
    Error(c, "", "", "", "UPDATE.INI begins with a UTF-8 byte-order mark",
          "the updater reads the file as CP932: the first section's name carries the mark "
          "and its keys are not found");
    bytes->erase(0, 3);
  }
  // Text that the updater cannot read as CP932 garbles the names that find
  // the game, so every player would be told that it is not installed.
  size_t at = 0;
  if (LooksLikeUtf8(*bytes, &at)) {
    Error(c, "", "", "",
          "UPDATE.INI is UTF-8 text, not CP932 (line " +
              std::to_string(LineOfOffset(*bytes, at)) +
              " has the first non-ASCII character); save it as CP932, or let 'fa2 build "
              "--convert-utf8' convert it",
          "texts and names with non-ASCII characters arrive garbled: the game's folder and "
          "company are not found");
  } else if (!IsCp932Text(*bytes, &at)) {
    Error(c, "", "", "",
          "UPDATE.INI is not CP932 text (line " + std::to_string(LineOfOffset(*bytes, at)) +
              ", byte " + std::to_string(at) + ")",
          "texts and names with such bytes arrive garbled and are not found");
  }
  size_t bareLf = 0, bareCr = 0;
  for (size_t i = 0; i < bytes->size(); ++i) {
    if ((*bytes)[i] == '\n' && (i == 0 || (*bytes)[i - 1] != '\r')) ++bareLf;
    if ((*bytes)[i] == '\r' && (i + 1 == bytes->size() || (*bytes)[i + 1] != '\n')) ++bareCr;
  }
  if (bareLf || bareCr)
    Warning(c, "", "", "",
            "UPDATE.INI has " + std::to_string(bareLf + bareCr) +
                " line(s) not ended by CR LF",
            "older systems' INI readers may join such lines, and keys on them are lost");
}
