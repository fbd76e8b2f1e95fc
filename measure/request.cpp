#include "measure/request.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "measure/bytes.h"
#include "measure/sockets.h"
#include "resources/texts.h"

namespace kurvane {

namespace {

constexpr char kCtrlZ = 26;  // ends a template file at the start of a line

// The part of an address after its host: everything after the first "/".
std::string_view AfterHost(std::string_view address)
{
    const std::size_t slash = address.find('/');
    return slash == std::string_view::npos ? address : address.substr(slash + 1);
}

std::uint32_t LookUp(const std::string& HostName, Sockets& sockets, bool& failed)
{
    const std::uint32_t dotted = sockets.InetAddr(HostName);
    const std::optional<std::uint32_t> found =
        dotted == kAddressNone ? sockets.LookupName(HostName) : sockets.LookupAddress(dotted);
    if (!found) {
        failed = true;
        return 0;
    }
    return *found;
}

// Read one line from the template; false once the file ends.
bool NextLine(std::string_view bytes, std::size_t& at, std::string& line)
{
    if (at >= bytes.size() || bytes[at] == kCtrlZ)
        return false;
    line.clear();
    while (at < bytes.size()) {
        const char c = bytes[at++];
        if (c == '\n')
            return true;
        if (c == '\r') {
            if (at < bytes.size() && bytes[at] == '\n') {
                ++at;
                return true;
            }
            continue;  // a lone CR is dropped
        }
        line += c;
    }
    return true;
}

}  // namespace

std::string PageDirectory(std::string_view address)
{
    const std::string_view path = AfterHost(address);
    const std::size_t lastSlash = path.rfind('/');
    return lastSlash == std::string_view::npos ? std::string() : std::string(path.substr(0, lastSlash + 1));
}

std::uint32_t ResolveTarget(const std::string& Address, Unit1State& state, Sockets& sockets)
{
    const std::size_t slash = Address.find('/');
    if (slash != std::string::npos) {
        state.RequestPath = Address.substr(slash);
        state.HostName = Address.substr(0, slash);
    } else {
        state.RequestPath = "/";
        state.HostName = Address;
    }
    if (state.ImageMode)
        state.RequestPath = state.ImagePath;
    if (state.RequestPath.empty() || state.RequestPath.front() != '/')
        state.RequestPath = "/" + PageDirectory(Address) + state.RequestPath;
    return LookUp(state.HostName, sockets, state.ResolveFailed);
}

std::vector<std::string> SplitTemplateLines(std::string_view fileBytes)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    std::string line;
    while (NextLine(fileBytes, at, line))
        lines.push_back(line);
    return lines;
}

std::string HostAndPort(const std::string& HostName, int port)
{
    return port == kDefaultPort ? HostName : HostName + ":" + std::to_string(port);
}

std::string ExpandTemplate(std::string_view fileBytes, const std::string& RequestPath, const std::string& HostName,
                           int port)
{
    const std::string hostAndPort = HostAndPort(HostName, port);
    std::string request;
    std::size_t at = 0;
    std::string line;
    while (NextLine(fileBytes, at, line)) {
        const std::string withPath = ReplaceAllIgnoreCase(line, "&resource&", RequestPath);
        request += ReplaceAllIgnoreCase(withPath, "&hostandport&", hostAndPort);
        request += "\r\n";
    }
    request += "\r\n";
    return request;
}

std::string FileError::Text() const
{
    switch (code) {
    case ENOENT:
        return texts::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
        return texts::kBadFileName;
    case EMFILE:
    case ENFILE:
        return texts::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
        return texts::kAccessDenied;
    default: {
        char text[64];
        std::snprintf(text, sizeof text, texts::kIoErrorFormat, code);
        return text;
    }
    }
}

std::string WithFullStop(std::string text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

bool TemplateFilePresent(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool ReadWholeFile(const std::string& path, std::string& bytes, FileError& error)
{
    error = FileError{};
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error.code = errno;
        return false;
    }
    bytes.clear();
    char block[64 * 1024];
    for (;;) {
        const ssize_t n = read(fd, block, sizeof block);
        if (n > 0) {
            bytes.append(block, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error.code = errno;
        break;
    }
    close(fd);
    return error.code == 0;
}

bool ComposeRequest(const std::string& templatePath, int port, const Unit1State& state, std::string& RequestText,
                    FileError& error)
{
    RequestText.clear();
    std::string bytes;
    if (!ReadWholeFile(templatePath, bytes, error))
        return false;
    RequestText = ExpandTemplate(bytes, state.RequestPath, state.HostName, port);
    return true;
}

}  // namespace kurvane
