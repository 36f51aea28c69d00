// fa2's update check: one table of updates that each carry one trap, every
// one reported with its key, and the clean update they start from passing
// without a finding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fa2/check/update_check.h"

namespace {

const char kSetup[] =
    "[SETUP]\r\nCompanyName=Maker\r\nGameTitle=Game\r\nGameClass=GameWindow\r\nGameDir=Game\r\n"
    "AgreementText=KIYAKU.TXT\r\n";
const char kUpdate[] =
    "[UPDATE]\r\nRequiredDiskSpace=100000\r\nUpdateFile00=readme.txt\r\n"
    "UpdateFile01=u,bin\\data.pak\r\nCopyFile00=1:movie\r\nCopyFile01=extra.dat\r\n";
const char kInstalledSetup[] =
    "[SETUP]\r\nInstallSelects=2\r\nDiskCheckFile1=disc1.chk\r\n";

struct Trap {
  const char* what;
  const char* from;  // text of the clean update to replace (empty: append `to`)
  const char* to;
  const char* key;   // the key the finding must name
  FindingLevel level;
  bool withSetup = false;
  const char* extraEntry = nullptr;
};

const Trap kTraps[] = {
    {"gap in the list", "UpdateFile01=", "UpdateFile02=", "UpdateFile02", FindingLevel::Error},
    {"key past 15", "", "UpdateFile16=readme.txt\r\n", "UpdateFile16", FindingLevel::Error},
    {"key of one digit", "", "UpdateFile2=readme.txt\r\n", "UpdateFile2", FindingLevel::Error},
    {"entry missing", "=readme.txt", "=missing.txt", "UpdateFile00", FindingLevel::Error},
    {"base-name collision", "", "UpdateFile02=other\\DATA.PAK\r\n", "UpdateFile02",
     FindingLevel::Error},
    {"blank after the name", "=readme.txt", "=readme.txt ,", "UpdateFile00",
     FindingLevel::Error},
    {"second-char colon", "=readme.txt", "=C:readme.txt", "UpdateFile00", FindingLevel::Error},
    {"2,x,file", "=readme.txt", "=2,x,readme.txt", "UpdateFile00", FindingLevel::Error},
    {"mode of two characters", "=readme.txt", "=1 ,u,readme.txt", "UpdateFile00",
     FindingLevel::Error},
    {"slash as separator", "=readme.txt", "=bin/readme.txt", "UpdateFile00",
     FindingLevel::Error},
    {"name not CP932", "=readme.txt", "=\xE6\x97\xA5\xE6\x9C\xAC.txt", "UpdateFile00",
     FindingLevel::Error},
    {"disc item before a numbered one", "1:movie", "movie", "CopyFile00", FindingLevel::Error},
    {"disc number not 1 to 9", "1:movie", "a:movie", "CopyFile00", FindingLevel::Error},
    {"mode selector not a digit", "=extra.dat", "=x,extra.dat", "CopyFile01",
     FindingLevel::Error},
    {"agreement entry missing", "KIYAKU.TXT", "NONE.TXT", "AgreementText", FindingLevel::Error},
    {"first-page entry missing", "", "", "AgreementTitle", FindingLevel::Error},
    {"required key empty", "GameClass=GameWindow", "GameClass=", "GameClass",
     FindingLevel::Error},
    {"second [UPDATE]", "", "[UPDATE]\r\nUpdateFile02=readme.txt\r\n", "", FindingLevel::Error},
    {"byte-order mark", "[SETUP]", "\xEF\xBB\xBF[SETUP]", "", FindingLevel::Error},
    {"UTF-8 text", "=Game\r\n", "=\xE6\x98\x9F\r\n", "", FindingLevel::Error},
    {"not CP932 text", "=Game\r\n", "=\x81\x20\r\n", "", FindingLevel::Error},
    {"disc without DiskCheckFile", "DiskCheckFile1", "DiskCheckFile2", "CopyFile00",
     FindingLevel::Error, true},
    {"install mode without items", "", "", "UpdateFile00", FindingLevel::Error, true},
    {"RequiredDiskSpace too small", "=100000", "=10", "RequiredDiskSpace",
     FindingLevel::Warning},
    {"entry unused", "", "", "spare.bin", FindingLevel::Warning, false, "spare.bin"},
    {"LF line ends", "\r\n[UPDATE]\r\n", "\n[UPDATE]\n", "", FindingLevel::Warning},
    {"unknown key", "", "UpdateFIles=readme.txt\r\n", "UpdateFIles", FindingLevel::Error},
    {"key in the wrong section", "", "GameTitleA=Other\r\n", "GameTitleA", FindingLevel::Error},
    {"DataFolder of two levels", "GameDir=Game\r\n", "GameDir=Game\r\nDataFolder=save\\new\r\n",
     "DataFolder", FindingLevel::Warning},
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::vector<CheckFinding> Check(const std::string& ini, const std::string* setup,
                                const char* extraEntry) {
  UpdateCheckInput input;
  input.updateIni = &ini;
  input.setupIni = setup;
  input.entries = {{"UPDATE.INI", ini.size()}, {"KIYAKU.TXT", 300},
                   {"readme.txt", 5000}, {"data.pak", 20000}};
  if (extraEntry) input.entries.push_back({extraEntry, 10});
  return CheckUpdate(input);
}

std::string Listing(const std::vector<CheckFinding>& findings) {
  std::string all;
  for (const CheckFinding& f : findings) all += "\n  " + FormatFinding(f);
  return all;
}

TEST(UpdateCheck, CleanUpdatePassesWithoutFindings) {
  const std::string setup = kInstalledSetup;
  const std::vector<CheckFinding> findings =
      Check(std::string(kSetup) + kUpdate, &setup, nullptr);
  EXPECT_TRUE(findings.empty()) << Listing(findings);
}

TEST(UpdateCheck, EachTrapIsReportedWithItsKey) {
  for (const Trap& trap : kTraps) {
    SCOPED_TRACE(trap.what);
    std::string setupIni = kSetup, updateIni = kUpdate, installed = kInstalledSetup;
    if (std::string(trap.what) == "first-page entry missing")
      setupIni += "AgreementTitle=WELCOME.TXT\r\n";
    if (std::string(trap.what) == "install mode without items")
      updateIni = "[UPDATE]\r\nUpdateFile00=1,readme.txt\r\nUpdateFile01=1,u,data.pak\r\n";
    std::string ini = setupIni + updateIni;
    if (trap.from[0] == '\0')
      ini += trap.to;
    else if (std::string(trap.what) == "disc without DiskCheckFile")
      installed = Replace(installed, trap.from, trap.to);
    else
      ini = Replace(ini, trap.from, trap.to);
    const std::vector<CheckFinding> findings =
        Check(ini, trap.withSetup ? &installed : nullptr, trap.extraEntry);
    bool named = false;
    for (const CheckFinding& f : findings) named = named || (f.key == trap.key && f.level == trap.level);
    EXPECT_TRUE(named) << Listing(findings);
    // A warning alone leaves the update fit to ship.
    if (trap.level == FindingLevel::Warning) {
      EXPECT_EQ(CountFindings(findings, FindingLevel::Error), 0) << Listing(findings);
    }
  }
}

// The updater's size against what Windows starts: nothing below three
// quarters of the limit, a warning up to it, an error from it on; the check
// of a whole update reports it before everything else.
TEST(UpdateCheck, UpdaterSizeAgainstTheImageLimit) {
  CheckFinding f;
  const uint64_t gib = uint64_t{1} << 30;
  EXPECT_FALSE(CheckUpdaterSize(gib * 3 / 2 - 1, kUpdaterImageLimit, &f));
  ASSERT_TRUE(CheckUpdaterSize(gib * 3 / 2, kUpdaterImageLimit, &f));
  EXPECT_EQ(f.level, FindingLevel::Warning);
  ASSERT_TRUE(CheckUpdaterSize(kUpdaterImageLimit - 1, kUpdaterImageLimit, &f));
  EXPECT_EQ(f.level, FindingLevel::Warning);
  ASSERT_TRUE(CheckUpdaterSize(kUpdaterImageLimit, kUpdaterImageLimit, &f));
  EXPECT_EQ(f.level, FindingLevel::Error);
  EXPECT_NE(f.problem.find("2,147,483,648 bytes (2 GiB)"), std::string::npos) << f.problem;

  const std::string ini = std::string(kSetup) + kUpdate;
  UpdateCheckInput input;
  input.updateIni = &ini;
  input.entries = {{"UPDATE.INI", ini.size()}, {"KIYAKU.TXT", 300},
                   {"readme.txt", 5000}, {"data.pak", 20000}};
  input.payloadSize = 1800u << 20;
  std::vector<CheckFinding> findings = CheckUpdate(input);
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings[0].level, FindingLevel::Warning) << Listing(findings);
  EXPECT_NE(findings[0].problem.find("1,887,436,800"), std::string::npos) << Listing(findings);
  input.payloadSize = kUpdaterImageLimit + 5;
  EXPECT_EQ(CountFindings(CheckUpdate(input), FindingLevel::Error), 1);
}

TEST(UpdateCheck, ArchiveWithoutUpdateIni) {
  UpdateCheckInput input;
  input.entries = {{"readme.txt", 5}};
  const std::vector<CheckFinding> findings = CheckUpdate(input);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].level, FindingLevel::Error);
}

}  // namespace
