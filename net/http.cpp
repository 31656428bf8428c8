#include <corvane/net.hpp>

#include "net/http_header.hpp"
#include "net/socket.hpp"
#include "platform/net.hpp"

#include <atomic>
#include <chrono>
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
// With nothing to read yet the download waits at most this long for data
// before it looks at its deadlines again; data arriving ends the wait at once.
constexpr int k_idle_wait_ms = 100;
constexpr int k_connect_default_ms = 30000;

std::atomic<int> g_idle_timeout_ms{k_http_default_idle_ms};
std::atomic<int> g_total_timeout_ms{0};

using Clock = std::chrono::steady_clock;

int ms_until(Clock::time_point when) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

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

enum class Outcome { closed_by_server, failed, timed_out };

Outcome download(const DynString& host, const DynString& path, int port, BodySink& sink, int timeout_ms) {
    const Clock::time_point start = Clock::now();
    const int idle_ms = g_idle_timeout_ms.load();
    const int total_ms = g_total_timeout_ms.load();
    const bool has_total = total_ms > 0;
    const Clock::time_point end = start + std::chrono::milliseconds(total_ms);

    char request[k_request_size];
    int length = std::snprintf(request, sizeof request,
                               "GET %s HTTP/1.0\r\nHost:%s\r\nAccept: */*\r\nUser-Agent: Corvane\r\n\r\n",
                               path.text(), host.text());
    // A request cut to fit would ask for something else.
    if (length < 0 || length >= k_request_size) return Outcome::failed;

    if (!sock_init()) return Outcome::failed;
    Outcome outcome = Outcome::failed;
    // The overall limit covers connecting too.
    if (timeout_ms <= 0 || timeout_ms > k_connect_default_ms) timeout_ms = k_connect_default_ms;
    if (has_total && ms_until(end) < timeout_ms) timeout_ms = ms_until(end) > 0 ? ms_until(end) : 1;
    int socket = sock_connect(host, port, timeout_ms);
    if (socket < 0 && has_total && sock_last_error() == k_sock_error_timed_out && ms_until(end) == 0)
        outcome = Outcome::timed_out;
    if (socket >= 0) {
        if (sock_send(socket, DynString(request)) == length) {
            std::vector<char> block(k_read_size);
            HeaderSkipper header;
            Clock::time_point last_byte = Clock::now();
            for (;;) {
                int n = sock_receive_bytes(socket, block.data(), k_read_size);
                if (n == k_sock_no_data) {
                    // A server that accepted and then went silent, or that
                    // trickles, must not hold the game thread for ever.
                    int wait_ms = ms_until(last_byte + std::chrono::milliseconds(idle_ms));
                    if (has_total && ms_until(end) < wait_ms) wait_ms = ms_until(end);
                    if (wait_ms == 0) {
                        outcome = Outcome::timed_out;
                        break;
                    }
                    if (sock_wait_readable(socket, wait_ms < k_idle_wait_ms ? wait_ms : k_idle_wait_ms) < 0) break;
                    continue;
                }
                if (n == k_sock_closed) {
                    outcome = Outcome::closed_by_server;
                    break;
                }
                if (n < 0) break;
                last_byte = Clock::now();
                std::size_t skipped = header.done() ? 0 : header.consume(block.data(), static_cast<std::size_t>(n));
                if (header.done()) sink.take(block.data() + skipped, static_cast<std::size_t>(n) - skipped);
                if (sink.write_failed) break;
                if (has_total && ms_until(end) == 0) {
                    outcome = Outcome::timed_out;
                    break;
                }
            }
        }
        sock_close(socket);
    }
    sock_shutdown();
    if (outcome == Outcome::timed_out) plat::set_net_error(k_sock_error_stalled);
    return outcome;
}

// A file next to the target that takes the body until the transfer has
// succeeded, so that a failed download leaves any older file of that name
// as it was and no partial file behind.
std::FILE* create_temporary(const std::string& name, std::string* temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = name + ".part" + std::to_string(counter++);
        // Never take over a file that is already there (another download's).
        std::FILE* existing = std::fopen(temporary->c_str(), "rb");
        if (existing != nullptr) {
            std::fclose(existing);
            continue;
        }
        return std::fopen(temporary->c_str(), "wb");
    }
    return nullptr;
}

}  // namespace

void http_set_idle_timeout(int timeout_ms) {
    g_idle_timeout_ms = timeout_ms > 0 ? timeout_ms : k_http_default_idle_ms;
}

void http_set_total_timeout(int timeout_ms) { g_total_timeout_ms = timeout_ms > 0 ? timeout_ms : 0; }

bool http_get_file(const DynString& host, const DynString& path, int port, const DynString& file_name,
                   int timeout_ms) {
    if (std::strncmp(file_name.text(), "mem://", 6) == 0) return false;
    std::string name(file_name.text(), file_name.length());
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    std::string temporary;
    BodySink sink;
    sink.file = create_temporary(name, &temporary);
    if (sink.file == nullptr) return false;
    bool ok = download(host, path, port, sink, timeout_ms) == Outcome::closed_by_server;
    if (std::fclose(sink.file) != 0) sink.write_failed = true;
    ok = ok && !sink.write_failed;
    if (ok && std::rename(temporary.c_str(), name.c_str()) != 0) {
        // Where renaming does not replace an existing file, the old one
        // goes first.
        ok = std::remove(name.c_str()) == 0 && std::rename(temporary.c_str(), name.c_str()) == 0;
    }
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

DynString http_get_text(const DynString& host, const DynString& path, int port, int max_length, int timeout_ms) {
    std::string body;
    BodySink sink;
    sink.buffer = &body;
    sink.buffer_limit = max_length > 0 ? static_cast<std::size_t>(max_length) : 0;
    if (download(host, path, port, sink, timeout_ms) == Outcome::timed_out) return DynString();
    std::size_t zero = body.find('\0');
    if (zero != std::string::npos) body.resize(zero);
    return DynString(body.c_str());
}

}  // namespace crv
