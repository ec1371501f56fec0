// Windows-1252 <-> UTF-8 for the bytes the program's texts carry.
#include "platform/text_codec.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(TextCodec, TheProgramsSpecialBytesBecomeTheirCharacters) {
    EXPECT_EQ(cp1252ToUtf8("45\xB0"
                           "C"),
              "45\u00B0C");
    EXPECT_EQ(cp1252ToUtf8("drive\x92s"), "drive\u2019s");
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(cp1252ToUtf8("\x9F\xFF\xE9"), "\u0178\u00FF\u00E9");
    EXPECT_EQ(cp1252ToUtf8("plain ASCII"), "plain ASCII");
    EXPECT_EQ(utf8ToCp1252("45\u00B0C \u2019 \u20AC"),
              "45\xB0"
              "C \x92 \x80");
}

TEST(TextCodec, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = cp1252ToUtf8(all);
    EXPECT_EQ(utf8ToCp1252(utf8), all);
    EXPECT_EQ(cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
}

TEST(TextCodec, WhatWindows1252CannotHoldBecomesAQuestionMark) {
    EXPECT_EQ(utf8ToCp1252("\u4E2D\U0001F600x"), "??x");
    EXPECT_EQ(utf8ToCp1252("\u0080"), "?") << "a C1 control that 1252 uses for another character";
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?") << "truncated sequence";
    EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "??") << "overlong form";
    EXPECT_EQ(utf8ToCp1252("\xED\xA0\x80"), "???") << "surrogate";
    EXPECT_EQ(utf8ToCp1252("\xFF"
                           "b"),
              "?b");
}

}  // namespace
}  // namespace platform
