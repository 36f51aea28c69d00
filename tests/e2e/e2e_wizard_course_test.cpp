// The player's whole course through the real updater: the notice, the first
// page with its agreement, the confirmation, the run and "完了", with exit
// code 1 and the files and their times on disk; and "中止" on the first and
// on the confirmation page, which ends with "アップデートが中断されました"
// and exit code 0 with nothing written.
#include <gtest/gtest.h>
#include <windows.h>

#include "scenario.h"
#include "wizard_window.h"

namespace {

const char kCaption[] = "テストゲーム アップデータ 1.5";
const char kWelcome[] = "「テストゲーム」を 1.5 に更新します。\r\n100%% 無料です";
const char kAgreement[] = "使用許諾契約書\r\n\r\n第1条 本アップデートは…";

// FILETIMEs of the archive's entries and of the installed files.
constexpr uint64_t kEntryTime = 0x01D9500000000000ull;  // 2023
constexpr uint64_t kOlderTime = 0x01D0000000000000ull;  // 2014
constexpr uint64_t kNewerTime = 0x01DB000000000000ull;  // 2025

uint64_t LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

void SetLastWriteTime(const std::string& path, uint64_t time) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  FILETIME t = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  SetFileTime(file, nullptr, nullptr, &t);
  CloseHandle(file);
}

// An update with a notice, a first-page text, an agreement and items of
// every kind, for a game installed in mode 1.
class Course : public ::testing::Test {
 protected:
  void SetUp() override {
    s.updateIni.Set("UpdaterVersion", "1.5");
    s.updateIni.Set("UpdateMessage", "アップデートの前に\\nセーブして下さい");
    s.updateIni.Set("AgreementText", "KIYAKU.TXT");
    s.updateIni.Set("AgreementTitle", "WELCOME.TXT");
    s.updateIniMore =
        "[UPDATE]\r\n"
        "UpdateFile00=readme.txt\r\n"       // always written
        "UpdateFile01=u,data.pak\r\n"       // the installed one is older: replaced
        "UpdateFile02=u,keep.pak\r\n"       // the installed one is newer: kept
        "UpdateFile03=o,absent.dat\r\n"     // only over an existing file: passed over
        "UpdateFile04=d,save.dat\r\n"       // into the data folder, none there yet
        "UpdateFile05=1,u,sub\\new.dat\r\n" // install mode 1, into a sub-folder
        "UpdateFile06=2,mode2.dat\r\n";     // install mode 2 only: dropped
    s.files = {{"KIYAKU.TXT", kAgreement},
               {"WELCOME.TXT", kWelcome},
               {"readme.txt", "新しい説明書", kEntryTime},
               {"data.pak", "new data", kEntryTime},
               {"keep.pak", "archive keep", kEntryTime},
               {"absent.dat", "absent", kEntryTime},
               {"save.dat", "初期セーブ", kEntryTime},
               {"new.dat", std::string(300000, 'n'), kEntryTime},
               {"mode2.dat", "mode 2", kEntryTime}};
    s.installFiles["readme.txt"] = "古い説明書";
    s.installFiles["data.pak"] = "old data";
    s.installFiles["keep.pak"] = "player's keep";
    s.installFiles["sub\\placeholder"] = "";
    s.LayOut();
    SetLastWriteTime(Inst("data.pak"), kOlderTime);
    SetLastWriteTime(Inst("keep.pak"), kNewerTime);
  }

  std::string Inst(const std::string& name) const { return s.InstallFolder() + "\\" + name; }
  std::string Data(const std::string& name) const { return s.DataFolder() + "\\" + name; }

  // Starts the updater and waits for its wizard behind the notice.
  HWND Start(UpdaterProcess& process) {
    EXPECT_TRUE(process.Boxes().WaitForCount(1, kRunTimeoutMs));
    HWND wizard = WaitForWizard(process.pid(), kCaption, kRunTimeoutMs);
    EXPECT_NE(wizard, nullptr) << "no wizard titled with the caption";
    return wizard;
  }

  // The first page, with the agreement still refused.
  static void ExpectFirstPage(HWND wizard) {
    WizardView view = ReadWizard(wizard);
    EXPECT_EQ(view.title, kCaption);
    EXPECT_EQ(view[IDC_INFO].text, "「テストゲーム」を 1.5 に更新します。\r\n100% 無料です");
    EXPECT_EQ(view[IDC_AGREEMENT_TEXT].text, kAgreement);
    EXPECT_TRUE(view[IDC_AGREEMENT_TEXT].visible);
    EXPECT_TRUE(view[IDC_DISAGREE].checked);
    EXPECT_FALSE(view[IDC_AGREE].checked);
    EXPECT_FALSE(view[IDC_NEXT].enabled);
    EXPECT_FALSE(view[IDC_BACK].enabled);
    EXPECT_TRUE(view[IDC_STOP].enabled);
  }

  static void Agree(HWND wizard) {
    // Refusing again keeps "次へ" disabled; agreeing enables it.
    ASSERT_TRUE(ClickButton(wizard, IDC_DISAGREE));
    ASSERT_TRUE(ClickButton(wizard, IDC_AGREE));
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).enabled; }));
    EXPECT_TRUE(ReadControl(wizard, IDC_AGREE).checked);
    EXPECT_FALSE(ReadControl(wizard, IDC_DISAGREE).checked);
    ASSERT_TRUE(ClickButton(wizard, IDC_DISAGREE));
    ASSERT_TRUE(WaitUntil([&] { return !ReadControl(wizard, IDC_NEXT).enabled; }));
    EXPECT_TRUE(ReadControl(wizard, IDC_DISAGREE).checked);
    ASSERT_TRUE(ClickButton(wizard, IDC_AGREE));
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).enabled; }));
  }

  static void ToConfirmation(HWND wizard) {
    ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadControl(wizard, IDC_INFO).text == "アップデートを実行します"; }));
    WizardView view = ReadWizard(wizard);
    EXPECT_FALSE(view[IDC_AGREEMENT_TEXT].visible);
    EXPECT_FALSE(view[IDC_AGREE].visible);
    EXPECT_FALSE(view[IDC_DISAGREE].visible);
    EXPECT_TRUE(view[IDC_NEXT].enabled);
    EXPECT_FALSE(view[IDC_BACK].enabled);
    EXPECT_TRUE(view[IDC_STOP].enabled);
  }

  void ExpectNothingWritten() {
    EXPECT_EQ(ReadBytes(Inst("readme.txt")), "古い説明書");
    EXPECT_EQ(ReadBytes(Inst("data.pak")), "old data");
    EXPECT_FALSE(FileExists(Data("save.dat")));
    EXPECT_FALSE(FileExists(Inst("sub\\new.dat")));
  }

  // The whole course through the updater at s.UpdaterPath(), and what it
  // leaves on disk.
  void PlayerAgreesAndFinishes() {
    UpdaterProcess process(s.UpdaterPath());
    HWND wizard = Start(process);
    ASSERT_NE(wizard, nullptr);
    ExpectFirstPage(wizard);
    Agree(wizard);
    ToConfirmation(wizard);

    ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(wizard, IDC_NEXT).text == "完了"; },
                          kRunTimeoutMs));
    WizardView done = ReadWizard(wizard);
    EXPECT_EQ(done[IDC_INFO].text, "アップデートは完了しました");
    EXPECT_TRUE(done[IDC_NEXT].enabled);
    EXPECT_FALSE(done[IDC_STOP].enabled);
    EXPECT_FALSE(done[IDC_BACK].enabled);
    // The files are in place before the player closes the wizard.
    EXPECT_EQ(ReadBytes(Inst("readme.txt")), "新しい説明書");

    ASSERT_TRUE(ClickButton(wizard, IDC_NEXT));
    RunResult run = process.Wait();
    ExpectEnd(run, 1);
    ExpectBoxes(run, {{"UPDATE", "アップデートの前に\rセーブして下さい"}});

    EXPECT_EQ(ReadBytes(Inst("readme.txt")), "新しい説明書");
    EXPECT_EQ(LastWriteTime(Inst("readme.txt")), kEntryTime);
    EXPECT_EQ(ReadBytes(Inst("data.pak")), "new data");
    EXPECT_EQ(LastWriteTime(Inst("data.pak")), kEntryTime);
    EXPECT_EQ(ReadBytes(Inst("keep.pak")), "player's keep");
    EXPECT_EQ(LastWriteTime(Inst("keep.pak")), kNewerTime);
    EXPECT_FALSE(FileExists(Inst("absent.dat")));
    EXPECT_EQ(ReadBytes(Data("save.dat")), "初期セーブ");
    EXPECT_FALSE(FileExists(Inst("save.dat")));
    EXPECT_EQ(ReadBytes(Inst("sub\\new.dat")), std::string(300000, 'n'));
    EXPECT_EQ(LastWriteTime(Inst("sub\\new.dat")), kEntryTime);
    EXPECT_FALSE(FileExists(Inst("mode2.dat")));
    EXPECT_FALSE(FileExists(Inst("new.dat")));
  }

  Scenario s;
};

TEST_F(Course, PlayerAgreesAndFinishes) { PlayerAgreesAndFinishes(); }

// The publisher's way: a folder with UPDATE.INI and the files, and `fa2
// build`, which takes the stub from beside fa2.exe.
TEST_F(Course, UpdaterMadeByFa2Build) {
  ScratchDir folder;
  ASSERT_TRUE(WriteBytes(folder.file("UPDATE.INI"), s.updateIni.Text() + s.updateIniMore));
  for (const ArchiveFile& file : s.files) {
    ASSERT_TRUE(WriteBytes(folder.file(file.name), file.content));
    SetLastWriteTime(folder.file(file.name), file.fileTime);
  }
  ASSERT_TRUE(DeleteFileA(s.UpdaterPath().c_str()));
  std::string command = "\"" FA2_EXE "\" build \"" + folder.path() + "\" -o \"" +
                        s.UpdaterPath() + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION fa2 = {};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &fa2))
      << command;
  ASSERT_EQ(WaitForSingleObject(fa2.hProcess, kRunTimeoutMs), WAIT_OBJECT_0);
  DWORD exitCode = 99;
  GetExitCodeProcess(fa2.hProcess, &exitCode);
  CloseHandle(fa2.hThread);
  CloseHandle(fa2.hProcess);
  ASSERT_EQ(exitCode, 0u) << command;
  PlayerAgreesAndFinishes();
}

TEST_F(Course, StopOnTheFirstPage) {
  UpdaterProcess process(s.UpdaterPath());
  HWND wizard = Start(process);
  ASSERT_NE(wizard, nullptr);
  ExpectFirstPage(wizard);
  ASSERT_TRUE(ClickButton(wizard, IDC_STOP));
  RunResult run = process.Wait();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", "アップデートの前に\rセーブして下さい"},
                    {kCaption, kInterruptedMessage}});
  ExpectNothingWritten();
}

TEST_F(Course, StopOnTheConfirmationPage) {
  UpdaterProcess process(s.UpdaterPath());
  HWND wizard = Start(process);
  ASSERT_NE(wizard, nullptr);
  Agree(wizard);
  ToConfirmation(wizard);
  ASSERT_TRUE(ClickButton(wizard, IDC_STOP));
  RunResult run = process.Wait();
  ExpectEnd(run, 0);
  ExpectBoxes(run, {{"UPDATE", "アップデートの前に\rセーブして下さい"},
                    {kCaption, kInterruptedMessage}});
  ExpectNothingWritten();
}

}  // namespace
