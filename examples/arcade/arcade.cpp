// Rock rain: a little arcade game. Rocks fall through a field of stars;
// the ship at the bottom dodges them and shoots them to pieces. A big rock
// takes two hits (50 points), a small one a single hit (20 points); a rock
// that touches the ship costs one of three lives. When the last is gone,
// a score good enough for the table of the five best asks for initials.
//
// Keys: Left/Right and Up/Down or A/D and W/S move, Space or Ctrl fires,
// P pauses, Escape ends. On the table's screen, letters and digits type
// the initials, Backspace takes one back, Enter keeps them; then Space
// plays again. A game controller (controller 0, when one is attached)
// moves with its stick or hat, fires with button 0 and pauses with
// button 7. The game also pauses while its window is inactive, as the
// run-time does it: the frame loop stops inside present_frame, the music
// pauses, and after the window is active again the game waits with
// "PAUSED" until the player carries on.
//
// Media: every picture, sound, the music and the two fonts are made at
// build time (gen/arcade_media.cpp and crvfont) and travel in a media pack
// appended to the executable; each load looks on disk first, then in the
// pack. Without a sound device the game runs silently, without its fonts
// it prints with the built-in one.
//
// The high-score table is a settings file, arcade_scores.ini, in the
// application-data folder (platform_info("APPDATA"), on Linux
// $XDG_DATA_HOME/Corvane or ~/.local/share/Corvane); without one, beside
// the executable. Section [scores]: name1..name5 and score1..score5, best
// first; last_name holds the initials last entered.
//
// Command line: [frames [NAME]]. With a frame count the game ends by
// itself after that many frames (for screenshots and unattended runs): the
// game under way ends, its score goes into the table under NAME (default
// "CPU"), and the program ends. The rocks then fall the same way every
// run. What happens (shots, hits, the end) is also written to standard
// output.
#include <corvane/corvane.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace crv {

namespace {

constexpr int k_width = 640;
constexpr int k_height = 480;

// Sprite numbers, frame sizes and frame counts of the strips.
constexpr int k_ship = 1, k_ship_size = 48, k_ship_frames = 4;
constexpr int k_rock = 2, k_rock_size = 48;
constexpr int k_pebble = 3, k_pebble_size = 32;
constexpr int k_rock_frames = 8;
constexpr int k_boom = 4, k_boom_size = 64, k_boom_frames = 8;
constexpr int k_shot = 5, k_shot_w = 6, k_shot_h = 18;
constexpr int k_star = 6, k_star_size = 5;

constexpr int k_hud_font = 1, k_title_font = 2;
constexpr int k_shot_sound = 0, k_boom_sound = 1, k_hit_sound = 2;

constexpr int k_table_size = 5;
constexpr int k_lives = 3;
constexpr int k_ticks_per_boom_frame = 4;
constexpr int k_invulnerable_ticks = 120;

struct Star {
    double x, y, speed;
    int phase;
};

struct Rock {
    double x, y, vx, vy;  // top-left corner, pixels per frame
    bool big;
    int hits_left;
    int spin_ticks;  // frames per animation step; negative turns the other way
    int age = 0;
    int frame() const {
        int step = age / std::abs(spin_ticks);
        return spin_ticks > 0 ? step % k_rock_frames : (k_rock_frames - 1) - step % k_rock_frames;
    }
    int sprite() const { return big ? k_rock : k_pebble; }
    int size() const { return big ? k_rock_size : k_pebble_size; }
};

struct Shot {
    double x, y;
};

struct Boom {
    double x, y;  // centre
    int age = 0;
};

struct Entry {
    std::string name;
    int score = 0;
};

enum class Phase { playing, entering, table };

struct Fonts {
    bool hud = false, title = false;
};
Fonts fonts;

// The game's own pause, and whether the run-time paused it (window
// inactive) since the last frame.
bool paused = false;
bool focus_lost = false;

void on_pause() {
    focus_lost = true;
    music_pause(1);
    sound_stop_all();
    std::puts("window inactive: paused");
    std::fflush(stdout);
}

void on_resume() {
    std::puts("window active again");
    std::fflush(stdout);
}

}  // namespace

// The run-time calls these by name when the window loses and regains the
// focus.
const CallByNameEntry arcade_callbacks[] = {
    {on_pause, "CRV_ON_PAUSE"},
    {on_resume, "CRV_ON_RESUME"},
    {nullptr, nullptr},
};
CallByNameTable arcade_callback_registration(arcade_callbacks);

namespace {

void log_line(const std::string& text) {
    std::puts(text.c_str());
    std::fflush(stdout);
}

double random_between(double low, double high) { return low + (high - low) * random_int(10000) / 10000.0; }

// ------------------------------------------------------------ the score table

DynString scores_file_name() {
    DynString folder = platform_info("APPDATA");
    if (folder == "NO_DATA" || !dir_exists(folder)) return "arcade_scores.ini";  // beside the executable
    return folder + "/arcade_scores.ini";
}

std::vector<Entry> read_table() {
    settings_open(scores_file_name());
    std::vector<Entry> table;
    for (int i = 1; i <= k_table_size; ++i) {
        DynString number = int_to_text(i);
        DynString name = settings_get("scores", "name" + number, "");
        int score = text_to_int(settings_get("scores", "score" + number, "0"));
        if (name.empty() || score <= 0) continue;
        table.push_back({name.text(), score});
    }
    std::stable_sort(table.begin(), table.end(), [](const Entry& a, const Entry& b) { return a.score > b.score; });
    return table;
}

void write_table(const std::vector<Entry>& table, const std::string& last_name) {
    for (int i = 1; i <= k_table_size; ++i) {
        DynString number = int_to_text(i);
        bool used = i <= static_cast<int>(table.size());
        settings_put("scores", "name" + number, used ? DynString(table[i - 1].name.c_str()) : DynString());
        settings_put("scores", "score" + number, used ? int_to_text(table[i - 1].score) : DynString());
    }
    settings_put("scores", "last_name", last_name.c_str());
    settings_save();
}

// Where a score would stand in the table, 0-based; -1 when it does not
// make it.
int table_rank(const std::vector<Entry>& table, int score) {
    if (score <= 0) return -1;
    for (int i = 0; i < static_cast<int>(table.size()); ++i)
        if (score > table[i].score) return i;
    return static_cast<int>(table.size()) < k_table_size ? static_cast<int>(table.size()) : -1;
}

void insert_score(std::vector<Entry>& table, const std::string& name, int score) {
    int rank = table_rank(table, score);
    if (rank < 0) return;
    table.insert(table.begin() + rank, Entry{name, score});
    if (static_cast<int>(table.size()) > k_table_size) table.resize(k_table_size);
}

// ------------------------------------------------------------------ drawing

void print_with(int font, bool loaded, const std::string& text, int x, int y) {
    font_select(loaded ? font : 0);
    text_print(text.c_str(), x, y, 1);
}

void print_centred(int font, bool loaded, const std::string& text, int y) {
    font_select(loaded ? font : 0);
    text_print(text.c_str(), (k_width - text_width(text.c_str(), 1)) / 2, y, 1);
}

int play_sound(int slot, double x) {
    // Pan with the position across the screen; without a device this does
    // nothing and answers -1.
    return sound_play(slot, (x / k_width) * 1.6 - 0.8, 0.9);
}

// ------------------------------------------------------------------ input

struct Controls {
    int dx = 0, dy = 0;
    bool fire = false, pause = false;
};

Controls read_controls() {
    Controls c;
    if (key_down(key::left) || key_down(key::a)) c.dx -= 1;
    if (key_down(key::right) || key_down(key::d)) c.dx += 1;
    if (key_down(key::up) || key_down(key::w)) c.dy -= 1;
    if (key_down(key::down) || key_down(key::s)) c.dy += 1;
    c.fire = key_down(key::space) || key_down(key::left_control) || key_down(key::right_control);
    c.pause = key_down(key::p) != 0;
    if (joystick_count() > 0) {
        constexpr double k_dead_zone = 0.35;
        const double jx = joystick_x(0), jy = joystick_y(0);
        if (jx < -k_dead_zone || joystick_hat_x(0) < 0) c.dx = -1;
        if (jx > k_dead_zone || joystick_hat_x(0) > 0) c.dx = 1;
        if (jy < -k_dead_zone || joystick_hat_y(0) < 0) c.dy = -1;
        if (jy > k_dead_zone || joystick_hat_y(0) > 0) c.dy = 1;
        c.fire = c.fire || joystick_button(0, 0) != 0;
        c.pause = c.pause || joystick_button(0, 7) != 0;
    }
    return c;
}

// ------------------------------------------------------------------ the game

class Game {
public:
    Game() {
        for (int i = 0; i < 70; ++i) {
            stars_.push_back({random_between(0, k_width), random_between(0, k_height), random_between(0.3, 2.2),
                              random_int(200)});
        }
        table_ = read_table();
        name_ = settings_get("scores", "last_name", "").text();
        start();
    }

    void start() {
        rocks_.clear();
        shots_.clear();
        booms_.clear();
        ship_x_ = (k_width - k_ship_size) / 2.0;
        ship_y_ = k_height - k_ship_size - 16.0;
        lives_ = k_lives;
        score_ = 0;
        ticks_ = 0;
        spawn_wait_ = 40;
        reload_ = 0;
        invulnerable_ = k_invulnerable_ticks;
        phase_ = Phase::playing;
        aim_next_ = true;
        log_line("game started");
    }

    // One frame of play, or of the table's screen.
    void update(const Controls& c, bool fire_pressed) {
        for (Star& s : stars_) {
            s.y += s.speed;
            if (s.y > k_height) s.y -= k_height + k_star_size, s.x = random_between(0, k_width);
        }
        for (Boom& b : booms_) ++b.age;
        std::erase_if(booms_, [](const Boom& b) { return b.age >= k_boom_frames * k_ticks_per_boom_frame; });
        if (phase_ == Phase::playing) {
            play(c);
            return;
        }
        ++ticks_;
        move_rocks();  // the rocks fall on behind the table
        if (phase_ == Phase::table && fire_pressed) start();
        else if (phase_ == Phase::entering) type_initials();
    }

    void draw(bool show_paused) const {
        for (const Star& s : stars_) {
            // The slow, far stars are dimmer: they twinkle less.
            int frame = s.speed < 1 ? 0 : ((ticks_ + s.phase) / 12) % 4;
            anim_draw(k_star, frame, static_cast<int>(s.x), static_cast<int>(s.y));
        }
        for (const Rock& r : rocks_) anim_draw(r.sprite(), r.frame(), to_int(r.x), to_int(r.y));
        for (const Shot& s : shots_) anim_draw(k_shot, (ticks_ / 3) % 2, to_int(s.x), to_int(s.y));
        if (phase_ == Phase::playing && (invulnerable_ == 0 || (invulnerable_ / 6) % 2 == 0))
            anim_draw(k_ship, (ticks_ / 4) % k_ship_frames, to_int(ship_x_), to_int(ship_y_));
        for (const Boom& b : booms_)
            anim_draw(k_boom, b.age / k_ticks_per_boom_frame, to_int(b.x) - k_boom_size / 2,
                      to_int(b.y) - k_boom_size / 2);

        print_with(k_hud_font, fonts.hud, "SCORE " + std::to_string(score_), 12, 8);
        const int best = table_.empty() ? 0 : table_.front().score;
        std::string high = "HIGH " + std::to_string(std::max(best, score_));
        font_select(fonts.hud ? k_hud_font : 0);
        print_with(k_hud_font, fonts.hud, high, k_width - 12 - text_width(high.c_str(), 1), 8);
        for (int i = 0; i < lives_ && phase_ == Phase::playing; ++i)
            anim_draw_stretched(k_ship, 0, 12 + i * 28, k_height - 30, 24, 24);

        if (phase_ != Phase::playing) draw_table();
        if (show_paused) {
            print_centred(k_title_font, fonts.title, "PAUSED", 190);
            print_centred(k_hud_font, fonts.hud, "press P or fire to carry on", 250);
        }
    }

    // The unattended end: the game under way ends and its score goes into
    // the table under name.
    void finish(const std::string& name) {
        if (phase_ == Phase::playing) game_over();
        if (phase_ == Phase::entering) {
            name_ = name;
            keep_initials();
        }
    }

    int score() const { return score_; }
    Phase phase() const { return phase_; }

private:
    static int to_int(double v) { return static_cast<int>(std::lround(v)); }

    void play(const Controls& c) {
        ++ticks_;
        constexpr double k_speed = 4.5;
        ship_x_ = std::clamp(ship_x_ + c.dx * k_speed, 0.0, double(k_width - k_ship_size));
        ship_y_ = std::clamp(ship_y_ + c.dy * k_speed, k_height / 2.0, double(k_height - k_ship_size - 4));
        if (invulnerable_ > 0) --invulnerable_;

        if (reload_ > 0) --reload_;
        if (c.fire && reload_ == 0) {
            shots_.push_back({ship_x_ + (k_ship_size - k_shot_w) / 2.0, ship_y_ - 8});
            reload_ = 12;
            play_sound(k_shot_sound, ship_x_);
            log_line("shot");
        }
        for (Shot& s : shots_) s.y -= 9;
        std::erase_if(shots_, [](const Shot& s) { return s.y < -k_shot_h; });

        spawn_rocks();
        move_rocks();

        // Shots against rocks, pixel by pixel.
        for (auto shot = shots_.begin(); shot != shots_.end();) {
            bool spent = false;
            for (Rock& r : rocks_) {
                if (r.hits_left <= 0) continue;
                if (!anim_collide(k_shot, 0, to_int(shot->x), to_int(shot->y), r.sprite(), r.frame(), to_int(r.x),
                                  to_int(r.y)))
                    continue;
                spent = true;
                if (--r.hits_left == 0) {
                    score_ += r.big ? 50 : 20;
                    booms_.push_back({r.x + r.size() / 2.0, r.y + r.size() / 2.0});
                    play_sound(k_boom_sound, r.x);
                    log_line("rock destroyed, score " + std::to_string(score_));
                } else {
                    r.vy *= 0.8;  // knocked back a little
                    play_sound(k_shot_sound, r.x);
                }
                break;
            }
            shot = spent ? shots_.erase(shot) : shot + 1;
        }
        std::erase_if(rocks_, [](const Rock& r) { return r.hits_left <= 0; });

        // Rocks against the ship, pixel by pixel.
        if (invulnerable_ > 0) return;
        const int ship_frame = (ticks_ / 4) % k_ship_frames;
        for (auto r = rocks_.begin(); r != rocks_.end(); ++r) {
            if (!anim_collide(k_ship, ship_frame, to_int(ship_x_), to_int(ship_y_), r->sprite(), r->frame(),
                              to_int(r->x), to_int(r->y)))
                continue;
            booms_.push_back({r->x + r->size() / 2.0, r->y + r->size() / 2.0});
            booms_.push_back({ship_x_ + k_ship_size / 2.0, ship_y_ + k_ship_size / 2.0});
            rocks_.erase(r);
            play_sound(k_hit_sound, ship_x_);
            if (joystick_count() > 0) joystick_rumble(0, 400, 1, 1);
            --lives_;
            log_line("ship hit, lives " + std::to_string(lives_));
            if (lives_ == 0) game_over();
            else invulnerable_ = k_invulnerable_ticks;
            break;
        }
    }

    void move_rocks() {
        for (Rock& r : rocks_) {
            r.x += r.vx;
            r.y += r.vy;
            ++r.age;
            if (r.x < -8 || r.x > k_width - r.size() + 8) r.vx = -r.vx;
        }
        std::erase_if(rocks_, [](const Rock& r) { return r.y > k_height; });
    }

    // New rocks come faster as the game goes on; every other one, the first
    // included, falls straight at the ship, so that standing still does not
    // pay.
    void spawn_rocks() {
        if (--spawn_wait_ > 0) return;
        const double level = std::min(1.0, ticks_ / 3600.0);
        spawn_wait_ = static_cast<int>(40 - 24 * level) + random_int(18);
        Rock r{};
        r.big = random_int(2) > 0;
        const int size = r.big ? k_rock_size : k_pebble_size;
        r.x = aim_next_ ? ship_x_ + (k_ship_size - size) / 2.0 + random_between(-12, 12)
                        : random_between(0, k_width - size);
        r.x = std::clamp(r.x, 0.0, double(k_width - size));
        r.y = -size;
        r.vx = random_between(-0.6, 0.6);
        r.vy = random_between(1.4, 2.6) + 2.0 * level + (r.big ? 0 : 0.8);
        r.hits_left = r.big ? 2 : 1;
        r.spin_ticks = (random_int(1) == 0 ? 1 : -1) * (3 + random_int(4));
        aim_next_ = !aim_next_;
        rocks_.push_back(r);
    }

    void game_over() {
        log_line("game over, score " + std::to_string(score_));
        shots_.clear();
        rank_ = table_rank(table_, score_);
        phase_ = rank_ >= 0 ? Phase::entering : Phase::table;
        if (phase_ == Phase::entering) {
            typed_ = "";
            while (!typed_char().empty()) {  // what was typed during play does not count
            }
        }
    }

    // Letters and digits up to three, Backspace, Enter. A controller's fire
    // button keeps the initials shown.
    void type_initials() {
        for (DynString c = typed_char(); !c.empty(); c = typed_char()) {
            const int code = char_code(c);
            if (code == 8 && !typed_.empty()) typed_.pop_back();
            if (code == 10 || code == 13) {
                keep_initials();
                return;
            }
            const char ch = static_cast<char>(std::toupper(static_cast<unsigned char>(code)));
            if (std::isalnum(static_cast<unsigned char>(ch)) && typed_.size() < 3) typed_ += ch;
        }
        if (joystick_count() > 0 && joystick_button(0, 0) != 0 && !joystick_fire_held_) keep_initials();
        joystick_fire_held_ = joystick_count() > 0 && joystick_button(0, 0) != 0;
    }

    void keep_initials() {
        if (!typed_.empty()) name_ = typed_;
        if (name_.empty()) name_ = "???";
        insert_score(table_, name_, score_);
        write_table(table_, name_);
        log_line("high score " + std::to_string(score_) + " " + name_ + " rank " + std::to_string(rank_ + 1) +
                 " saved in " + scores_file_name().text());
        phase_ = Phase::table;
    }

    void draw_table() const {
        fill_rect(120, 96, 400, 300, rgb(10, 12, 40));
        print_centred(k_title_font, fonts.title, "GAME OVER", 104);
        print_centred(k_hud_font, fonts.hud, "BEST SCORES", 164);
        // While initials are typed, the new score stands in its place.
        std::vector<Entry> shown = table_;
        if (phase_ == Phase::entering) {
            shown.insert(shown.begin() + rank_, Entry{typed_ + std::string(3 - typed_.size(), '_'), score_});
        }
        int y = 196;
        for (int i = 0; i < k_table_size; ++i, y += 28) {
            const bool filled = i < static_cast<int>(shown.size());
            const std::string points = filled ? std::to_string(shown[i].score) : "0";
            print_with(k_hud_font, fonts.hud, std::to_string(i + 1) + ".  " + (filled ? shown[i].name : "---"), 200, y);
            font_select(fonts.hud ? k_hud_font : 0);
            print_with(k_hud_font, fonts.hud, points, 440 - text_width(points.c_str(), 1), y);
            if (phase_ == Phase::entering && i == rank_) fill_rect(184, y + 6, 8, 8, rgb(255, 210, 60));
        }
        print_centred(k_hud_font, fonts.hud,
                      phase_ == Phase::entering ? "your initials, then Enter"
                                                : "Space or fire: play again",
                      356);
    }

    std::vector<Star> stars_;
    std::vector<Rock> rocks_;
    std::vector<Shot> shots_;
    std::vector<Boom> booms_;
    std::vector<Entry> table_;
    std::string name_, typed_;
    double ship_x_ = 0, ship_y_ = 0;
    int lives_ = 0, score_ = 0, ticks_ = 0, spawn_wait_ = 0, reload_ = 0, invulnerable_ = 0, rank_ = -1;
    bool aim_next_ = false, joystick_fire_held_ = false;
    Phase phase_ = Phase::playing;
};

void load_media() {
    // The strips are cut into frames as they load; the frame sizes are the
    // generator's.
    anim_load("ship.png", k_ship, k_ship_size, k_ship_size);
    anim_load("rock.png", k_rock, k_rock_size, k_rock_size);
    anim_load("pebble.png", k_pebble, k_pebble_size, k_pebble_size);
    anim_load("boom.png", k_boom, k_boom_size, k_boom_size);
    anim_load("shot.png", k_shot, k_shot_w, k_shot_h);
    anim_load("star.png", k_star, k_star_size, k_star_size);
    for (int sprite = k_ship; sprite <= k_star; ++sprite) {
        std::int32_t w = 0, h = 0;
        sprite_get_size(sprite, &w, &h);
        if (w == 0) log_line("sprite " + std::to_string(sprite) + " missing");
    }
    font_load("hud.png", k_hud_font);
    fonts.hud = last_error_code() == 0;
    font_load("title.png", k_title_font);
    fonts.title = last_error_code() == 0;

    // Without a sound device these fail (the reason goes to the debug log)
    // and the game runs silently.
    sound_load("shot.wav", k_shot_sound, 4);
    sound_load("boom.wav", k_boom_sound, 4);
    sound_load("hit.wav", k_hit_sound, 1);
    log_line(last_error_code() == 0 ? "sound on" : "no sound");
    music_play("music.wav", 1);
    music_set_volume(0.6);
    log_line(last_error_code() == 0 ? "music found" : "no music");
    set_error(0);
}

}  // namespace

void load_project_settings() {
    app_state.screen_width = k_width;
    app_state.screen_height = k_height;
    app_state.frame_rate = 60;
    app_state.caption = "Corvane arcade";
}

void game_main() {
    std::istringstream args(argument_text(app_state.command_line.text()));
    long frames_to_run = 0;
    std::string unattended_name = "CPU";
    args >> frames_to_run >> unattended_name;
    random_seed(frames_to_run > 0 ? 2024u : static_cast<std::uint32_t>(clock_ms()));

    set_clear_colour(rgb(6, 6, 20));
    load_media();
    Game game;
    bool was_fire = true, was_pause = false;

    for (long frame = 0;; ++frame) {
        const Controls c = read_controls();
        const bool fire_pressed = c.fire && !was_fire;
        const bool pause_pressed = c.pause && !was_pause;
        was_fire = c.fire;
        was_pause = c.pause;

        if (focus_lost) {
            // The run-time held the frame loop while the window was inactive;
            // the game stays paused until the player is back.
            focus_lost = false;
            paused = true;
        } else if (paused && (pause_pressed || fire_pressed)) {
            paused = false;
            music_pause(0);
            log_line("carrying on");
        } else if (!paused && pause_pressed && game.phase() == Phase::playing) {
            paused = true;
            music_pause(1);
            log_line("paused");
        }
        if (!paused) game.update(c, fire_pressed);
        game.draw(paused);
        present_frame();

        if (frames_to_run > 0 && frame + 1 >= frames_to_run) {
            game.finish(unattended_name);
            set_error(0);
            end_program();
        }
    }
}

}  // namespace crv
