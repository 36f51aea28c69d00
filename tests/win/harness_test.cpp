// The test bed itself: the code page the updater's texts rely on, and the
// message-box watcher that every other windows test depends on.
#include <gtest/gtest.h>
#include <windows.h>

#include "harness/message_boxes.h"
#include "harness/test_env.h"

TEST(TestBed, AnsiCodePageIsJapanese) { EXPECT_EQ(GetACP(), 932u); }

TEST(TestBed, Cp932LiteralsReachTheBinaryAsShiftJis) {
  // "表" is 0x95 0x5C in Shift-JIS: its trail byte is a backslash.
  const char text[] = "表";
  ASSERT_EQ(sizeof text, 3u);
  EXPECT_EQ(static_cast<unsigned char>(text[0]), 0x95);
  EXPECT_EQ(static_cast<unsigned char>(text[1]), 0x5C);
}

TEST(MessageBoxWatcher, RecordsWhatThePlayerSeesAndAnswersByScript) {
  MessageBoxWatcher watcher;
  watcher.Script({IDCANCEL});
  int first = MessageBoxA(nullptr, "ＣＤ－ＲＯＭドライブに入れて下さい", "タイトル", MB_OKCANCEL);
  int second = MessageBoxA(nullptr, "RESOURCE READ ERROR", "UPDATE", MB_ICONERROR);
  EXPECT_EQ(first, IDCANCEL);
  EXPECT_EQ(second, IDOK);

  auto boxes = watcher.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "タイトル");
  EXPECT_EQ(boxes[0].text, "ＣＤ－ＲＯＭドライブに入れて下さい");
  EXPECT_EQ(boxes[0].icon, 0);
  EXPECT_EQ(boxes[0].buttons, (std::vector<int>{IDOK, IDCANCEL}));
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[1].title, "UPDATE");
  EXPECT_EQ(boxes[1].text, "RESOURCE READ ERROR");
  EXPECT_EQ(boxes[1].icon, MB_ICONERROR);
  EXPECT_EQ(boxes[1].buttons, std::vector<int>{IDOK});
}

TEST(MessageBoxWatcher, ReportsTheOwnerWindow) {
  MessageBoxWatcher watcher;
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                               100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  MessageBoxA(owner, "text", "title", MB_ICONWARNING);
  DestroyWindow(owner);
  auto boxes = watcher.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, owner);
  EXPECT_EQ(boxes[0].icon, MB_ICONWARNING);
}

TEST(ScratchDir, IsCreatedAndRemoved) {
  std::string kept;
  {
    ScratchDir dir;
    kept = dir.path();
    ASSERT_TRUE(WriteBytes(dir.file("a.bin"), std::string("x\0y", 3)));
    EXPECT_EQ(ReadBytes(dir.file("a.bin")), std::string("x\0y", 3));
  }
  EXPECT_FALSE(FileExists(kept));
}
