// Helpers shared by the network tests: free ports, waiting for data.
#pragma once

#include "core/dyn_string.hpp"
#include "net/socket.hpp"

#include <chrono>
#include <functional>
#include <string>
#include <thread>

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

inline std::string as_bytes(const DynString& s) { return std::string(s.text(), s.length()); }

inline DynString bytes_text(const std::string& bytes) {
    DynString s;
    for (char c : bytes) s += c;
    return s;
}

}  // namespace crv::test
