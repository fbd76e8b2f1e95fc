// kurvane-measure: the measurement run without a window, for scripts.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <optional>
#include <string>
#include <vector>

#include "charges/totals.h"
#include "cli/json.h"
#include "measure/bytes.h"
#include "measure/charset.h"
#include "measure/request.h"
#include "measure/run.h"
#include "measure/sockets.h"
#include "resources/texts.h"

namespace {

using namespace kurvane;

constexpr int kExitOk = 0;
constexpr int kExitRunFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage: kurvane-measure [--port N] [--packet-size S] [--price P] [--no-images] [--json] ADDRESS...\n"
    "\n"
    "Fetches each ADDRESS over plain HTTP as the Kurvane window does, counts every byte\n"
    "sent and received, and prints the report with packets and charge.\n"
    "The request is built from header.cfg in the working directory.\n"
    "\n"
    "  --port N          server port (default 80)\n"
    "  --packet-size S   bytes per packet (default 128)\n"
    "  --price P         yen per packet, in the locale's number format (default 0.3)\n"
    "  --no-images       do not fetch the GIF images the page shows\n"
    "  --json            one JSON object per run (JSON Lines) instead of the report\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n"
    "\n"
    "Exit status: 0 when every run reached its report, 1 when any ended with a message,\n"
    "2 for bad usage or a missing header.cfg.\n";

struct Options {
    RunInput field;  // address left empty; filled per run
    bool json = false;
    std::vector<std::string> addresses;
};

// Converts the program's own UTF-8 texts to the terminal's character set.
class Terminal {
public:
    std::string Text(const std::string& utf8) const { return FromUtf8(utf8, converter_); }

private:
    std::string converter_ = LocaleConverter();  // UTF-8 under a C/POSIX locale
};

std::string WithLineFeeds(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

std::string WithoutTrailingLineBreaks(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

void Error(const std::string& line) { std::fprintf(stderr, "kurvane-measure: %s\n", line.c_str()); }

// Announces the corrections of the settings as the window would show them in its fields.
class CommandLineObserver final : public RunObserver {
public:
    explicit CommandLineObserver(const RunInput& given) : given_(given) {}

    void FieldCorrected(RunField field, CorrectionReason reason, const std::string& newText) override
    {
        const char* why = reason == CorrectionReason::OutOfRange ? "out of range"
                          : field == RunField::Port              ? "not a number"
                                                                 : "packet size and price fall back together";
        Error(std::string(OptionName(field)) + " \"" + GivenText(field) + "\" replaced by " + newText + " (" + why +
              ")");
    }

    void Beep() override
    {
        Error(std::string(isatty(STDERR_FILENO) ? "\a" : "") + "beep: --port \"" + given_.port +
              "\" is not a port from 1 to 65535");
    }

private:
    static const char* OptionName(RunField field)
    {
        switch (field) {
        case RunField::PacketSize:
            return "--packet-size";
        case RunField::PacketPrice:
            return "--price";
        case RunField::Port:
            return "--port";
        }
        return "";
    }

    const std::string& GivenText(RunField field) const
    {
        switch (field) {
        case RunField::PacketSize:
            return given_.packetSize;
        case RunField::PacketPrice:
            return given_.packetPrice;
        case RunField::Port:
            return given_.port;
        }
        return given_.port;
    }

    const RunInput& given_;
};

bool TakeValue(int argc, char** argv, int& i, const char* name, std::string& value)
{
    const std::string arg = argv[i];
    const std::string withEquals = std::string(name) + "=";
    if (arg.rfind(withEquals, 0) == 0) {
        value = arg.substr(withEquals.size());
        return true;
    }
    if (arg != name)
        return false;
    if (i + 1 >= argc)
        throw std::runtime_error(std::string("option ") + name + " needs a value");
    value = argv[++i];
    return true;
}

enum class Parse { Run, Help, Version };

Parse ParseArguments(int argc, char** argv, Options& options)
{
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            options.addresses.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--help" || arg == "-h") {
            return Parse::Help;
        } else if (arg == "--version") {
            return Parse::Version;
        } else if (arg == "--no-images") {
            options.field.loadImages = false;
        } else if (arg == "--json") {
            options.json = true;
        } else if (!TakeValue(argc, argv, i, "--port", options.field.port) &&
                   !TakeValue(argc, argv, i, "--packet-size", options.field.packetSize) &&
                   !TakeValue(argc, argv, i, "--price", options.field.packetPrice)) {
            throw std::runtime_error("unknown option " + arg);
        }
    }
    if (options.addresses.empty())
        throw std::runtime_error("no address given");
    return Parse::Run;
}

class Session {
public:
    Session(const Options& options, const std::string& separator)
        : options_(options), separator_(separator), sockets_(MakePosixSockets()),
          run_(*sockets_, RunConfig{kTemplateFileName, separator})
    {
    }

    int MeasureAll()
    {
        bool allReported = true;
        for (const std::string& address : options_.addresses)
            allReported = Measure(address) && allReported;
        if (!options_.json && options_.addresses.size() > 1)
            PrintTotals();
        return allReported ? kExitOk : kExitRunFailed;
    }

private:
    bool Measure(const std::string& address)
    {
        RunInput input = options_.field;
        input.address = address;
        CommandLineObserver observer(input);
        const RunResult result = run_.Button1Click(input, observer);
        const bool reported = result.end == RunEnd::Report;
        if (reported)
            AddRunToTotals(result);
        if (options_.json)
            std::printf("%s\n", RunToJson(address, input.loadImages, result, separator_).c_str());
        else if (reported)
            PrintOnStdout(WithLineFeeds(result.text));
        else
            std::fprintf(stderr, "%s\n", terminal_.Text(WithoutTrailingLineBreaks(WithLineFeeds(result.text))).c_str());
        std::fflush(stdout);
        return reported;
    }

    void AddRunToTotals(const RunResult& result)
    {
        totals_.Add(result.RunSent, result.RunReceived);
        chargePanel_ = totals_.ChargePanelText(result.PacketSize, result.PacketPrice, separator_);
    }

    void PrintOnStdout(const std::string& block)
    {
        if (printedBlock_)
            std::printf("\n");
        std::printf("%s\n", terminal_.Text(block).c_str());
        printedBlock_ = true;
    }

    void PrintTotals()
    {
        PrintOnStdout(totals_.SentPanelText() + "\n" + totals_.ReceivedPanelText() + "\n" + chargePanel_);
    }

    const Options& options_;
    std::string separator_;
    std::unique_ptr<Sockets> sockets_;
    MeasurementRun run_;
    RunningTotals totals_;
    std::string chargePanel_ = ZeroChargePanelText();
    Terminal terminal_;
    bool printedBlock_ = false;
};

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    const std::string separator = LocaleDecimalSeparator();
    Options options;
    options.field.port = std::to_string(kDefaultPort);
    options.field.packetSize = std::to_string(kDefaultPacketSize);
    options.field.packetPrice = DefaultPriceText(separator);
    try {
        switch (ParseArguments(argc, argv, options)) {
        case Parse::Help:
            std::fputs(kUsage, stdout);
            return kExitOk;
        case Parse::Version:
            std::printf("kurvane-measure %s\n", KURVANE_VERSION);
            return kExitOk;
        case Parse::Run:
            break;
        }
    } catch (const std::runtime_error& error) {
        Error(error.what());
        std::fputs("Try 'kurvane-measure --help' for more information.\n", stderr);
        return kExitUsage;
    }
    if (!TemplateFilePresent(kTemplateFileName)) {
        std::fprintf(stderr, "%s\n", Terminal().Text(texts::kNoTemplate).c_str());
        return kExitUsage;
    }
    StartNetwork();
    const int status = Session(options, separator).MeasureAll();
    StopNetwork();
    return status;
}
