// Test support: a small web server for the HTTP tests. It serves the files
// of a folder over HTTP/1.0 on 127.0.0.1, at a port the system picks, from
// threads of its own (one per connection), and answers paths of its own,
// the well-behaved and the hostile ones a download must survive:
//   /pattern/<n>     n bytes of the pattern below, with their Content-Length
//   /lf-header       header lines ended by a bare line feed
//   /silent          never a byte
//   /trickle         a header, then a body byte every 50 ms
//   /slow-header     100 bytes a second of a header line that never ends
//   /endless-header  header lines as fast as they are taken, for ever
//   /cut-header      a header without its end, and a close
//   /endless-chunked a chunked body of a 16-byte chunk a second, for ever
//   /endless         a body without Content-Length as fast as it is taken
//   /short-body      Content-Length 100000, then 50000 bytes and a close
//   /reset-mid-body  the same, ended by a reset instead of a close
//   /over-length     Content-Length 1000, then 2000 bytes
//   /huge-length     Content-Length 1 TiB, then bytes as fast as they go
// The endless ones go on for as long as the client listens. Built on the
// platform layer's sockets, so that it is the same program on every system.
// stop() (or the destructor) closes every connection and joins the threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
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

    // Byte i of a /pattern/<n> body (never a zero byte, so that texts
    // hold it all).
    static constexpr std::uint64_t k_pattern_period = 251;
    static char pattern_byte(std::uint64_t i) { return static_cast<char>(1 + i % k_pattern_period); }

private:
    void accept_loop();
    void serve(std::intptr_t connection);
    bool send_all(std::intptr_t connection, std::string_view bytes);
    bool send_pattern(std::intptr_t connection, std::uint64_t count);
    // Waits, in steps that see stop(); false once stopping.
    bool pause(int ms);

    std::string folder_;
    std::intptr_t listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> connections_;
};

}  // namespace crv::test
