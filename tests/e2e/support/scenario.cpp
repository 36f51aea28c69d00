#include "scenario.h"

#include <gtest/gtest.h>

#include <algorithm>

void IniSection::Set(const std::string& key, const std::string& value) {
  for (auto& entry : keys) {
    if (entry.first == key) {
      entry.second = value;
      return;
    }
  }
  keys.emplace_back(key, value);
}

void IniSection::Erase(const std::string& key) {
  keys.erase(std::remove_if(keys.begin(), keys.end(), [&](const auto& e) { return e.first == key; }),
             keys.end());
}

std::string IniSection::Text() const {
  std::string text = "[" + name + "]\r\n";
  for (const auto& [key, value] : keys) text += key + "=" + value + "\r\n";
  return text;
}

void RegistryRecord::SetText(const std::string& name, const std::string& text) {
  values[name] = {REG_SZ, std::string(text.c_str(), text.size() + 1)};
}

void RegistryRecord::SetNumber(const std::string& name, DWORD value) {
  values[name] = {REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value)};
}

void RegistryRecord::SetBytes(const std::string& name, const std::string& bytes) {
  values[name] = {REG_BINARY, bytes};
}

void RegistryRecord::Erase(const std::string& name) { values.erase(name); }

Scenario::Scenario(Game g) : game(std::move(g)) {
  updateIni.name = "SETUP";
  updateIni.Set("CompanyName", game.company);
  updateIni.Set("GameTitle", game.title);
  updateIni.Set("GameClass", game.windowClass);
  updateIni.Set("GameDir", game.dir);

  // A SETUP.INI as the game's installer leaves it: every mandatory key, one
  // selection, no shortcut, one disc.
  setupIni.name = "SETUP";
  setupIni.Set("CompanyName", game.company);
  setupIni.Set("GameTitle", game.title);
  setupIni.Set("GameDir", game.dir);
  setupIni.Set("GameExe", "game.exe");
  setupIni.Set("UninstExe", "uninst.exe");
  setupIni.Set("SetupBmp", "setup.bmp");
  setupIni.Set("InstallSelects", "1");
  setupIni.Set("InstallTitle0", "標準インストール");
  setupIni.Set("InstallFiles0", "1:game.exe,data.pak");
  setupIni.Set("Shortcuts", "0");
  setupIni.Set("GameClass", game.windowClass);
  setupIni.Set("DiskCheckFile1", "disc1.chk");

  // An update that completes without writing anything: its one item is
  // held back, since only existing files are overwritten and there is none.
  updateIniMore = "[UPDATE]\r\nOverwriteOnly=1\r\nUpdateFile00=absent.dat\r\n";

  installFiles["game.exe"] = "MZ game";
  installFiles["data.pak"] = "game data";

  SetInstallFolder("Game");
  record.SetText("DataPath", DataFolder());
  record.SetNumber("InstMode", 1);
}

Scenario::~Scenario() {
  std::string company = "Software\\" + game.company;
  RegDeleteTreeA(HKEY_CURRENT_USER, RegistryKey().c_str());
  // The company key goes too when no other game of it is left.
  RegDeleteKeyA(HKEY_CURRENT_USER, company.c_str());
}

void Scenario::SetInstallFolder(const std::string& relative) {
  installRelative_ = relative;
  record.SetText("InstPath", InstallFolder());
}

std::string Scenario::InstallFolder() const { return scratch_.file(installRelative_); }
std::string Scenario::DataFolder() const { return scratch_.file("Data"); }
std::string Scenario::RegistryKey() const {
  return "Software\\" + game.company + "\\" + game.dir;
}

namespace {

// The separators of a relative name, found character by character: folder
// names may hold double-byte characters whose trail byte is 0x5C.
std::vector<size_t> Separators(const std::string& relative) {
  std::vector<size_t> at;
  for (const char* p = relative.c_str(); *p; p = CharNextA(p)) {
    if (*p == '\\') at.push_back(static_cast<size_t>(p - relative.c_str()));
  }
  return at;
}

// Creates every level of a folder below an existing one.
void MakeFolders(const std::string& base, const std::string& relative) {
  std::vector<size_t> ends = Separators(relative);
  ends.push_back(relative.size());
  for (size_t end : ends) {
    std::string path = base;
    path.append("\\").append(relative, 0, end);
    CreateDirectoryA(path.c_str(), nullptr);
  }
}

std::string FolderPart(const std::string& relative) {
  std::vector<size_t> at = Separators(relative);
  return at.empty() ? "" : relative.substr(0, at.back());
}

}  // namespace

void Scenario::LayOut() {
  RegDeleteTreeA(HKEY_CURRENT_USER, RegistryKey().c_str());
  if (record.present) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, RegistryKey().c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, value] : record.values) {
      RegSetValueExA(key, name.c_str(), 0, value.first,
                     reinterpret_cast<const BYTE*>(value.second.data()),
                     static_cast<DWORD>(value.second.size()));
    }
    RegCloseKey(key);
  }

  MakeFolders(scratch_.path(), installRelative_);
  CreateDirectoryA(DataFolder().c_str(), nullptr);
  if (withSetupIni) {
    ASSERT_TRUE(WriteBytes(InstallFolder() + "\\SETUP.INI", setupIni.Text()));
  }
  for (const auto& [name, content] : installFiles) {
    std::string folder = FolderPart(name);
    if (!folder.empty()) MakeFolders(InstallFolder(), folder);
    ASSERT_TRUE(WriteBytes(InstallFolder() + "\\" + name, content));
  }

  if (noPayload) {
    ASSERT_TRUE(CopyUpdaterStub(UpdaterPath()));
    return;
  }
  std::vector<uint8_t> payload;
  if (rawPayload) {
    payload = *rawPayload;
  } else {
    std::vector<ArchiveFile> entries;
    if (withUpdateIni) entries.push_back({"UPDATE.INI", updateIni.Text() + updateIniMore});
    entries.insert(entries.end(), files.begin(), files.end());
    payload = MakeArchiveImage(entries);
  }
  ASSERT_TRUE(MakeUpdaterExe(payload, UpdaterPath(), nullptr, withDigest));
  if (!damagedPayloadBytes.empty()) {
    ASSERT_TRUE(FlipPayloadBytes(UpdaterPath(), damagedPayloadBytes));
  }
}

RunResult Scenario::Run(std::vector<int> answers, DWORD timeoutMs) {
  LayOut();
  if (testing::Test::HasFatalFailure()) return {};
  UpdaterProcess process(UpdaterPath(), std::move(answers));
  process.PlayWizard();
  return process.Wait(timeoutMs);
}

void ExpectEnd(const RunResult& run, DWORD exitCode) {
  EXPECT_TRUE(run.finished) << "the updater did not end by itself";
  EXPECT_EQ(run.exitCode, exitCode);
  EXPECT_TRUE(run.tempLeftovers.empty())
      << "left in the temporary folder: " << testing::PrintToString(run.tempLeftovers);
}

void ExpectBoxes(const RunResult& run, const std::vector<Box>& boxes) {
  ASSERT_EQ(run.boxes.size(), boxes.size()) << [&] {
    std::string seen;
    for (const SeenBox& b : run.boxes) seen += "\n  [" + b.title + "] " + b.text;
    return "boxes seen:" + seen;
  }();
  for (size_t i = 0; i < boxes.size(); i++) {
    SCOPED_TRACE("box " + std::to_string(i + 1));
    EXPECT_EQ(run.boxes[i].title, boxes[i].title);
    EXPECT_EQ(run.boxes[i].text, boxes[i].text);
    EXPECT_EQ(run.boxes[i].icon, boxes[i].icon);
    EXPECT_EQ(run.boxes[i].buttons, boxes[i].buttons);
    EXPECT_EQ(run.boxes[i].owner, nullptr);
  }
}

void ExpectLaunchSequenceReached(const RunResult& run) { ExpectEnd(run, 1); }

std::optional<std::string> FileText(const std::string& path) {
  if (!FileExists(path)) return std::nullopt;
  return ReadBytes(path);
}
