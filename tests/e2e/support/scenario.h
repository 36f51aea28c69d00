// A scenario: one installed game (its registry record, its installation
// folder with SETUP.INI and files), one updater made for it, one run.
//
// The defaults describe a game that is installed and an update that passes
// every start-up check. A test changes only what it is about, runs, and
// checks what the player saw and what was left behind:
//
//   Scenario s;
//   s.updateIni.Erase("GameClass");
//   RunResult run = s.Run();
//   ExpectEnd(run, 0);
//   ExpectBoxes(run, {{"VARDELIX", "SETUP : GameClass キーが存在しません"}});
#ifndef E2E_SCENARIO_H
#define E2E_SCENARIO_H

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/updater_contract.h"  // the updater's messages that tests expect
#include "harness/test_env.h"
#include "updater_maker.h"
#include "updater_process.h"

// The section of an INI file as key=value lines in order. Written in CP932
// with CR LF line ends, as the publishers' tools write them.
struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> keys;

  // Replaces the key's value, or adds the key at the end.
  void Set(const std::string& key, const std::string& value);
  void Erase(const std::string& key);
  std::string Text() const;
};

// The registry values of the install record, as raw bytes with their type.
struct RegistryRecord {
  bool present = true;  // whether the key exists at all
  std::map<std::string, std::pair<DWORD, std::string>> values;

  void SetText(const std::string& name, const std::string& text);  // REG_SZ with its NUL
  void SetNumber(const std::string& name, DWORD value);            // REG_DWORD
  void SetBytes(const std::string& name, const std::string& bytes);  // REG_BINARY
  void Erase(const std::string& name);
};

// The game's identity, shared by UPDATE.INI, SETUP.INI and the registry key.
struct Game {
  std::string company = "テスト会社";
  std::string dir = "e2eGame";
  std::string title = "テストゲーム";
  std::string windowClass = "TestGameWindow";
};

class Scenario {
 public:
  explicit Scenario(Game game = Game());
  // Removes the registry key, the folders and the updater.
  ~Scenario();
  Scenario(const Scenario&) = delete;
  Scenario& operator=(const Scenario&) = delete;

  Game game;

  // The update: section SETUP of UPDATE.INI (the four required keys by
  // default), more raw INI text after it (section UPDATE and the like; by
  // default an item that completes the run without writing anything), and
  // the archive's other entries.
  IniSection updateIni;
  std::string updateIniMore;
  bool withUpdateIni = true;  // false: the archive has no UPDATE.INI entry
  std::vector<ArchiveFile> files;
  // The payload as it goes into the updater: the archive made of the above
  // unless rawPayload is given; noPayload makes the bare stub.
  std::optional<std::vector<uint8_t>> rawPayload;
  bool noPayload = false;
  // false: the updater as tools without the digest record make it.
  bool withDigest = true;
  // Payload bytes flipped in the finished updater (FlipPayloadBytes).
  std::vector<int64_t> damagedPayloadBytes;

  // The installed game: HKCU\Software\<company>\<dir> with InstPath (the
  // installation folder), DataPath (its data folder) and InstMode 1.
  RegistryRecord record;
  // The installation folder's SETUP.INI (a complete, valid one by default)
  // and further files in it, by name relative to the folder.
  IniSection setupIni;
  bool withSetupIni = true;
  std::map<std::string, std::string> installFiles;

  // Moves the installation to folder (relative to the scenario's scratch
  // folder; may have several levels) and points InstPath there.
  void SetInstallFolder(const std::string& relative);
  std::string InstallFolder() const;
  std::string DataFolder() const;
  std::string UpdaterPath() const { return scratch_.file("updater.exe"); }
  std::string RegistryKey() const;

  // Writes the registry record and the folders, and makes the updater.
  // Run does this itself; Start and tests that look at the layout call it.
  void LayOut();
  // Lays out, starts the updater, plays the wizard through if it opens
  // (UpdaterProcess::PlayWizard), waits for the end.
  RunResult Run(std::vector<int> answers = {}, DWORD timeoutMs = kRunTimeoutMs);

 private:
  ScratchDir scratch_;
  std::string installRelative_ = "Game";
};

// A message box as the player should see it.
struct Box {
  std::string title;
  std::string text;
  int icon = MB_ICONERROR;
  std::vector<int> buttons = {IDOK};
};

// The run ended by itself with exitCode and left no temporary UPDATE.INI.
void ExpectEnd(const RunResult& run, DWORD exitCode);
// Exactly these boxes, in this order, without an owner window.
void ExpectBoxes(const RunResult& run, const std::vector<Box>& boxes);
// The start-up sequence went through to the launch sequence, and the wizard,
// played through, finished the update: exit code 1.
void ExpectLaunchSequenceReached(const RunResult& run);

// Text of a file as a std::string of its bytes, or nothing when it is missing.
std::optional<std::string> FileText(const std::string& path);

#endif
