// A small HTTP/1.0 file server for the benchmarks: serves files of one folder on
// 127.0.0.1 with sendfile, one connection at a time, and closes after each reply.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ReadRequest(int connection)
{
    std::string request;
    char block[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 1 << 20) {
        const ssize_t n = recv(connection, block, sizeof block, 0);
        if (n <= 0)
            break;
        request.append(block, static_cast<std::size_t>(n));
    }
    return request;
}

// "GET /name HTTP/1.0" gives "name"; only plain names inside the folder are served.
std::string RequestedName(const std::string& request)
{
    const std::size_t start = request.find(" /");
    if (start == std::string::npos)
        return "";
    const std::size_t end = request.find(' ', start + 2);
    const std::string name = request.substr(start + 2, end == std::string::npos ? std::string::npos : end - start - 2);
    return name.find("..") == std::string::npos && name.find('/') == std::string::npos ? name : "";
}

void SendAll(int connection, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

void Serve(int connection, const std::string& folder)
{
    const std::string name = RequestedName(ReadRequest(connection));
    const int file = name.empty() ? -1 : open((folder + "/" + name).c_str(), O_RDONLY);
    struct stat info {};
    if (file < 0 || fstat(file, &info) != 0) {
        SendAll(connection, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        if (file >= 0)
            close(file);
        return;
    }
    SendAll(connection, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(info.st_size) + "\r\n\r\n");
    off_t offset = 0;
    while (offset < info.st_size &&
           sendfile(connection, file, &offset, static_cast<std::size_t>(info.st_size - offset)) > 0) {}
    close(file);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: file_server FOLDER PORT\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 64) != 0) {
        std::perror("file_server");
        return 1;
    }
    for (;;) {
        const int connection = accept(listener, nullptr, nullptr);
        if (connection < 0)
            continue;
        Serve(connection, argv[1]);
        shutdown(connection, SHUT_WR);
        close(connection);
    }
}
