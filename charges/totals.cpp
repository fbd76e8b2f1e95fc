#include "charges/totals.h"

#include "charges/charges.h"
#include "resources/texts.h"

namespace kurvane {

void RunningTotals::Add(std::int64_t RunSent, std::int64_t RunReceived)
{
    TotalSent += RunSent;
    TotalReceived += RunReceived;
}

void RunningTotals::Reset()
{
    TotalReceived = 0;
    TotalSent = 0;
}

std::string RunningTotals::SentPanelText() const
{
    return texts::kPanelSent + std::to_string(TotalSent) + texts::kPanelBytes;
}

std::string RunningTotals::ReceivedPanelText() const
{
    return texts::kPanelReceived + std::to_string(TotalReceived) + texts::kPanelBytes;
}

std::string RunningTotals::ChargePanelText(std::int32_t PacketSize, double PacketPrice,
                                           std::string_view decimalSeparator) const
{
    const std::int64_t packets = PacketCount(TotalSent + TotalReceived, PacketSize);
    return texts::kPanelCharge + FormatAmount(PacketCharge(packets, PacketPrice), decimalSeparator) + texts::kYen;
}

std::string ZeroChargePanelText() { return std::string(texts::kPanelCharge) + "0" + texts::kYen; }

}  // namespace kurvane
