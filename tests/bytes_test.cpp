#include <gtest/gtest.h>

#include "measure/bytes.h"

namespace kurvane {
namespace {

TEST(Bytes, TrimRemovesEveryByteUpToBlankAtBothEnds)
{
    EXPECT_EQ(Trim(std::string("\x01\t\r\n  a b \x1f\x20", 10)), "a b");
    EXPECT_EQ(Trim("   "), "");
    // Bytes above 32 stay, also the lead bytes of multi-byte characters.
    EXPECT_EQ(Trim("\x81\x40x\x7f"), "\x81\x40x\x7f");
}

TEST(Bytes, CaseFoldingTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(UpperAscii("abz{`@\xe3\x81\x82\xc3\xa4"), "ABZ{`@\xe3\x81\x82\xc3\xa4");
    EXPECT_EQ(CompareIgnoreCase("a.GIF", "A.gif"), 0);
    EXPECT_LT(CompareIgnoreCase("a", "B"), 0);
    EXPECT_LT(CompareIgnoreCase("ab", "abc"), 0);
    EXPECT_GT(CompareIgnoreCase("\xe3", "z"), 0);  // bytes compare unsigned
}

TEST(Bytes, PositionsCountFromOneAndZeroMeansNotFound)
{
    EXPECT_EQ(Pos("/", "host/a/b"), 5u);
    EXPECT_EQ(Pos("//", "host/a"), 0u);
    EXPECT_EQ(PosIgnoreCase(".gif", "x.GiF"), 2u);
    EXPECT_EQ(PosIgnoreCase(".gif", "x.gi"), 0u);
    EXPECT_TRUE(StartsWithIgnoreCase("hTtP://x", "HTTP://"));
    EXPECT_FALSE(StartsWithIgnoreCase("HTTP:/", "HTTP://"));
}

TEST(Bytes, ReplacementResumesAfterTheInsertedText)
{
    EXPECT_EQ(ReplaceAllIgnoreCase("a&X&b&x&", "&x&", "[&x&]"), "a[&x&]b[&x&]");
    EXPECT_EQ(ReplaceAllIgnoreCase("&r&r&", "&r&", "1"), "1r&");
    EXPECT_EQ(ReplaceAllIgnoreCase("none", "&r&", "1"), "none");
}

struct IntCase {
    const char* name;
    const char* text;
    std::optional<std::int32_t> value;
};

TEST(Bytes, IntegerConversion)
{
    const IntCase cases[] = {
        {"plain", "128", 128},
        {"leading blanks", "   42", 42},
        {"plus sign", "+7", 7},
        {"minus sign", "-5", -5},
        {"dollar hex", "$80", 128},
        {"x hex", "x1F", 31},
        {"X hex", "XfF", 255},
        {"0x hex", "0x10", 16},
        {"0X hex", "0X10", 16},
        {"hex wraps into the signed range", "$FFFFFFFF", -1},
        {"hex beyond 32 bits", "$100000000", std::nullopt},
        {"largest", "2147483647", 2147483647},
        {"smallest", "-2147483648", INT32_MIN},
        {"just too large", "2147483648", std::nullopt},
        {"just too small", "-2147483649", std::nullopt},
        {"trailing blank", "128 ", std::nullopt},
        {"empty", "", std::nullopt},
        {"only blanks", "   ", std::nullopt},
        {"sign alone", "-", std::nullopt},
        {"prefix alone", "$", std::nullopt},
        {"0x alone", "0x", std::nullopt},
        {"signed hex", "-$10", std::nullopt},
        {"tab in front", "\t1", std::nullopt},
        {"letters", "abc", std::nullopt},
        {"decimal point", "1.0", std::nullopt},
        {"leading zeros", "0080", 80},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TextToInt(c.text), c.value);
    }
}

struct FloatCase {
    const char* name;
    const char* text;
    const char* separator;
    std::optional<double> value;
};

TEST(Bytes, FloatConversion)
{
    const FloatCase cases[] = {
        {"plain", "0.3", ".", 0.3},
        {"blanks around", "  0.5  ", ".", 0.5},
        {"exponent", "1e2", ".", 100},
        {"signed exponent", "25E-1", ".", 2.5},
        {"negative", "-2", ".", -2},
        {"no whole part", ".25", ".", 0.25},
        {"no fraction digits", "3.", ".", 3},
        {"comma locale", "0,3", ",", 0.3},
        {"full stop in a comma locale", "0.3", ",", std::nullopt},
        {"empty", "", ".", std::nullopt},
        {"separator alone", ".", ".", std::nullopt},
        {"exponent without digits", "1e", ".", std::nullopt},
        {"letters after", "1x", ".", std::nullopt},
        {"hexadecimal float", "0x1p3", ".", std::nullopt},
        {"infinity", "inf", ".", std::nullopt},
        {"not a number", "nan", ".", std::nullopt},
        {"too large for a double", "1e400", ".", std::nullopt},
        {"underflow is zero", "1e-400", ".", 0.0},
        {"largest double", "1.7976931348623157e308", ".", 1.7976931348623157e308},
        {"tab", "\t1", ".", std::nullopt},
    };
    for (const FloatCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TextToFloat(c.text, c.separator), c.value);
    }
}

}  // namespace
}  // namespace kurvane
