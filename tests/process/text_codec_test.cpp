// cp932 texts: conversion to and from UTF-8, lossless carrying of bytes that are not cp932, and
// the fixed-width text fields of parameter records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process/text_codec.h"

namespace kandrel {
namespace {

// The private-use character that carries a byte cp932 does not decode.
std::string Escaped(unsigned char byte) {
  const char32_t c = 0xF700 + byte;
  return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
          static_cast<char>(0x80 | (c & 0x3F))};
}

TEST(TextCodecTest, ConvertsJapaneseBothWays) {
  EXPECT_EQ(EncodeCp932("あ"), "\x82\xA0");
  EXPECT_EQ(DecodeCp932("\x82\xA0"), "あ");
  EXPECT_EQ(DecodeCp932("\xB1"), "ｱ");  // half-width katakana is a single byte
  const std::string text = "Kandrel処理(*.knd)|ルート　グラフ";
  bool lossless = false;
  const std::string bytes = EncodeCp932(text, &lossless);
  EXPECT_TRUE(lossless);
  EXPECT_EQ(bytes.size(), 15u + 2 * 9);
  EXPECT_EQ(DecodeCp932(bytes), text);
  EXPECT_EQ(EncodeCp932(""), "");
  EXPECT_EQ(DecodeCp932(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextCodecTest, BytesThatAreNotCp932AreEscapedAndEncodeBackToThemselves) {
  EXPECT_EQ(DecodeCp932("\x80"), Escaped(0x80));
  EXPECT_EQ(DecodeCp932("\xFF" "a"), Escaped(0xFF) + "a");
  // A lead byte with an impossible trail: only the lead is escaped, the trail stays a letter.
  EXPECT_EQ(DecodeCp932("\x82 "), Escaped(0x82) + " ");
  // A lead byte cut off at the end of a field.
  EXPECT_EQ(DecodeCp932("a\x82"), "a" + Escaped(0x82));
  bool lossless = false;
  EXPECT_EQ(EncodeCp932("a" + Escaped(0x82), &lossless), "a\x82");
  EXPECT_TRUE(lossless);

  // Whatever a file holds, decoding and encoding again gives the same bytes.
  for (int first = 0; first < 256; ++first) {
    const std::string one(1, static_cast<char>(first));
    ASSERT_EQ(EncodeCp932(DecodeCp932(one)), one) << first;
    if (first < 0x81) continue;
    for (int second = 0; second < 256; ++second) {
      const std::string two{static_cast<char>(first), static_cast<char>(second)};
      ASSERT_EQ(EncodeCp932(DecodeCp932(two), &lossless), two) << first << " " << second;
      ASSERT_TRUE(lossless) << first << " " << second;
    }
  }
}

TEST(TextCodecTest, UnencodableCharactersBecomeQuestionMarks) {
  bool lossless = true;
  EXPECT_EQ(EncodeCp932("a😀b", &lossless), "a?b");
  EXPECT_FALSE(lossless);
  lossless = true;
  EXPECT_EQ(EncodeCp932("한あ", &lossless), "?\x82\xA0");
  EXPECT_FALSE(lossless);
  lossless = true;
  EXPECT_EQ(EncodeCp932("x\xC3", &lossless), "x?");  // UTF-8 cut in the middle of a character
  EXPECT_FALSE(lossless);
  EXPECT_EQ(EncodeCp932("\xE3\x81"), "??");
}

TEST(TextCodecTest, FixedFieldsAreBoundedAndZeroPadded) {
  std::vector<char> field(8, '\xCC');
  StoreFixedText("abc", field.data(), field.size());
  EXPECT_EQ(std::string(field.data(), field.size()), std::string("abc\0\0\0\0\0", 8));
  EXPECT_EQ(LoadFixedText(field.data(), field.size()), "abc");

  // The field ends inside the second character; its lead byte survives a load and a store.
  std::vector<char> narrow(3);
  StoreFixedText("あい", narrow.data(), narrow.size());
  EXPECT_EQ(std::string(narrow.data(), 3), "\x82\xA0\x82");
  const std::string loaded = LoadFixedText(narrow.data(), narrow.size());
  EXPECT_EQ(loaded, "あ" + Escaped(0x82));
  std::vector<char> again(3);
  StoreFixedText(loaded, again.data(), again.size());
  EXPECT_EQ(again, narrow);

  // A full field has no terminator; the load must stop at its end (ASan watches the heap block).
  std::vector<char> full(100, 'n');
  EXPECT_EQ(LoadFixedText(full.data(), full.size()), std::string(100, 'n'));
  StoreFixedText(std::string(150, 'm'), full.data(), full.size());
  EXPECT_EQ(std::string(full.data(), full.size()), std::string(100, 'm'));

  const char stopped[6] = {'a', 'b', 0, 'c', 'd', 0};
  EXPECT_EQ(LoadFixedText(stopped, sizeof stopped), "ab");
  StoreFixedText("", field.data(), field.size());
  EXPECT_EQ(field, std::vector<char>(8, 0));
}

}  // namespace
}  // namespace kandrel
