#include "editor/template_file.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kurvane {

namespace {

constexpr mode_t kNewFileMode = 0666;  // before the umask, as a plain create gives

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// A symbolic link is saved through: the file it names is replaced, the link stays.
std::string FileToReplace(const std::string& path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return path;
    std::string result(real);
    std::free(real);
    return result;
}

mode_t CurrentUmask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Fails as opening the file for writing would (a directory, no write permission),
// without touching it; gives the mode the new contents should keep.
bool CheckWritable(const std::string& path, mode_t& mode, FileError& error)
{
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            error.code = errno;
            return false;
        }
        mode = kNewFileMode & ~CurrentUmask();
        return true;
    }
    struct stat st {};
    const bool known = fstat(fd, &st) == 0;
    mode = known ? (st.st_mode & 07777) : (kNewFileMode & ~CurrentUmask());
    close(fd);
    return true;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool WriteTemporary(int fd, std::string_view bytes, mode_t mode, int& code)
{
    const bool ok = WriteAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    code = ok ? 0 : errno;
    if (close(fd) != 0 && ok)
        code = errno;
    return code == 0;
}

}  // namespace

std::string TrimTrailingBlanks(std::string_view text)
{
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    return std::string(text.substr(0, end));
}

std::string EditorTextFromTemplate(std::string_view fileBytes)
{
    std::string text;
    for (const std::string& line : SplitTemplateLines(fileBytes)) {
        text += line;
        text += "\r\n";
    }
    return TrimTrailingBlanks(text);
}

bool LoadTemplateText(const std::string& path, std::string& text, FileError& error)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error))
        return false;
    text = EditorTextFromTemplate(bytes);
    return true;
}

bool SaveTemplateText(const std::string& path, std::string_view text, bool trimTrailingBlanks, FileError& error)
{
    error = FileError{};
    const std::string bytes = trimTrailingBlanks ? TrimTrailingBlanks(text) : std::string(text);
    const std::string target = FileToReplace(path);
    mode_t mode = kNewFileMode;
    if (!CheckWritable(target, mode, error))
        return false;

    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error.code = errno;
        return false;
    }
    int code = 0;
    if (WriteTemporary(fd, bytes, mode, code) && rename(temporary.c_str(), target.c_str()) != 0)
        code = errno;
    if (code != 0) {
        unlink(temporary.c_str());
        error.code = code;
        return false;
    }
    return true;
}

}  // namespace kurvane
