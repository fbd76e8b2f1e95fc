// Real loopback sockets with seams for what loopback cannot produce: a socket
// that cannot be created, a name service, a failing send, an endless response.
#pragma once

#include <arpa/inet.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "measure/sockets.h"

namespace kurvane::test {

class ScriptedSockets final : public Sockets {
public:
    explicit ScriptedSockets(SocketTimeouts timeouts = {}) : real_(MakePosixSockets(timeouts)) {}

    bool failSocket = false;
    bool failSend = false;
    // Answers name lookups instead of the system; nullopt means "no such host".
    std::function<std::optional<std::uint32_t>(const std::string&)> names;
    std::function<std::optional<std::uint32_t>(std::uint32_t)> addresses;
    // Replaces receiving altogether (the connection is still real).
    std::function<std::int64_t(char*, std::size_t)> receive;

    std::vector<std::string> namesLookedUp;
    std::vector<std::uint32_t> addressesLookedUp;
    int opened = 0;
    int closed = 0;

    SocketHandle Socket() override
    {
        if (failSocket)
            return kInvalidSocket;
        const SocketHandle s = real_->Socket();
        opened += s != kInvalidSocket;
        return s;
    }
    bool Connect(SocketHandle s, std::uint32_t address, std::uint16_t port) override
    {
        return real_->Connect(s, address, port);
    }
    std::int64_t Send(SocketHandle s, const char* data, std::size_t length) override
    {
        return failSend ? -1 : real_->Send(s, data, length);
    }
    std::int64_t Receive(SocketHandle s, char* buffer, std::size_t capacity) override
    {
        return receive ? receive(buffer, capacity) : real_->Receive(s, buffer, capacity);
    }
    void Close(SocketHandle s) override
    {
        ++closed;
        real_->Close(s);
    }
    std::uint32_t InetAddr(const std::string& text) override { return real_->InetAddr(text); }
    std::optional<std::uint32_t> LookupName(const std::string& name) override
    {
        namesLookedUp.push_back(name);
        return names ? names(name) : real_->LookupName(name);
    }
    std::optional<std::uint32_t> LookupAddress(std::uint32_t address) override
    {
        addressesLookedUp.push_back(address);
        return addresses ? addresses(address) : real_->LookupAddress(address);
    }

private:
    std::unique_ptr<Sockets> real_;
};

inline std::uint32_t Loopback() { return htonl(INADDR_LOOPBACK); }

}  // namespace kurvane::test
