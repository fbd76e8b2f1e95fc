// Packets, charge and kilobyte figures, and the report text. The figures are
// defined on x87 extended precision (64-bit significand), round to nearest with
// ties to even, and truncate toward zero; every value shown must come out exactly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kurvane {

// A fixed-point figure counting ten-thousandths (3000 is 0.3). Wider than 64
// bits so that the charge for any 64-bit byte count still fits.
__extension__ typedef __int128 Amount;
__extension__ typedef unsigned __int128 AmountMagnitude;

inline constexpr Amount kAmountScale = 10000;

double PowerOf(double Base, double Exponent);
double RoundOff(std::int32_t Place, double Value);

std::int64_t PacketCount(std::int64_t Bytes, std::int32_t PacketSize);
Amount PacketCharge(std::int64_t Packets, double PacketPrice);
Amount KiloBytes(std::int64_t Bytes);

// Plain decimal, "-" for negatives, fraction digits without trailing zeros.
std::string FormatAmount(Amount A, std::string_view decimalSeparator);

// Thirteen lines joined by CR LF, no line end after the last.
std::string BuildReport(std::int64_t RunSent, std::int64_t RunReceived, std::int32_t GifCount, std::int32_t PacketSize,
                        double PacketPrice, std::string_view decimalSeparator);

}  // namespace kurvane
