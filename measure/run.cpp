#include "measure/run.h"

#include <arpa/inet.h>

#include <cstring>
#include <memory>
#include <new>

#include "charges/charges.h"
#include "measure/bytes.h"
#include "measure/images.h"
#include "measure/sockets.h"
#include "resources/texts.h"

namespace kurvane {

namespace {

constexpr std::int32_t kPortLimit = 65536;  // ports and packet sizes stay below this
constexpr double kPriceLimit = 65536;  // yen per packet stays below this

// Closes the fetch's socket on every way out of it.
class SocketGuard {
public:
    SocketGuard(Sockets& sockets, SocketHandle s) : sockets_(sockets), s_(s) {}
    ~SocketGuard() { sockets_.Close(s_); }
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;

private:
    Sockets& sockets_;
    SocketHandle s_;
};

std::string_view WithoutPrefixes(std::string_view address)
{
    if (StartsWithIgnoreCase(address, "HTTP://"))
        address.remove_prefix(7);
    if (address.substr(0, 2) == "//")
        address.remove_prefix(2);
    return address;
}

// The image path of an address that names a GIF: from its first "/" on.
std::string DirectImagePath(std::string_view address)
{
    const std::string_view rest = WithoutPrefixes(address);
    const std::size_t slash = rest.find('/');
    return std::string(slash == std::string_view::npos ? rest : rest.substr(slash));
}

bool IsMalformedAddress(std::string_view address)
{
    return (!address.empty() && address.front() == '/') || address.find("//") != std::string_view::npos;
}

// The chunk the scanner sees: the received bytes up to the first zero byte.
std::string_view ChunkText(const char* buffer, std::size_t received)
{
    const void* zero = std::memchr(buffer, 0, received);
    return {buffer, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - buffer) : received};
}

}  // namespace

std::string DefaultPriceText(const std::string& decimalSeparator) { return "0" + decimalSeparator + "3"; }

MeasurementRun::MeasurementRun(Sockets& sockets, RunConfig config) : sockets_(sockets), config_(std::move(config)) {}

namespace {

struct Failure {
    RunEnd end;
    std::string text;
};

class Run {
public:
    Run(Sockets& sockets, const RunConfig& config, Unit1State& state, const RunInput& input, RunObserver& observer)
        : sockets_(sockets), config_(config), state_(state), input_(input), observer_(observer)
    {
    }

    RunResult Execute()
    {
        Reset();
        ReadPacketSettings();
        CheckRanges();
        ReadPort();
        std::optional<Failure> failure = CheckDirectImage();
        while (!failure) {
            failure = Fetch();
            if (failure || !TakeNextImage(state_, input_.loadImages, input_.address))
                break;
        }
        if (failure)
            return Finish(failure->end, std::move(failure->text));
        return Finish(RunEnd::Report, BuildReport(state_.RunSent, state_.RunReceived, state_.GifCount,
                                                  state_.PacketSize, state_.PacketPrice, config_.decimalSeparator));
    }

private:
    void Reset()
    {
        state_.ImageMode = false;
        state_.GifCount = 0;
        state_.RunReceived = 0;
        state_.RunSent = 0;
        state_.ListBox1.Clear();
        state_.TargetAddress = Trim(input_.address);
    }

    // A packet setting that is not a number resets both, without a word.
    void ReadPacketSettings()
    {
        const std::optional<std::int32_t> size = TextToInt(input_.packetSize);
        const std::optional<double> price =
            size ? TextToFloat(input_.packetPrice, config_.decimalSeparator) : std::nullopt;
        if (size && price) {
            state_.PacketSize = *size;
            state_.PacketPrice = *price;
            return;
        }
        state_.PacketSize = kDefaultPacketSize;
        state_.PacketPrice = kDefaultPacketPrice;
        observer_.FieldCorrected(RunField::PacketSize, CorrectionReason::NotANumber, "128");
        observer_.FieldCorrected(RunField::PacketPrice, CorrectionReason::NotANumber,
                                 DefaultPriceText(config_.decimalSeparator));
    }

    void CheckRanges()
    {
        if (state_.PacketSize <= 0 || state_.PacketSize >= kPortLimit) {
            state_.PacketSize = kDefaultPacketSize;
            observer_.FieldCorrected(RunField::PacketSize, CorrectionReason::OutOfRange, "128");
        }
        if (state_.PacketPrice <= 0 || state_.PacketPrice >= kPriceLimit) {
            state_.PacketPrice = kDefaultPacketPrice;
            observer_.FieldCorrected(RunField::PacketPrice, CorrectionReason::OutOfRange,
                                     DefaultPriceText(config_.decimalSeparator));
        }
    }

    void ReadPort()
    {
        const std::optional<std::int32_t> value = TextToInt(input_.port);
        port_ = value.value_or(0);
        if (port_ >= kPortLimit || port_ <= 0) {
            observer_.Beep();
            port_ = kDefaultPort;
            observer_.FieldCorrected(RunField::Port,
                                     value ? CorrectionReason::OutOfRange : CorrectionReason::NotANumber,
                                     std::to_string(kDefaultPort));
        }
    }

    std::optional<Failure> CheckDirectImage()
    {
        if (ContainsIgnoreCase(state_.TargetAddress, ".GIF")) {
            state_.ImageMode = true;
            state_.GifCount = 1;
            state_.ImagePath = DirectImagePath(state_.TargetAddress);
        }
        if (!input_.loadImages && state_.ImageMode)
            return Failure{RunEnd::Message, texts::kImageNotWanted};
        return std::nullopt;
    }

    std::optional<Failure> Fetch()
    {
        state_.TargetAddress = std::string(WithoutPrefixes(state_.TargetAddress));
        if (IsMalformedAddress(state_.TargetAddress))
            return Failure{RunEnd::Message, texts::kBadAddress};
        const SocketHandle s = sockets_.Socket();
        if (s == kInvalidSocket)
            return Failure{RunEnd::Message, texts::kSocketError};
        SocketGuard closeOnExit(sockets_, s);

        state_.ResolveFailed = false;
        const std::uint32_t address = ResolveTarget(state_.TargetAddress, state_, sockets_);
        if (state_.ResolveFailed)
            return Failure{RunEnd::Message, texts::kCannotConnect};
        FetchRecord& record = fetches_.emplace_back(FetchRecord{state_.HostName, state_.RequestPath, 0, 0});

        std::string RequestText;
        FileError error;
        if (!ComposeRequest(config_.templatePath, port_, state_, RequestText, error))
            return Failure{RunEnd::ErrorBox, WithFullStop(error.Text())};
        state_.RunSent += static_cast<std::int64_t>(RequestText.size());
        record.sent = static_cast<std::int64_t>(RequestText.size());

        if (!sockets_.Connect(s, address, htons(static_cast<std::uint16_t>(port_))))
            return Failure{RunEnd::Message, texts::kCannotConnect};
        if (sockets_.Send(s, RequestText.data(), RequestText.size()) < 0)
            return Failure{RunEnd::Message, texts::kCannotSend};
        return ReceiveResponse(s, record);
    }

    // Until the server closes; a failed receive ends the response the same way.
    std::optional<Failure> ReceiveResponse(SocketHandle s, FetchRecord& record)
    {
        const bool scan = input_.loadImages && !state_.ImageMode;
        for (;;) {
            const std::int64_t n = sockets_.Receive(s, buffer_.get(), kReceiveBufferSize);
            if (n <= 0)
                return std::nullopt;
            state_.RunReceived += n;
            record.received += n;
            if (scan && !Scan(ChunkText(buffer_.get(), static_cast<std::size_t>(n))))
                return Failure{RunEnd::ErrorBox, WithFullStop(texts::kCannotInsertLine)};
        }
    }

    // False when the image queue cannot take another entry.
    bool Scan(std::string_view chunk)
    {
        try {
            ScanImageReferences(chunk, state_.ListBox1, state_.GifCount);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    RunResult Finish(RunEnd end, std::string text)
    {
        RunResult result;
        result.end = end;
        result.text = std::move(text);
        result.RunSent = state_.RunSent;
        result.RunReceived = state_.RunReceived;
        result.GifCount = state_.GifCount;
        result.PacketSize = state_.PacketSize;
        result.PacketPrice = state_.PacketPrice;
        result.port = port_;
        result.fetches = std::move(fetches_);
        return result;
    }

    Sockets& sockets_;
    const RunConfig& config_;
    Unit1State& state_;
    const RunInput& input_;
    RunObserver& observer_;
    int port_ = kDefaultPort;
    std::vector<FetchRecord> fetches_;
    std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(kReceiveBufferSize);
};

}  // namespace

RunResult MeasurementRun::Button1Click(const RunInput& input, RunObserver& observer)
{
    return Run(sockets_, config_, state_, input, observer).Execute();
}

}  // namespace kurvane
