#include <corvane/net.hpp>

#include "net/http_header.hpp"
#include "net/low_speed.hpp"
#include "net/socket.hpp"
#include "platform/net.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
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
constexpr std::uint32_t k_loopback = 0x7f000001;

std::atomic<int> g_idle_timeout_ms{k_http_default_idle_ms};
std::atomic<int> g_total_timeout_ms{0};
std::atomic<std::int64_t> g_max_body_size{k_http_default_max_body_size};

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

// The limits one download runs under, read once at its start.
struct Limits {
    int idle_ms = k_http_default_idle_ms;
    int total_ms = 0;
    // The low-speed rule's window and the time the header may take.
    int window_ms = k_http_low_speed_window_ms;
    std::int64_t max_body = k_http_default_max_body_size;

    static Limits current() {
        Limits limits;
        limits.idle_ms = g_idle_timeout_ms.load();
        limits.total_ms = g_total_timeout_ms.load();
        limits.window_ms = limits.idle_ms > k_http_low_speed_window_ms ? limits.idle_ms : k_http_low_speed_window_ms;
        limits.max_body = g_max_body_size.load();
        return limits;
    }
};

// Success, or the error code the failure leaves (0: the one the socket
// layer left).
struct Outcome {
    bool ok = false;
    int error = 0;
};

Outcome failure(int error) { return Outcome{false, error}; }

// Receives the response on a connected socket until the server closes it
// or one of the limits ends the transfer.
Outcome receive_response(int socket, BodySink& sink, const Limits& limits, Clock::time_point end) {
    const bool has_total = limits.total_ms > 0;
    const Clock::time_point start = Clock::now();
    auto elapsed_ms = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    };
    std::vector<char> block(k_read_size);
    HttpHeader header(k_http_max_header_bytes);
    LowSpeedRule low_speed(limits.window_ms, k_http_low_speed_bytes);
    // The most body bytes that may come: the announced length once the
    // header has ended, else the maximum body size.
    std::int64_t allowed = limits.max_body;
    std::int64_t received = 0;
    Clock::time_point last_byte = start;
    for (;;) {
        int n = sock_receive_bytes(socket, block.data(), k_read_size);
        if (n == k_sock_closed) {
            // A reset looks like a close: only an announced length tells
            // a cut transfer from a whole one.
            if (!header.done() || (header.content_length() >= 0 && received < header.content_length()))
                return failure(k_http_error_cut_short);
            return Outcome{true, 0};
        }
        if (n > 0) {
            last_byte = Clock::now();
            low_speed.add(elapsed_ms(), n);
            std::size_t skipped = 0;
            if (!header.done()) {
                skipped = header.consume(block.data(), static_cast<std::size_t>(n));
                if (header.too_long()) return failure(k_http_error_too_large);
                if (header.done()) {
                    if (header.length_invalid()) return failure(k_http_error_too_large);
                    if (header.content_length() > limits.max_body) return failure(k_http_error_too_large);
                    if (header.content_length() >= 0) allowed = header.content_length();
                }
            }
            std::int64_t body = n - static_cast<std::int64_t>(skipped);
            if (body > allowed - received) return failure(k_http_error_too_large);
            received += body;
            sink.take(block.data() + skipped, static_cast<std::size_t>(body));
            if (sink.write_failed) return failure(0);
        } else if (n == k_sock_no_data) {
            // A server that accepted and then went silent must not hold the
            // game thread for ever.
            int wait_ms = ms_until(last_byte + std::chrono::milliseconds(limits.idle_ms));
            if (has_total && ms_until(end) < wait_ms) wait_ms = ms_until(end);
            if (wait_ms == 0) return failure(k_sock_error_stalled);
            if (sock_wait_readable(socket, wait_ms < k_idle_wait_ms ? wait_ms : k_idle_wait_ms) < 0) return failure(0);
        } else {
            return failure(0);
        }
        // One that trickles, however regularly, must not either.
        const std::int64_t now_ms = elapsed_ms();
        if (!header.done() && now_ms >= limits.window_ms) return failure(k_sock_error_stalled);
        if (low_speed.too_slow(now_ms)) return failure(k_sock_error_stalled);
        if (has_total && ms_until(end) == 0) return failure(k_sock_error_stalled);
    }
}

Outcome download(const DynString& host, const DynString& path, int port, BodySink& sink, int timeout_ms) {
    const Limits limits = Limits::current();
    const bool has_total = limits.total_ms > 0;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(limits.total_ms);

    char request[k_request_size];
    int length = std::snprintf(request, sizeof request,
                               "GET %s HTTP/1.0\r\nHost:%s\r\nAccept: */*\r\nUser-Agent: Corvane\r\n\r\n",
                               path.text(), host.text());
    // A request cut to fit would ask for something else.
    if (length < 0 || length >= k_request_size) return failure(0);

    if (!sock_init()) return failure(0);
    Outcome outcome;
    // The overall limit covers connecting too.
    if (timeout_ms <= 0 || timeout_ms > k_connect_default_ms) timeout_ms = k_connect_default_ms;
    if (has_total && ms_until(end) < timeout_ms) timeout_ms = ms_until(end) > 0 ? ms_until(end) : 1;
    int socket = sock_connect(host, port, timeout_ms);
    if (socket < 0 && has_total && sock_last_error() == k_sock_error_timed_out && ms_until(end) == 0)
        outcome = failure(k_sock_error_stalled);
    if (socket >= 0) {
        if (sock_send(socket, DynString(request)) == length) outcome = receive_response(socket, sink, limits, end);
        sock_close(socket);
    }
    sock_shutdown();
    if (outcome.error != 0) plat::set_net_error(outcome.error);
    return outcome;
}

// The temporary file of a download is "<target>.part<port>", where port is
// that of a UDP socket on the loopback address that the download holds
// until it ends. The system frees the port when the process ends, however
// it ends, so a temporary file whose port can be bound again is one that
// nobody writes any more: a killed process's leftover. One whose port is
// taken belongs to a live download, of this process or another, or the
// port went to some other program since; either way it stays.
class PartFile {
public:
    PartFile() {
        marker_ = plat::socket_open(true);
        plat::SocketAddress local{k_loopback, 0};
        if (marker_ != plat::k_invalid_socket &&
            (!plat::socket_bind(marker_, local) || !plat::socket_local_address(marker_, &local))) {
            plat::socket_close(marker_);
            marker_ = plat::k_invalid_socket;
        }
        port_ = marker_ != plat::k_invalid_socket ? local.port : 0;
    }
    ~PartFile() {
        if (marker_ != plat::k_invalid_socket) plat::socket_close(marker_);
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // The temporary name for target, after removing what killed downloads
    // of the same target left; empty without a port.
    std::string prepare(const std::string& target) {
        if (port_ == 0) return "";
        remove_leftovers(target);
        return target + ".part" + std::to_string(port_);
    }

private:
    void remove_leftovers(const std::string& target) {
        namespace fs = std::filesystem;
        std::size_t slash = target.rfind('/');
        std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
        std::string prefix = (slash == std::string::npos ? target : target.substr(slash + 1)) + ".part";
        // Binding to test a port sets the thread's last socket error; a
        // download that then succeeds leaves it as it was.
        const int error = plat::net_error();
        std::error_code failed;
        for (fs::directory_iterator it(fs::path(folder), failed), last; !failed && it != last; it.increment(failed)) {
            std::string name;
            try {
                name = it->path().filename().string();
            } catch (const std::exception&) {
                continue;  // a name the system cannot give as text is not one of ours
            }
            int port = port_of(name, prefix);
            if (port == 0 || (port != port_ && !port_free(port))) continue;
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
        plat::set_net_error(error);
    }

    // The port in "<prefix><digits>", else 0.
    static int port_of(const std::string& name, const std::string& prefix) {
        if (name.size() <= prefix.size() || name.size() > prefix.size() + 5 ||
            name.compare(0, prefix.size(), prefix) != 0)
            return 0;
        int port = 0;
        for (std::size_t i = prefix.size(); i < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9') return 0;
            port = port * 10 + (name[i] - '0');
        }
        return port <= 65535 ? port : 0;
    }

    static bool port_free(int port) {
        plat::SocketHandle probe = plat::socket_open(true);
        if (probe == plat::k_invalid_socket) return false;
        bool bound = plat::socket_bind(probe, plat::SocketAddress{k_loopback, static_cast<std::uint16_t>(port)});
        plat::socket_close(probe);
        return bound;
    }

    plat::SocketHandle marker_ = plat::k_invalid_socket;
    int port_ = 0;
};

}  // namespace

void http_set_idle_timeout(int timeout_ms) {
    g_idle_timeout_ms = timeout_ms > 0 ? timeout_ms : k_http_default_idle_ms;
}

void http_set_total_timeout(int timeout_ms) { g_total_timeout_ms = timeout_ms > 0 ? timeout_ms : 0; }

void http_set_max_body_size(std::int64_t bytes) { g_max_body_size = bytes > 0 ? bytes : k_http_default_max_body_size; }

bool http_get_file(const DynString& host, const DynString& path, int port, const DynString& file_name,
                   int timeout_ms) {
    if (std::strncmp(file_name.text(), "mem://", 6) == 0) return false;
    std::string name(file_name.text(), file_name.length());
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    // The socket layer stays up for the temporary file's marker.
    if (!sock_init()) return false;
    bool ok = false;
    Outcome outcome;
    {
        PartFile part;
        // The body goes to a file beside the target until the transfer has
        // succeeded, so that a failed download leaves any older file of
        // that name as it was and no partial file behind.
        std::string temporary = part.prepare(name);
        BodySink sink;
        if (!temporary.empty()) sink.file = std::fopen(temporary.c_str(), "wb");
        if (sink.file != nullptr) {
            outcome = download(host, path, port, sink, timeout_ms);
            ok = outcome.ok;
            if (std::fclose(sink.file) != 0) sink.write_failed = true;
            ok = ok && !sink.write_failed;
            if (ok && std::rename(temporary.c_str(), name.c_str()) != 0) {
                // Where renaming does not replace an existing file, the old
                // one goes first.
                ok = std::remove(name.c_str()) == 0 && std::rename(temporary.c_str(), name.c_str()) == 0;
            }
            if (!ok) std::remove(temporary.c_str());
        }
    }
    sock_shutdown();
    if (outcome.error != 0) plat::set_net_error(outcome.error);
    return ok;
}

DynString http_get_text(const DynString& host, const DynString& path, int port, int max_length, int timeout_ms) {
    std::string body;
    BodySink sink;
    sink.buffer = &body;
    sink.buffer_limit = max_length > 0 ? static_cast<std::size_t>(max_length) : 0;
    if (!download(host, path, port, sink, timeout_ms).ok) return DynString();
    std::size_t zero = body.find('\0');
    if (zero != std::string::npos) body.resize(zero);
    return DynString(body.c_str());
}

}  // namespace crv
