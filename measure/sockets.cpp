#include "measure/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace kurvane {

namespace {

// The kernel is read in blocks this large; callers still get at most what they
// ask for per call. Fewer system calls per byte, and a fixed, small footprint.
constexpr std::size_t kReadAheadSize = 256 * 1024;

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    // Rounded up, so that a wait never ends before its deadline.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// Waits for the socket to become ready; false on time-out or error.
bool WaitFor(SocketHandle s, short events, std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        pollfd entry{s, events, 0};
        const int ready = poll(&entry, 1, MillisecondsLeft(deadline));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready == 0 && Clock::now() >= deadline)
            return false;
    }
}

bool SetNonBlocking(SocketHandle s)
{
    const int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool HasZeroByte(const std::string& text) { return text.find('\0') != std::string::npos; }

class PosixSockets final : public Sockets {
public:
    explicit PosixSockets(SocketTimeouts timeouts) : timeouts_(timeouts) {}

    SocketHandle Socket() override
    {
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
        if (s < 0)
            return kInvalidSocket;
        if (!SetNonBlocking(s)) {
            close(s);
            return kInvalidSocket;
        }
        return s;
    }

    bool Connect(SocketHandle s, std::uint32_t address, std::uint16_t port) override
    {
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = port;
        server.sin_addr.s_addr = address;
        if (connect(s, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0)
            return true;
        if (errno != EINPROGRESS && errno != EINTR)
            return false;
        if (!WaitFor(s, POLLOUT, timeouts_.connect))
            return false;
        int error = 0;
        socklen_t length = sizeof error;
        return getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }

    std::int64_t Send(SocketHandle s, const char* data, std::size_t length) override
    {
        std::size_t sent = 0;
        while (sent < length) {
            const ssize_t n = send(s, data + sent, length - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            // The time-out counts from the last progress: a slow reader is not a failure.
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(s, POLLOUT, timeouts_.send))
                continue;
            return -1;
        }
        return static_cast<std::int64_t>(sent);
    }

    std::int64_t Receive(SocketHandle s, char* buffer, std::size_t capacity) override
    {
        if (owner_ != s) {
            owner_ = s;
            begin_ = end_ = 0;
        }
        if (begin_ == end_) {
            const std::int64_t filled = Fill(s);
            if (filled <= 0)
                return filled;
        }
        const std::size_t n = std::min(capacity, end_ - begin_);
        std::memcpy(buffer, readAhead_.data() + begin_, n);
        begin_ += n;
        return static_cast<std::int64_t>(n);
    }

    void Close(SocketHandle s) override
    {
        if (owner_ == s) {
            owner_ = kInvalidSocket;
            begin_ = end_ = 0;
        }
        close(s);
    }

    std::uint32_t InetAddr(const std::string& text) override
    {
        if (HasZeroByte(text))
            return kAddressNone;
        return inet_addr(text.c_str());
    }

    std::optional<std::uint32_t> LookupName(const std::string& name) override
    {
        if (HasZeroByte(name))
            return std::nullopt;
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
            return std::nullopt;
        const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
        freeaddrinfo(found);
        return address;
    }

    std::optional<std::uint32_t> LookupAddress(std::uint32_t address) override
    {
        sockaddr_in host{};
        host.sin_family = AF_INET;
        host.sin_addr.s_addr = address;
        char name[NI_MAXHOST];
        if (getnameinfo(reinterpret_cast<const sockaddr*>(&host), sizeof host, name, sizeof name, nullptr, 0,
                        NI_NAMEREQD) != 0)
            return std::nullopt;
        return address;
    }

private:
    // Reads what the kernel has, waiting up to the receive time-out for the first byte.
    std::int64_t Fill(SocketHandle s)
    {
        if (readAhead_.empty())
            readAhead_.resize(kReadAheadSize);
        begin_ = end_ = 0;
        for (;;) {
            const ssize_t n = recv(s, readAhead_.data(), readAhead_.size(), 0);
            if (n >= 0) {
                end_ = static_cast<std::size_t>(n);
                return n;
            }
            if (errno == EINTR)
                continue;
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(s, POLLIN, timeouts_.receive))
                continue;
            return -1;
        }
    }

    SocketTimeouts timeouts_;
    std::vector<char> readAhead_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    SocketHandle owner_ = kInvalidSocket;
};

}  // namespace

// Nothing to start on POSIX: sends use MSG_NOSIGNAL, so a closed peer cannot
// raise SIGPIPE. Kept so the window's lifetime reads the same on every system.
void StartNetwork() {}
void StopNetwork() {}

std::unique_ptr<Sockets> MakePosixSockets(SocketTimeouts timeouts) { return std::make_unique<PosixSockets>(timeouts); }

}  // namespace kurvane
