// The conversion between the locale's bytes and the widgets' Unicode.
#include "app/locale_text.h"

#include <gtest/gtest.h>

namespace kurvane::gui {
namespace {

TEST(ConverterFor, PicksCp932ForShiftJisAndUtf8ForPlainAscii)
{
    const struct {
        const char* codeset;
        const char* converter;
    } cases[] = {
        {"UTF-8", "UTF-8"},     {"utf8", "UTF-8"},          {"ANSI_X3.4-1968", "UTF-8"}, {"", "UTF-8"},
        {"SHIFT_JIS", "CP932"}, {"Shift-JIS", "CP932"},     {"SJIS", "CP932"},           {"WINDOWS-31J", "CP932"},
        {"EUC-JP", "EUC-JP"},   {"NO-SUCH-SET-9", "UTF-8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codeset);
        EXPECT_EQ(ConverterFor(c.codeset), c.converter);
    }
}

TEST(LocaleText, ShiftJisUsesTheWindowsMapping)
{
    const LocaleText sjis("SHIFT_JIS");
    // The backslash byte stays a backslash, 0x8160 is the full-width tilde, and
    // 0x87 0x40 (circled one) exists only in the Windows table.
    const std::string bytes = "C:\\\x95\x5C\x81\x60\x87\x40";
    const QString text = sjis.ToUnicode(bytes);
    EXPECT_EQ(text, QString::fromUtf8("C:\\表～①"));
    EXPECT_EQ(sjis.FromUnicode(text), bytes);
}

TEST(LocaleText, OtherCodeSetsRoundTrip)
{
    const LocaleText euc("EUC-JP");
    EXPECT_EQ(euc.FromUnicode(QString::fromUtf8("日本語")), "\xC6\xFC\xCB\xDC\xB8\xEC");
    EXPECT_EQ(euc.ToUnicode("\xC6\xFC\xCB\xDC\xB8\xEC"), QString::fromUtf8("日本語"));
    const LocaleText utf8("UTF-8");
    EXPECT_EQ(utf8.FromUnicode(QString::fromUtf8("日本語")), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
}

TEST(LocaleText, WhatCannotConvertIsMarkedAndTheRestGoesThrough)
{
    const LocaleText sjis("SHIFT_JIS");
    // An emoji has no Shift-JIS form: one "?" for the whole character.
    EXPECT_EQ(sjis.FromUnicode(QString::fromUtf8("a\U0001F600b")), "a?b");
    // A lone lead byte in the middle and at the end decodes to U+FFFD.
    EXPECT_EQ(sjis.ToUnicode("a\x81"
                             "\x20"
                             "b\x95"),
              QString::fromUtf8("a\uFFFD b\uFFFD"));
}

}  // namespace
}  // namespace kurvane::gui
