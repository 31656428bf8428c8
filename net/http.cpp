#include "net/http.hpp"

#include "net/http_header.hpp"
#include "net/socket.hpp"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace crv {

namespace {

// One receive takes what the system has ready, up to this much. The size
// only changes how many calls a download needs, not what arrives.
constexpr int k_read_size = 64 * 1024;
constexpr int k_request_size = 1024;
// With nothing to read yet the download waits this long for data before it
// looks again; data arriving ends the wait at once.
constexpr int k_idle_wait_ms = 5;

// Where body bytes go: a file, a bounded buffer, or both.
struct BodySink {
    std::FILE* file = nullptr;
    std::string* buffer = nullptr;
    std::size_t buffer_limit = 0;
    bool write_failed = false;

    void take(const char* bytes, std::size_t count) {
        if (count == 0) return;
        if (file != nullptr && !write_failed && std::fwrite(bytes, 1, count, file) != count) write_failed = true;
        if (buffer != nullptr && buffer->size() < buffer_limit) {
            std::size_t room = buffer_limit - buffer->size();
            buffer->append(bytes, count < room ? count : room);
        }
    }
};

using HeaderSkipper = HttpHeaderSkipper;

bool download(const DynString& host, const DynString& path, int port, BodySink& sink, int timeout_ms) {
    char request[k_request_size];
    int length = std::snprintf(request, sizeof request,
                               "GET %s HTTP/1.0\r\nHost:%s\r\nAccept: */*\r\nUser-Agent: Corvane\r\n\r\n",
                               path.text(), host.text());
    // A request cut to fit would ask for something else.
    if (length < 0 || length >= k_request_size) return false;

    if (!sock_init()) return false;
    bool closed_by_server = false;
    int socket = sock_connect(host, port, timeout_ms);
    if (socket >= 0) {
        if (sock_send(socket, DynString(request)) == length) {
            std::vector<char> block(k_read_size);
            HeaderSkipper header;
            for (;;) {
                int n = sock_receive_bytes(socket, block.data(), k_read_size);
                if (n == k_sock_no_data) {
                    if (sock_wait_readable(socket, k_idle_wait_ms) < 0) break;
                    continue;
                }
                if (n == k_sock_closed) {
                    closed_by_server = true;
                    break;
                }
                if (n < 0) break;
                std::size_t skipped = header.done() ? 0 : header.consume(block.data(), static_cast<std::size_t>(n));
                if (header.done()) sink.take(block.data() + skipped, static_cast<std::size_t>(n) - skipped);
                if (sink.write_failed) break;
            }
        }
        sock_close(socket);
    }
    sock_shutdown();
    return closed_by_server;
}

}  // namespace

bool http_get_file(const DynString& host, const DynString& path, int port, const DynString& file_name,
                   int timeout_ms) {
    if (std::strncmp(file_name.text(), "mem://", 6) == 0) return false;
    std::string name(file_name.text(), file_name.length());
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    std::remove(name.c_str());
    BodySink sink;
    sink.file = std::fopen(name.c_str(), "wb");
    if (sink.file == nullptr) return false;
    bool ok = download(host, path, port, sink, timeout_ms);
    if (std::fclose(sink.file) != 0) sink.write_failed = true;
    return ok && !sink.write_failed;
}

DynString http_get_text(const DynString& host, const DynString& path, int port, int max_length, int timeout_ms) {
    std::string body;
    BodySink sink;
    sink.buffer = &body;
    sink.buffer_limit = max_length > 0 ? static_cast<std::size_t>(max_length) : 0;
    download(host, path, port, sink, timeout_ms);
    std::size_t zero = body.find('\0');
    if (zero != std::string::npos) body.resize(zero);
    return DynString(body.c_str());
}

}  // namespace crv
