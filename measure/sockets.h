// The thin sockets layer the measurement run talks to: IPv4 TCP, blocking
// semantics, results recognised by value alone (-1 is failure). Tests replace it
// to produce what a real loopback cannot (no socket, no name service).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kurvane {

using SocketHandle = int;
constexpr SocketHandle kInvalidSocket = -1;

// All-ones: the text is not a dotted IPv4 address.
constexpr std::uint32_t kAddressNone = 0xFFFFFFFFu;

struct SocketTimeouts {
    std::chrono::milliseconds connect{30'000};  // no answer to the connection request
    std::chrono::milliseconds send{30'000};  // request not accepted by the kernel
    std::chrono::milliseconds receive{60'000};  // no byte arrives
};

class Sockets {
public:
    virtual ~Sockets() = default;

    virtual SocketHandle Socket() = 0;
    // Addresses and ports in network byte order, as the lookups give them.
    virtual bool Connect(SocketHandle s, std::uint32_t address, std::uint16_t port) = 0;
    // Sends all of data; -1 on failure or when blocked past the send time-out.
    virtual std::int64_t Send(SocketHandle s, const char* data, std::size_t length) = 0;
    // Up to capacity bytes; 0 when the peer closed, -1 on failure or time-out.
    virtual std::int64_t Receive(SocketHandle s, char* buffer, std::size_t capacity) = 0;
    virtual void Close(SocketHandle s) = 0;

    // inet_addr: the dotted address in network byte order, or kAddressNone.
    virtual std::uint32_t InetAddr(const std::string& text) = 0;
    // First IPv4 address of the host entry, network byte order; nullopt: no entry.
    virtual std::optional<std::uint32_t> LookupName(const std::string& name) = 0;
    // Reverse lookup; the entry's first address is the one asked about.
    virtual std::optional<std::uint32_t> LookupAddress(std::uint32_t address) = 0;
};

// Starts and stops the sockets library for the process. On POSIX there is no
// library state; starting makes sure a send to a closed peer cannot raise SIGPIPE.
void StartNetwork();
void StopNetwork();

// The real BSD sockets, blocking as seen by the caller, bounded by the time-outs.
std::unique_ptr<Sockets> MakePosixSockets(SocketTimeouts timeouts = {});

}  // namespace kurvane
