#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kurvane::test {

namespace {

constexpr int kIdleMilliseconds = 200;  // a request has ended when nothing more comes for this long
constexpr int kPollMilliseconds = 20;  // how often the server looks at its stop flag

bool WaitReadable(int fd, int milliseconds)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, milliseconds) > 0;
}

// Reads until a blank line ends the request, the client stops writing, or it goes quiet.
std::string ReadRequest(int connection)
{
    std::string request;
    char block[64 * 1024];
    while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(connection, kIdleMilliseconds)) {
        const ssize_t n = recv(connection, block, sizeof block, 0);
        if (n <= 0)
            break;
        request.append(block, static_cast<std::size_t>(n));
    }
    return request;
}

std::int64_t WriteAll(int connection, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = send(connection, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(written);
}

void ResetConnection(int connection)
{
    linger abort{1, 0};
    setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(connection);
}

}  // namespace

LoopbackServer::LoopbackServer(Reply fixed)
    : LoopbackServer([fixed](const std::string&) { return fixed; }, fixed.readRequest)
{
}

LoopbackServer::LoopbackServer(Responder responder) : LoopbackServer(std::move(responder), true) {}

LoopbackServer::LoopbackServer(Responder responder, bool readRequests)
    : responder_(std::move(responder)), readRequests_(readRequests)
{
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("loopback server cannot listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer()
{
    stopping_ = true;
    thread_.join();
    close(listener_);
}

void LoopbackServer::Serve()
{
    while (!stopping_) {
        if (!WaitReadable(listener_, kPollMilliseconds))
            continue;
        const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0)
            Handle(connection);
    }
}

void LoopbackServer::Handle(int connection)
{
    Exchange exchange;
    if (readRequests_)
        exchange.request = ReadRequest(connection);
    const Reply reply = responder_(exchange.request);
    for (std::size_t i = 0; i < reply.chunks.size(); ++i) {
        if (i > 0 && reply.pause.count() > 0)
            std::this_thread::sleep_for(reply.pause);
        exchange.replied += WriteAll(connection, reply.chunks[i]);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exchanges_.push_back(exchange);
    }
    if (reply.ending == Reply::Ending::Silent)
        HoldOpen(connection);
    if (reply.ending == Reply::Ending::Reset)
        ResetConnection(connection);
    else
        close(connection);
}

// Keeps a silent connection until the client gives up or the test ends; a
// server that never reads leaves the client's bytes unread all the while.
void LoopbackServer::HoldOpen(int connection)
{
    char sink[4096];
    while (!stopping_) {
        if (readRequests_ && WaitReadable(connection, kPollMilliseconds) && recv(connection, sink, sizeof sink, 0) <= 0)
            return;
        if (!readRequests_)
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
    }
}

std::vector<Exchange> LoopbackServer::Exchanges() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return exchanges_;
}

std::vector<std::string> LoopbackServer::RequestPaths() const
{
    std::vector<std::string> paths;
    for (const Exchange& exchange : Exchanges())
        paths.push_back(PathOf(exchange.request));
    return paths;
}

std::string LoopbackServer::PathOf(const std::string& request)
{
    const std::size_t start = request.find(' ');
    if (start == std::string::npos)
        return "";
    const std::size_t end = request.find(" HTTP/", start + 1);
    return request.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

TemplateDir::TemplateDir(const std::string& contents)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kurvane-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary directory");
    dir_ = pattern;
    Write(contents);
}

TemplateDir::~TemplateDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void TemplateDir::Write(const std::string& contents) const
{
    std::ofstream(TemplatePath(), std::ios::binary | std::ios::trunc) << contents;
}

void TemplateDir::Remove() const { std::filesystem::remove(TemplatePath()); }

}  // namespace kurvane::test
