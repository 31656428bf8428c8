// HTTP/1.0 downloads over the socket layer: a plain GET whose response body
// (everything after the header, until the server closes the connection) is
// saved to a file or returned as text. No status codes, redirects, chunked
// bodies or proxies: an error page is a body like any other.
// Game thread; blocks until the server closes the connection, but never for
// ever: a download fails when no byte arrives for the idle time-out (30 s
// unless set) or when the whole call takes longer than the total time-out
// (none unless set); both are process-wide. Failures give false or an empty
// text; the socket layer's last error tells the reason (10060 for either
// time-out).
#pragma once

#include "core/dyn_string.hpp"

namespace crv {

inline constexpr int k_http_default_idle_ms = 30000;

// No byte for this long ends a download; 0 or less restores 30 s.
void http_set_idle_timeout(int timeout_ms);
// Limit for a whole call, connecting included; 0 or less means none.
void http_set_total_timeout(int timeout_ms);

// Saves the body to file_name, replacing an existing file only once the
// transfer has succeeded (the body goes to a temporary file in the same
// folder first); a failed download leaves no partial file and any older
// file of that name untouched. True when the server closed the connection
// after the transfer and every byte was written. A "mem://" name fails
// without contacting the server. An empty host means this machine. Connect
// time-out in ms as sock_connect takes it.
bool http_get_file(const DynString& host, const DynString& path, int port, const DynString& file_name,
                   int timeout_ms);
// The body as text: at most max_length bytes, cut at the first zero byte;
// empty when a time-out ended the download.
DynString http_get_text(const DynString& host, const DynString& path, int port, int max_length, int timeout_ms);

}  // namespace crv
