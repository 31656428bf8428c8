// Test support: a small web server for the HTTP tests. It serves the files
// of a folder over HTTP/1.0 on 127.0.0.1, at a port the system picks, from
// threads of its own (one per connection), and answers three paths of its
// own: /lf-header with header lines ended by a bare line feed, /silent
// never, and /trickle with a header and then one body byte every 50 ms for
// as long as the client listens. Built on the platform layer's sockets, so
// that it is the same program on every system. stop() (or the destructor)
// closes every connection and joins the threads.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace crv::test {

class HttpServer {
public:
    explicit HttpServer(std::string folder);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // 0 when the server could not start.
    int port() const { return port_; }
    void stop();

private:
    void accept_loop();
    void serve(std::intptr_t connection);
    bool send_all(std::intptr_t connection, const std::string& bytes);

    std::string folder_;
    std::intptr_t listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> connections_;
};

}  // namespace crv::test
