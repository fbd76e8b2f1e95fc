// Byte-string helpers. Every text the core handles is a string of bytes in the
// user's character set; nothing here decodes. Positions count from 1 and a
// search that finds nothing gives 0, so callers read like the rules they keep.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kurvane {

// Bytes of value 32 or less count as blanks when trimming.
std::string Trim(std::string_view text);

// ASCII letters a-z to A-Z; every other byte, multi-byte characters included, stays.
std::string UpperAscii(std::string_view text);
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// 1-based position of the first occurrence of needle, 0 when there is none.
std::size_t Pos(std::string_view needle, std::string_view haystack);

// Pos with ASCII letter case ignored on both sides.
std::size_t PosIgnoreCase(std::string_view needle, std::string_view haystack);
bool ContainsIgnoreCase(std::string_view haystack, std::string_view needle);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);

// Ordering and equality with ASCII letter case ignored (bytes compared unsigned).
// Inline and folding only where bytes differ: the image queue compares keys
// that share long directory prefixes.
inline int CompareIgnoreCase(std::string_view a, std::string_view b)
{
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] == b[i])
            continue;
        const auto x = static_cast<unsigned char>(UpperAscii(a[i]));
        const auto y = static_cast<unsigned char>(UpperAscii(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

// Replaces every occurrence of pattern (ASCII case ignored) from the left; the
// search resumes after each inserted replacement, which is never searched again.
std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view pattern, std::string_view replacement);

// Integer field conversion: blanks in front, then "+"/"-" and decimal digits, or
// hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may follow.
// Decimal values must fit a signed 32-bit integer; hexadecimal ones fit 32 bits
// and wrap into the signed range, as the fields have always accepted.
std::optional<std::int32_t> TextToInt(std::string_view text);

// Floating-point field conversion: blanks around, optional sign, digits with the
// given decimal separator, optional exponent. The value is formed in extended
// precision and then held as a double; one too large for a double fails.
std::optional<double> TextToFloat(std::string_view text, std::string_view decimalSeparator);

// The decimal separator of the user's number format (LC_NUMERIC), "." if unset.
std::string LocaleDecimalSeparator();

}  // namespace kurvane
