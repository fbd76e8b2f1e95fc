// Whole runs with images on, through the loopback server: which requests the
// page's IMG tags lead to, in which order, and what the report then counts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "charges/charges.h"
#include "loopback_server.h"
#include "measure_command.h"
#include "measure/run.h"
#include "resources/texts.h"
#include "scripted_sockets.h"

namespace kurvane {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using test::LoopbackServer;
using test::Reply;
using test::ScriptedSockets;

class SilentObserver final : public RunObserver {
public:
    void FieldCorrected(RunField, CorrectionReason, const std::string&) override {}
    void Beep() override {}
};

const std::string kGif = "GIF89a\x01\x00\x01\x00 <img src=\"inside-an-image.gif\">"s;

// A server holding the given paths; anything else is answered with a 404 page.
LoopbackServer::Responder Site(std::map<std::string, std::string> files)
{
    return [files = std::move(files)](const std::string& request) {
        const auto found = files.find(LoopbackServer::PathOf(request));
        if (found == files.end())
            return Reply::Body("HTTP/1.0 404 Not Found\r\n\r\n<html>no such file</html>");
        return Reply::Body("HTTP/1.0 200 OK\r\n\r\n" + found->second);
    };
}

std::string Request(const std::string& path, const std::string& hostAndPort)
{
    return "GET " + path + " HTTP/1.0\r\nHost: " + hostAndPort + "\r\n\r\n";
}

class ImagesRunTest : public ::testing::Test {
protected:
    RunResult Measure(const LoopbackServer& server, const std::string& address, bool images = true)
    {
        const RunInput input{address, "128", "0.3", server.PortText(), images};
        return run.Button1Click(input, observer);
    }

    // Every host name leads to the loopback server, except those meant to be unknown.
    void ResolveNamesToLoopback()
    {
        sockets.names = [](const std::string& name) -> std::optional<std::uint32_t> {
            if (name.find(".invalid") != std::string::npos)
                return std::nullopt;
            return test::Loopback();
        };
    }

    test::TemplateDir dir;
    ScriptedSockets sockets{{2000ms, 1000ms, 1000ms}};
    MeasurementRun run{sockets, RunConfig{dir.TemplatePath(), "."}};
    SilentObserver observer;
};

TEST_F(ImagesRunTest, PageThenEachGifOnceInQueueOrderAndTheReportSumsThemAll)
{
    // B.GIF repeats b.gif, x.jpg is no GIF, missing.gif gets a 404, and the
    // tag inside each image's data is never looked at.
    LoopbackServer server(Site({
        {"/dir/page.html", "<html><img src=\"b.gif\"><IMG SRC=A.gif WIDTH=1><img src=\"img/c.gif\">"
                           "<img src=\"/root/d.gif\"><img src=\"B.GIF\"><img src=x.jpg><img src=\"missing.gif\">"
                           "</html>"},
        {"/dir/A.gif", kGif},
        {"/dir/b.gif", kGif},
        {"/dir/img/c.gif", kGif},
        {"/root/d.gif", kGif},
    }));
    const RunResult result = Measure(server, "127.0.0.1/dir/page.html");

    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    EXPECT_EQ(server.RequestPaths(), (std::vector<std::string>{"/dir/page.html", "/root/d.gif", "/dir/A.gif",
                                                               "/dir/b.gif", "/dir/img/c.gif", "/dir/missing.gif"}));
    std::int64_t sent = 0;
    std::int64_t received = 0;
    for (const test::Exchange& exchange : server.Exchanges()) {
        sent += static_cast<std::int64_t>(exchange.request.size());
        received += exchange.replied;
    }
    EXPECT_EQ(result.RunSent, sent);
    EXPECT_EQ(result.RunReceived, received);
    EXPECT_EQ(result.GifCount, 5);
    EXPECT_EQ(result.text, BuildReport(sent, received, 5, 128, 0.3, "."));
    ASSERT_EQ(result.fetches.size(), 6u);
    EXPECT_EQ(result.fetches[1].path, "/root/d.gif");
    EXPECT_EQ(result.fetches[5].path, "/dir/missing.gif");
    EXPECT_TRUE(run.State().ListBox1.Empty());
}

TEST_F(ImagesRunTest, HeaderLinesAreScannedLikeTheBody)
{
    LoopbackServer server([](const std::string& request) {
        if (LoopbackServer::PathOf(request) == "/")
            return Reply::Body("HTTP/1.0 200 OK\r\nX-Logo: <img src=h.gif>\r\n\r\n<html></html>");
        return Reply::Body(kGif);
    });
    const RunResult result = Measure(server, "127.0.0.1");
    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    EXPECT_EQ(server.RequestPaths(), (std::vector<std::string>{"/", "/h.gif"}));
    EXPECT_EQ(result.GifCount, 1);
}

TEST_F(ImagesRunTest, ImagesOffFetchesThePageAlone)
{
    LoopbackServer server(Site({{"/p.html", "<img src=\"a.gif\"><img src=\"b.gif\">"}}));
    const RunResult result = Measure(server, "127.0.0.1/p.html", false);
    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    EXPECT_EQ(server.RequestPaths(), std::vector<std::string>{"/p.html"});
    EXPECT_EQ(result.GifCount, 0);
    EXPECT_TRUE(run.State().ListBox1.Empty());
}

struct RelativeCase {
    const char* typed;
    const char* pagePath;
    const char* reference;
    const char* imagePath;
};

TEST_F(ImagesRunTest, RelativeReferencesFollowTheTypedAddress)
{
    const RelativeCase cases[] = {
        {"127.0.0.1", "/", "img/a.gif", "/img/a.gif"},
        {"127.0.0.1/dir", "/dir", "a.gif", "/a.gif"},
        {"127.0.0.1/dir/", "/dir/", "a.gif", "/dir/a.gif"},
        {"http://127.0.0.1/cgi/q?u=/x/y", "/cgi/q?u=/x/y", "a.gif", "/cgi/q?u=/x/a.gif"},
        {"127.0.0.1/d/p.html", "/d/p.html", "../i/a.gif", "/d/../i/a.gif"},
        {"127.0.0.1/d/p.html", "/d/p.html", "/abs/a.gif", "/abs/a.gif"},
        {"127.0.0.1/d/p.html", "/d/p.html", "a.gif?v=2#top", "/d/a.gif?v=2#top"},
    };
    for (const RelativeCase& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " + " + c.reference);
        LoopbackServer server(Site({{c.pagePath, "<img src=\"" + std::string(c.reference) + "\">"}}));
        const RunResult result = Measure(server, c.typed);
        ASSERT_EQ(result.end, RunEnd::Report) << result.text;
        EXPECT_EQ(server.RequestPaths(), (std::vector<std::string>{c.pagePath, c.imagePath}));
    }
}

TEST_F(ImagesRunTest, LeadingBlanksOfTheTypedAddressReachTheImageFetch)
{
    // The page's address is trimmed; a relative image's is the field as typed.
    ResolveNamesToLoopback();
    LoopbackServer server(Site({{"/d/p.html", "<img src=a.gif>"}}));
    const RunResult result = Measure(server, "  127.0.0.1/d/p.html");
    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    const std::vector<test::Exchange> exchanges = server.Exchanges();
    ASSERT_EQ(exchanges.size(), 2u);
    EXPECT_EQ(exchanges[0].request, Request("/d/p.html", "127.0.0.1:" + server.PortText()));
    EXPECT_EQ(exchanges[1].request, Request("/d/a.gif", "  127.0.0.1:" + server.PortText()));
    EXPECT_EQ(sockets.namesLookedUp, std::vector<std::string>{"  127.0.0.1"});
}

TEST_F(ImagesRunTest, AbsoluteReferencesNameTheirOwnHostOnTheRunsPort)
{
    ResolveNamesToLoopback();
    LoopbackServer server(Site({{"/", "<img src=\"http://img.example/p/q.gif\"><img src=\"//cdn.example/q.gif\">"
                                      "<img src=\"http://u.gif\"><img src=\"img//s.gif\">"
                                      "<img src=\"ftp://files.example/v.gif\">"}}));
    const RunResult result = Measure(server, "127.0.0.1/");
    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    const std::string port = ":" + server.PortText();
    std::vector<std::string> requests;
    for (const test::Exchange& exchange : server.Exchanges())
        requests.push_back(exchange.request);
    EXPECT_EQ(requests, (std::vector<std::string>{
                            Request("/", "127.0.0.1" + port),
                            Request("/q.gif", "cdn.example" + port),
                            Request("/v.gif", "files.example" + port),
                            Request("/p/q.gif", "img.example" + port),
                            Request("/u.gif", "u.gif" + port),
                            Request("/s.gif", "s.gif" + port),
                        }));
    EXPECT_EQ(sockets.namesLookedUp,
              (std::vector<std::string>{"cdn.example", "files.example", "img.example", "u.gif", "s.gif"}));
}

TEST_F(ImagesRunTest, BadImageAddressEndsTheRunAndTheNextRunStartsAfresh)
{
    LoopbackServer server(Site({
        {"/dir/page.html", "<img src=a.gif><img src=\"http://127.0.0.1//t.gif\"><img src=z.gif>"},
        {"/dir/a.gif", kGif},
        {"/dir/plain.html", "<p>no images</p>"},
    }));
    const RunResult failed = Measure(server, "127.0.0.1/dir/page.html");
    EXPECT_EQ(failed.end, RunEnd::Message);
    EXPECT_EQ(failed.text, texts::kBadAddress);
    EXPECT_EQ(server.RequestPaths(), (std::vector<std::string>{"/dir/page.html", "/dir/a.gif"}));
    EXPECT_EQ(sockets.closed, sockets.opened);

    // z.gif was left in the queue; the next run throws it away.
    const RunResult next = Measure(server, "127.0.0.1/dir/plain.html");
    ASSERT_EQ(next.end, RunEnd::Report) << next.text;
    EXPECT_EQ(next.GifCount, 0);
    EXPECT_EQ(server.RequestPaths(), (std::vector<std::string>{"/dir/page.html", "/dir/a.gif", "/dir/plain.html"}));
}

TEST_F(ImagesRunTest, UnknownImageHostEndsTheRunWithoutAReport)
{
    ResolveNamesToLoopback();
    LoopbackServer server(Site({{"/", "<img src=\"http://nowhere.invalid/x.gif\"><img src=a.gif>"}, {"/a.gif", kGif}}));
    const RunResult result = Measure(server, "127.0.0.1/");
    EXPECT_EQ(result.end, RunEnd::Message);
    EXPECT_EQ(result.text, texts::kCannotConnect);
    EXPECT_EQ(server.RequestPaths(), (std::vector<std::string>{"/", "/a.gif"}));
    EXPECT_EQ(sockets.closed, sockets.opened);
}

TEST_F(ImagesRunTest, EachChunkIsScannedByItselfUpToItsFirstZeroByte)
{
    // Receive calls deliver exactly these chunks: the page's, then one per image.
    const std::vector<std::vector<std::string>> responses = {
        {R"(<p><img src="a.gi)", R"(f"><img src="b.gif">)", "<img src=\"c.gif\">\0<img src=\"d.gif\">"s},
        {kGif},
        {kGif},
    };
    std::size_t response = 0;
    std::size_t chunk = 0;
    sockets.receive = [&](char* buffer, std::size_t capacity) -> std::int64_t {
        if (response >= responses.size() || chunk == responses[response].size()) {
            ++response;
            chunk = 0;
            return 0;
        }
        const std::string& bytes = responses[response][chunk++];
        EXPECT_LE(bytes.size(), capacity);
        std::memcpy(buffer, bytes.data(), bytes.size());
        return static_cast<std::int64_t>(bytes.size());
    };
    LoopbackServer server(Reply::Body(""));
    const RunResult result = Measure(server, "127.0.0.1/p.html");

    ASSERT_EQ(result.end, RunEnd::Report) << result.text;
    // The server may not have read every request yet, since no reply was awaited: ask the run.
    std::vector<std::string> paths;
    for (const FetchRecord& fetch : result.fetches)
        paths.push_back(fetch.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/p.html", "/b.gif", "/c.gif"}));
    EXPECT_EQ(result.GifCount, 2);
    std::int64_t received = 0;
    for (const auto& chunks : responses) {
        for (const std::string& bytes : chunks)
            received += static_cast<std::int64_t>(bytes.size());  // bytes after a zero byte count too
    }
    EXPECT_EQ(result.RunReceived, received);
}

// kurvane-measure with images on and off, as a script sees it.
std::string RunMeasureCommand(const test::TemplateDir& dir, const std::vector<std::string>& args)
{
    const test::CommandOutcome outcome = test::RunMeasureCommand(dir.Path(), args);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    return outcome.out;
}

TEST(MeasureCommandImages, JsonListsEveryFetchInOrderAndNoImagesFetchesThePageAlone)
{
    test::TemplateDir dir("GET &resource& HTTP/1.0\r\n");
    LoopbackServer server(Site({{"/p", "<img src=b.gif><img src=a.gif>"}, {"/a.gif", "A"}, {"/b.gif", "BB"}}));
    const std::string port = server.PortText();

    const std::string json = RunMeasureCommand(dir, {"--json", "--port", port, "127.0.0.1/p"});
    const std::size_t fetches = json.find("\"fetches\":");
    ASSERT_NE(fetches, std::string::npos) << json;
    EXPECT_NE(json.find("\"gif_count\":2"), std::string::npos) << json;
    const std::size_t page = json.find("\"path\":\"/p\"", fetches);
    const std::size_t a = json.find("\"path\":\"/a.gif\"", fetches);
    const std::size_t b = json.find("\"path\":\"/b.gif\"", fetches);
    EXPECT_TRUE(page != std::string::npos && a != std::string::npos && b != std::string::npos) << json;
    EXPECT_LT(page, a);
    EXPECT_LT(a, b);

    const std::string off = RunMeasureCommand(dir, {"--json", "--no-images", "--port", port, "127.0.0.1/p"});
    EXPECT_NE(off.find("\"gif_count\":0"), std::string::npos) << off;
    EXPECT_EQ(off.find(".gif"), std::string::npos) << off;
    EXPECT_EQ(server.RequestPaths(), (std::vector<std::string>{"/p", "/a.gif", "/b.gif", "/p"}));
}

}  // namespace
}  // namespace kurvane
