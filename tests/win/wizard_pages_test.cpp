// The wizard's first and confirmation pages, opened from this program's own
// templates 100 and 101 with the updater's dialog procedure, as the player
// sees and uses them: texts, which buttons can be pressed, the agreement,
// and every way to stop before the update runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/updater_state_win32.h"
#include "harness/dialog_thread.h"
#include "resources/dialog_ids.h"

namespace {

const char kCaption[] = "テストゲーム アップデータ 1.02";

// A text block as the start-up sequence makes it from an archive entry:
// zero-filled and two bytes longer than the entry.
char* EntryBlock(const std::string& entry) {
  char* block = static_cast<char*>(GlobalAlloc(GPTR, entry.size() + 2));
  CopyMemory(block, entry.data(), entry.size());
  return block;
}

class WizardPages : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUpdaterState();
    lstrcpyA(State.Caption, kCaption);
    lstrcpyA(State.GameTitle, "テストゲーム");
  }
  void TearDown() override {
    if (State.WelcomeBuffer) GlobalFree(State.WelcomeBuffer);
    if (State.AgreementBuffer) GlobalFree(State.AgreementBuffer);
    ResetUpdaterState();
  }

  // Opens the wizard and returns its window once the player can see it.
  HWND Open(DialogThread& wizard) {
    HWND dialog = wizard.WaitForDialog();
    EXPECT_NE(dialog, nullptr) << "the wizard did not appear";
    return dialog;
  }
};

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool Checked(HWND dialog, int id) {
  return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string InfoText(HWND dialog) { return ControlText(dialog, IDC_INFO); }

void ExpectConfirmPage(HWND dialog) {
  EXPECT_EQ(InfoText(dialog), "アップデートを実行します");
  EXPECT_TRUE(Enabled(dialog, IDC_NEXT));
  EXPECT_TRUE(Enabled(dialog, IDC_STOP));
  EXPECT_FALSE(Enabled(dialog, IDC_BACK));
  EXPECT_EQ(State.WizardStep, 1);
  EXPECT_EQ(State.WizardBusy, 0);
}

TEST_F(WizardPages, WithoutAgreementTheFirstPageLeadsToTheConfirmation) {
  DialogThread wizard(DialogThread::Wizard(IDD_UPDATE));
  HWND dialog = Open(wizard);
  ASSERT_NE(dialog, nullptr);

  // The title is the caption from the moment the player sees the window.
  EXPECT_EQ(wizard.firstTitle(), kCaption);
  EXPECT_EQ(State.OwnerWindow, dialog);
  EXPECT_EQ(InfoText(dialog), "「テストゲーム」のアップデートを開始します");
  EXPECT_TRUE(Enabled(dialog, IDC_NEXT));
  EXPECT_TRUE(Enabled(dialog, IDC_STOP));
  EXPECT_FALSE(Enabled(dialog, IDC_BACK));
  EXPECT_EQ(GetDlgItem(dialog, IDC_AGREEMENT_TEXT), nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_NEXT), "次へ");

  // "戻る" cannot be pressed on the first page.
  EXPECT_FALSE(Click(dialog, IDC_BACK));
  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(WaitFor([&] { return State.WizardStep == 1; }));
  ExpectConfirmPage(dialog);
  EXPECT_FALSE(wizard.ended());

  ASSERT_TRUE(Click(dialog, IDC_STOP));
  ASSERT_TRUE(wizard.WaitForEnd());
  EXPECT_EQ(wizard.result(), -1);
}

// What the first page shows for a first-page text or a game title. Such
// texts come from files: a conversion in them ("%s", "%d") is shown as it
// is and never reads an argument; two percent signs show as one; at most
// 1,023 bytes are shown, never half a double-byte character.
struct WelcomeCase {
  const char* name;
  bool withWelcome;   // a WelcomeBuffer, or the default text from the title
  std::string text;   // the entry's bytes, or the game's title
  std::string shown;  // the Info text
};

class WelcomeText : public WizardPages, public ::testing::WithParamInterface<WelcomeCase> {};

TEST_P(WelcomeText, IsShownOnTheFirstPage) {
  const WelcomeCase& c = GetParam();
  if (c.withWelcome) {
    State.WelcomeBuffer = EntryBlock(c.text);
  } else {
    lstrcpyA(State.GameTitle, c.text.c_str());
  }
  DialogThread wizard(DialogThread::Wizard(IDD_UPDATE));
  HWND dialog = Open(wizard);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(InfoText(dialog), c.shown);
  EXPECT_TRUE(Click(dialog, IDC_STOP));
  EXPECT_TRUE(wizard.WaitForEnd());
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WelcomeText,
    ::testing::Values(
        WelcomeCase{"Entry", true, "ようこそ。\r\n新しいシナリオを追加します", "ようこそ。\r\n新しいシナリオを追加します"},
        WelcomeCase{"EmptyEntryShowsNothing", true, "", ""},
        WelcomeCase{"EntryPercentSigns", true, "進行度 100%% %s %d %i 50% %",
                    "進行度 100% %s %d %i 50% %"},
        WelcomeCase{"TitleWithConversions", false, "ゲーム%s%d%%版",
                    "「ゲーム%s%d%版」のアップデートを開始します"},
        WelcomeCase{"LongEntryIsCut", true, std::string(2000, 'a'), std::string(1023, 'a')},
        WelcomeCase{"CutCountsShownBytes", true, Repeat("%%", 600) + "end",
                    std::string(600, '%') + "end"},
        WelcomeCase{"CutKeepsWholeCharacters", true, std::string(1022, 'b') + "表示",
                    std::string(1022, 'b')},
        WelcomeCase{"CutAtACharacterBoundary", true, std::string(1021, 'c') + "表示",
                    std::string(1021, 'c') + "表"}),
    [](const ::testing::TestParamInfo<WelcomeCase>& info) { return std::string(info.param.name); });

TEST_F(WizardPages, AgreementMustBeAcceptedBeforeNext) {
  const std::string agreement = "使用許諾契約書\r\n第1条 本ソフトウェアの著作権は…\r\n第2条 100%% %s";
  State.AgreementBuffer = EntryBlock(agreement);
  DialogThread wizard(DialogThread::Wizard(IDD_UPDATE_AGREEMENT));
  HWND dialog = Open(wizard);
  ASSERT_NE(dialog, nullptr);

  EXPECT_EQ(wizard.firstTitle(), kCaption);
  EXPECT_EQ(InfoText(dialog), "「テストゲーム」のアップデートを開始します");
  // The agreement is shown as it is, percent signs included.
  EXPECT_EQ(ControlText(dialog, IDC_AGREEMENT_TEXT), agreement);
  for (int id : {IDC_AGREEMENT_TEXT, IDC_AGREE, IDC_DISAGREE}) {
    EXPECT_TRUE(Visible(dialog, id)) << id;
    EXPECT_TRUE(Enabled(dialog, id)) << id;
  }
  EXPECT_TRUE(Checked(dialog, IDC_DISAGREE));
  EXPECT_FALSE(Checked(dialog, IDC_AGREE));
  EXPECT_FALSE(Enabled(dialog, IDC_NEXT));
  EXPECT_FALSE(Enabled(dialog, IDC_BACK));
  EXPECT_TRUE(Enabled(dialog, IDC_STOP));

  // A stray "次へ" while the player disagrees does not pass the agreement.
  PostCommand(dialog, IDC_NEXT);
  ASSERT_TRUE(Click(dialog, IDC_DISAGREE));
  ASSERT_TRUE(WaitFor([&] { return Checked(dialog, IDC_DISAGREE); }));
  EXPECT_EQ(State.WizardStep, 0);
  EXPECT_FALSE(Enabled(dialog, IDC_NEXT));

  ASSERT_TRUE(Click(dialog, IDC_AGREE));
  ASSERT_TRUE(WaitFor([&] { return Enabled(dialog, IDC_NEXT); }));
  EXPECT_TRUE(Checked(dialog, IDC_AGREE));
  EXPECT_FALSE(Checked(dialog, IDC_DISAGREE));

  ASSERT_TRUE(Click(dialog, IDC_DISAGREE));
  ASSERT_TRUE(WaitFor([&] { return !Enabled(dialog, IDC_NEXT); }));
  EXPECT_TRUE(Checked(dialog, IDC_DISAGREE));
  EXPECT_FALSE(Checked(dialog, IDC_AGREE));

  ASSERT_TRUE(Click(dialog, IDC_AGREE));
  ASSERT_TRUE(WaitFor([&] { return Enabled(dialog, IDC_NEXT); }));
  ASSERT_TRUE(Click(dialog, IDC_NEXT));
  ASSERT_TRUE(WaitFor([&] { return State.WizardStep == 1; }));

  // The confirmation page hides the agreement and its choices.
  ExpectConfirmPage(dialog);
  for (int id : {IDC_AGREEMENT_TEXT, IDC_AGREE, IDC_DISAGREE}) EXPECT_FALSE(Visible(dialog, id));

  ASSERT_TRUE(Click(dialog, IDC_STOP));
  ASSERT_TRUE(wizard.WaitForEnd());
  EXPECT_EQ(wizard.result(), -1);
}

TEST_F(WizardPages, EmptyAgreementStillAsks) {
  State.AgreementBuffer = EntryBlock("");
  DialogThread wizard(DialogThread::Wizard(IDD_UPDATE_AGREEMENT));
  HWND dialog = Open(wizard);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_AGREEMENT_TEXT), "");
  EXPECT_TRUE(Visible(dialog, IDC_AGREE));
  EXPECT_TRUE(Checked(dialog, IDC_DISAGREE));
  EXPECT_FALSE(Enabled(dialog, IDC_NEXT));
}

// "中止", the Escape key and the close box end the wizard with -1 on the
// first and on the confirmation page.
enum class StopBy { Button, Escape, CloseBox };
struct StopCase {
  const char* name;
  int templateId;
  bool onConfirmPage;
  StopBy how;
};

class StopBeforeTheRun : public WizardPages, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopBeforeTheRun, EndsWithMinusOne) {
  const StopCase& c = GetParam();
  if (c.templateId == IDD_UPDATE_AGREEMENT) State.AgreementBuffer = EntryBlock("規約");
  DialogThread wizard(DialogThread::Wizard(c.templateId));
  HWND dialog = Open(wizard);
  ASSERT_NE(dialog, nullptr);
  if (c.onConfirmPage) {
    if (c.templateId == IDD_UPDATE_AGREEMENT) {
      ASSERT_TRUE(Click(dialog, IDC_AGREE));
    }
    ASSERT_TRUE(WaitFor([&] { return Enabled(dialog, IDC_NEXT); }));
    ASSERT_TRUE(Click(dialog, IDC_NEXT));
    ASSERT_TRUE(WaitFor([&] { return State.WizardStep == 1; }));
  }
  switch (c.how) {
    case StopBy::Button: ASSERT_TRUE(Click(dialog, IDC_STOP)); break;
    case StopBy::Escape: PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0); break;
    case StopBy::CloseBox: PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
  }
  ASSERT_TRUE(wizard.WaitForEnd());
  EXPECT_EQ(wizard.result(), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, StopBeforeTheRun,
    ::testing::Values(StopCase{"FirstPageButton", IDD_UPDATE, false, StopBy::Button},
                      StopCase{"FirstPageEscape", IDD_UPDATE, false, StopBy::Escape},
                      StopCase{"FirstPageCloseBox", IDD_UPDATE, false, StopBy::CloseBox},
                      StopCase{"AgreementPageEscape", IDD_UPDATE_AGREEMENT, false, StopBy::Escape},
                      StopCase{"ConfirmPageButton", IDD_UPDATE, true, StopBy::Button},
                      StopCase{"ConfirmPageEscape", IDD_UPDATE_AGREEMENT, true, StopBy::Escape},
                      StopCase{"ConfirmPageCloseBox", IDD_UPDATE, true, StopBy::CloseBox}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

}  // namespace
