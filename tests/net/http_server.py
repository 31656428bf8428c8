"""Test web server: serves a folder over HTTP/1.0 on 127.0.0.1 and answers
/lf-header with a response whose header lines end in a bare line feed,
/silent never, and /trickle with a header and then one body byte every
50 ms for as long as the client listens.
Writes the port it listens on to the file named by its second argument."""
import functools
import http.server
import os
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path == "/lf-header":
            self.wfile.write(b"HTTP/1.0 200 OK\nContent-Type: text/plain\n\nfirst line\nsecond line")
            return
        if self.path == "/silent":
            time.sleep(3600)
            return
        if self.path == "/trickle":
            try:
                self.wfile.write(b"HTTP/1.0 200 OK\r\n\r\n")
                while True:
                    self.wfile.write(b"t")
                    time.sleep(0.05)
            except OSError:
                return
        super().do_GET()

    def log_message(self, *args):
        pass


def main():
    root, port_file = sys.argv[1], sys.argv[2]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=root))
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()


main()
