// Request preparation: splitting the fetch's address, looking its host up, and
// expanding the request template header.cfg into the exact bytes sent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "measure/run_state.h"

namespace kurvane {

class Sockets;

inline constexpr const char* kTemplateFileName = "header.cfg";
inline constexpr int kDefaultPort = 80;

// Splits Address into HostName and RequestPath (ImagePath while ImageMode),
// resolves a relative path against the page directory, and looks the host up.
// Returns the IPv4 address in network byte order, or 0 with ResolveFailed set.
std::uint32_t ResolveTarget(const std::string& Address, Unit1State& state, Sockets& sockets);

// The directory part of an address after its host: "server/a/b/c.html" gives "a/b/".
std::string PageDirectory(std::string_view address);

// The template file's lines, by the line rules shared with the editor:
// LF or CR LF ends a line, a lone CR is dropped, no empty line after a final
// line end, a Ctrl-Z at a line's start ends the file.
std::vector<std::string> SplitTemplateLines(std::string_view fileBytes);

// HostName, plus ":" and the port unless it is 80.
std::string HostAndPort(const std::string& HostName, int port);

// Expands the template's lines into the request: placeholders &resource& and
// &hostandport& in any letter case, CR LF after every line and once more at the end.
std::string ExpandTemplate(std::string_view fileBytes, const std::string& RequestPath, const std::string& HostName,
                           int port);

// A failed read or write of a file, with the text the error box shows.
struct FileError {
    int code = 0;  // errno
    std::string Text() const;  // the cause's text, without the full stop
};

// The error box's text: a full stop follows unless the last byte already sorts at or below one.
std::string WithFullStop(std::string text);

// A file of that name is there; a directory of that name does not count.
bool TemplateFilePresent(const std::string& path);

// Reads a whole file into bytes; false with error set when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes, FileError& error);

// Reads the template afresh and expands it; false with error set on an I/O failure.
bool ComposeRequest(const std::string& templatePath, int port, const Unit1State& state, std::string& RequestText,
                    FileError& error);

}  // namespace kurvane
