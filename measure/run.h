// One measurement run: what a press of the Start button does, from reading and
// correcting the settings to the last byte received, ending in a report, a
// message, or a template file error. The window and kurvane-measure both drive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "measure/request.h"
#include "measure/run_state.h"

namespace kurvane {

class Sockets;

inline constexpr std::size_t kReceiveBufferSize = 10241;  // bytes per receive call

// The settings as the window's fields hold them when the run starts.
struct RunInput {
    std::string address;  // address field, exactly as typed
    std::string packetSize;  // packet size field
    std::string packetPrice;  // price field, in the user's number format
    std::string port;  // port field
    bool loadImages = true;  // "load GIF images" check box
};

enum class RunField { PacketSize, PacketPrice, Port };
enum class CorrectionReason { NotANumber, OutOfRange };

// What the front end implements: the corrections of the fields and the beep
// happen while the run goes on, so the window shows them even if it then fails.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void FieldCorrected(RunField field, CorrectionReason reason, const std::string& newText) = 0;
    virtual void Beep() = 0;
};

struct FetchRecord {
    std::string host;
    std::string path;
    std::int64_t sent = 0;
    std::int64_t received = 0;
};

enum class RunEnd {
    Report,  // text is the report
    Message,  // text is the failure message for the message area
    // text is the error box's text, full stop included: header.cfg could not be
    // read, or the image queue could not grow. The message area keeps its text.
    ErrorBox,
};

struct RunResult {
    RunEnd end = RunEnd::Message;
    std::string text;
    std::int64_t RunSent = 0;
    std::int64_t RunReceived = 0;
    std::int32_t GifCount = 0;
    std::int32_t PacketSize = kDefaultPacketSize;
    double PacketPrice = kDefaultPacketPrice;
    int port = kDefaultPort;
    std::vector<FetchRecord> fetches;  // in the order they were made, a failed one included
};

struct RunConfig {
    std::string templatePath = kTemplateFileName;
    std::string decimalSeparator = ".";  // of the user's number format
};

// The price field's default text in the user's number format ("0.3" or "0,3").
std::string DefaultPriceText(const std::string& decimalSeparator);

class MeasurementRun {
public:
    MeasurementRun(Sockets& sockets, RunConfig config);

    RunResult Button1Click(const RunInput& input, RunObserver& observer);

    const Unit1State& State() const { return state_; }

private:
    Sockets& sockets_;
    RunConfig config_;
    Unit1State state_;
};

}  // namespace kurvane
