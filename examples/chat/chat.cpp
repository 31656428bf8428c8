// A chat through the lobby network. One instance hosts the lobby, others
// join it; each registers its user as a player, and every line typed goes
// to all the others and appears in every window (and on standard output,
// one "line: ..." per line shown).
//
//     chat host NAME [PORT]            hosts a lobby (default port 27910)
//     chat join NAME [HOST[:PORT]]     joins one (default 127.0.0.1)
//
// Typing starts the input line at the bottom; Enter sends it. The input
// line is the run-time's blocking line editor, so lines that arrive while
// one is being typed appear once it is sent. Escape ends it.
#include <corvane/corvane.hpp>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <sstream>
#include <string>

namespace crv {

namespace {

constexpr int k_screen_w = 640, k_screen_h = 400;
constexpr std::size_t k_history = 20;
constexpr int k_line_height = 16;
constexpr int k_input_y = k_screen_h - 28;

struct Options {
    bool valid = false;
    bool hosting = false;
    std::string name;
    std::string host = "127.0.0.1";
    int port = k_lobby_default_port;
};

Options parse_options() {
    std::istringstream args(argument_text(app_state.command_line.text()));
    Options o;
    std::string mode, where;
    args >> mode >> o.name >> where;
    if ((mode != "host" && mode != "join") || o.name.empty() || o.name.size() > 32) return o;
    o.hosting = mode == "host";
    if (!where.empty()) {
        std::size_t colon = o.hosting ? 0 : where.rfind(':');
        if (!o.hosting && colon == std::string::npos) {
            o.host = where;
        } else {
            if (!o.hosting) o.host = where.substr(0, colon);
            o.port = std::atoi(where.c_str() + (o.hosting ? 0 : colon + 1));
            if (o.port <= 0 || o.port > 65535 || o.host.empty()) return o;
        }
    }
    o.valid = true;
    return o;
}

std::deque<std::string> history;

void show(const std::string& line) {
    history.push_back(line);
    if (history.size() > k_history) history.pop_front();
    std::printf("line: %s\n", line.c_str());
    std::fflush(stdout);
}

void draw(const std::string& title, const std::string& hint) {
    fill_rect(0, 0, k_screen_w, 24, rgb(40, 60, 110));
    text_print(title.c_str(), 8, 6, 1);
    int y = 34;
    for (const std::string& line : history) {
        // Lines from the lobby itself (joins, departures) are marked.
        if (line.rfind("* ", 0) == 0) fill_rect(8, y + 2, 4, 4, rgb(240, 180, 60));
        text_print(line.c_str(), 18, y, 1);
        y += k_line_height;
    }
    fill_rect(0, k_input_y - 6, k_screen_w, 34, rgb(30, 32, 44));
    text_print(hint.c_str(), 8, k_input_y, 1);
}

}  // namespace

void load_project_settings() {
    Options o = parse_options();
    app_state.screen_width = k_screen_w;
    app_state.screen_height = k_screen_h;
    app_state.frame_rate = 60;
    app_state.caption = o.valid ? ("Corvane chat - " + o.name).c_str() : "Corvane chat";
}

void game_main() {
    set_clear_colour(rgb(18, 20, 30));
    // A chat window keeps showing what arrives while another window has
    // the focus.
    set_auto_pause(0);
    const Options o = parse_options();
    std::string title = "Corvane chat";
    int me = 0;
    if (!o.valid) {
        show("usage: chat host NAME [PORT]  or  chat join NAME [HOST[:PORT]]");
    } else if (o.hosting ? !net_host(o.port) : !net_join(o.host.c_str(), o.port)) {
        show(o.hosting ? "* cannot host a lobby on port " + std::to_string(o.port)
                       : "* no lobby answers at " + o.host + " port " + std::to_string(o.port));
    } else if ((me = net_add_player(o.name.c_str())) == 0) {
        show("* the lobby did not take the player " + o.name);
    } else {
        title = "Corvane chat - " + o.name + (o.hosting ? " hosting on port " + std::to_string(o.port)
                                                        : " at " + o.host + " port " + std::to_string(o.port));
        show(std::string(o.hosting ? "* hosting as " : "* joined as ") + o.name);
        net_send(me, 0, ("* " + o.name + " joined").c_str());
    }
    bool ended_shown = false;
    // The players who announced themselves, by id: a joining process also
    // registers a hidden player for its lobby queries, which is not a user.
    std::map<int, std::string> users;

    for (;;) {
        if (me != 0) {
            for (DynString text = net_receive(me); !text.empty(); text = net_receive(me)) {
                std::string line = text.c_str();
                const std::string joined = " joined";
                if (line.rfind("* ", 0) == 0 && line.size() > 2 + joined.size() &&
                    line.compare(line.size() - joined.size(), joined.size(), joined) == 0)
                    users[net_last_sender()] = line.substr(2, line.size() - 2 - joined.size());
                show(line);
            }
            // Only the host learns who left; it tells the others.
            if (o.hosting)
                for (int left = net_next_left_player(); left != 0; left = net_next_left_player()) {
                    auto user = users.find(left);
                    if (user == users.end()) continue;
                    std::string line = "* " + user->second + " left";
                    users.erase(user);
                    show(line);
                    net_send(me, 0, line.c_str());
                }
            if (!net_is_running() && !ended_shown) {
                show("* the lobby has ended");
                ended_shown = true;
            }
        }
        const bool can_send = me != 0 && net_is_running();
        draw(title, can_send ? "> type a line, Enter sends it" : "Escape ends");

        // A typed character starts the input line with that character.
        DynString typed = typed_char();
        if (can_send && !typed.empty()) {
            DynString line = typed[0] == '\n' ? DynString() : typed;
            fill_rect(0, k_input_y - 6, k_screen_w, 34, rgb(30, 32, 44));
            text_print(">", 8, k_input_y, 1);
            input_text(line, 20, k_input_y, 1);
            if (!line.empty()) {
                std::string said = o.name + ": " + line.c_str();
                if (net_send(me, 0, said.c_str())) show(said);
                else show("* not sent (the lobby has ended, or the line is longer than 1024 bytes)");
            }
            continue;  // input_text presented the frames itself
        }
        present_frame();
    }
}

}  // namespace crv
