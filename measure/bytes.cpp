#include "measure/bytes.h"

#include <langinfo.h>

#include <cerrno>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kurvane {

namespace {

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    const char upper = UpperAscii(c);
    if (upper >= 'A' && upper <= 'F')
        return upper - 'A' + 10;
    return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<std::int32_t> HexToInt(std::string_view digits)
{
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<std::int32_t> DecimalToInt(std::string_view digits, bool negative)
{
    if (digits.empty())
        return std::nullopt;
    // The magnitude limit differs by sign: -2147483648 fits, +2147483648 does not.
    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (!IsDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value));
}

std::size_t SkipDigits(std::string_view text, std::size_t i)
{
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    return i;
}

// Checks the shape of a decimal number and rewrites it with "." as separator,
// so that the C library can parse it whatever the process's locale is.
std::optional<std::string> NormaliseFloatText(std::string_view text, std::string_view separator)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    std::string plain;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        plain += text[i++];
    const std::size_t wholeStart = i;
    i = SkipDigits(text, i);
    plain.append(text.substr(wholeStart, i - wholeStart));
    std::size_t mantissaDigits = i - wholeStart;
    if (!separator.empty() && text.substr(i, separator.size()) == separator) {
        i += separator.size();
        const std::size_t fractionStart = i;
        i = SkipDigits(text, i);
        plain += '.';
        plain.append(text.substr(fractionStart, i - fractionStart));
        mantissaDigits += i - fractionStart;
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            plain += text[i++];
        const std::size_t exponentStart = i;
        i = SkipDigits(text, i);
        if (i == exponentStart)
            return std::nullopt;
        plain.append(text.substr(exponentStart, i - exponentStart));
    }
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i != text.size())
        return std::nullopt;
    return plain;
}

locale_t CLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

std::string Trim(std::string_view text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsTrimmed(text[first]))
        ++first;
    while (last > first && IsTrimmed(text[last - 1]))
        --last;
    return std::string(text.substr(first, last - first));
}

std::string UpperAscii(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = UpperAscii(c);
    return upper;
}

std::size_t Pos(std::string_view needle, std::string_view haystack)
{
    if (needle.empty())
        return 0;
    const std::size_t at = haystack.find(needle);
    return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t PosIgnoreCase(std::string_view needle, std::string_view haystack)
{
    if (needle.empty() || needle.size() > haystack.size())
        return 0;
    const std::string folded = UpperAscii(needle);
    for (std::size_t at = 0; at + folded.size() <= haystack.size(); ++at) {
        std::size_t k = 0;
        while (k < folded.size() && UpperAscii(haystack[at + k]) == folded[k])
            ++k;
        if (k == folded.size())
            return at + 1;
    }
    return 0;
}

bool ContainsIgnoreCase(std::string_view haystack, std::string_view needle)
{
    return PosIgnoreCase(needle, haystack) != 0;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && CompareIgnoreCase(text.substr(0, prefix.size()), prefix) == 0;
}

std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view pattern, std::string_view replacement)
{
    if (pattern.empty())
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = PosIgnoreCase(pattern, text.substr(from));
        if (at == 0)
            break;
        result.append(text.substr(from, at - 1));
        result.append(replacement);
        from += at - 1 + pattern.size();
    }
    result.append(text.substr(from));
    return result;
}

std::optional<std::int32_t> TextToInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::string_view rest = text.substr(i);
    if (rest.empty())
        return std::nullopt;
    if (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')
        return HexToInt(rest.substr(1));
    if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X'))
        return HexToInt(rest.substr(2));
    if (rest[0] == '+' || rest[0] == '-')
        return DecimalToInt(rest.substr(1), rest[0] == '-');
    return DecimalToInt(rest, false);
}

std::optional<double> TextToFloat(std::string_view text, std::string_view decimalSeparator)
{
    const std::optional<std::string> plain = NormaliseFloatText(text, decimalSeparator);
    if (!plain)
        return std::nullopt;
    // Formed in extended precision first, then held as a double.
    errno = 0;
    const long double extended = strtold_l(plain->c_str(), nullptr, CLocale());
    if (std::isinf(extended) || std::fabs(extended) > static_cast<long double>(DBL_MAX))
        return std::nullopt;
    return static_cast<double>(extended);
}

std::string LocaleDecimalSeparator()
{
    const char* radix = nl_langinfo(RADIXCHAR);
    if (radix == nullptr || *radix == '\0')
        return ".";
    return radix;
}

}  // namespace kurvane
