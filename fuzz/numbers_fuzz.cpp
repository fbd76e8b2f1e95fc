// The two field conversions, held against a reference that checks the shape
// with its own little grammar and takes the value from the C library.
//
// Input: SEPARATOR-CHOICE TEXT (byte 0 picks the decimal separator: ".", ","
// or the two-byte Arabic one; the rest is the field's text).
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "measure/bytes.h"

namespace {

using kurvane::fuzz::Escaped;

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool AllOf(std::string_view text, bool (*test)(char))
{
    for (char c : text) {
        if (!test(c))
            return false;
    }
    return !text.empty();
}

std::optional<std::int32_t> ReferenceHex(std::string_view digits)
{
    if (!AllOf(digits, IsHexDigit))
        return std::nullopt;
    errno = 0;
    const unsigned long long value = std::strtoull(std::string(digits).c_str(), nullptr, 16);
    if (errno == ERANGE || value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));  // wraps, as the fields always did
}

std::optional<std::int32_t> ReferenceInt(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.starts_with("0x") || text.starts_with("0X"))
        return ReferenceHex(text.substr(2));
    if (text.starts_with("$") || text.starts_with("x") || text.starts_with("X"))
        return ReferenceHex(text.substr(1));
    const bool negative = text.starts_with("-");
    const std::string_view digits = (negative || text.starts_with("+")) ? text.substr(1) : text;
    if (!AllOf(digits, IsDecimalDigit))
        return std::nullopt;
    errno = 0;
    const long long value = std::strtoll(std::string(digits).c_str(), nullptr, 10);
    const long long signedValue = negative ? -value : value;
    if (errno == ERANGE || signedValue < INT32_MIN || signedValue > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(signedValue);
}

// The float field's shape: blanks, sign, digits with at most one separator and
// at least one digit, an optional exponent with digits, blanks. Gives the text
// the C library reads, or nothing when the shape is wrong.
std::optional<std::string> ReferenceFloatText(std::string_view text, std::string_view separator)
{
    enum class State { Lead, Sign, Whole, Fraction, ExponentMark, ExponentSign, Exponent, Trail };
    State state = State::Lead;
    std::string plain;
    bool digits = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const bool atSeparator = !separator.empty() && text.substr(i, separator.size()) == separator;
        if (c == ' ' && (state == State::Lead || state == State::Trail)) {
            ++i;
        } else if (c == ' ' && (state == State::Whole || state == State::Fraction || state == State::Exponent) &&
                   digits) {
            state = State::Trail;
            ++i;
        } else if ((c == '+' || c == '-') && state == State::Lead) {
            plain += c;
            state = State::Sign;
            ++i;
        } else if (IsDecimalDigit(c) && (state == State::Lead || state == State::Sign || state == State::Whole ||
                                         state == State::Fraction)) {
            plain += c;
            digits = true;
            state = state == State::Fraction ? State::Fraction : State::Whole;
            ++i;
        } else if (atSeparator && (state == State::Lead || state == State::Sign || state == State::Whole)) {
            plain += '.';
            state = State::Fraction;
            i += separator.size();
        } else if ((c == 'e' || c == 'E') && digits && (state == State::Whole || state == State::Fraction)) {
            plain += 'e';
            state = State::ExponentMark;
            ++i;
        } else if ((c == '+' || c == '-') && state == State::ExponentMark) {
            plain += c;
            state = State::ExponentSign;
            ++i;
        } else if (IsDecimalDigit(c) &&
                   (state == State::ExponentMark || state == State::ExponentSign || state == State::Exponent)) {
            plain += c;
            state = State::Exponent;
            ++i;
        } else {
            return std::nullopt;
        }
    }
    const bool complete =
        state == State::Whole || state == State::Fraction || state == State::Exponent || state == State::Trail;
    if (!digits || !complete)
        return std::nullopt;
    return plain;
}

void CheckInt(std::string_view text)
{
    const std::optional<std::int32_t> actual = kurvane::TextToInt(text);
    const std::optional<std::int32_t> expected = ReferenceInt(text);
    FUZZ_CHECK(actual == expected, "TextToInt(" + Escaped(text) + ") gave " +
                                       (actual ? std::to_string(*actual) : "failure") + ", reference " +
                                       (expected ? std::to_string(*expected) : "failure"));
}

void CheckFloat(std::string_view text, std::string_view separator)
{
    const std::optional<double> actual = kurvane::TextToFloat(text, separator);
    const std::optional<std::string> plain = ReferenceFloatText(text, separator);
    const std::string context = "TextToFloat(" + Escaped(text) + ", " + Escaped(separator) + ")";
    FUZZ_CHECK(!actual || plain, context + " accepted a text of the wrong shape");
    if (!plain)
        return;
    // Too large to hold: beyond the largest double before any rounding to double.
    const long double extended = std::strtold(plain->c_str(), nullptr);
    const bool tooLarge = std::isinf(extended) || std::fabs(extended) > static_cast<long double>(DBL_MAX);
    FUZZ_CHECK(actual.has_value() == !tooLarge,
               context + (actual ? " accepted a value too large" : " refused ") + " (" + *plain + ")");
    if (!actual)
        return;
    // Formed in extended precision and then held as a double: at most one step
    // from the double nearest to the exact value.
    const double nearest = std::strtod(plain->c_str(), nullptr);
    FUZZ_CHECK(*actual == static_cast<double>(extended), context + " is not the extended value held as a double");
    FUZZ_CHECK(*actual == nearest || *actual == std::nextafter(nearest, HUGE_VAL) ||
                   *actual == std::nextafter(nearest, -HUGE_VAL),
               context + " is more than one step from " + *plain);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static constexpr std::string_view kSeparators[] = {".", ",", "\xd9\xab"};
    const std::string_view separator = kSeparators[data[0] % 3];
    const std::string_view text = kurvane::fuzz::AsText(data + 1, size - 1);
    CheckInt(text);
    CheckFloat(text, separator);
    return 0;
}
