#include <gtest/gtest.h>

#include <cerrno>

#include "loopback_server.h"
#include "measure/request.h"
#include "scripted_sockets.h"

namespace kurvane {
namespace {

using test::ScriptedSockets;

struct SplitCase {
    const char* name;
    const char* address;
    bool imageMode;
    const char* imagePath;
    const char* host;
    const char* path;
};

TEST(ResolveTarget, SplitsHostAndPathAndResolvesImagesAgainstThePageDirectory)
{
    const SplitCase cases[] = {
        {"no slash", "server", false, "", "server", "/"},
        {"root", "server/", false, "", "server", "/"},
        {"page", "server/docs/index.html", false, "", "server", "/docs/index.html"},
        {"host case and port kept", "Server:8080/a", false, "", "Server:8080", "/a"},
        {"image beside the page", "server/docs/index.html", true, "img/a.gif", "server", "/docs/img/a.gif"},
        {"image up a level", "server/docs/index.html", true, "../img/a.gif", "server", "/docs/../img/a.gif"},
        {"absolute image path", "server/docs/index.html", true, "/img/a.gif", "server", "/img/a.gif"},
        {"image of a host-only page", "server", true, "img/a.gif", "server", "/img/a.gif"},
        {"last segment is a file", "server/dir", true, "a.gif", "server", "/a.gif"},
        {"slash in the query counts", "server/cgi/q?u=/x/y", true, "a.gif", "server", "/cgi/q?u=/x/a.gif"},
        {"spaces and bytes unchanged", "server/a b/\xe3\x81\x82", false, "", "server", "/a b/\xe3\x81\x82"},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSockets sockets;
        sockets.names = [](const std::string&) { return std::optional<std::uint32_t>(0x0100000a); };
        Unit1State state;
        state.ImageMode = c.imageMode;
        state.ImagePath = c.imagePath;
        EXPECT_EQ(ResolveTarget(c.address, state, sockets), 0x0100000au);
        EXPECT_EQ(state.HostName, c.host);
        EXPECT_EQ(state.RequestPath, c.path);
        EXPECT_FALSE(state.ResolveFailed);
        ASSERT_EQ(sockets.namesLookedUp.size(), 1u);
        EXPECT_EQ(sockets.namesLookedUp[0], c.host);  // looked up whole, port and all
    }
}

TEST(ResolveTarget, DottedAddressesTakeAReverseLookup)
{
    ScriptedSockets sockets;
    Unit1State state;
    EXPECT_EQ(ResolveTarget("127.0.0.1/x", state, sockets), test::Loopback());
    EXPECT_TRUE(sockets.namesLookedUp.empty());
    ASSERT_EQ(sockets.addressesLookedUp.size(), 1u);
    EXPECT_EQ(sockets.addressesLookedUp[0], test::Loopback());

    sockets.addresses = [](std::uint32_t) { return std::optional<std::uint32_t>(); };
    EXPECT_EQ(ResolveTarget("127.0.0.1/x", state, sockets), 0u);
    EXPECT_TRUE(state.ResolveFailed);
    EXPECT_EQ(state.HostName, "127.0.0.1");  // still set on failure
}

TEST(ResolveTarget, LocalhostResolvesThroughTheSystem)
{
    ScriptedSockets sockets;
    Unit1State state;
    EXPECT_EQ(ResolveTarget("localhost/", state, sockets), test::Loopback());
    EXPECT_FALSE(state.ResolveFailed);
}

TEST(ResolveTarget, UnknownNameFails)
{
    ScriptedSockets sockets;
    sockets.names = [](const std::string&) { return std::optional<std::uint32_t>(); };
    Unit1State state;
    EXPECT_EQ(ResolveTarget("nowhere/p", state, sockets), 0u);
    EXPECT_TRUE(state.ResolveFailed);
    EXPECT_EQ(state.RequestPath, "/p");
}

struct LinesCase {
    const char* name;
    std::string file;
    std::vector<std::string> lines;
};

TEST(Template, LineRules)
{
    const LinesCase cases[] = {
        {"empty file", "", {}},
        {"one line without end", "A", {"A"}},
        {"final line end opens no line", "A\r\n", {"A"}},
        {"two line ends give one empty line", "A\r\n\r\n", {"A", ""}},
        {"LF ends a line", "A\nB\n", {"A", "B"}},
        {"lone CR is dropped", "A\rB\r\nC\r", {"AB", "C"}},
        {"CR CR LF", "A\r\r\nB", {"A", "B"}},
        {"Ctrl-Z at a line start ends the file",
         "A\nB\n\x1a"
         "C\nD",
         {"A", "B"}},
        {"Ctrl-Z inside a line is a byte",
         "A\x1a"
         "B\n",
         {"A\x1a"
          "B"}},
        {"Ctrl-Z first", "\x1a", {}},
        {"blank lines and spaces kept", "  \n\t x \n\n", {"  ", "\t x ", ""}},
    };
    for (const LinesCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitTemplateLines(c.file), c.lines);
    }
}

TEST(Template, ExpandsTheWorkedExample)
{
    const std::string file = "GET &Resource& HTTP/1.0\r\nHost: &HostandPort&\r\n";
    const std::string at80 = ExpandTemplate(file, "/docs/index.html", "server", 80);
    EXPECT_EQ(at80, "GET /docs/index.html HTTP/1.0\r\nHost: server\r\n\r\n");
    EXPECT_EQ(at80.size(), 47u);
    const std::string at8080 = ExpandTemplate(file, "/docs/index.html", "server", 8080);
    EXPECT_EQ(at8080, "GET /docs/index.html HTTP/1.0\r\nHost: server:8080\r\n\r\n");
    EXPECT_EQ(at8080.size(), 52u);
}

struct ExpandCase {
    const char* name;
    std::string file;
    const char* path;
    std::string request;
};

TEST(Template, PlaceholdersAndLineEnds)
{
    const ExpandCase cases[] = {
        {"empty template is one CR LF", "", "/", "\r\n"},
        {"one trailing line end changes nothing", "X\r\n", "/", "X\r\n\r\n"},
        {"two trailing line ends", "X\r\n\r\n", "/", "X\r\n\r\n\r\n"},
        {"LF file", "X\nY", "/", "X\r\nY\r\n\r\n"},
        {"any letter case", "&RESOURCE& &resource& &ReSoUrCe&", "/p", "/p /p /p\r\n\r\n"},
        {"unclosed placeholder stays", "&resource", "/p", "&resource\r\n\r\n"},
        {"placeholder split over lines", "&reso\nurce&", "/p", "&reso\r\nurce&\r\n\r\n"},
        {"path holding the path placeholder keeps it", "&resource&", "/&resource&", "/&resource&\r\n\r\n"},
        {"path holding the host placeholder gets the host", "&resource&", "/&HOSTANDPORT&", "/h\r\n\r\n"},
        {"two placeholders in a line", "&resource&&hostandport&", "/p", "/ph\r\n\r\n"},
        {"Ctrl-Z limits the request",
         "A\nB\n\x1a"
         "C",
         "/", "A\r\nB\r\n\r\n"},
    };
    for (const ExpandCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExpandTemplate(c.file, c.path, "h", 80), c.request);
    }
}

TEST(Template, HostAndPortWritesOnlyPortsOtherThan80)
{
    EXPECT_EQ(HostAndPort("Server", 80), "Server");
    EXPECT_EQ(HostAndPort("server", 8080), "server:8080");
    EXPECT_EQ(HostAndPort("server", 1), "server:1");
}

TEST(Template, ComposeReadsTheFileAfresh)
{
    test::TemplateDir dir("GET &resource& HTTP/1.0\n");
    Unit1State state;
    state.RequestPath = "/a";
    state.HostName = "h";
    std::string request;
    FileError error;
    ASSERT_TRUE(ComposeRequest(dir.TemplatePath(), 80, state, request, error));
    EXPECT_EQ(request, "GET /a HTTP/1.0\r\n\r\n");
    dir.Write("HEAD &resource& HTTP/1.0\n");
    ASSERT_TRUE(ComposeRequest(dir.TemplatePath(), 80, state, request, error));
    EXPECT_EQ(request, "HEAD /a HTTP/1.0\r\n\r\n");
}

TEST(Template, FileErrorsByCause)
{
    test::TemplateDir dir;
    Unit1State state;
    std::string request = "stale";
    FileError error;
    EXPECT_FALSE(ComposeRequest(dir.Path() + "/missing.cfg", 80, state, request, error));
    EXPECT_EQ(WithFullStop(error.Text()), "ファイルが見つかりません.");
    EXPECT_TRUE(request.empty());
    EXPECT_FALSE(ComposeRequest(dir.TemplatePath() + "/below-a-file", 80, state, request, error));
    EXPECT_EQ(WithFullStop(error.Text()), "不正なファイル名です.");
    EXPECT_FALSE(ComposeRequest(dir.Path(), 80, state, request, error));  // a directory cannot be read
    EXPECT_EQ(WithFullStop(error.Text()), "I/O エラー (21)");
}

TEST(Template, ErrorTextsAndTheFullStopRule)
{
    const std::pair<int, const char*> cases[] = {
        {ENOENT, "ファイルが見つかりません."},
        {ENOTDIR, "不正なファイル名です."},
        {ENAMETOOLONG, "不正なファイル名です."},
        {EMFILE, "オープンしたファイルが多すぎます."},
        {ENFILE, "オープンしたファイルが多すぎます."},
        {EACCES, "ファイルへのアクセスが拒否されました."},
        {EPERM, "ファイルへのアクセスが拒否されました."},
        {EIO, "I/O エラー (5)"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(WithFullStop(FileError{code}.Text()), text);
    EXPECT_EQ(WithFullStop("done."), "done.");
    EXPECT_EQ(WithFullStop("x!"), "x!");  // '!' sorts below '.'
    EXPECT_EQ(WithFullStop(""), "");
}

}  // namespace
}  // namespace kurvane
