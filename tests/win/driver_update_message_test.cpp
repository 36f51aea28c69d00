// The notice's escape: backslash-n becomes a carriage return, double-byte
// characters are taken whole, and the output never overruns its buffer.
#include <gtest/gtest.h>

#include <string>

#include "driver/update_message.h"

namespace {

std::string Convert(const std::string& text, size_t outSize = 1024) {
  std::string out(outSize + 8, '#');  // sentinels after the buffer
  ConvertUpdateMessage(text.c_str(), out.data(), outSize);
  for (size_t i = outSize; i < out.size(); i++) {
    EXPECT_EQ(out[i], '#') << "written past the buffer at " << i;
  }
  return std::string(out.c_str());
}

TEST(UpdateMessage, BackslashNBecomesACarriageReturn) {
  EXPECT_EQ(Convert("A\\nB"), "A\rB");
  EXPECT_EQ(Convert("\\n\\n"), "\r\r");
  EXPECT_EQ(Convert("行1\\n行2"), "行1\r行2");
}

TEST(UpdateMessage, OtherBackslashesStay) {
  EXPECT_EQ(Convert("A\\\\nB"), "A\\\rB");  // backslash, then the escape
  EXPECT_EQ(Convert("C:\\game"), "C:\\game");
  EXPECT_EQ(Convert("end\\"), "end\\");
  EXPECT_EQ(Convert("\\N"), "\\N");  // only a small n
  EXPECT_EQ(Convert(""), "");
}

TEST(UpdateMessage, TrailByte5CIsNotABackslash) {
  // 表 is 0x95 0x5C and 能 is 0x94 0x5C: followed by n they are no escape.
  EXPECT_EQ(Convert("表n"), "表n");
  EXPECT_EQ(Convert("機能n設定"), "機能n設定");
  // A real escape right after such a character still counts.
  EXPECT_EQ(Convert("表\\n"), "表\r");
}

TEST(UpdateMessage, ALeadByteAtTheEndIsTakenAlone) {
  // 0x95 alone: a damaged character; the NUL after it ends the text.
  EXPECT_EQ(Convert("A\x95"), "A\x95");
}

TEST(UpdateMessage, ASmallBufferCutsAtACharacterBoundary) {
  EXPECT_EQ(Convert("ABCDEF", 4), "ABC");
  // "A表" needs 4 bytes with the NUL; with 3 the double-byte character is
  // left out whole rather than cut in half.
  EXPECT_EQ(Convert("A表", 3), "A");
  EXPECT_EQ(Convert("A\\nB", 2), "A");
  EXPECT_EQ(Convert("AB", 1), "");
}

TEST(UpdateMessage, ALongNoticeFitsItsBuffer) {
  // 1,023 bytes (the most UPDATE.INI can yield) never grow.
  std::string text;
  while (text.size() + 2 <= 1023) text += "\\n";
  text += "x";
  std::string out = Convert(text);
  EXPECT_EQ(out.size(), text.size() / 2 + 1);
  EXPECT_EQ(out.back(), 'x');
}

}  // namespace
