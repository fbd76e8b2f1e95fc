// The running totals the status bar shows: bytes of every added run since
// start-up or the last reset, priced with the latest run's settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kurvane {

struct RunningTotals {
    std::int64_t TotalSent = 0;
    std::int64_t TotalReceived = 0;

    void Add(std::int64_t RunSent, std::int64_t RunReceived);
    void Reset();

    std::string SentPanelText() const;
    std::string ReceivedPanelText() const;
    // Packets and charge are worked out from the summed bytes each time.
    std::string ChargePanelText(std::int32_t PacketSize, double PacketPrice, std::string_view decimalSeparator) const;
};

// The charge panel's text before any run has been added.
std::string ZeroChargePanelText();

}  // namespace kurvane
