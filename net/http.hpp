// HTTP/1.0 downloads over the socket layer: a plain GET whose response body
// (everything after the header, until the server closes the connection) is
// saved to a file or returned as text. No status codes, redirects, chunked
// bodies or proxies: an error page is a body like any other.
// Game thread; blocks until the server closes the connection. Failures give
// false or an empty text; the socket layer's last error tells the reason.
#pragma once

#include "core/dyn_string.hpp"

namespace crv {

// Saves the body to file_name (replacing an existing file). True when the
// server closed the connection after the transfer and every byte was
// written. A "mem://" name fails without contacting the server. An empty
// host means this machine. Connect time-out in ms as sock_connect takes it.
bool http_get_file(const DynString& host, const DynString& path, int port, const DynString& file_name,
                   int timeout_ms);
// The body as text: at most max_length bytes, cut at the first zero byte.
DynString http_get_text(const DynString& host, const DynString& path, int port, int max_length, int timeout_ms);

}  // namespace crv
