// A small HTTP server on 127.0.0.1 for tests of downloads: answers GET requests from a
// table of paths, on a port the system picks, from a thread of the test. Nothing leaves
// the machine.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelt::test {

class LoopbackHttp {
public:
    LoopbackHttp() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        socklen_t len = sizeof addr;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackHttp() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }
    LoopbackHttp(const LoopbackHttp&) = delete;
    LoopbackHttp& operator=(const LoopbackHttp&) = delete;

    // 0 when the server could not be started.
    int port() const { return port_; }
    std::string base_url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // Serves `body` at `path`; a path ending in '*' serves every path it begins.
    // Without `announce_length` the answer has no length: the body ends when the
    // connection closes.
    void serve_at(const std::string& path, const std::string& body, bool announce_length = true) {
        std::lock_guard<std::mutex> lock(mutex_);
        bodies_[path] = {body, announce_length};
    }
    // The paths asked for so far, in order.
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void serve() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int conn = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (conn < 0) continue;
            answer(conn);
            ::close(conn);
        }
    }

    void answer(int conn) {
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd p{conn, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) return;
            const ssize_t n = ::read(conn, buf, sizeof buf);
            if (n <= 0) return;
            request.append(buf, static_cast<size_t>(n));
        }
        const size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        std::string body;
        bool found = false, announce = true;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(path);
            for (const auto& [key, value] : bodies_) {
                const bool prefix = !key.empty() && key.back() == '*';
                if (prefix ? path.compare(0, key.size() - 1, key, 0, key.size() - 1) == 0 : path == key) {
                    body = value.body;
                    announce = value.announce_length;
                    found = true;
                }
            }
        }
        std::string head = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
        if (!found) body = "not here\n";
        if (announce) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        const std::string reply = head + body;
        size_t sent = 0;
        while (sent < reply.size()) {
            const ssize_t n = ::send(conn, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    struct Served {
        std::string body;
        bool announce_length = true;
    };
    std::map<std::string, Served> bodies_;
    std::vector<std::string> requests_;
};

}  // namespace zelt::test
