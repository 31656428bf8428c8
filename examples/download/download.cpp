// Downloads a file over HTTP and shows how it goes: the bytes received, a
// bar (when the server says how many bytes to expect), the speed, and then
// where the file was saved or why it failed. Escape ends it.
//
// Command line: [URL] [SAVE_AS] [FRAMES], in any order: the URL is the word
// with "://" in it and must start with "http://" (default http://127.0.0.1:8000/, where "python3 -m http.server"
// serves the current folder), SAVE_AS is the file to write (default: the
// last part of the URL's path, beside the executable), and a number ends
// the program that many frames after the download has ended (for
// screenshots and unattended runs).
//
// The run-time's http_get_file does the same in one blocking call; to show
// progress while the game keeps drawing, the example sends the GET itself
// over a socket and takes in what has arrived once per frame. The file is
// written under a temporary name and renamed only when it is complete, so a
// failed download never leaves a half file under the name asked for.
#include <corvane/corvane.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace crv {

namespace {

constexpr int k_screen_w = 640, k_screen_h = 200;
// Bytes taken in per frame at most: keeps frames short on a fast link (and
// makes the progress visible on a local one).
constexpr int k_bytes_per_frame = 64 * 1024;
constexpr double k_stall_ms = 15000;
constexpr std::size_t k_max_header = 16 * 1024;

bool all_digits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

struct Url {
    std::string host;
    int port = 80;
    std::string path = "/";
};

bool parse_url(const std::string& text, Url& url) {
    const std::string scheme = "http://";
    if (text.compare(0, scheme.size(), scheme) != 0) return false;
    std::string rest = text.substr(scheme.size());
    std::size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    url.path = slash == std::string::npos ? "/" : rest.substr(slash);
    std::size_t colon = authority.find(':');
    url.host = authority.substr(0, colon);
    if (colon != std::string::npos) {
        std::string port = authority.substr(colon + 1);
        if (port.size() > 5 || !all_digits(port)) return false;
        url.port = std::atoi(port.c_str());
    }
    return !url.host.empty() && url.port > 0 && url.port < 65536;
}

std::string default_name(const Url& url) {
    std::string path = url.path.substr(0, url.path.find_first_of("?#"));
    std::string name = path.substr(path.rfind('/') + 1);
    return name.empty() ? "download.html" : name;
}

enum class Stage { connecting, receiving, done, failed };

class Download {
public:
    Download(Url url, std::string save_as) : url_(std::move(url)), save_as_(std::move(save_as)) {
        part_ = save_as_ + ".part";
    }
    ~Download() { close(); }
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    // One step of work; called once per frame.
    void step() {
        if (stage_ == Stage::connecting) connect();
        else if (stage_ == Stage::receiving) receive();
    }

    Stage stage() const { return stage_; }
    const std::string& message() const { return message_; }
    long long received() const { return received_; }
    long long expected() const { return expected_; }
    double seconds() const { return ((stage_ == Stage::receiving ? clock_ms() : ended_) - started_) / 1000; }

private:
    void connect() {
        started_ = clock_ms();
        socket_ = sock_connect(url_.host.c_str(), url_.port, 5000);
        if (socket_ < 0) return fail("cannot connect: " + std::string(sock_error_text().c_str()));
        std::string request = "GET " + url_.path + " HTTP/1.0\r\nHost: " + url_.host +
                              "\r\nUser-Agent: Corvane example\r\n\r\n";
        if (sock_send(socket_, request.c_str()) != static_cast<int>(request.size()))
            return fail("cannot send the request: " + std::string(sock_error_text().c_str()));
        file_ = std::fopen(part_.c_str(), "wb");
        if (file_ == nullptr) return fail("cannot write " + part_);
        last_byte_ = clock_ms();
        stage_ = Stage::receiving;
    }

    void receive() {
        DynString chunk;
        for (int taken = 0; taken < k_bytes_per_frame && stage_ == Stage::receiving;) {
            int n = sock_receive(socket_, chunk, 16384);
            if (n == k_sock_no_data) {
                if (clock_ms() - last_byte_ > k_stall_ms) fail("no data for 15 seconds");
                return;
            }
            if (n == k_sock_closed) return finish();
            if (n < 0) return fail("connection failed: " + std::string(sock_error_text().c_str()));
            last_byte_ = clock_ms();
            taken += n;
            take(chunk.text(), static_cast<std::size_t>(n));
        }
    }

    // Header bytes are collected until the blank line; the rest is body.
    void take(const char* bytes, std::size_t n) {
        if (!header_done_) {
            header_.append(bytes, n);
            std::size_t end = header_.find("\r\n\r\n");
            std::size_t skip = 4;
            if (end == std::string::npos) end = header_.find("\n\n"), skip = 2;
            if (end == std::string::npos) {
                if (header_.size() > k_max_header) fail("the server's answer has no HTTP header");
                return;
            }
            header_done_ = true;
            std::string body = header_.substr(end + skip);
            header_.resize(end);
            read_header();
            write(body.data(), body.size());
            return;
        }
        write(bytes, n);
    }

    void read_header() {
        std::istringstream lines(header_);
        std::getline(lines, status_line_);
        if (!status_line_.empty() && status_line_.back() == '\r') status_line_.pop_back();
        std::istringstream status(status_line_);
        std::string version;
        status >> version >> status_;
        for (std::string line; std::getline(lines, line);) {
            std::string lower = line;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            if (lower.compare(0, 15, "content-length:") == 0) expected_ = std::atoll(line.c_str() + 15);
        }
    }

    void write(const char* bytes, std::size_t n) {
        if (n == 0 || stage_ != Stage::receiving) return;
        if (std::fwrite(bytes, 1, n, file_) != n) return fail("cannot write " + part_);
        received_ += static_cast<long long>(n);
    }

    void finish() {
        if (!header_done_) return fail("the server closed the connection without an answer");
        if (status_ != 200) return fail("the server answered \"" + status_line_ + "\"");
        if (expected_ >= 0 && received_ != expected_)
            return fail("the connection ended after " + std::to_string(received_) + " of " +
                        std::to_string(expected_) + " bytes");
        bool written = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!written || std::rename(part_.c_str(), save_as_.c_str()) != 0) return fail("cannot write " + save_as_);
        close();
        stage_ = Stage::done;
        ended_ = clock_ms();
        message_ = "saved " + std::to_string(received_) + " bytes to " + save_as_;
    }

    void fail(const std::string& why) {
        close();
        std::remove(part_.c_str());
        stage_ = Stage::failed;
        ended_ = clock_ms();
        message_ = "failed: " + why;
    }

    void close() {
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
        if (socket_ >= 0) sock_close(socket_);
        socket_ = -1;
    }

    Url url_;
    std::string save_as_, part_;
    Stage stage_ = Stage::connecting;
    std::string message_;
    int socket_ = -1;
    std::FILE* file_ = nullptr;
    std::string header_, status_line_;
    bool header_done_ = false;
    int status_ = 0;
    long long expected_ = -1, received_ = 0;
    double started_ = 0, ended_ = 0, last_byte_ = 0;
};

void draw_progress(const Download& d, long frame) {
    constexpr int x = 20, y = 90, w = 600, h = 28;
    fill_rect(x - 2, y - 2, w + 4, h + 4, rgb(200, 200, 210));
    fill_rect(x, y, w, h, rgb(30, 30, 40));
    std::int32_t colour = d.stage() == Stage::failed ? rgb(210, 50, 40) : rgb(60, 190, 90);
    if (d.expected() > 0) {
        int filled = static_cast<int>(w * std::min(1.0, static_cast<double>(d.received()) / d.expected()));
        fill_rect(x, y, filled, h, colour);
    } else if (d.stage() == Stage::receiving) {
        // Without a length there is no fraction to show: a block sweeps.
        fill_rect(x + static_cast<int>(frame * 8 % (w - 80)), y, 80, h, colour);
    } else if (d.stage() != Stage::connecting) {
        fill_rect(x, y, w, h, colour);
    }
}

}  // namespace

void load_project_settings() {
    app_state.screen_width = k_screen_w;
    app_state.screen_height = k_screen_h;
    app_state.frame_rate = 60;
    app_state.caption = "Corvane download";
}

void game_main() {
    std::istringstream args(argument_text(app_state.command_line.text()));
    std::string address = "http://127.0.0.1:8000/", save_as;
    long frames_after_end = 0;
    for (std::string word; args >> word;) {
        if (word.find("://") != std::string::npos) address = word;
        else if (all_digits(word) && word.size() < 9) frames_after_end = std::atol(word.c_str());
        else save_as = word;
    }
    set_clear_colour(rgb(18, 20, 30));
    sock_init();

    Url url;
    const bool valid = parse_url(address, url);
    if (save_as.empty()) save_as = default_name(url);
    Download download(url, save_as);
    std::string invalid = "not an http:// address: " + address;
    bool reported = false;
    long end_frame = -1;

    for (long frame = 0;; ++frame) {
        // The first frame shows "connecting" before the connect may block.
        if (valid && frame > 0) download.step();
        const bool ended = !valid || download.stage() == Stage::done || download.stage() == Stage::failed;
        if (ended && !reported) {
            std::printf("%s\n", valid ? download.message().c_str() : invalid.c_str());
            std::fflush(stdout);
            reported = true;
            end_frame = frame;
        }

        text_print(("Downloading " + address).c_str(), 20, 20, 1);
        text_print(("to " + save_as).c_str(), 20, 40, 1);
        draw_progress(download, frame);
        char line[200];
        if (download.stage() == Stage::connecting) {
            std::snprintf(line, sizeof line, "connecting to %s port %d ...", url.host.c_str(), url.port);
        } else {
            double s = std::max(download.seconds(), 0.001);
            if (download.expected() >= 0)
                std::snprintf(line, sizeof line, "%lld of %lld bytes (%d%%)   %.1f s   %.2f MB/s", download.received(),
                              download.expected(),
                              static_cast<int>(download.expected() > 0 ? 100 * download.received() / download.expected() : 100),
                              s, download.received() / s / 1e6);
            else
                std::snprintf(line, sizeof line, "%lld bytes   %.1f s   %.2f MB/s", download.received(), s,
                              download.received() / s / 1e6);
        }
        text_print(line, 20, 130, 1);
        if (ended) {
            text_print(valid ? download.message().c_str() : invalid.c_str(), 20, 160, 1);
            if (frames_after_end > 0 && frame - end_frame >= frames_after_end) {
                set_error(0);
                end_program();
            }
        }
        present_frame();
    }
}

}  // namespace crv
