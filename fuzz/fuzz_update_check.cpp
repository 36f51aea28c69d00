// UPDATE.INI and SETUP.INI of any shape through fa2's update check: the INI
// model, the item parsers and every finding's text. Nothing may read outside
// the given bytes, and every finding must name a level and a problem.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fa2/check/update_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte says where SETUP.INI begins (none for 0); the rest is
  // UPDATE.INI up to there.
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = data[0] == 0 ? text.size() : text.size() * data[0] / 256;
  const std::string updateIni = text.substr(0, split);
  const std::string setupIni = text.substr(split);

  UpdateCheckInput input;
  input.updateIni = &updateIni;
  if (data[0] != 0) input.setupIni = &setupIni;
  input.entries = {{"UPDATE.INI", updateIni.size()}, {"readme.txt", 5000}, {"data.pak", 20},
                   {"\x83\x5C.dat", 1}};
  for (const CheckFinding& finding : CheckUpdate(input)) {
    if (finding.problem.empty() || finding.player.empty()) std::abort();
    FormatFinding(finding);
  }
  return 0;
}
