#include "charges/charges.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "resources/texts.h"

static_assert(std::numeric_limits<long double>::digits == 64, "the charge figures need the x87 80-bit extended type");

namespace kurvane {

namespace {

// Below this many bytes the extended-precision formulas are exact: a packet
// quotient keeps at least 17 fraction bits, and the kilobyte figure's scaled
// double holds every digit. Larger counts (beyond 128 TiB) use the integer
// forms the formulas are exact for, so 64-bit counts never show a wrong figure.
constexpr std::int64_t kExtendedExactLimit = std::int64_t{1} << 47;

bool ExtendedIsExact(std::int64_t bytes) { return bytes > -kExtendedExactLimit && bytes < kExtendedExactLimit; }

// Round to nearest, an exact half to the even neighbour (the FPU's default mode).
Amount RoundToAmount(long double value) { return static_cast<Amount>(std::nearbyint(value)); }

std::string DecimalDigits(AmountMagnitude value)
{
    char digits[40];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0);
    std::string text;
    while (n > 0)
        text += digits[--n];
    return text;
}

std::string Line(const char* label, std::int64_t count, const char* unit = "")
{
    return std::string(label) + std::to_string(count) + unit;
}

}  // namespace

double PowerOf(double Base, double Exponent)
{
    if (Base == 0)
        return 0;
    return static_cast<double>(std::exp(static_cast<long double>(Exponent) * std::log(static_cast<long double>(Base))));
}

double RoundOff(std::int32_t Place, double Value)
{
    const double scaled = static_cast<double>(static_cast<long double>(Value) * PowerOf(10, Place - 1));
    const auto whole = static_cast<std::int64_t>(static_cast<long double>(scaled) + 0.5L);
    return static_cast<double>(static_cast<long double>(whole) * PowerOf(10, 1 - Place));
}

std::int64_t PacketCount(std::int64_t Bytes, std::int32_t PacketSize)
{
    if (!ExtendedIsExact(Bytes)) {
        const std::int64_t whole = Bytes / PacketSize;
        return Bytes % PacketSize != 0 ? whole + 1 : whole;
    }
    const long double q = static_cast<long double>(Bytes) / PacketSize;
    const long double whole = std::trunc(q);
    return static_cast<std::int64_t>(whole) + (q - whole != 0 ? 1 : 0);
}

Amount PacketCharge(std::int64_t Packets, double PacketPrice)
{
    long double x = static_cast<long double>(Packets) * static_cast<long double>(PacketPrice);
    x = x * 10000.0L;
    return RoundToAmount(x);
}

Amount KiloBytes(std::int64_t Bytes)
{
    if (!ExtendedIsExact(Bytes)) {
        // Bytes in kilobytes, half-up to two decimals: 100 * floor(Bytes * 25 / 256 + 1/2).
        const Amount hundredths = (static_cast<Amount>(Bytes) * 25 + 128) / 256;
        return hundredths * 100;
    }
    const auto v = static_cast<double>(static_cast<long double>(Bytes) / 1024.0L);
    const double r = RoundOff(3, v);
    return RoundToAmount(static_cast<long double>(r) * 10000.0L);
}

std::string FormatAmount(Amount A, std::string_view decimalSeparator)
{
    std::string text;
    AmountMagnitude magnitude = static_cast<AmountMagnitude>(A);
    if (A < 0) {
        text += '-';
        magnitude = -magnitude;
    }
    const auto scale = static_cast<AmountMagnitude>(kAmountScale);
    text += DecimalDigits(magnitude / scale);
    auto fraction = static_cast<unsigned>(magnitude % scale);
    if (fraction != 0) {
        std::string digits = {static_cast<char>('0' + fraction / 1000), static_cast<char>('0' + fraction / 100 % 10),
                              static_cast<char>('0' + fraction / 10 % 10), static_cast<char>('0' + fraction % 10)};
        digits.erase(digits.find_last_not_of('0') + 1);
        text.append(decimalSeparator);
        text += digits;
    }
    return text;
}

std::string BuildReport(std::int64_t RunSent, std::int64_t RunReceived, std::int32_t GifCount, std::int32_t PacketSize,
                        double PacketPrice, std::string_view decimalSeparator)
{
    const std::int64_t total = RunSent + RunReceived;
    const std::int64_t packets = PacketCount(total, PacketSize);
    const std::string crlf = "\r\n";
    std::string report;
    report += Line(texts::kReportSent, RunSent, " Bytes") + crlf;
    report += Line(texts::kReportReceived, RunReceived, " Bytes") + crlf;
    report += Line(texts::kReportTotal, total, " Bytes (") + FormatAmount(KiloBytes(total), decimalSeparator) +
              " KBytes)" + crlf;
    report += Line(texts::kReportGifCount, GifCount) + crlf + crlf;
    report += Line(texts::kReportPackets, packets) + crlf;
    report +=
        texts::kReportCharge + FormatAmount(PacketCharge(packets, PacketPrice), decimalSeparator) + texts::kYen + crlf;
    report += std::string(texts::kReportNote1) + crlf + texts::kReportNote2 + crlf + texts::kReportNote3 + crlf + crlf;
    report += std::string(texts::kReportNote4) + crlf + texts::kReportNote5;
    return report;
}

}  // namespace kurvane
