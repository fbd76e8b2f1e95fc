// The template line reader and the request it expands to, held against a plain
// model of the line rules and placeholders; the same bytes also go through a
// real header.cfg and ComposeRequest.
//
// Input: REQUEST-PATH 0xFF HOST 0xFF PORT 0xFF FILE-BYTES (the file takes the
// rest, 0xFF bytes included; a port that is not 1 to 65535 counts as 80).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "measure/request.h"

namespace {

using kurvane::fuzz::Escaped;

constexpr char kCtrlZ = 26;

// ---- The model. ----

// Pieces between LFs; every CR in a piece is either the CR of a CR LF or a lone
// one, and both go. A piece that starts with Ctrl-Z ends the file, and the empty
// piece after a final LF is no line.
std::vector<std::string> ModelLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        const std::size_t lf = bytes.find('\n', begin);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        const std::string_view piece = bytes.substr(begin, end - begin);
        if (!piece.empty() && piece.front() == kCtrlZ)
            break;
        std::string line;
        for (char c : piece) {
            if (c != '\r')
                line += c;
        }
        lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

// Left to right; a match is replaced and the search goes on after it.
std::string ModelReplace(std::string_view line, std::string_view placeholder, std::string_view replacement)
{
    std::string result;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line.size() - i >= placeholder.size() &&
            SameIgnoringCase(line.substr(i, placeholder.size()), placeholder)) {
            result.append(replacement);
            i += placeholder.size();
        } else {
            result += line[i++];
        }
    }
    return result;
}

int PortOf(std::string_view text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return 80;
    const int port = std::atoi(std::string(text).c_str());
    return port >= 1 && port <= 65535 ? port : 80;
}

// ---- A real header.cfg for ComposeRequest, in a folder of its own. ----

class TemplateFile {
public:
    TemplateFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kurvane-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        dir_ = pattern;
        path_ = dir_ + "/header.cfg";
    }
    ~TemplateFile()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TemplateFile(const TemplateFile&) = delete;
    TemplateFile& operator=(const TemplateFile&) = delete;

    // A new file every time: truncating one in place makes some file systems
    // write it out at once, which would cost more than the rest of the check.
    const std::string& Write(std::string_view bytes) const
    {
        std::filesystem::remove(path_);
        std::ofstream(path_, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path_;
    }

private:
    std::string dir_;
    std::string path_;
};

void CheckLines(std::string_view file, const std::vector<std::string>& lines)
{
    const std::vector<std::string> expected = ModelLines(file);
    FUZZ_CHECK(lines.size() == expected.size(), "file " + Escaped(file) + ": " + std::to_string(lines.size()) +
                                                    " lines, model " + std::to_string(expected.size()));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        FUZZ_CHECK(lines[i].find('\r') == std::string::npos, "CR inside line " + Escaped(lines[i]));
        FUZZ_CHECK(lines[i] == expected[i], "file " + Escaped(file) + ": line " + std::to_string(i) + " is " +
                                                Escaped(lines[i]) + ", model " + Escaped(expected[i]));
    }
    // What the editor saves (its lines joined by CR LF) loads as the same lines,
    // unless a line starts with Ctrl-Z: the saved file would then end before it.
    bool ctrlZFirst = false;
    std::string saved;
    for (const std::string& line : lines) {
        ctrlZFirst = ctrlZFirst || (!line.empty() && line.front() == kCtrlZ);
        saved += line + "\r\n";
    }
    if (!ctrlZFirst)
        FUZZ_CHECK(kurvane::SplitTemplateLines(saved) == lines, "saved lines do not load again: " + Escaped(saved));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const TemplateFile templateFile;
    const std::vector<std::string_view> fields = kurvane::fuzz::SplitFields(kurvane::fuzz::AsText(data, size), 4);
    const std::string path(fields[0]);
    const std::string host(fields[1]);
    const int port = PortOf(fields[2]);
    const std::string_view file = fields[3];

    const std::vector<std::string> lines = kurvane::SplitTemplateLines(file);
    CheckLines(file, lines);

    const std::string hostAndPort = port == 80 ? host : host + ":" + std::to_string(port);
    std::string expected;
    std::size_t expandedLengths = 0;
    for (const std::string& line : lines) {
        const std::string expanded = ModelReplace(ModelReplace(line, "&resource&", path), "&hostandport&", hostAndPort);
        expandedLengths += expanded.size();
        expected += expanded + "\r\n";
    }
    expected += "\r\n";

    const std::string request = kurvane::ExpandTemplate(file, path, host, port);
    FUZZ_CHECK(request.size() == expandedLengths + 2 * lines.size() + 2,
               "request of " + std::to_string(request.size()) + " bytes for " + std::to_string(lines.size()) +
                   " lines of " + std::to_string(expandedLengths) + " expanded bytes");
    FUZZ_CHECK(request == expected, "path " + Escaped(path) + ", host " + Escaped(host) + ", port " +
                                        std::to_string(port) + ", file " + Escaped(file) + ": request " +
                                        Escaped(request) + ", model " + Escaped(expected));

    kurvane::Unit1State state;
    state.RequestPath = path;
    state.HostName = host;
    std::string composed;
    kurvane::FileError error;
    FUZZ_CHECK(kurvane::ComposeRequest(templateFile.Write(file), port, state, composed, error),
               "ComposeRequest failed with error " + std::to_string(error.code));
    FUZZ_CHECK(composed == request,
               "ComposeRequest gave " + Escaped(composed) + ", ExpandTemplate " + Escaped(request));
    return 0;
}
