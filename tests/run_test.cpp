#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <netinet/in.h>

#include <cstdio>

#include "charges/charges.h"
#include "loopback_server.h"
#include "measure/run.h"
#include "resources/texts.h"
#include "scripted_sockets.h"

namespace kurvane {
namespace {

using namespace std::chrono_literals;
using test::LoopbackServer;
using test::Reply;
using test::ScriptedSockets;

struct Correction {
    RunField field;
    CorrectionReason reason;
    std::string text;
    bool operator==(const Correction&) const = default;
};

class RecordingObserver final : public RunObserver {
public:
    void FieldCorrected(RunField field, CorrectionReason reason, const std::string& newText) override
    {
        corrections.push_back({field, reason, newText});
    }
    void Beep() override { ++beeps; }

    std::vector<Correction> corrections;
    int beeps = 0;
};

const std::string kResponse =
    "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html>" + std::string(30000, 'x') + "</html>";

class RunTest : public ::testing::Test {
protected:
    static SocketTimeouts ShortTimeouts() { return {2000ms, 300ms, 300ms}; }

    RunResult Measure(const std::string& address, const std::string& port, bool images = false)
    {
        RunInput input{address, "128", "0.3", port, images};
        return run.Button1Click(input, observer);
    }

    test::TemplateDir dir;
    ScriptedSockets sockets{ShortTimeouts()};
    MeasurementRun run{sockets, RunConfig{dir.TemplatePath(), "."}};
    RecordingObserver observer;
};

TEST_F(RunTest, ReportCountsExactlyTheBytesOnTheWire)
{
    LoopbackServer server(Reply{{kResponse.substr(0, 7), kResponse.substr(7, 10000), kResponse.substr(10007)}, 5ms});
    const RunResult result = Measure("  127.0.0.1/docs/index.html ", server.PortText());

    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    const auto exchanges = server.Exchanges();
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_EQ(exchanges[0].request,
              "GET /docs/index.html HTTP/1.0\r\nHost: 127.0.0.1:" + server.PortText() + "\r\n\r\n");
    EXPECT_EQ(result.RunSent, static_cast<std::int64_t>(exchanges[0].request.size()));
    EXPECT_EQ(result.RunReceived, exchanges[0].replied);
    EXPECT_EQ(result.RunReceived, static_cast<std::int64_t>(kResponse.size()));
    EXPECT_EQ(result.text, BuildReport(result.RunSent, result.RunReceived, 0, 128, 0.3, "."));
    EXPECT_TRUE(observer.corrections.empty());
    EXPECT_EQ(sockets.opened, 1);
    EXPECT_EQ(sockets.closed, 1);
    ASSERT_EQ(result.fetches.size(), 1u);
    EXPECT_EQ(result.fetches[0].host, "127.0.0.1");
    EXPECT_EQ(result.fetches[0].path, "/docs/index.html");
}

TEST_F(RunTest, NamedHostAndPrefixesAreRemovedOnce)
{
    LoopbackServer server(Reply::Body("ok"));
    const std::pair<const char*, const char*> cases[] = {
        {"http://localhost/a", "/a"},
        {"HtTp://localhost", "/"},
        {"//localhost/b", "/b"},
        {"http:////localhost/c", "/c"},
    };
    for (const auto& [address, path] : cases) {
        SCOPED_TRACE(address);
        const RunResult result = Measure(address, server.PortText());
        ASSERT_EQ(result.end, RunEnd::Report) << result.text;
        EXPECT_EQ(LoopbackServer::PathOf(server.Exchanges().back().request), path);
        EXPECT_EQ(run.State().HostName, "localhost");
    }
}

TEST_F(RunTest, ServerClosingWithoutDataStillGivesAReport)
{
    LoopbackServer server(Reply{});
    const RunResult result = Measure("127.0.0.1/", server.PortText());
    ASSERT_EQ(result.end, RunEnd::Report);
    EXPECT_EQ(result.RunReceived, 0);
    EXPECT_GT(result.RunSent, 0);
}

struct SettingsCase {
    const char* name;
    const char* size;
    const char* price;
    const char* port;
    std::int32_t usedSize;
    double usedPrice;
    std::vector<Correction> corrections;
    int beeps;
};

TEST_F(RunTest, SettingsAreCorrectedAsTheRunReadsThem)
{
    const Correction size128{RunField::PacketSize, CorrectionReason::NotANumber, "128"};
    const Correction price03{RunField::PacketPrice, CorrectionReason::NotANumber, "0.3"};
    const Correction sizeRange{RunField::PacketSize, CorrectionReason::OutOfRange, "128"};
    const Correction priceRange{RunField::PacketPrice, CorrectionReason::OutOfRange, "0.3"};
    const Correction portRange{RunField::Port, CorrectionReason::OutOfRange, "80"};
    const Correction portText{RunField::Port, CorrectionReason::NotANumber, "80"};
    const SettingsCase cases[] = {
        {"valid", "256", "0.5", "8080", 256, 0.5, {}, 0},
        {"size not a number resets both", "abc", "0.5", "80", 128, 0.3, {size128, price03}, 0},
        {"price not a number resets both", "256", "abc", "80", 128, 0.3, {size128, price03}, 0},
        {"trailing blank is not a number", "128 ", "0.5", "80", 128, 0.3, {size128, price03}, 0},
        {"size zero", "0", "0.5", "80", 128, 0.5, {sizeRange}, 0},
        {"size negative", "-1", "0.5", "80", 128, 0.5, {sizeRange}, 0},
        {"size too large", "65536", "0.5", "80", 128, 0.5, {sizeRange}, 0},
        {"largest size", "65535", "0.5", "80", 65535, 0.5, {}, 0},
        {"hex size", "$80", "0.5", "80", 128, 0.5, {}, 0},
        {"price zero", "256", "0", "80", 256, 0.3, {priceRange}, 0},
        {"price too large", "256", "65536", "80", 256, 0.3, {priceRange}, 0},
        {"price exponent", "256", "1e2", "80", 256, 100, {}, 0},
        {"both out of range", "0", "-1", "80", 128, 0.3, {sizeRange, priceRange}, 0},
        {"port empty", "128", "0.3", "", 128, 0.3, {portText}, 1},
        {"port zero", "128", "0.3", "0", 128, 0.3, {portRange}, 1},
        {"port negative", "128", "0.3", "-5", 128, 0.3, {portRange}, 1},
        {"port too large", "128", "0.3", "65536", 128, 0.3, {portRange}, 1},
        {"largest port", "128", "0.3", "65535", 128, 0.3, {}, 0},
    };
    for (const SettingsCase& c : cases) {
        SCOPED_TRACE(c.name);
        observer = {};
        // A GIF address with images off ends before any fetch: the corrections are made all the same.
        RunInput input{"http://host/a.gif", c.size, c.price, c.port, false};
        const RunResult result = run.Button1Click(input, observer);
        EXPECT_EQ(result.end, RunEnd::Message);
        EXPECT_EQ(result.text, texts::kImageNotWanted);
        EXPECT_EQ(result.PacketSize, c.usedSize);
        EXPECT_EQ(result.PacketPrice, c.usedPrice);
        EXPECT_EQ(observer.corrections, c.corrections);
        EXPECT_EQ(observer.beeps, c.beeps);
    }
    EXPECT_EQ(sockets.opened, 0);
}

TEST_F(RunTest, PortOutsideTheRangeFetchesFromPort80)
{
    RunInput input{"127.0.0.1/", "128", "0.3", "70000", false};
    const RunResult result = run.Button1Click(input, observer);
    EXPECT_EQ(result.port, 80);
    EXPECT_EQ(observer.beeps, 1);
}

TEST_F(RunTest, MalformedAddressesEndBeforeASocketIsMade)
{
    for (const char* address : {"https://host/", "ftp://host/", "/page", "host//page", "http:///page", "   "}) {
        SCOPED_TRACE(address);
        const RunResult result = Measure(address, "80");
        EXPECT_EQ(result.end, RunEnd::Message);
        EXPECT_EQ(result.text, address == std::string("   ") ? texts::kCannotConnect : texts::kBadAddress);
    }
}

TEST_F(RunTest, MalformedAddressOpensNoSocket)
{
    Measure("host//page", "80");
    EXPECT_EQ(sockets.opened, 0);
}

TEST_F(RunTest, DirectImageIsOneFetchCountedAsOneImage)
{
    LoopbackServer server(Reply::Body("GIF89a <img src=\"x.gif\">"));
    const RunResult result = Measure("HTTP://127.0.0.1/pics/a.GIF", server.PortText(), true);
    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    EXPECT_EQ(server.RequestPaths(), std::vector<std::string>{"/pics/a.GIF"});
    EXPECT_EQ(result.GifCount, 1);
    EXPECT_NE(result.text.find("GIF画像数：1\r\n"), std::string::npos);
}

TEST_F(RunTest, DirectImageWithImagesOffSendsNothing)
{
    LoopbackServer server(Reply::Body("x"));
    const RunResult result = Measure("http://127.0.0.1/a.gif", server.PortText(), false);
    EXPECT_EQ(result.text, texts::kImageNotWanted);
    EXPECT_EQ(result.RunSent, 0);
    EXPECT_TRUE(server.Exchanges().empty());
}

TEST_F(RunTest, SocketThatCannotBeCreated)
{
    sockets.failSocket = true;
    const RunResult result = Measure("127.0.0.1/", "80");
    EXPECT_EQ(result.end, RunEnd::Message);
    EXPECT_EQ(result.text, texts::kSocketError);
}

TEST_F(RunTest, UnknownHostClosesTheSocket)
{
    sockets.names = [](const std::string&) { return std::optional<std::uint32_t>(); };
    const RunResult result = Measure("nowhere.invalid/", "80");
    EXPECT_EQ(result.text, texts::kCannotConnect);
    EXPECT_EQ(result.RunSent, 0);
    EXPECT_EQ(sockets.opened, 1);
    EXPECT_EQ(sockets.closed, 1);
}

std::uint16_t UnusedPort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

TEST_F(RunTest, RefusedConnection)
{
    const RunResult result = Measure("127.0.0.1/", std::to_string(UnusedPort()));
    EXPECT_EQ(result.text, texts::kCannotConnect);
    EXPECT_EQ(sockets.closed, sockets.opened);
}

TEST_F(RunTest, FailedSend)
{
    LoopbackServer server(Reply::Body("x"));
    sockets.failSend = true;
    const RunResult result = Measure("127.0.0.1/", server.PortText());
    EXPECT_EQ(result.text, texts::kCannotSend);
    EXPECT_GT(result.RunSent, 0);  // counted before the connection, as always
    EXPECT_EQ(sockets.closed, 1);
}

TEST_F(RunTest, MissingTemplateIsAFileErrorAndNothingIsSent)
{
    LoopbackServer server(Reply::Body("x"));
    dir.Remove();
    const RunResult result = Measure("127.0.0.1/", server.PortText());
    EXPECT_EQ(result.end, RunEnd::ErrorBox);
    EXPECT_EQ(result.text, "ファイルが見つかりません.");
    EXPECT_EQ(sockets.closed, 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(server.Exchanges().empty());
}

TEST_F(RunTest, SilentServerEndsTheResponseAtTheReceiveTimeOut)
{
    LoopbackServer server(Reply{{"HTTP/1.0 200 OK\r\n"}, 0ms, Reply::Ending::Silent});
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = Measure("127.0.0.1/", server.PortText());
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(result.end, RunEnd::Report);
    EXPECT_EQ(result.RunReceived, 17);
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 5s);
}

TEST_F(RunTest, ServerThatNeverReadsEndsAtTheSendTimeOut)
{
    Reply silent{{}, 0ms, Reply::Ending::Silent};
    silent.readRequest = false;
    LoopbackServer server(silent);
    dir.Write("GET &resource& HTTP/1.0\r\nX-Fill: " + std::string(64 << 20, 'f') + "\r\n");
    const RunResult result = Measure("127.0.0.1/", server.PortText());
    EXPECT_EQ(result.end, RunEnd::Message);
    EXPECT_EQ(result.text, texts::kCannotSend);
    EXPECT_EQ(sockets.closed, 1);
}

TEST_F(RunTest, ResetEndsTheResponseAndTheBytesSoFarStand)
{
    // The reset follows the data after a pause, while the client waits for more.
    LoopbackServer server(Reply{{kResponse.substr(0, 5000), ""}, 100ms, Reply::Ending::Reset});
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = Measure("127.0.0.1/", server.PortText());
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(result.end, RunEnd::Report);
    EXPECT_EQ(result.RunReceived, 5000);
    EXPECT_LT(waited, 290ms);  // ended by the reset, not by the 300 ms receive time-out
}

TEST_F(RunTest, SendToAPeerThatResetsDoesNotKillTheProcess)
{
    // The reset comes a moment after the connection, while the client is stuck in its send.
    Reply reset{{"", ""}, 200ms, Reply::Ending::Reset};
    reset.readRequest = false;
    LoopbackServer server(reset);
    dir.Write("GET / HTTP/1.0\r\nX-Fill: " + std::string(64 << 20, 'f') + "\r\n");
    const RunResult result = Measure("127.0.0.1/", server.PortText());
    EXPECT_EQ(result.text, texts::kCannotSend);
}

void IgnoreAlarm(int) {}

TEST_F(RunTest, SignalsDuringTheReceiveAreNotFailures)
{
    struct sigaction action {};
    action.sa_handler = IgnoreAlarm;  // no SA_RESTART: blocking calls return EINTR
    struct sigaction previous {};
    sigaction(SIGALRM, &action, &previous);
    itimerval every2ms{{0, 2000}, {0, 2000}};
    setitimer(ITIMER_REAL, &every2ms, nullptr);

    std::vector<std::string> chunks(20, std::string(1000, 'y'));
    LoopbackServer server(Reply{chunks, 10ms});
    const RunResult result = Measure("127.0.0.1/", server.PortText());

    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    ASSERT_EQ(result.end, RunEnd::Report);
    EXPECT_EQ(result.RunReceived, 20000);
}

TEST_F(RunTest, CountsBeyondFourGigabytesStayRight)
{
    LoopbackServer server(Reply{});
    std::int64_t left = (std::int64_t{5} << 30) + 7;
    sockets.receive = [&left](char*, std::size_t capacity) -> std::int64_t {
        const std::int64_t n = std::min<std::int64_t>(left, static_cast<std::int64_t>(capacity));
        left -= n;
        return n;
    };
    const RunResult result = Measure("127.0.0.1/", server.PortText(), false);
    ASSERT_EQ(result.end, RunEnd::Report);
    EXPECT_EQ(result.RunReceived, (std::int64_t{5} << 30) + 7);
    EXPECT_NE(result.text.find("総受信バイト数：5368709127 Bytes"), std::string::npos);
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow memory does not fit an address-space limit

std::size_t AddressSpaceInUse()
{
    std::size_t pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%zu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(RunTest, ImageQueueOutOfMemoryEndsTheRunWithTheErrorBox)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    LoopbackServer server(Reply{});
    // Endless chunks of new references, written in place so that only the queue allocates.
    sockets.receive = [counter = 0](char* buffer, std::size_t capacity) mutable -> std::int64_t {
        std::size_t used = 0;
        while (used + 1100 < capacity)
            used += static_cast<std::size_t>(
                std::snprintf(buffer + used, capacity - used, "<img src=\"%01000d.gif\">", counter++));
        return static_cast<std::int64_t>(used);
    };
    const auto measureWithBoundedMemory = [&] {
        const rlim_t limit = AddressSpaceInUse() + (256u << 20);
        const rlimit bounded{limit, limit};
        setrlimit(RLIMIT_AS, &bounded);
        const RunResult result = Measure("127.0.0.1/", server.PortText(), true);
        std::exit(result.end == RunEnd::ErrorBox && result.text == "行を挿入できません." ? 0 : 1);
    };
    EXPECT_EXIT(measureWithBoundedMemory(), ::testing::ExitedWithCode(0), "");
}

#endif

TEST_F(RunTest, EachRunStartsFromZero)
{
    LoopbackServer server(Reply::Body("12345"));
    const RunResult first = Measure("127.0.0.1/", server.PortText());
    const RunResult second = Measure("127.0.0.1/", server.PortText());
    EXPECT_EQ(first.RunReceived, 5);
    EXPECT_EQ(second.RunReceived, 5);
    EXPECT_EQ(first.RunSent, second.RunSent);
}

}  // namespace
}  // namespace kurvane
