#include "tests/support/http_server.hpp"

#include "platform/net.hpp"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace crv::test {

namespace {

constexpr std::uint32_t k_loopback = 0x7f000001;

// The path of a request line ("GET /path HTTP/1.0"); empty when it is not one.
std::string request_path(const std::string& request) {
    std::size_t start = request.find(' ');
    if (start == std::string::npos) return "";
    std::size_t end = request.find_first_of(" \r\n", start + 1);
    return request.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

// A block of the byte pattern that /pattern/<n> serves, starting at offset
// 0; the pattern repeats every k_pattern_period bytes.
std::string pattern_block(std::size_t size) {
    std::string block(size, '\0');
    for (std::size_t i = 0; i < size; ++i) block[i] = HttpServer::pattern_byte(i);
    return block;
}

}  // namespace

HttpServer::HttpServer(std::string folder) : folder_(std::move(folder)) {
    if (!plat::net_start()) return;
    listener_ = plat::socket_open(false);
    if (listener_ == plat::k_invalid_socket) return;
    plat::SocketAddress local{k_loopback, 0};
    if (!plat::socket_bind(listener_, local) || !plat::socket_listen(listener_, 16) ||
        !plat::socket_local_address(listener_, &local)) {
        plat::socket_close(listener_);
        listener_ = plat::k_invalid_socket;
        return;
    }
    port_ = local.port;
    acceptor_ = std::thread([this] { accept_loop(); });
}

HttpServer::~HttpServer() { stop(); }

void HttpServer::stop() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        threads.swap(connections_);
    }
    for (std::thread& t : threads) t.join();
    if (listener_ != plat::k_invalid_socket) plat::socket_close(listener_);
    listener_ = plat::k_invalid_socket;
}

void HttpServer::accept_loop() {
    while (!stopping_) {
        if (plat::socket_wait(listener_, false, 50) != 1) continue;
        plat::SocketHandle connection = plat::socket_accept(listener_, nullptr);
        if (connection == plat::k_invalid_socket) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.emplace_back([this, connection] { serve(connection); });
    }
}

bool HttpServer::pause(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping_ && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !stopping_;
}

bool HttpServer::send_pattern(std::intptr_t connection, std::uint64_t count) {
    // A whole number of periods, so that every block starts where the
    // pattern does.
    static const std::string block = pattern_block(k_pattern_period * (64 * 1024 / k_pattern_period));
    while (count > 0) {
        std::size_t n = count < block.size() ? static_cast<std::size_t>(count) : block.size();
        if (!send_all(connection, std::string_view(block).substr(0, n))) return false;
        count -= n;
    }
    return true;
}

bool HttpServer::send_all(std::intptr_t connection, std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size() && !stopping_) {
        if (plat::socket_wait(connection, true, 50) != 1) continue;
        long n = plat::socket_send(connection, bytes.data() + sent, bytes.size() - sent);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return sent == bytes.size();
}

void HttpServer::serve(std::intptr_t connection) {
    // The request line a byte at a time, so that /reset-mid-body can leave
    // the rest of the request unread.
    std::string request;
    while (!stopping_ && (request.empty() || request.back() != '\n')) {
        int ready = plat::socket_wait(connection, false, 50);
        if (ready == 0) continue;
        char byte;
        if (ready < 0 || plat::socket_receive(connection, &byte, 1) != 1) break;
        request += byte;
    }
    const std::string path = request_path(request);
    if (path == "/reset-mid-body") {
        // Closing with unread bytes makes the system reset the connection.
        send_all(connection, "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n");
        send_pattern(connection, 50000);
        plat::socket_close(connection);
        return;
    }
    // The rest up to its empty line.
    while (!stopping_ && request.find("\r\n\r\n") == std::string::npos && request.find("\n\n") == std::string::npos) {
        int ready = plat::socket_wait(connection, false, 50);
        if (ready == 0) continue;
        char buffer[1024];
        long n = ready > 0 ? plat::socket_receive(connection, buffer, sizeof buffer) : -1;
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    if (path == "/lf-header") {
        send_all(connection, "HTTP/1.0 200 OK\nContent-Type: text/plain\n\nfirst line\nsecond line");
    } else if (path == "/silent") {
        // Holds the connection until the client gives up or the server stops.
        char byte;
        while (!stopping_) {
            int ready = plat::socket_wait(connection, false, 50);
            if (ready < 0 || (ready > 0 && plat::socket_receive(connection, &byte, 1) <= 0)) break;
        }
    } else if (path == "/trickle") {
        if (send_all(connection, "HTTP/1.0 200 OK\r\n\r\n")) {
            while (send_all(connection, "t") && pause(50)) {
            }
        }
    } else if (path == "/slow-header") {
        // 100 bytes a second of one header line that never ends.
        if (send_all(connection, "HTTP/1.0 200 OK\r\nX-Padding: ")) {
            while (send_all(connection, "ppppp") && pause(50)) {
            }
        }
    } else if (path == "/endless-header") {
        if (send_all(connection, "HTTP/1.0 200 OK\r\n")) {
            const std::string line = "X-Padding: " + std::string(1000, 'p') + "\r\n";
            while (send_all(connection, line)) {
            }
        }
    } else if (path == "/endless-chunked") {
        // A 16-byte chunk a second, and never the last one.
        if (send_all(connection, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")) {
            while (send_all(connection, "10\r\n0123456789abcdef\r\n") && pause(1000)) {
            }
        }
    } else if (path == "/endless") {
        if (send_all(connection, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n")) {
            while (send_pattern(connection, 1 << 20)) {
            }
        }
    } else if (path == "/cut-header") {
        send_all(connection, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n");
    } else if (path == "/short-body") {
        if (send_all(connection, "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n"))
            send_pattern(connection, 50000);
    } else if (path == "/over-length") {
        if (send_all(connection, "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n")) send_pattern(connection, 2000);
    } else if (path == "/huge-length") {
        if (send_all(connection, "HTTP/1.0 200 OK\r\nContent-Length: 1099511627776\r\n\r\n")) {
            while (send_pattern(connection, 1 << 20)) {
            }
        }
    } else if (path.rfind("/pattern/", 0) == 0) {
        const std::uint64_t size = std::strtoull(path.c_str() + 9, nullptr, 10);
        if (send_all(connection, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n"))
            send_pattern(connection, size);
    } else if (!path.empty()) {
        std::error_code error;
        const std::filesystem::path file = std::filesystem::path(folder_) / path.substr(1);
        if (path.find("..") == std::string::npos && std::filesystem::is_regular_file(file, error)) {
            std::ifstream in(file, std::ios::binary);
            std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            send_all(connection, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                                     std::to_string(body.size()) + "\r\n\r\n" + body);
        } else {
            const std::string body = "<html><body><h1>404 Not Found</h1></body></html>\n";
            send_all(connection, "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: " +
                                     std::to_string(body.size()) + "\r\n\r\n" + body);
        }
    }
    plat::socket_shutdown(connection);
    plat::socket_close(connection);
}

}  // namespace crv::test
