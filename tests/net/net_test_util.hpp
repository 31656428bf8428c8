// Helpers shared by the network tests: free ports, waiting for data.
#pragma once

#include <corvane/dyn_string.hpp>
#include "net/socket.hpp"

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>

namespace crv::test {

// A port nothing listens on right now (the system's pick, released again).
inline int free_tcp_port() {
    sock_init();
    int s = sock_listen(0);
    int port = sock_port(s);
    sock_close(s);
    sock_shutdown();
    return port;
}

// Polls until the condition holds or the time is up.
inline bool wait_until(const std::function<bool()>& condition, int timeout_ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

// One receive that waits for data to arrive: the result of the first
// receive that is not "no data yet".
inline int receive_waiting(int socket, DynString& text, int max_length, int timeout_ms = 5000) {
    int result = k_sock_no_data;
    wait_until([&] {
        result = sock_receive(socket, text, max_length);
        return result != k_sock_no_data;
    }, timeout_ms);
    return result;
}

// Runs a call, on a thread of its own, that should end by itself well within
// bound_ms. When it has not, unblock() is run so that the test can end, and
// the result is empty. The call's thread has its own socket last error:
// read it inside the call.
template <typename Call>
auto returns_within(int bound_ms, Call call, const std::function<void()>& unblock)
    -> std::optional<std::invoke_result_t<Call>> {
    std::atomic<bool> returned{false};
    std::invoke_result_t<Call> result{};
    std::thread t([&] {
        result = call();
        returned = true;
    });
    bool in_time = wait_until([&] { return returned.load(); }, bound_ms);
    if (!in_time) unblock();
    t.join();
    if (!in_time) return std::nullopt;
    return result;
}

inline std::string as_bytes(const DynString& s) { return std::string(s.text(), s.length()); }

inline DynString bytes_text(const std::string& bytes) {
    DynString s;
    for (char c : bytes) s += c;
    return s;
}

}  // namespace crv::test
