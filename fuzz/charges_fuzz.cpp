// The charge figures against integer arithmetic: the packet count is a
// ceiling, the kilobyte figure is 100 * floor(bytes * 25 / 256 + 1/2)
// ten-thousandths, the charge is the x87 formula worked out on integers, and
// FormatAmount's text reads back as the same amount.
//
// Input, little-endian, short inputs padded with zero bytes:
//   0-7   byte count (sign bit cleared)      8     right shift of the byte count
//   9-10  packet size, 1 + value % 65535     11-18 price as double bits
//   19-26 packet count (sign bit cleared)    27    right shift of the packet count
//   28-43 an amount (128 bits)               44    decimal separator choice
// A price bit pattern outside (0, 65536) is replaced by a four-decimal price.
#include <bit>
#include <cstring>
#include <string>
#include <string_view>

#include "charges/charges.h"
#include "fuzz_support.h"
#include "measure/bytes.h"

namespace {

using kurvane::Amount;
using kurvane::fuzz::Escaped;
__extension__ typedef unsigned __int128 Wide;

constexpr std::size_t kInputSize = 45;

template <typename T>
T Read(const unsigned char* bytes)
{
    T value = 0;
    for (std::size_t i = sizeof(T); i > 0; --i)
        value = static_cast<T>(value << 8 | bytes[i - 1]);
    return value;
}

std::string Decimal(Wide value)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    return digits;
}

std::string Decimal(Amount value)
{
    return value < 0 ? "-" + Decimal(-static_cast<Wide>(value)) : Decimal(static_cast<Wide>(value));
}

// ---- The x87 formula on integers: value = significand * 2^exponent, exactly. ----

struct Binary {
    Wide significand;
    int exponent;
};

int BitLength(Wide value)
{
    int bits = 0;
    for (; value != 0; value >>= 1)
        ++bits;
    return bits;
}

// Shifts right by count bits, rounding to nearest with an exact half to even.
Wide ShiftRoundingToEven(Wide value, int count)
{
    if (count <= 0)
        return value;
    if (count >= 128)
        return 0;
    const Wide kept = value >> count;
    const Wide rest = value - (kept << count);
    const Wide half = Wide{1} << (count - 1);
    return kept + ((rest > half || (rest == half && (kept & 1) != 0)) ? 1 : 0);
}

// What an extended-precision result holds: 64 significant bits.
Binary ToExtended(Binary x)
{
    const int excess = BitLength(x.significand) - 64;
    if (excess <= 0)
        return x;
    return {ShiftRoundingToEven(x.significand, excess), x.exponent + excess};
}

Amount ExpectedCharge(std::int64_t packets, double price)
{
    const auto bits = std::bit_cast<std::uint64_t>(price);
    const int biased = static_cast<int>(bits >> 52 & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const Binary exactPrice{biased != 0 ? (fraction | std::uint64_t{1} << 52) : fraction,
                            biased != 0 ? biased - 1075 : -1074};
    const Binary product = ToExtended({static_cast<Wide>(packets) * exactPrice.significand, exactPrice.exponent});
    const Binary scaled = ToExtended({product.significand * 10000, product.exponent});
    if (scaled.exponent >= 0)
        return static_cast<Amount>(scaled.significand << scaled.exponent);
    return static_cast<Amount>(ShiftRoundingToEven(scaled.significand, -scaled.exponent));
}

// ---- FormatAmount read back. ----

void CheckAmountText(Amount amount, std::string_view separator)
{
    const std::string text = kurvane::FormatAmount(amount, separator);
    const std::string context = "FormatAmount(" + Decimal(amount) + ") gave " + Escaped(text);
    std::string_view rest = text;
    const bool negative = rest.starts_with("-");
    if (negative)
        rest.remove_prefix(1);
    const std::size_t wholeDigits = rest.find_first_not_of("0123456789");
    const std::string_view whole = rest.substr(0, wholeDigits);
    rest.remove_prefix(whole.size());
    FUZZ_CHECK(!whole.empty() && (whole.size() == 1 || whole[0] != '0'), context);
    std::string_view fraction;
    if (!rest.empty()) {
        FUZZ_CHECK(rest.starts_with(separator), context);
        fraction = rest.substr(separator.size());
        FUZZ_CHECK(!fraction.empty() && fraction.size() <= 4 && fraction.back() != '0' &&
                       fraction.find_first_not_of("0123456789") == std::string_view::npos,
                   context);
    }
    Wide magnitude = 0;
    for (char c : whole)
        magnitude = magnitude * 10 + static_cast<Wide>(c - '0');
    Wide tenThousandths = 0;
    for (std::size_t i = 0; i < 4; ++i)
        tenThousandths = tenThousandths * 10 + (i < fraction.size() ? static_cast<Wide>(fraction[i] - '0') : 0);
    magnitude = magnitude * 10000 + tenThousandths;
    const Wide expected = amount < 0 ? -static_cast<Wide>(amount) : static_cast<Wide>(amount);
    FUZZ_CHECK(negative == (amount < 0) && magnitude == expected, context);
}

// The kilobyte figure as shown: hundredths, half-up, trailing zeros dropped.
std::string ExpectedKiloBytesText(std::int64_t bytes, std::string_view separator)
{
    const Wide hundredths = (static_cast<Wide>(bytes) * 25 + 128) / 256;
    std::string text = Decimal(hundredths / 100);
    const int cents = static_cast<int>(hundredths % 100);
    if (cents != 0) {
        text.append(separator);
        text += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0)
            text += static_cast<char>('0' + cents % 10);
    }
    return text;
}

void CheckCounts(std::int64_t bytes, std::int32_t packetSize, std::string_view separator)
{
    const std::string context = std::to_string(bytes) + " bytes at " + std::to_string(packetSize) + ": ";
    const std::int64_t packets = kurvane::PacketCount(bytes, packetSize);
    FUZZ_CHECK(packets == bytes / packetSize + (bytes % packetSize != 0 ? 1 : 0),
               context + "PacketCount " + std::to_string(packets));
    const Amount kilobytes = kurvane::KiloBytes(bytes);
    FUZZ_CHECK(kilobytes == 100 * static_cast<Amount>((static_cast<Wide>(bytes) * 25 + 128) / 256),
               context + "KiloBytes " + Decimal(kilobytes));
    FUZZ_CHECK(kurvane::FormatAmount(kilobytes, separator) == ExpectedKiloBytesText(bytes, separator),
               context + "kilobytes shown as " + kurvane::FormatAmount(kilobytes, separator));
}

void CheckCharge(std::int64_t packets, double price)
{
    const Amount charge = kurvane::PacketCharge(packets, price);
    const Amount expected = ExpectedCharge(packets, price);
    char priceText[40];
    std::snprintf(priceText, sizeof priceText, "%.17g", price);
    FUZZ_CHECK(charge == expected, "PacketCharge(" + std::to_string(packets) + ", " + priceText + ") gave " +
                                       Decimal(charge) + ", integer formula " + Decimal(expected));
}

// A price typed with at most four decimals is charged exactly while the
// product stays far enough below 2^53 for the double's error not to show.
void CheckTypedPrice(std::int64_t packets, std::uint32_t tenThousandths, std::string_view separator)
{
    std::string text = std::to_string(tenThousandths / 10000);
    text.append(separator);
    const std::string digits = std::to_string(10000 + tenThousandths % 10000);
    text += digits.substr(1);
    const std::optional<double> price = kurvane::TextToFloat(text, separator);
    FUZZ_CHECK(price.has_value(), "price " + Escaped(text) + " refused");
    if (static_cast<Wide>(packets) * tenThousandths >= (Wide{1} << 51))
        return;
    const Amount charge = kurvane::PacketCharge(packets, *price);
    FUZZ_CHECK(charge == static_cast<Amount>(packets) * tenThousandths,
               std::to_string(packets) + " packets at " + text + " charged " + Decimal(charge));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    unsigned char in[kInputSize] = {};
    std::memcpy(in, data, size < kInputSize ? size : kInputSize);
    static constexpr std::string_view kSeparators[] = {".", ",", "\xd9\xab"};
    const std::string_view separator = kSeparators[in[44] % 3];

    const std::int64_t bytes = static_cast<std::int64_t>(Read<std::uint64_t>(in) >> 1 >> (in[8] % 63));
    const auto packetSize = static_cast<std::int32_t>(1 + Read<std::uint16_t>(in + 9) % 65535);
    CheckCounts(bytes, packetSize, separator);

    const std::uint64_t priceBits = Read<std::uint64_t>(in + 11);
    const auto tenThousandths = static_cast<std::uint32_t>(1 + priceBits % 655359999);
    const double rawPrice = std::bit_cast<double>(priceBits);
    const double price = rawPrice > 0 && rawPrice < 65536 ? rawPrice : tenThousandths / 10000.0;
    const std::int64_t packets = static_cast<std::int64_t>(Read<std::uint64_t>(in + 19) >> 1 >> (in[27] % 63));
    CheckCharge(packets, price);
    CheckCharge(kurvane::PacketCount(bytes, packetSize), price);
    CheckTypedPrice(packets, tenThousandths, separator);

    CheckAmountText(static_cast<Amount>(Read<Wide>(in + 28)), separator);
    CheckAmountText(kurvane::PacketCharge(packets, price), separator);
    return 0;
}
