// An HTTP server on 127.0.0.1 inside the test process. It records each
// connection's request bytes and answers with scripted bytes: in chunks, with
// pauses, closing, resetting, or staying silent.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kurvane::test {

struct Reply {
    enum class Ending { Close, Reset, Silent };

    std::vector<std::string> chunks;  // written one by one
    std::chrono::milliseconds pause{0};  // between chunks
    Ending ending = Ending::Close;
    bool readRequest = true;  // false: never read, so a large request blocks the client

    static Reply Body(std::string bytes) { return Reply{{std::move(bytes)}}; }
};

struct Exchange {
    std::string request;  // every byte the client sent
    std::int64_t replied = 0;  // every byte written back
};

class LoopbackServer {
public:
    using Responder = std::function<Reply(const std::string& request)>;

    explicit LoopbackServer(Responder responder);
    explicit LoopbackServer(Reply fixed);  // every connection gets the same reply
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    std::vector<Exchange> Exchanges() const;
    // The path of each request line "METHOD PATH VERSION", in the order they came.
    std::vector<std::string> RequestPaths() const;

    static std::string PathOf(const std::string& request);

private:
    LoopbackServer(Responder responder, bool readRequests);
    void Serve();
    void Handle(int connection);
    void HoldOpen(int connection);

    Responder responder_;
    bool readRequests_ = true;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<Exchange> exchanges_;
    std::thread thread_;
};

// A ready header.cfg in a fresh temporary directory, removed again at the end.
class TemplateDir {
public:
    explicit TemplateDir(const std::string& contents = "GET &Resource& HTTP/1.0\r\nHost: &HostandPort&\r\n");
    ~TemplateDir();
    TemplateDir(const TemplateDir&) = delete;
    TemplateDir& operator=(const TemplateDir&) = delete;

    const std::string& Path() const { return dir_; }
    std::string TemplatePath() const { return dir_ + "/header.cfg"; }
    void Write(const std::string& contents) const;
    void Remove() const;

private:
    std::string dir_;
};

}  // namespace kurvane::test
