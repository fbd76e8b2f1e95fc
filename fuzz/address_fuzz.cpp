// The address handling of every fetch of a run, held against a plain model:
// trimming, the direct-image test, prefix removal, the address checks, the
// split into host and path, the page directory, and the follow-up addresses
// of the queued images. Sockets are in memory and lookups answer at once, so
// the whole run is driven without any network.
//
// Input: TYPED-ADDRESS 0xFF OPTIONS 0xFF PAGE-BYTES (the page takes the rest).
// OPTIONS: byte 0 bit 0 images off, bit 1 port 8080; bytes 1-2 the size of the
// pieces the page arrives in (1 to one receive buffer; a full buffer without them).
// A host name holding "!", and the address 0.0.0.0, do not resolve.
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "charges/charges.h"
#include "fuzz_support.h"
#include "measure/images.h"
#include "measure/request.h"
#include "measure/run.h"
#include "measure/sockets.h"
#include "resources/texts.h"

namespace {

using kurvane::fuzz::Escaped;

const std::string kTemplate = "GET &Resource& HTTP/1.0\r\nHost: &HostandPort&\r\n";
const std::string kImageBody = "HTTP/1.0 200 OK\r\n\r\nGIF89a";

std::uint32_t InetAddrOf(const std::string& text)
{
    return text.find('\0') != std::string::npos ? kurvane::kAddressNone : inet_addr(text.c_str());
}

bool Resolves(const std::string& host)
{
    const std::uint32_t dotted = InetAddrOf(host);
    return dotted == kurvane::kAddressNone ? host.find('!') == std::string::npos : dotted != 0;
}

// Sockets in memory: the first request is answered with the page, every later
// one with a tiny image. Records what was sent and checks handles are used right.
class MemorySockets final : public kurvane::Sockets {
public:
    MemorySockets(std::string_view page, std::size_t pieceSize) : page_(page), pieceSize_(pieceSize) {}

    std::vector<std::string> requests;
    std::int64_t delivered = 0;

    kurvane::SocketHandle Socket() override
    {
        const kurvane::SocketHandle s = next_++;
        open_.insert(s);
        return s;
    }
    bool Connect(kurvane::SocketHandle s, std::uint32_t, std::uint16_t) override
    {
        CheckOpen(s);
        return true;
    }
    std::int64_t Send(kurvane::SocketHandle s, const char* data, std::size_t length) override
    {
        CheckOpen(s);
        requests.emplace_back(data, length);
        responses_[s] = requests.size() == 1 ? std::string(page_) : kImageBody;
        return static_cast<std::int64_t>(length);
    }
    std::int64_t Receive(kurvane::SocketHandle s, char* buffer, std::size_t capacity) override
    {
        CheckOpen(s);
        FUZZ_CHECK(capacity == kurvane::kReceiveBufferSize, "receive of " + std::to_string(capacity) + " bytes");
        std::memset(buffer, 0x55, capacity);  // the whole buffer the run offers must be its own
        std::string& rest = responses_[s];
        const std::size_t n = std::min({rest.size(), capacity, pieceSize_});
        std::memcpy(buffer, rest.data(), n);
        rest.erase(0, n);
        delivered += static_cast<std::int64_t>(n);
        return static_cast<std::int64_t>(n);
    }
    void Close(kurvane::SocketHandle s) override
    {
        CheckOpen(s);
        open_.erase(s);
    }
    std::uint32_t InetAddr(const std::string& text) override { return InetAddrOf(text); }
    std::optional<std::uint32_t> LookupName(const std::string& name) override
    {
        return name.find('!') == std::string::npos ? std::optional<std::uint32_t>(htonl(INADDR_LOOPBACK))
                                                   : std::nullopt;
    }
    std::optional<std::uint32_t> LookupAddress(std::uint32_t address) override
    {
        return address != 0 ? std::optional<std::uint32_t>(address) : std::nullopt;
    }

    bool AllClosed() const { return open_.empty(); }

private:
    void CheckOpen(kurvane::SocketHandle s) const
    {
        FUZZ_CHECK(open_.count(s) == 1, "socket " + std::to_string(s) + " used while not open");
    }

    std::string_view page_;
    std::size_t pieceSize_;
    kurvane::SocketHandle next_ = 3;
    std::set<kurvane::SocketHandle> open_;
    std::map<kurvane::SocketHandle, std::string> responses_;
};

class NullObserver final : public kurvane::RunObserver {
public:
    void FieldCorrected(kurvane::RunField, kurvane::CorrectionReason, const std::string&) override {}
    void Beep() override {}
};

class TemplateFile {
public:
    TemplateFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kurvane-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        dir_ = pattern;
        std::ofstream(Path(), std::ios::binary) << kTemplate;
    }
    ~TemplateFile()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TemplateFile(const TemplateFile&) = delete;
    TemplateFile& operator=(const TemplateFile&) = delete;

    std::string Path() const { return dir_ + "/header.cfg"; }

private:
    std::string dir_;
};

// ---- The model. ----

bool StartsWithHttp(std::string_view a)
{
    static constexpr std::string_view kHttp = "HTTP://";
    if (a.size() < kHttp.size())
        return false;
    for (std::size_t i = 0; i < kHttp.size(); ++i) {
        const char c = (a[i] >= 'a' && a[i] <= 'z') ? static_cast<char>(a[i] - 32) : a[i];
        if (c != kHttp[i])
            return false;
    }
    return true;
}

bool HasGif(std::string_view a)
{
    for (std::size_t i = 0; i + 4 <= a.size(); ++i) {
        if (a[i] == '.' && (a[i + 1] | 0x20) == 'g' && (a[i + 2] | 0x20) == 'i' && (a[i + 3] | 0x20) == 'f')
            return true;
    }
    return false;
}

std::string Trimmed(std::string_view a)
{
    while (!a.empty() && static_cast<unsigned char>(a.front()) <= 32)
        a.remove_prefix(1);
    while (!a.empty() && static_cast<unsigned char>(a.back()) <= 32)
        a.remove_suffix(1);
    return std::string(a);
}

std::string WithoutPrefixes(std::string a)
{
    if (StartsWithHttp(a))
        a.erase(0, 7);
    if (a.compare(0, 2, "//") == 0)
        a.erase(0, 2);
    return a;
}

std::string FromFirstSlash(const std::string& a)
{
    const std::size_t slash = a.find('/');
    return slash == std::string::npos ? a : a.substr(slash);
}

std::string PageDirectory(const std::string& a)
{
    const std::size_t slash = a.find('/');
    const std::string after = slash == std::string::npos ? a : a.substr(slash + 1);
    const std::size_t last = after.rfind('/');
    return last == std::string::npos ? std::string() : after.substr(0, last + 1);
}

struct Expected {
    kurvane::RunEnd end = kurvane::RunEnd::Report;
    std::string message;
    std::vector<kurvane::FetchRecord> fetches;  // host and path only
    std::int32_t GifCount = 0;
};

Expected Predict(const std::string& typed, bool images, std::string_view page, std::size_t pieceSize)
{
    Expected e;
    std::string target = Trimmed(typed);
    bool imageMode = false;
    std::string imagePath;
    if (HasGif(target)) {
        imageMode = true;
        e.GifCount = 1;
        imagePath = FromFirstSlash(WithoutPrefixes(target));
    }
    if (!images && imageMode) {
        e.end = kurvane::RunEnd::Message;
        e.message = kurvane::texts::kImageNotWanted;
        return e;
    }
    kurvane::ImageQueue queue;  // filled by the scanner itself; its rules are another target's
    for (bool page_fetch = true;; page_fetch = false) {
        target = WithoutPrefixes(target);
        if ((!target.empty() && target[0] == '/') || target.find("//") != std::string::npos) {
            e.end = kurvane::RunEnd::Message;
            e.message = kurvane::texts::kBadAddress;
            return e;
        }
        const std::size_t slash = target.find('/');
        const std::string host = slash == std::string::npos ? target : target.substr(0, slash);
        std::string path = imageMode ? imagePath : (slash == std::string::npos ? "/" : target.substr(slash));
        if (path.empty() || path[0] != '/')
            path = "/" + PageDirectory(target) + path;
        if (!Resolves(host)) {
            e.end = kurvane::RunEnd::Message;
            e.message = kurvane::texts::kCannotConnect;
            return e;
        }
        e.fetches.push_back({host, path, 0, 0});
        if (page_fetch && images && !imageMode) {
            for (std::size_t at = 0; at < page.size(); at += pieceSize)
                kurvane::ScanImageReferences(page.substr(at, pieceSize), queue, e.GifCount);
        }
        if (queue.Empty() || !images)
            return e;
        imageMode = true;
        const std::string reference = queue.First();
        queue.RemoveFirst();
        const std::size_t slashes = reference.find("//");
        if (slashes != std::string::npos) {
            target = reference.substr(slashes + 2);
            imagePath = FromFirstSlash(target);
        } else {
            target = typed;
            imagePath = reference;
        }
    }
}

std::size_t PieceSize(std::string_view options)
{
    if (options.size() < 3)
        return kurvane::kReceiveBufferSize;
    const auto raw =
        static_cast<std::size_t>(static_cast<unsigned char>(options[1]) << 8 | static_cast<unsigned char>(options[2]));
    return 1 + raw % kurvane::kReceiveBufferSize;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const TemplateFile templateFile;
    const std::vector<std::string_view> fields = kurvane::fuzz::SplitFields(kurvane::fuzz::AsText(data, size), 3);
    const std::string typed(fields[0]);
    const std::string_view options = fields[1];
    const std::string_view page = fields[2];
    const unsigned flags = options.empty() ? 0 : static_cast<unsigned char>(options[0]);
    const bool images = (flags & 1) == 0;
    const int port = (flags & 2) != 0 ? 8080 : 80;
    const std::size_t pieceSize = PieceSize(options);

    MemorySockets sockets(page, pieceSize);
    kurvane::MeasurementRun run(sockets, kurvane::RunConfig{templateFile.Path(), "."});
    NullObserver observer;
    const kurvane::RunInput input{typed, "128", "0.3", std::to_string(port), images};
    const kurvane::RunResult result = run.Button1Click(input, observer);
    const Expected expected = Predict(typed, images, page, pieceSize);

    const std::string context = "address " + Escaped(typed) + ", images " + (images ? "on" : "off") + ": ";
    FUZZ_CHECK(result.end == expected.end &&
                   (expected.end == kurvane::RunEnd::Report || result.text == expected.message),
               context + "ended with " + Escaped(result.text) + ", model " + Escaped(expected.message));
    FUZZ_CHECK(result.fetches.size() == expected.fetches.size(), context + std::to_string(result.fetches.size()) +
                                                                     " fetches, model " +
                                                                     std::to_string(expected.fetches.size()));
    FUZZ_CHECK(sockets.requests.size() == result.fetches.size(),
               context + std::to_string(sockets.requests.size()) + " requests sent");
    std::int64_t sent = 0;
    for (std::size_t i = 0; i < result.fetches.size(); ++i) {
        const kurvane::FetchRecord& fetch = result.fetches[i];
        FUZZ_CHECK(fetch.host == expected.fetches[i].host && fetch.path == expected.fetches[i].path,
                   context + "fetch " + std::to_string(i) + " host " + Escaped(fetch.host) + " path " +
                       Escaped(fetch.path) + ", model " + Escaped(expected.fetches[i].host) + " " +
                       Escaped(expected.fetches[i].path));
        FUZZ_CHECK(fetch.host.find('/') == std::string::npos && !fetch.path.empty() && fetch.path[0] == '/',
                   context + "host " + Escaped(fetch.host) + " path " + Escaped(fetch.path));
        FUZZ_CHECK(sockets.requests[i] == kurvane::ExpandTemplate(kTemplate, fetch.path, fetch.host, port),
                   context + "request " + Escaped(sockets.requests[i]));
        sent += static_cast<std::int64_t>(sockets.requests[i].size());
    }
    FUZZ_CHECK(result.RunSent == sent && result.RunReceived == sockets.delivered,
               context + "counted " + std::to_string(result.RunSent) + "/" + std::to_string(result.RunReceived) +
                   ", on the wire " + std::to_string(sent) + "/" + std::to_string(sockets.delivered));
    FUZZ_CHECK(result.GifCount == expected.GifCount, context + "GifCount " + std::to_string(result.GifCount) +
                                                         ", model " + std::to_string(expected.GifCount));
    FUZZ_CHECK(result.fetches.size() <= 1 + static_cast<std::size_t>(result.GifCount), context + "too many fetches");
    FUZZ_CHECK(sockets.AllClosed(), context + "a socket was left open");
    if (result.end == kurvane::RunEnd::Report)
        FUZZ_CHECK(result.text == kurvane::BuildReport(sent, sockets.delivered, result.GifCount, 128, 0.3, "."),
                   context + "report " + Escaped(result.text));
    return 0;
}
