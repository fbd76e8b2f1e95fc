// Runs the real kurvane-measure in a folder, under the C locale, as a script would.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kurvane::test {

struct CommandOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline CommandOutcome RunMeasureCommand(const std::string& dir, const std::vector<std::string>& args)
{
    std::string command = "cd " + ShellQuoted(dir) + " && LC_ALL=C " + ShellQuoted(KURVANE_MEASURE_PATH);
    for (const std::string& arg : args)
        command += " " + ShellQuoted(arg);
    command += " >" + ShellQuoted(dir + "/out") + " 2>" + ShellQuoted(dir + "/err") + " </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, FileBytes(dir + "/out"), FileBytes(dir + "/err")};
}

}  // namespace kurvane::test
