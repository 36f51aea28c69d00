// UPDATE.INI and SETUP.INI of any shape through fa2's update check and its
// plan: the INI model, the item parsers, every finding's text and every plan
// line. Nothing may read outside the given bytes, every finding must name a
// level and a problem, and every plan line has its six columns.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fa2/check/update_check.h"
#include "fa2/check/update_plan.h"

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
  for (const std::string& line : PlanUpdate(input)) {
    size_t tabs = 0;
    for (char c : line) tabs += c == '\t';
    if (tabs < 5) std::abort();
  }
  return 0;
}
