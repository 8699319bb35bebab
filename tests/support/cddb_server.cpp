// The loopback CDDB server of the tests; see cddb_server.h.
#include "support/cddb_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace testsupport {
namespace {

std::string UrlDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Parameter(const std::string& query, const std::string& name) {
    size_t at = 0;
    while (at < query.size()) {
        size_t end = query.find('&', at);
        if (end == std::string::npos) end = query.size();
        const std::string pair = query.substr(at, end - at);
        if (pair.compare(0, name.size() + 1, name + "=") == 0) return UrlDecode(pair.substr(name.size() + 1));
        at = end + 1;
    }
    return "";
}

bool SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Waits up to `ms` for the peer to close (or send); false when the peer is gone.
bool PeerStillThere(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return true;
    char byte;
    return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

}  // namespace

CddbServer::CddbServer(CddbHandler handler) : handler_(std::move(handler)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listen_ < 0) throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_, 16) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("bind");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread(&CddbServer::Accept, this);
}

CddbServer::~CddbServer() {
    stop_ = true;
    acceptor_.join();
    ::close(listen_);
    std::vector<std::thread> clients;
    {
        std::lock_guard lock(mutex_);
        for (int fd : fds_) ::shutdown(fd, SHUT_RDWR);
        clients.swap(clients_);
    }
    for (std::thread& t : clients) t.join();
}

std::string CddbServer::Address() const {
    return "127.0.0.1:" + std::to_string(port_) + "/~cddb/cddb.cgi";
}

int CddbServer::Requests() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(targets_.size());
}

std::vector<std::string> CddbServer::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<std::string> CddbServer::Hellos() const {
    std::lock_guard lock(mutex_);
    return hellos_;
}

std::vector<std::string> CddbServer::Targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
}

void CddbServer::Accept() {
    while (!stop_) {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const int fd = ::accept(listen_, nullptr, nullptr);
        if (fd < 0) continue;
        std::lock_guard lock(mutex_);
        fds_.push_back(fd);
        clients_.emplace_back(&CddbServer::Serve, this, fd);
    }
}

void CddbServer::Serve(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && !stop_ && request.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
    }
    const size_t lineEnd = request.find("\r\n");
    const std::string line = request.substr(0, lineEnd);
    const size_t a = line.find(' '), b = line.rfind(' ');
    const std::string target = a != std::string::npos && b > a ? line.substr(a + 1, b - a - 1) : "";
    const size_t question = target.find('?');
    const std::string query = question == std::string::npos ? "" : target.substr(question + 1);
    const std::string command = Parameter(query, "cmd");
    {
        std::lock_guard lock(mutex_);
        targets_.push_back(target);
        commands_.push_back(command);
        hellos_.push_back(Parameter(query, "hello"));
    }
    const CddbReply reply = handler_(command);
    switch (reply.kind) {
        case CddbReply::Kind::Http:
            SendAll(fd, "HTTP/1.1 " + std::to_string(reply.status) +
                            " Status\r\nContent-Type: text/plain\r\n"
                            "Content-Length: " +
                            std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n" + reply.body);
            break;
        case CddbReply::Kind::Hang:
            while (!stop_ && PeerStillThere(fd, 20)) {
            }
            break;
        case CddbReply::Kind::Drip:
            if (!SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n"))
                break;
            for (size_t i = 0; !stop_; i = (i + 1) % (reply.body.empty() ? 1 : reply.body.size())) {
                if (!SendAll(fd, reply.body.empty() ? std::string(" ") : reply.body.substr(i, 1))) break;
                if (!PeerStillThere(fd, 200)) break;
            }
            break;
        case CddbReply::Kind::Flood: {
            if (!SendAll(fd,
                         "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n210 x\r\n"))
                break;
            const std::string chunk(65536, 'x');
            for (int i = 0; i < 4096 && !stop_; ++i)  // up to 256 MiB
                if (!SendAll(fd, chunk)) break;
            break;
        }
        case CddbReply::Kind::Garbage: {
            std::string noise(4096, '\0');
            uint32_t state = 12345;
            for (char& c : noise) {
                state = state * 1103515245u + 12345u;
                c = static_cast<char>(state >> 24);
            }
            SendAll(fd, noise);
            break;
        }
        case CddbReply::Kind::Redirect:
            SendAll(fd,
                    "HTTP/1.1 302 Found\r\nLocation: " + reply.location + "\r\nContent-Length: 0\r\n\r\n");
            break;
        case CddbReply::Kind::Close:
            break;
    }
    ::shutdown(fd, SHUT_RDWR);
    std::lock_guard lock(mutex_);
    for (int& open : fds_)
        if (open == fd) open = -1;
    ::close(fd);
}

int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string CddbRecord(const std::string& discId, const std::string& dtitle,
                       const std::vector<std::string>& titles, int year, const std::string& genre) {
    std::string text = "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\r\nDISCID=" + discId +
                       "\r\nDTITLE=" + dtitle + "\r\n";
    if (year != 0) text += "DYEAR=" + std::to_string(year) + "\r\n";
    text += "DGENRE=" + genre + "\r\n";
    for (size_t i = 0; i < titles.size(); ++i)
        text += "TTITLE" + std::to_string(i) + "=" + titles[i] + "\r\n";
    text += "EXTD=\r\nPLAYORDER=\r\n";
    return text;
}

CddbHandler ServeRecord(const std::string& discId, const std::string& record) {
    return [discId, record](const std::string& command) {
        CddbReply reply;
        if (command.rfind("cddb query " + discId + " ", 0) == 0)
            reply.body = "200 rock " + discId + " Some Artist / Some Album\r\n";
        else if (command == "cddb read rock " + discId)
            reply.body = "210 rock " + discId + " CD database entry follows (until terminating `.')\r\n" +
                         record + ".\r\n";
        else
            reply.body = "202 No match found\r\n";
        return reply;
    };
}

}  // namespace testsupport
