// The installed game's SETUP.INI read whole: fields, defaults, limits and
// every message of the parse, on real Shift-JIS files with CR LF line ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/updater_state_win32.h"
#include "config/setup_description_win32.h"
#include "harness/message_boxes.h"
#include "harness/test_env.h"

namespace {

using Keys = std::vector<std::pair<std::string, std::string>>;

// stem, the decimal number and suffix, as key names and values.
std::string Numbered(const std::string& stem, int number, const std::string& suffix = "") {
  std::string text = stem;
  text += std::to_string(number);
  text += suffix;
  return text;
}

// "<stem>0,<stem>1,...": count numbered names.
std::string NumberedNames(const std::string& stem, const std::string& suffix, int count) {
  std::string names;
  for (int i = 0; i < count; ++i) {
    if (i) names += ',';
    names += stem;
    names += std::to_string(i);
    names += suffix;
  }
  return names;
}

// The smallest sound description: every mandatory key, no optional one.
Keys MinimalKeys() {
  return {
      {"CompanyName", "ヴァルデ工房"},
      {"GameTitle", "森の記憶"},
      {"GameDir", "Mori"},
      {"GameExe", "mori.exe"},
      {"UninstExe", "uninst.exe"},
      {"SetupBmp", "setup1.bmp,setup2.bmp"},
      {"InstallSelects", "1"},
      {"InstallTitle0", "標準インストール"},
      {"InstallFiles0", "1:DATA.FA2,表.DAT"},
      {"Shortcuts", "1"},
      {"Shortcut0", "森の記憶,mori.exe"},
  };
}

// Replaces the key's value, or adds the key at the end.
Keys With(Keys keys, const std::string& key, const std::string& value) {
  for (auto& kv : keys) {
    if (kv.first == key) {
      kv.second = value;
      return keys;
    }
  }
  keys.emplace_back(key, value);
  return keys;
}

Keys Without(Keys keys, const std::string& key) {
  Keys kept;
  for (auto& kv : keys)
    if (kv.first != key) kept.push_back(kv);
  return kept;
}

class SetupDescription : public ::testing::Test {
 protected:
  void SetUp() override { ResetUpdaterState(); }

  // Writes the keys as section SETUP of a fresh file (a new name each time,
  // so no cached copy of an earlier file can answer) and parses it.
  int Load(const Keys& keys) {
    std::string text = "; SETUP.INI of the installed game\r\n[SETUP]\r\n";
    for (const auto& kv : keys) text += kv.first + "=" + kv.second + "\r\n";
    text += "[OTHER]\r\nExecApp=elsewhere\r\n";
    const std::string path = dir_.file("SETUP" + std::to_string(++files_) + ".INI");
    EXPECT_TRUE(WriteBytes(path, text));
    std::strcpy(State.SetupIniPath, path.c_str());
    return LoadSetupDescription();
  }

  // The texts of the boxes shown since the last call; each must be the
  // configuration error box.
  std::vector<std::string> TakeMessages() {
    const auto seen = boxes_.Boxes();
    std::vector<std::string> texts;
    for (size_t i = seen_; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].title, "VARDELIX");
      EXPECT_EQ(seen[i].icon, MB_ICONERROR);
      EXPECT_EQ(seen[i].buttons, std::vector<int>{IDOK});
      EXPECT_EQ(seen[i].owner, nullptr);
      texts.push_back(seen[i].text);
    }
    seen_ = seen.size();
    return texts;
  }

  // Loads the keys, expects the parse to fail with exactly this message.
  void ExpectRefused(const Keys& keys, const std::string& message) {
    ResetUpdaterState();
    EXPECT_EQ(Load(keys), 0) << message;
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{message});
  }

  ScratchDir dir_;
  MessageBoxWatcher boxes_;
  int files_ = 0;
  size_t seen_ = 0;
};

TEST_F(SetupDescription, MinimalFileTakesEveryDefault) {
  // What UPDATE.INI and earlier code left must give way to the defaults.
  std::strcpy(State.GameClass, "UpdateIniClass");
  std::strcpy(State.ShortcutFolder, "stale");
  std::strcpy(State.DiskCheckFile[2], "stale");
  std::strcpy(State.ExecApp[0], "stale");
  std::strcpy(State.ExecApp[1], "stale");
  State.DefaultSelect = 3;
  State.InstPathMode = 3;
  State.InstallSize[0] = 99;
  State.CancelSaveData = 1;

  ASSERT_EQ(Load(MinimalKeys()), 1);
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(State.KeysOptional, 1);

  EXPECT_STREQ(State.CompanyName, "ヴァルデ工房");
  EXPECT_STREQ(State.GameTitle, "森の記憶");
  EXPECT_STREQ(State.GameDir, "Mori");
  EXPECT_STREQ(State.GameExe, "mori.exe");
  EXPECT_STREQ(State.UninstExe, "uninst.exe");
  EXPECT_STREQ(State.SetupBmp[0], "setup1.bmp");
  EXPECT_STREQ(State.SetupBmp[1], "setup2.bmp");
  EXPECT_STREQ(State.SetupBmp[2], "");
  EXPECT_EQ(State.SetupBmpLast, 1);
  EXPECT_EQ(State.InstallSelects, 1);
  EXPECT_STREQ(State.InstallTitle[0], "標準インストール");
  EXPECT_STREQ(State.InstallFiles[0][0], "DATA.FA2");
  EXPECT_STREQ(State.InstallFiles[0][1], "表.DAT");
  EXPECT_STREQ(State.InstallFiles[0][2], "");
  EXPECT_EQ(State.InstallFileDisc[0][0], 1);
  EXPECT_EQ(State.InstallFileDisc[0][1], 1);
  EXPECT_EQ(State.InstallNeedsDisc[0], 1);
  EXPECT_EQ(State.Shortcuts, 1);
  EXPECT_STREQ(State.Shortcut[0][0], "森の記憶");
  EXPECT_STREQ(State.Shortcut[0][1], "mori.exe");
  EXPECT_STREQ(State.Shortcut[0][2], "");
  EXPECT_STREQ(State.Shortcut[0][3], "");

  EXPECT_STREQ(State.GameClass, "森の記憶");
  EXPECT_EQ(State.EngineKind, 2);
  EXPECT_EQ(State.DefaultSelect, 0);
  EXPECT_EQ(State.InstallSize[0], 0u);
  for (const auto& name : State.DiskCheckFile) EXPECT_STREQ(name, "");
  EXPECT_STREQ(State.ExecApp[0], "");
  EXPECT_STREQ(State.ExecApp[1], "");
  EXPECT_STREQ(State.SelectSetupMessage, "インストール方法を選択して下さい");
  EXPECT_EQ(State.UseCompanyNameForShortcutGroup, 0);
  EXPECT_EQ(State.ChooseSaveDataFolder, 0);
  EXPECT_STREQ(State.SaveDataFolderNameInInstall, "savedata");
  EXPECT_STREQ(State.SaveDataFolderName, "Mori");
  EXPECT_EQ(State.CancelSaveData, 0);
  EXPECT_STREQ(State.StrKeyInstPath, "InstPath");
  EXPECT_STREQ(State.ShortcutFolder, "");
  EXPECT_EQ(State.StopInstallToProgramFiles, 0);
  EXPECT_EQ(State.InstallAfterAdd, 0);
  EXPECT_STREQ(State.UninstTitle, "森の記憶");
  EXPECT_EQ(State.InstPathMode, 0);
}

// The kit's commented example, which publishers copy to try an updater: the
// updater must take it whole, comments and all.
TEST_F(SetupDescription, KitExampleIsAccepted) {
  std::strcpy(State.SetupIniPath, "Z:" SOURCE_DIR "/docs/SETUP.INI.example");
  ASSERT_EQ(LoadSetupDescription(), 1);
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{});
  EXPECT_STREQ(State.GameTitle, "星の庭");
  EXPECT_STREQ(State.GameClass, "HoshiNoNiwaWindow");
  EXPECT_EQ(State.InstallSelects, 2);
  EXPECT_STREQ(State.DiskCheckFile[2], "HOSHI2.CHK");
}

TEST_F(SetupDescription, EveryOptionalKeyRead) {
  Keys keys = MinimalKeys();
  keys = With(keys, "InstallSelects", "2");
  keys = With(keys, "InstallTitle1", "フル");
  keys = With(keys, "InstallFiles1", "A.DAT,B.DAT");
  for (auto [key, value] : Keys{
           {"GameClass", "MoriWindow"},
           {"DefaultSelect", "1"},
           {"InstallSize0", "123456789012"},
           {"InstallSize1", "99999999999999999999"},  // 19 characters are seen
           {"DiskCheckFile1", "DISC1.CHK"},
           {"DiskCheckFile9", "ディスク9.CHK"},
           {"ExecApp", "readme.txt,notepad.exe"},
           {"SelectSetupMessage", "選んで下さい"},
           {"UseCompanyNameForShortcutGroup", "1"},
           {"ChooseSaveDataFolder", "7"},
           {"SaveDataFolderNameInInstall", "save"},
           {"SaveDataFolderName", "森セーブ"},
           {"CancelSaveData", "1"},
           {"StrKeyInstPath", "Path"},
           {"ShortcutFolder", "ヴァルデ"},
           {"StopInstallToProgramFiles", "1"},
           {"InstallAfterAdd", "0"},
           {"UninstTitle", "森の記憶の削除"},
           {"InstPathMode", "-3"},
       })
    keys = With(keys, key, value);

  ASSERT_EQ(Load(keys), 1);
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_STREQ(State.InstallFiles[1][1], "B.DAT");
  EXPECT_EQ(State.InstallNeedsDisc[1], 0);
  EXPECT_STREQ(State.GameClass, "MoriWindow");
  EXPECT_EQ(State.EngineKind, 2);
  EXPECT_EQ(State.DefaultSelect, 1);
  EXPECT_EQ(State.InstallSize[0], 123456789012u);
  EXPECT_EQ(State.InstallSize[1], 9999999999999999999u);
  EXPECT_STREQ(State.DiskCheckFile[1], "DISC1.CHK");
  EXPECT_STREQ(State.DiskCheckFile[9], "ディスク9.CHK");
  EXPECT_STREQ(State.ExecApp[0], "readme.txt");
  EXPECT_STREQ(State.ExecApp[1], "notepad.exe");
  EXPECT_STREQ(State.SelectSetupMessage, "選んで下さい");
  EXPECT_EQ(State.UseCompanyNameForShortcutGroup, 1);
  EXPECT_EQ(State.ChooseSaveDataFolder, 1);
  EXPECT_STREQ(State.SaveDataFolderNameInInstall, "save");
  EXPECT_STREQ(State.SaveDataFolderName, "森セーブ");
  EXPECT_EQ(State.CancelSaveData, 1);
  EXPECT_STREQ(State.StrKeyInstPath, "Path");
  EXPECT_STREQ(State.ShortcutFolder, "ヴァルデ");
  EXPECT_EQ(State.StopInstallToProgramFiles, 1);
  EXPECT_EQ(State.InstallAfterAdd, 0);
  EXPECT_STREQ(State.UninstTitle, "森の記憶の削除");
  EXPECT_EQ(State.InstPathMode, -3);
}

TEST_F(SetupDescription, OnOffFields) {
  for (auto [value, expected] : std::vector<std::pair<std::string, int>>{
           {"1", 1}, {"0", 0}, {"-1", 1}, {"abc", 0}, {"", 0}}) {
    ResetUpdaterState();
    ASSERT_EQ(Load(With(MinimalKeys(), "CancelSaveData", value)), 1);
    EXPECT_EQ(State.CancelSaveData, expected) << value;
  }
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SetupDescription, InstallSelectsLimit) {
  Keys four = With(MinimalKeys(), "InstallSelects", "4");
  for (int j = 1; j < 4; ++j) {
    four = With(four, Numbered("InstallTitle", j), Numbered("T", j));
    four = With(four, Numbered("InstallFiles", j), Numbered("F", j, ".DAT"));
    four = With(four, Numbered("InstallSize", j), std::to_string(j * 1000));
  }
  ASSERT_EQ(Load(four), 1);
  EXPECT_STREQ(State.InstallTitle[3], "T3");
  EXPECT_STREQ(State.InstallFiles[3][0], "F3.DAT");
  EXPECT_EQ(State.InstallSize[3], 3000u);
  EXPECT_TRUE(TakeMessages().empty());

  ExpectRefused(With(four, "InstallSelects", "5"), "SETUP.INI : InstallSelect オーバー");
  ExpectRefused(With(four, "InstallSelects", "2147483648"), "SETUP.INI : InstallSelect オーバー");

  // No selection at all needs none of the selection keys.
  for (const char* none : {"0", "-1", "-99999999999"}) {
    ResetUpdaterState();
    Keys keys = With(MinimalKeys(), "InstallSelects", none);
    keys = Without(Without(keys, "InstallTitle0"), "InstallFiles0");
    ASSERT_EQ(Load(keys), 1) << none;
    EXPECT_STREQ(State.InstallFiles[0][0], "");
  }
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SetupDescription, ShortcutsLimit) {
  Keys ten = With(MinimalKeys(), "Shortcuts", "10");
  for (int s = 0; s < 10; ++s)
    ten = With(ten, Numbered("Shortcut", s), Numbered("S", s, ",t.exe"));
  ASSERT_EQ(Load(ten), 1);
  EXPECT_STREQ(State.Shortcut[9][0], "S9");
  EXPECT_TRUE(TakeMessages().empty());

  ExpectRefused(With(ten, "Shortcuts", "11"), "SETUP.INI : Shortcuts オーバー");

  ResetUpdaterState();
  ASSERT_EQ(Load(Without(With(MinimalKeys(), "Shortcuts", "0"), "Shortcut0")), 1);
  ResetUpdaterState();
  ASSERT_EQ(Load(Without(With(MinimalKeys(), "Shortcuts", "-2"), "Shortcut0")), 1);
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SetupDescription, SetupBmpList) {
  const std::string names = NumberedNames("b", ".bmp", 25);
  ASSERT_EQ(Load(With(MinimalKeys(), "SetupBmp", names)), 1);
  EXPECT_STREQ(State.SetupBmp[0], "b0.bmp");
  EXPECT_STREQ(State.SetupBmp[19], "b19.bmp");
  EXPECT_EQ(State.SetupBmpLast, 19);

  ResetUpdaterState();
  ASSERT_EQ(Load(With(MinimalKeys(), "SetupBmp", "a.bmp, b.bmp ,2:c.bmp")), 1);
  EXPECT_STREQ(State.SetupBmp[1], "b.bmp ");
  EXPECT_STREQ(State.SetupBmp[2], "c.bmp");
  EXPECT_STREQ(State.SetupBmp[3], "");
  EXPECT_EQ(State.SetupBmpLast, 2);

  // An over-long name is cut to its slot; the next name is still whole.
  ResetUpdaterState();
  ASSERT_EQ(Load(With(MinimalKeys(), "SetupBmp", std::string(400, 'n') + ",next.bmp")), 1);
  EXPECT_EQ(std::strlen(State.SetupBmp[0]), size_t{kPathSize - 1});
  EXPECT_STREQ(State.SetupBmp[1], "next.bmp");
  EXPECT_TRUE(TakeMessages().empty());

  ExpectRefused(With(MinimalKeys(), "SetupBmp", ",a.bmp"), "SETUP.INI : SetupBmps エラー");
}

TEST_F(SetupDescription, InstallFilesDiscNumbers) {
  ASSERT_EQ(Load(With(MinimalKeys(), "InstallFiles0", "1:A.DAT,B.DAT,0:C.DAT")), 1);
  EXPECT_EQ(State.InstallFileDisc[0][0], 1);
  EXPECT_EQ(State.InstallFileDisc[0][1], 1);
  EXPECT_EQ(State.InstallFileDisc[0][2], 0);
  EXPECT_EQ(State.InstallNeedsDisc[0], 1);

  ResetUpdaterState();
  State.InstallNeedsDisc[0] = 1;
  State.InstallFileDisc[0][1] = 4;
  ASSERT_EQ(Load(With(MinimalKeys(), "InstallFiles0", "A.DAT,B.DAT")), 1);
  EXPECT_EQ(State.InstallFileDisc[0][0], 0);
  EXPECT_EQ(State.InstallFileDisc[0][1], 0);
  EXPECT_EQ(State.InstallNeedsDisc[0], 0);

  // Forty names at most; the rest is ignored.
  const std::string names = NumberedNames("f", "", 45);
  ResetUpdaterState();
  ASSERT_EQ(Load(With(MinimalKeys(), "InstallFiles0", names)), 1);
  EXPECT_STREQ(State.InstallFiles[0][39], "f39");
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SetupDescription, ShortcutLines) {
  struct {
    const char* line;
    const char* fields[4];
  } table[] = {
      {"one,two", {"one", "two", "", ""}},
      {"one,two,,four", {"one", "two", "", "four"}},
      {"one,two,,,four", {"one", "two", "", "four"}},
      {"one,two,three,,five", {"one", "two", "three", ""}},
      {"一,二,三,四,五", {"一", "二", "三", "四"}},
  };
  Keys keys = With(MinimalKeys(), "Shortcuts", "5");
  for (int s = 0; s < 5; ++s) keys = With(keys, Numbered("Shortcut", s), table[s].line);
  ASSERT_EQ(Load(keys), 1);
  for (int s = 0; s < 5; ++s)
    for (int f = 0; f < 4; ++f)
      EXPECT_STREQ(State.Shortcut[s][f], table[s].fields[f]) << table[s].line << " field " << f;
  EXPECT_TRUE(TakeMessages().empty());

  ExpectRefused(With(MinimalKeys(), "Shortcut0", "one"), "SETUP.INI : Shortcut0 エラー");
  ExpectRefused(With(MinimalKeys(), "Shortcut0", "one,,three"), "SETUP.INI : Shortcut0 エラー");
}

TEST_F(SetupDescription, ExecApp) {
  ASSERT_EQ(Load(With(MinimalKeys(), "ExecApp", "a.exe,b.txt,c.txt")), 1);
  EXPECT_STREQ(State.ExecApp[0], "a.exe");
  EXPECT_STREQ(State.ExecApp[1], "b.txt");
  EXPECT_TRUE(TakeMessages().empty());

  ExpectRefused(With(MinimalKeys(), "ExecApp", "a.exe"), "SETUP.INI : ExecApp エラー");
}

TEST_F(SetupDescription, GameClassAndEngineKind) {
  struct {
    const char* gameClass;
    int engineKind;
  } cases[] = {
      {"TTVPWindowForm", 1},
      {"ttvpwindowform", 2},
      {"TTVPWindowForm2", 2},
      {"OrvantisMainWindow", 7},  // the prefix leaves the field as it was
      {"Orvantis", 7},
      {"orvantis", 2},
      {"Orvanti", 2},
  };
  for (const auto& c : cases) {
    ResetUpdaterState();
    State.EngineKind = 7;
    ASSERT_EQ(Load(With(MinimalKeys(), "GameClass", c.gameClass)), 1);
    EXPECT_STREQ(State.GameClass, c.gameClass);
    EXPECT_EQ(State.EngineKind, c.engineKind) << c.gameClass;
  }
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SetupDescription, DiskCheckFileGap) {
  Keys keys = With(MinimalKeys(), "DiskCheckFile2", "D2.CHK");
  keys = With(keys, "DiskCheckFile4", "D4.CHK");
  std::strcpy(State.DiskCheckFile[3], "stale");
  ASSERT_EQ(Load(keys), 1);
  EXPECT_STREQ(State.DiskCheckFile[2], "D2.CHK");
  EXPECT_STREQ(State.DiskCheckFile[3], "");
  EXPECT_STREQ(State.DiskCheckFile[4], "D4.CHK");
  EXPECT_STREQ(State.DiskCheckFile[5], "");
}

TEST_F(SetupDescription, AdditionalInstallList) {
  // The one key after the optional ones that is mandatory.
  ExpectRefused(With(MinimalKeys(), "InstallAfterAdd", "1"),
                "SETUP.INI : InstallAddFiles キーが存在しません");
  Keys add = With(With(MinimalKeys(), "InstallAfterAdd", "1"), "InstallAddFiles", ",X.DAT");
  ExpectRefused(add, "SETUP.INI : InstallAddFiles エラー");

  // With four selections the fourth's files, discs and size are replaced, its
  // title stays.
  Keys keys = With(MinimalKeys(), "InstallSelects", "4");
  for (int j = 1; j < 4; ++j) {
    keys = With(keys, Numbered("InstallTitle", j), Numbered("T", j));
    keys = With(keys, Numbered("InstallFiles", j), Numbered("F", j, ".DAT,G.DAT"));
    keys = With(keys, Numbered("InstallSize", j), "1000");
  }
  keys = With(keys, "InstallAfterAdd", "1");
  keys = With(keys, "InstallAddFiles", "ADD1.DAT,3:ADD2.DAT");
  keys = With(keys, "InstallAddSize", "4096");
  ResetUpdaterState();
  ASSERT_EQ(Load(keys), 1);
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(State.KeysOptional, 1);
  EXPECT_STREQ(State.InstallTitle[3], "T3");
  EXPECT_STREQ(State.InstallFiles[3][0], "ADD1.DAT");
  EXPECT_STREQ(State.InstallFiles[3][1], "ADD2.DAT");
  EXPECT_STREQ(State.InstallFiles[3][2], "");
  EXPECT_EQ(State.InstallFileDisc[3][0], 0);
  EXPECT_EQ(State.InstallFileDisc[3][1], 3);
  EXPECT_EQ(State.InstallNeedsDisc[3], 1);
  EXPECT_EQ(State.InstallSize[3], 4096u);
  EXPECT_EQ(State.LastDiscNumber, 3);
  EXPECT_STREQ(State.InstallFiles[2][0], "F2.DAT");

  // Without InstallAddSize the size is 0 even over a selection's own size.
  ResetUpdaterState();
  ASSERT_EQ(Load(Without(keys, "InstallAddSize")), 1);
  EXPECT_EQ(State.InstallSize[3], 0u);
}

TEST_F(SetupDescription, EveryMandatoryKeyIsReported) {
  Keys keys = With(MinimalKeys(), "InstallSelects", "2");
  keys = With(keys, "InstallTitle1", "T1");
  keys = With(keys, "InstallFiles1", "F1.DAT");
  for (const auto& kv : keys) {
    const std::string message = "SETUP.INI : " + kv.first + " キーが存在しません";
    ExpectRefused(Without(keys, kv.first), message);
    ExpectRefused(With(keys, kv.first, ""), message);  // an empty value is missing too
  }
}

TEST_F(SetupDescription, ParseStopsAtTheFirstFault) {
  std::strcpy(State.GameDir, "FromUpdateIni");
  EXPECT_EQ(Load(Without(MinimalKeys(), "GameTitle")), 0);
  EXPECT_STREQ(State.CompanyName, "ヴァルデ工房");
  EXPECT_STREQ(State.GameDir, "FromUpdateIni");
  EXPECT_EQ(TakeMessages().size(), 1u);
}

TEST_F(SetupDescription, EachListFaultMessage) {
  ExpectRefused(With(MinimalKeys(), "InstallFiles0", " , A.DAT"), "SETUP.INI : InstallFiles0 エラー");
  Keys two = With(With(MinimalKeys(), "InstallSelects", "2"), "InstallTitle1", "T1");
  ExpectRefused(With(two, "InstallFiles1", ",B"), "SETUP.INI : InstallFiles1 エラー");
  ExpectRefused(With(MinimalKeys(), "SetupBmp", ",x"), "SETUP.INI : SetupBmps エラー");
}

}  // namespace
