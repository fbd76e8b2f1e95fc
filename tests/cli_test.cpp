#include <gtest/gtest.h>

#include <filesystem>

#include "loopback_server.h"
#include "measure_command.h"

namespace kurvane {
namespace {

using test::LoopbackServer;
using test::Reply;

using Outcome = test::CommandOutcome;
using test::RunMeasureCommand;

const char* const kNote = "※ここではひとつのホームページごとにパケット数を計算し\n"
                          "　ていますが、実際には月ごとに計算されます。\n"
                          "　したがって、実際より高く表示されることがあります。\n"
                          "\n"
                          "正確さを求めるのではなく、あくまでも目安としてお使いく\n"
                          "ださい。\n";

TEST(MeasureCommand, PrintsTheReportWithLineFeeds)
{
    test::TemplateDir dir;
    LoopbackServer server(Reply::Body(std::string(1416, 'b')));
    // 47 bytes of request for "127.0.0.1/" with the port written into the host line.
    dir.Write("GET &resource& HTTP/1.0\r\nHost: &hostandport&\r\n");
    const Outcome outcome = RunMeasureCommand(dir.Path(), {"--port", server.PortText(), "127.0.0.1/"});
    const std::string sent = std::to_string(server.Exchanges().at(0).request.size());
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out.substr(0, outcome.out.find("GIF")),
              "総送信バイト数：" + sent + " Bytes\n総受信バイト数：1416 Bytes\n総送受信バイト数：" +
                  std::to_string(std::stoi(sent) + 1416) + " Bytes (1.42 KBytes)\n");
    EXPECT_NE(outcome.out.find("GIF画像数：0\n\nパケット数：12\n利用料金：3.6円\n"), std::string::npos);
    EXPECT_EQ(outcome.out.substr(outcome.out.size() - std::string(kNote).size()), kNote);
}

TEST(MeasureCommand, SeveralAddressesGoOnAfterAFailureAndEndWithTheTotals)
{
    test::TemplateDir dir("GET &resource& HTTP/1.0\r\n");
    LoopbackServer server(Reply::Body(std::string(100, 'b')));
    const Outcome outcome =
        RunMeasureCommand(dir.Path(), {"--port", server.PortText(), "127.0.0.1/a", "host//bad", "127.0.0.1/b"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "入力されたアドレスか、ページ上に間違ったアドレスの形式ありました。確認してみてください。\n");
    // Two reports, each followed by an empty line, then the three panels.
    const std::string totals = "\n送信： 38Bytes\n受信： 200Bytes\n利用料金： 0.6円\n";
    ASSERT_GE(outcome.out.size(), totals.size());
    EXPECT_EQ(outcome.out.substr(outcome.out.size() - totals.size()), totals);
    EXPECT_EQ(server.RequestPaths(), (std::vector<std::string>{"/a", "/b"}));
}

TEST(MeasureCommand, CorrectionsAndTheBeepAreAnnouncedOnStderr)
{
    test::TemplateDir dir;
    const Outcome outcome =
        RunMeasureCommand(dir.Path(), {"--packet-size", "abc", "--port", "0", "http://h/a.gif", "--no-images"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err,
              "kurvane-measure: --packet-size \"abc\" replaced by 128 (packet size and price fall back together)\n"
              "kurvane-measure: --price \"0.3\" replaced by 0.3 (packet size and price fall back together)\n"
              "kurvane-measure: beep: --port \"0\" is not a port from 1 to 65535\n"
              "kurvane-measure: --port \"0\" replaced by 80 (out of range)\n"
              "画像ファイルの為、データを読み込みません。\n\n『画像を読み込む』をチェックしてから\n"
              "実行してみてください。\n");
}

TEST(MeasureCommand, JsonLinesOnePerRun)
{
    test::TemplateDir dir("GET &resource& HTTP/1.0\r\n");
    LoopbackServer server(Reply::Body("0123456789"));
    const Outcome outcome =
        RunMeasureCommand(dir.Path(), {"--json", "--port", server.PortText(), "127.0.0.1/x", "/bad"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "");
    const std::string port = server.PortText();
    EXPECT_EQ(
        outcome.out,
        "{\"address\":\"127.0.0.1/x\",\"ok\":true,\"message\":null,\"sent\":19,\"received\":10,\"total\":29,"
        "\"kilobytes\":\"0.03\",\"charge\":\"0.3\",\"gif_count\":0,\"packets\":1,\"settings\":{\"packet_size\":128,"
        "\"price\":0.3,\"port\":" +
            port +
            ",\"images\":true},\"fetches\":[{\"host\":\"127.0.0.1\",\"path\":\"/x\","
            "\"sent\":19,\"received\":10}]}\n"
            "{\"address\":\"/"
            "bad\",\"ok\":false,\"message\":\"入力されたアドレスか、ページ上に間違ったアドレスの形式あり"
            "ました。確認してみてください。\",\"sent\":0,\"received\":0,\"total\":0,\"kilobytes\":null,\"charge\":null,"
            "\"gif_count\":0,\"packets\":null,\"settings\":{\"packet_size\":128,\"price\":0.3,\"port\":" +
            port + ",\"images\":true},\"fetches\":[]}\n");
}

TEST(MeasureCommand, MissingTemplateAndBadUsage)
{
    test::TemplateDir dir;
    dir.Remove();
    Outcome outcome = RunMeasureCommand(dir.Path(), {"127.0.0.1/"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, "header.cfg が読み込めません。\n");

    std::filesystem::create_directory(dir.TemplatePath());  // a directory of that name does not count
    EXPECT_EQ(RunMeasureCommand(dir.Path(), {"127.0.0.1/"}).status, 2);

    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--frobnicate", "x"}, {"--port"}}) {
        outcome = RunMeasureCommand(dir.Path(), args);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.err.find("--help"), std::string::npos);
    }
    outcome = RunMeasureCommand(dir.Path(), {"--help"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out.rfind("Usage: kurvane-measure", 0), 0u);
    EXPECT_EQ(RunMeasureCommand(dir.Path(), {"--version"}).out, "kurvane-measure " KURVANE_VERSION "\n");
}

}  // namespace
}  // namespace kurvane
