// A loopback HTTP server for the run benchmark: one connection at a time, as
// the checker probes one link at a time. Each request gets 200, 404, 301 or
// 500 by its path (always 200 under /ok/, always 404 under /missing/), then
// the connection is closed. Prints its port.
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

int main()
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 128) != 0) {
        std::perror("statusserver");
        return 1;
    }
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    std::printf("%d\n", ntohs(address.sin_port));
    std::fflush(stdout);

    const char *const replies[] = {
        "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok",
        "HTTP/1.0 404 Not Found\r\nContent-Length: 2\r\n\r\nno",
        "HTTP/1.0 301 Moved Permanently\r\nLocation: /\r\nContent-Length: 0\r\n\r\n",
        "HTTP/1.0 500 Internal Server Error\r\nContent-Length: 2\r\n\r\nxx",
    };
    for (;;) {
        const int connection = accept(listener, nullptr, nullptr);
        if (connection < 0)
            continue;
        std::string request;
        char buffer[2048];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = read(connection, buffer, sizeof buffer);
            if (got <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        std::size_t hash = 0;
        for (char c : request)
            hash = hash * 31 + static_cast<unsigned char>(c);
        const char *reply = replies[hash % 4];
        if (request.starts_with("GET /ok/"))
            reply = replies[0];
        else if (request.starts_with("GET /missing/"))
            reply = replies[1];
        if (write(connection, reply, std::strlen(reply)) < 0)
            std::perror("statusserver");
        close(connection);
    }
}
