// The floor of a download's time: sends prepared request texts over TCP, each in one write with
// its CR, and reads every reply up to its CR, as fast as the line allows. Prints the seconds taken.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool SendAll(int socket, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadReply(int socket, std::string& pending) {
    char chunk[1024];
    while (pending.find('\r') == std::string::npos) {
        const ssize_t n = recv(socket, chunk, sizeof chunk, 0);
        if (n <= 0) {
            return false;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
    }
    pending.erase(0, pending.find('\r') + 1);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wire_floor PORT REQUEST_LINES_FILE\n");
        return 1;
    }
    std::ifstream in(argv[2]);
    std::vector<std::string> requests;
    for (std::string line; std::getline(in, line);) {
        requests.push_back(line + "\r");
    }
    const auto start = std::chrono::steady_clock::now();
    const int handle = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int on = 1;
    setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        return 1;
    }
    std::string pending;
    for (const auto& request : requests) {
        if (!SendAll(handle, request) || !ReadReply(handle, pending)) {
            std::fprintf(stderr, "the exchange broke off\n");
            return 1;
        }
    }
    close(handle);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.6f\n", took.count());
    return 0;
}
