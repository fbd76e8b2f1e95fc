// Runs against awkward servers and files, through real loopback sockets: a
// response one byte at a time, a page with 100,000 IMG tags whose images are
// all fetched, a template line of 10 MiB, the template removed in the middle
// of a run, and a connection request that is never answered.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "loopback_server.h"
#include "measure/images.h"
#include "measure/request.h"
#include "measure/run.h"
#include "measure/sockets.h"
#include "resources/texts.h"

namespace kurvane {
namespace {

using namespace std::chrono_literals;
using test::Exchange;
using test::LoopbackServer;
using test::Reply;

const std::string kImageReply = "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\nGIF89a";

class QuietObserver final : public RunObserver {
public:
    void FieldCorrected(RunField, CorrectionReason, const std::string&) override {}
    void Beep() override {}
};

// The real sockets, keeping the chunks each connection's receive calls returned:
// what the run counted and what its scanner was given.
class RecordingSockets final : public Sockets {
public:
    explicit RecordingSockets(SocketTimeouts timeouts) : real_(MakePosixSockets(timeouts)) {}

    std::vector<std::vector<std::string>> chunks;  // per connection, in the order they were opened
    int opened = 0;
    int closed = 0;

    SocketHandle Socket() override
    {
        const SocketHandle s = real_->Socket();
        if (s != kInvalidSocket) {
            ++opened;
            chunks.emplace_back();
        }
        return s;
    }
    bool Connect(SocketHandle s, std::uint32_t address, std::uint16_t port) override
    {
        return real_->Connect(s, address, port);
    }
    std::int64_t Send(SocketHandle s, const char* data, std::size_t length) override
    {
        return real_->Send(s, data, length);
    }
    std::int64_t Receive(SocketHandle s, char* buffer, std::size_t capacity) override
    {
        const std::int64_t n = real_->Receive(s, buffer, capacity);
        if (n > 0)
            chunks.back().emplace_back(buffer, static_cast<std::size_t>(n));
        return n;
    }
    void Close(SocketHandle s) override
    {
        ++closed;
        real_->Close(s);
    }
    std::uint32_t InetAddr(const std::string& text) override { return real_->InetAddr(text); }
    std::optional<std::uint32_t> LookupName(const std::string& name) override { return real_->LookupName(name); }
    std::optional<std::uint32_t> LookupAddress(std::uint32_t address) override { return real_->LookupAddress(address); }

private:
    std::unique_ptr<Sockets> real_;
};

std::int64_t SumOf(const std::vector<Exchange>& exchanges, bool requests)
{
    std::int64_t sum = 0;
    for (const Exchange& exchange : exchanges)
        sum += requests ? static_cast<std::int64_t>(exchange.request.size()) : exchange.replied;
    return sum;
}

// The names of the tags `<img src="NAME">` that lie whole inside one chunk:
// the only ones a scan that carries nothing between chunks can find.
std::set<std::string> WholeTagNames(const std::vector<std::string>& chunks)
{
    static const std::string kOpen = "<img src=\"";
    std::set<std::string> names;
    for (const std::string& chunk : chunks) {
        for (std::size_t at = chunk.find(kOpen); at != std::string::npos; at = chunk.find(kOpen, at + 1)) {
            const std::size_t name = at + kOpen.size();
            const std::size_t end = chunk.find("\">", name);
            if (end != std::string::npos)
                names.insert(chunk.substr(name, end - name));
        }
    }
    return names;
}

class FaultTest : public ::testing::Test {
protected:
    RunResult Measure(const std::string& address, const LoopbackServer& server, bool images = true)
    {
        const RunInput input{address, "128", "0.3", server.PortText(), images};
        return run.Button1Click(input, observer);
    }

    test::TemplateDir dir;
    RecordingSockets sockets{SocketTimeouts{2000ms, 5000ms, 5000ms}};
    MeasurementRun run{sockets, RunConfig{dir.TemplatePath(), "."}};
    QuietObserver observer;
};

TEST_F(FaultTest, OneBytePerPacketIsCountedExactlyAndNoTagIsJoinedAcrossPackets)
{
    const std::string page = "HTTP/1.0 200 OK\r\n\r\n<p><img src=\"a.gif\"><IMG SRC=b.gif></p>";
    Reply trickle;
    for (char c : page)
        trickle.chunks.emplace_back(1, c);
    trickle.pause = 2ms;
    LoopbackServer server([&](const std::string& request) {
        return LoopbackServer::PathOf(request) == "/page.html" ? trickle : Reply::Body(kImageReply);
    });

    const RunResult result = Measure("127.0.0.1/page.html", server);

    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    const std::vector<Exchange> exchanges = server.Exchanges();
    ASSERT_FALSE(exchanges.empty());
    EXPECT_EQ(exchanges[0].replied, static_cast<std::int64_t>(page.size()));
    EXPECT_EQ(result.RunReceived, SumOf(exchanges, false));
    EXPECT_EQ(result.RunSent, SumOf(exchanges, true));

    const std::vector<std::string>& pageChunks = sockets.chunks[0];
    std::string joined;
    for (const std::string& chunk : pageChunks)
        joined += chunk;
    EXPECT_EQ(joined, page);
    // Loopback may still merge a few bytes; most receive calls must see one.
    const auto single =
        std::count_if(pageChunks.begin(), pageChunks.end(), [](const std::string& chunk) { return chunk.size() == 1; });
    EXPECT_GT(single, static_cast<std::ptrdiff_t>(page.size() / 2)) << pageChunks.size() << " receive calls";
    // Only tags that arrived whole in one receive call are queued.
    ImageQueue expected;
    std::int32_t expectedCount = 0;
    for (const std::string& chunk : pageChunks)
        ScanImageReferences(chunk, expected, expectedCount);
    EXPECT_EQ(result.GifCount, expectedCount);
    EXPECT_EQ(exchanges.size(), 1u + static_cast<std::size_t>(expectedCount));
}

// One connection per image: with tiny image replies the loopback takes tens of
// microseconds a fetch, so all 100,000 fit the suite's time.
TEST_F(FaultTest, PageWithAHundredThousandImgTagsFetchesEveryImageOnce)
{
    constexpr int kTags = 100'000;
    std::string page = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>\n";
    for (int i = 0; i < kTags; ++i) {
        char tag[48];
        std::snprintf(tag, sizeof tag, "<img src=\"i%06d.gif\">\n", i);
        page += tag;
    }
    page += "</body></html>\n";
    LoopbackServer server([&](const std::string& request) {
        return Reply::Body(LoopbackServer::PathOf(request) == "/page.html" ? page : kImageReply);
    });

    const auto start = std::chrono::steady_clock::now();
    const RunResult result = Measure("127.0.0.1/page.html", server);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    RecordProperty("milliseconds", std::to_string(took.count()));
    std::printf("%d tags: %zu fetches in %lld ms\n", kTags, result.fetches.size(),
                static_cast<long long>(took.count()));

    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    // A tag cut by the edge of a receive call is not joined, so a few are lost by design.
    const std::set<std::string> names = WholeTagNames(sockets.chunks[0]);
    EXPECT_GT(names.size(), static_cast<std::size_t>(kTags) * 9 / 10);
    EXPECT_EQ(result.GifCount, static_cast<std::int32_t>(names.size()));
    ASSERT_EQ(result.fetches.size(), 1 + names.size());
    std::size_t i = 1;
    for (const std::string& name : names) {  // the queue's order: zero-padded names sort as numbers
        ASSERT_EQ(result.fetches[i].path, "/" + name) << "fetch " << i;
        ++i;
    }
    const std::vector<Exchange> exchanges = server.Exchanges();
    ASSERT_EQ(exchanges.size(), result.fetches.size());
    EXPECT_EQ(exchanges[0].replied, static_cast<std::int64_t>(page.size()));
    EXPECT_EQ(result.RunSent, SumOf(exchanges, true));
    EXPECT_EQ(result.RunReceived, SumOf(exchanges, false));
    EXPECT_EQ(sockets.opened, sockets.closed);
}

TEST_F(FaultTest, TemplateLineOfTenMebibytesIsSentAndCountedExactly)
{
    const std::string half(5 << 20, 'a');
    dir.Write("GET &Resource& HTTP/1.0\r\nX-Long: " + half + "&resource&" + half + "&HostAndPort&\r\n");
    LoopbackServer server(Reply::Body("HTTP/1.0 204 No Content\r\n\r\n"));

    const RunResult result = Measure("127.0.0.1/big", server, false);

    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    const std::string hostAndPort = "127.0.0.1:" + server.PortText();
    const std::string expected = "GET /big HTTP/1.0\r\nX-Long: " + half + "/big" + half + hostAndPort + "\r\n\r\n";
    const std::vector<Exchange> exchanges = server.Exchanges();
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_TRUE(exchanges[0].request == expected)
        << "request of " << exchanges[0].request.size() << " bytes, expected " << expected.size();
    EXPECT_EQ(result.RunSent, static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(result.RunReceived, exchanges[0].replied);
}

TEST_F(FaultTest, TemplateRemovedAfterThePageEndsTheRunWithTheFileError)
{
    const std::string page = "HTTP/1.0 200 OK\r\n\r\n<img src=\"a.gif\"><img src=\"b.gif\">";
    LoopbackServer server([&](const std::string& request) {
        if (LoopbackServer::PathOf(request) != "/page.html")
            return Reply::Body(kImageReply);
        dir.Remove();  // the page's request has been composed; the first image's cannot be
        return Reply::Body(page);
    });

    const RunResult result = Measure("127.0.0.1/page.html", server);

    EXPECT_EQ(result.end, RunEnd::ErrorBox);
    EXPECT_EQ(result.text, "ファイルが見つかりません.");
    const std::vector<Exchange> exchanges = server.Exchanges();
    ASSERT_EQ(exchanges.size(), 1u);  // nothing was sent for the image
    EXPECT_EQ(result.RunSent, static_cast<std::int64_t>(exchanges[0].request.size()));
    EXPECT_EQ(result.RunReceived, static_cast<std::int64_t>(page.size()));
    EXPECT_EQ(sockets.opened, 2);
    EXPECT_EQ(sockets.closed, 2);
}

// A listener whose accept queue is full and that never accepts: the kernel
// drops further connection requests, so a connect waits until its time-out.
class FullListener {
public:
    FullListener()
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 0) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        // Fill the queue until a connection request goes unanswered.
        for (int i = 0; i < 16 && !full_; ++i) {
            const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            fillers_.push_back(s);
            if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                continue;
            pollfd entry{s, POLLOUT, 0};
            full_ = poll(&entry, 1, 200) == 0;
        }
    }
    ~FullListener()
    {
        for (int s : fillers_)
            close(s);
        close(listener_);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    bool Full() const { return full_; }
    std::string PortText() const { return std::to_string(port_); }

private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
    bool full_ = false;
    std::vector<int> fillers_;
};

TEST(ConnectTimeOut, ConnectionRequestNeverAnsweredEndsAtTheConnectTimeOut)
{
    FullListener listener;
    if (!listener.Full())
        GTEST_SKIP() << "the kernel answered every connection request to a full listener";
    test::TemplateDir dir;
    RecordingSockets sockets{SocketTimeouts{300ms, 300ms, 300ms}};
    MeasurementRun run{sockets, RunConfig{dir.TemplatePath(), "."}};
    QuietObserver observer;

    const auto start = std::chrono::steady_clock::now();
    const RunResult result =
        run.Button1Click(RunInput{"127.0.0.1/", "128", "0.3", listener.PortText(), true}, observer);
    const auto waited = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(result.end, RunEnd::Message);
    EXPECT_EQ(result.text, texts::kCannotConnect);
    EXPECT_GT(result.RunSent, 0);  // the request is counted before the connection is tried
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 5s);
    EXPECT_EQ(sockets.opened, 1);
    EXPECT_EQ(sockets.closed, 1);
}

}  // namespace
}  // namespace kurvane
