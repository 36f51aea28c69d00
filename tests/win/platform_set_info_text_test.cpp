// SetInfoText on the wizard's dialog (template 100 of this program): the
// formatting rules, the whole text replaced, and the 1,023-byte limit.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/set_info_text.h"
#include "resources/dialog_ids.h"

namespace {

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class InfoText : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr,
                                 QuietDialog, 0);
    ASSERT_NE(dialog_, nullptr);
  }
  void TearDown() override { DestroyWindow(dialog_); }
  std::string Info() const {
    char text[4096] = "";
    GetDlgItemTextA(dialog_, IDC_INFO, text, sizeof text);
    return text;
  }
  HWND dialog_ = nullptr;
};

TEST_F(InfoText, FormatsItsArgumentsAndReplacesTheWholeText) {
  EXPECT_EQ(Info(), "Info");
  SetInfoText(dialog_, "%s をコピーしています", "movie\\op.dat");
  EXPECT_EQ(Info(), "movie\\op.dat をコピーしています");
  SetInfoText(dialog_, "ディスク %i / %I64u%%", -3, 5000000000ull);
  EXPECT_EQ(Info(), "ディスク -3 / 5000000000%");
  SetInfoText(dialog_, "");
  EXPECT_EQ(Info(), "");
}

TEST_F(InfoText, CarriageReturnIsKept) {
  SetInfoText(dialog_, "a\rb");
  EXPECT_EQ(Info(), "a\rb");
}

TEST_F(InfoText, LongTextIsCutTo1023Bytes) {
  const std::string argument(5000, 'x');
  SetInfoText(dialog_, "<%s>", argument.c_str());
  EXPECT_EQ(Info(), "<" + std::string(1022, 'x'));
  const std::string format(2000, 'y');
  SetInfoText(dialog_, format.c_str());
  EXPECT_EQ(Info(), std::string(1023, 'y'));
}

}  // namespace
