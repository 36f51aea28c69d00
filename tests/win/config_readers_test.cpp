// The INI readers, the configuration error box and the Win32 list and item
// wrappers, on real Shift-JIS files with CR LF line ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "common/updater_state_win32.h"
#include "config/settings_access_win32.h"
#include "config/update_items_win32.h"
#include "harness/message_boxes.h"
#include "harness/test_env.h"

namespace {

class ConfigReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUpdaterState();
    const std::string setup = dir_.file("SETUP.INI");
    const std::string update = dir_.file("UPDATE.INI");
    ASSERT_TRUE(WriteBytes(setup,
                           "; installed game\r\n"
                           "[SETUP]\r\n"
                           "GameTitle=ヴァルデの森\r\n"
                           "Empty=\r\n"
                           "Long=ABCDEFGHIJ\r\n"
                           "Mixed=12abc\r\n"
                           "Words=abc\r\n"
                           "Negative=-42\r\n"
                           "Huge=99999999999\r\n"
                           "Tiny=-99999999999\r\n"
                           "Padded=0000000000000000000123\r\n"
                           "[OTHER]\r\n"
                           "Elsewhere=1\r\n"));
    ASSERT_TRUE(WriteBytes(update,
                           "[SETUP]\r\n"
                           "CompanyName=ヴァルデ\r\n"
                           "[UPDATE]\r\n"
                           "UpdateFile00=1,u,表\\ソ.dat\r\n"
                           "Blank=\r\n"));
    std::strcpy(State.SetupIniPath, setup.c_str());
    std::strcpy(State.UpdateIniPath, update.c_str());
  }

  // The one box that the call under test showed: the configuration error
  // box with this text.
  void ExpectOneErrorBox(const std::string& text, HWND owner = nullptr) {
    const auto seen = boxes_.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "VARDELIX");
    EXPECT_EQ(seen[0].text, text);
    EXPECT_EQ(seen[0].icon, MB_ICONERROR);
    EXPECT_EQ(seen[0].buttons, std::vector<int>{IDOK});
    EXPECT_EQ(seen[0].owner, owner);
  }

  ScratchDir dir_;
  MessageBoxWatcher boxes_;
};

TEST_F(ConfigReaders, SetupKeyPresent) {
  char out[kPathSize];
  ASSERT_EQ(ReadSetupKey("GameTitle", out, sizeof out), 1);
  EXPECT_STREQ(out, "ヴァルデの森");
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(ConfigReaders, MissingOrEmptyKeyIsReported) {
  for (const char* key : {"NoSuchKey", "Empty", "Elsewhere"}) {
    char out[16];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ReadSetupKey(key, out, sizeof out), 0) << key;
    EXPECT_EQ(std::string(out, sizeof out), std::string(sizeof out, '\0')) << key;
  }
  const auto seen = boxes_.Boxes();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, "SETUP.INI : NoSuchKey キーが存在しません");
  EXPECT_EQ(seen[1].text, "SETUP.INI : Empty キーが存在しません");
  EXPECT_EQ(seen[2].text, "SETUP.INI : Elsewhere キーが存在しません");
  for (const auto& box : seen) {
    EXPECT_EQ(box.title, "VARDELIX");
    EXPECT_EQ(box.icon, MB_ICONERROR);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.owner, nullptr);
  }
}

TEST_F(ConfigReaders, MissingFileLooksLikeMissingKey) {
  std::strcpy(State.SetupIniPath, dir_.file("NOWHERE.INI").c_str());
  char out[8];
  EXPECT_EQ(ReadSetupKey("GameTitle", out, sizeof out), 0);
  ExpectOneErrorBox("SETUP.INI : GameTitle キーが存在しません");
}

TEST_F(ConfigReaders, OptionalKeysFailSilently) {
  State.KeysOptional = 1;
  char out[8];
  int value = 5;
  EXPECT_EQ(ReadSetupKey("NoSuchKey", out, sizeof out), 0);
  EXPECT_EQ(ReadSetupInt("NoSuchKey", &value), 0);
  EXPECT_EQ(ReadUpdateKey("UPDATE", "UpdateFile01", out, sizeof out), 0);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(ConfigReaders, LongValueArrivesCut) {
  char out[8];
  ASSERT_EQ(ReadSetupKey("Long", out, sizeof out), 1);
  EXPECT_STREQ(out, "ABCDEFG");
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(ConfigReaders, UpdateKeys) {
  char out[kLongTextSize];
  ASSERT_EQ(ReadUpdateKey("SETUP", "CompanyName", out, kPathSize), 1);
  EXPECT_STREQ(out, "ヴァルデ");
  ASSERT_EQ(ReadUpdateKey("UPDATE", "UpdateFile00", out, sizeof out), 1);
  EXPECT_STREQ(out, "1,u,表\\ソ.dat");

  EXPECT_EQ(ReadUpdateKey("UPDATE", "Blank", out, sizeof out), 0);
  ExpectOneErrorBox("UPDATE : Blank キーが存在しません");
}

TEST_F(ConfigReaders, SetupIntConversions) {
  struct {
    const char* key;
    int expected;
  } cases[] = {
      {"Mixed", 12},
      {"Words", 0},
      {"Negative", -42},
      {"Huge", 2147483647},
      {"Tiny", -2147483647 - 1},
      {"Padded", 0},  // only 19 characters are seen: all zeros
  };
  for (const auto& c : cases) {
    int value = 77;
    EXPECT_EQ(ReadSetupInt(c.key, &value), 1) << c.key;
    EXPECT_EQ(value, c.expected) << c.key;
  }
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(ConfigReaders, SetupIntMissingLeavesTheInteger) {
  int value = 77;
  EXPECT_EQ(ReadSetupInt("NoSuchKey", &value), 0);
  EXPECT_EQ(value, 77);
  ExpectOneErrorBox("SETUP.INI : NoSuchKey キーが存在しません");
}

TEST_F(ConfigReaders, ErrorBoxHasTheOwnerWindow) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  State.OwnerWindow = owner;
  ShowSetupError("SETUP.INI : テスト");
  ExpectOneErrorBox("SETUP.INI : テスト", owner);
  DestroyWindow(owner);
}

TEST_F(ConfigReaders, NextListItemFillsSlotsAndDiscNumber) {
  std::string list = "2:";
  list.append(300, 'L');
  list += ", 表.dat";
  char slots[2][kPathSize + 16];
  std::memset(slots, '#', sizeof slots);
  const char* cursor = list.c_str();
  ASSERT_EQ(NextListItem(slots[0], cursor), 1);
  EXPECT_EQ(std::string(slots[0]), std::string(kPathSize - 1, 'L'));
  EXPECT_EQ(slots[0][kPathSize], '#') << "written past the 260-byte slot";
  EXPECT_EQ(State.LastDiscNumber, 2);
  ASSERT_EQ(NextListItem(slots[1], cursor), 1);
  EXPECT_STREQ(slots[1], "表.dat");
  EXPECT_EQ(NextListItem(slots[1], cursor), 0);
}

TEST_F(ConfigReaders, ItemWrappersUseTheInstallRecordAndCodePage) {
  State.InstMode = 1;
  UpdateItem item;
  ASSERT_EQ(TakeUpdateItem("1,u,表\\ソ.dat", item), 1);
  EXPECT_EQ(item.Kind, UpdateKind::Update);
  EXPECT_STREQ(item.ItemName + item.BaseOffset, "ソ.dat");
  EXPECT_EQ(TakeUpdateItem("2,u,a.dat", item), 0);

  DiscCopyItem disc;
  ASSERT_EQ(TakeDiscCopyItem("1,2:movie\\op.dat", disc), 1);
  EXPECT_EQ(disc.DiscNumber, 2);
  EXPECT_STREQ(disc.Path, "movie\\op.dat");
  EXPECT_EQ(TakeDiscCopyItem("3,2:movie", disc), 0);
}

}  // namespace
