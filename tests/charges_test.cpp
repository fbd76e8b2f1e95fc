#include <gtest/gtest.h>

#include <random>

#include "charges/charges.h"
#include "charges/totals.h"

namespace kurvane {
namespace {

std::string Kb(std::int64_t bytes) { return FormatAmount(KiloBytes(bytes), "."); }
std::string Charge(std::int64_t packets, double price) { return FormatAmount(PacketCharge(packets, price), "."); }

// The kilobyte figure's closed form: 100 * floor(bytes * 25 / 256 + 1/2) ten-thousandths.
Amount KiloBytesClosedForm(std::int64_t bytes) { return (static_cast<Amount>(bytes) * 25 + 128) / 256 * 100; }

TEST(Charges, PowerOfIsExactWhereTheKilobyteFigureNeedsIt)
{
    EXPECT_EQ(PowerOf(10, 2), 100.0);
    EXPECT_EQ(PowerOf(10, -2), 0.01);
    EXPECT_EQ(PowerOf(10, 0), 1.0);
    EXPECT_EQ(PowerOf(0, 0), 0.0);
    EXPECT_EQ(PowerOf(0, -2), 0.0);
}

TEST(Charges, RoundOffRoundsHalfUpForNonNegativeValues)
{
    EXPECT_EQ(RoundOff(3, 0.125), 0.13);
    EXPECT_EQ(RoundOff(3, 0.124), 0.12);
    EXPECT_EQ(RoundOff(1, 2.5), 3.0);
    EXPECT_EQ(RoundOff(1, -1.7), -1.0);  // truncation toward zero, not half-up
}

TEST(Charges, KiloBytesFigures)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0"},       {5, "0"},    {6, "0.01"},   {128, "0.13"},    {384, "0.38"},
        {1000, "0.98"}, {1024, "1"}, {1536, "1.5"}, {12345, "12.06"},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(Kb(bytes), text);
    }
}

TEST(Charges, KiloBytesMatchesTheClosedFormAcrossTheRange)
{
    for (std::int64_t bytes = 0; bytes < 300000; ++bytes)
        ASSERT_EQ(KiloBytes(bytes), KiloBytesClosedForm(bytes)) << bytes;
    std::mt19937_64 random(20261211);
    for (int i = 0; i < 200000; ++i) {
        // Spread over every magnitude up to the 64-bit limit.
        const int bits = static_cast<int>(random() % 63) + 1;
        const auto bytes = static_cast<std::int64_t>(random() >> (64 - bits));
        ASSERT_EQ(KiloBytes(bytes), KiloBytesClosedForm(bytes)) << bytes;
    }
    EXPECT_EQ(KiloBytes(INT64_MAX), KiloBytesClosedForm(INT64_MAX));
}

TEST(Charges, PacketCountIsTheCeilingAtEveryMagnitude)
{
    EXPECT_EQ(PacketCount(0, 128), 0);
    EXPECT_EQ(PacketCount(128, 128), 1);
    EXPECT_EQ(PacketCount(129, 128), 2);
    EXPECT_EQ(PacketCount(256, 128), 2);
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        const int bits = static_cast<int>(random() % 63) + 1;
        const auto bytes = static_cast<std::int64_t>(random() >> (64 - bits));
        const auto size = static_cast<std::int32_t>(random() % 65535 + 1);
        ASSERT_EQ(PacketCount(bytes, size), bytes / size + (bytes % size != 0)) << bytes << " / " << size;
    }
    // 4 GiB and more still count right.
    EXPECT_EQ(PacketCount(std::int64_t{1} << 32, 128), std::int64_t{1} << 25);
}

TEST(Charges, PacketChargeRoundsToTenThousandthsHalfToEven)
{
    EXPECT_EQ(Charge(1, 0.3), "0.3");
    EXPECT_EQ(Charge(3, 0.3), "0.9");
    EXPECT_EQ(Charge(7, 0.3), "2.1");
    EXPECT_EQ(Charge(10, 0.3), "3");
    EXPECT_EQ(Charge(1, 0.03125), "0.0312");
    EXPECT_EQ(Charge(3, 0.03125), "0.0938");
    EXPECT_EQ(Charge(5, 0.03125), "0.1562");
    EXPECT_EQ(Charge(100, 0.123456), "12.3456");
    EXPECT_EQ(Charge(0, 0.3), "0");
    // Packet counts beyond 32 bits keep the price's rounding.
    EXPECT_EQ(Charge(std::int64_t{1} << 40, 0.3), "329853488332.8");
    EXPECT_GT(PacketCharge(INT64_MAX, 65535.9999), static_cast<Amount>(INT64_MAX) * 655359998);
}

TEST(Charges, FormatAmount)
{
    const std::pair<Amount, const char*> cases[] = {
        {0, "0"},       {3000, "0.3"},       {1300, "0.13"},   {312, "0.0312"},   {10000, "1"},
        {15000, "1.5"}, {123456, "12.3456"}, {-15000, "-1.5"}, {-312, "-0.0312"},
    };
    for (const auto& [amount, text] : cases)
        EXPECT_EQ(FormatAmount(amount, "."), text);
    EXPECT_EQ(FormatAmount(15000, ","), "1,5");
    EXPECT_EQ(FormatAmount(static_cast<Amount>(INT64_MAX) * 100000, "."), "92233720368547758070");
}

TEST(Charges, ReportOfTheWorkedExample)
{
    const std::string expected = "総送信バイト数：120 Bytes\r\n"
                                 "総受信バイト数：1416 Bytes\r\n"
                                 "総送受信バイト数：1536 Bytes (1.5 KBytes)\r\n"
                                 "GIF画像数：0\r\n"
                                 "\r\n"
                                 "パケット数：12\r\n"
                                 "利用料金：3.6円\r\n"
                                 "※ここではひとつのホームページごとにパケット数を計算し\r\n"
                                 "　ていますが、実際には月ごとに計算されます。\r\n"
                                 "　したがって、実際より高く表示されることがあります。\r\n"
                                 "\r\n"
                                 "正確さを求めるのではなく、あくまでも目安としてお使いく\r\n"
                                 "ださい。";
    EXPECT_EQ(BuildReport(120, 1416, 0, 128, 0.3, "."), expected);
}

TEST(Charges, ReportBeyondFourGigabytes)
{
    const std::int64_t received = (std::int64_t{5} << 30) + 7;
    const std::string report = BuildReport(47, received, 2, 128, 0.3, ".");
    EXPECT_NE(report.find("総受信バイト数：5368709127 Bytes\r\n"), std::string::npos);
    EXPECT_NE(report.find("総送受信バイト数：5368709174 Bytes (5242880.05 KBytes)\r\n"), std::string::npos);
    EXPECT_NE(report.find("パケット数：41943041\r\n"), std::string::npos);
    EXPECT_NE(report.find("利用料金：12582912.3円\r\n"), std::string::npos);
}

TEST(Totals, PanelsPriceTheSummedBytesWithTheLatestSettings)
{
    RunningTotals totals;
    EXPECT_EQ(totals.SentPanelText(), "送信： 0Bytes");
    EXPECT_EQ(totals.ReceivedPanelText(), "受信： 0Bytes");
    EXPECT_EQ(ZeroChargePanelText(), "利用料金： 0円");
    totals.Add(300, 1000);
    EXPECT_EQ(totals.SentPanelText(), "送信： 300Bytes");
    EXPECT_EQ(totals.ReceivedPanelText(), "受信： 1000Bytes");
    EXPECT_EQ(totals.ChargePanelText(128, 0.3, "."), "利用料金： 3.3円");
    totals.Add(300, 1000);
    EXPECT_EQ(totals.ChargePanelText(128, 0.3, "."), "利用料金： 6.3円");  // 21 packets, not 22
    totals.Reset();
    EXPECT_EQ(totals.SentPanelText(), "送信： 0Bytes");
    EXPECT_EQ(totals.ChargePanelText(128, 0.3, "."), ZeroChargePanelText());
}

}  // namespace
}  // namespace kurvane
