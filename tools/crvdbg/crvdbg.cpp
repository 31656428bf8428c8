// crvdbg: a command-line source-level debugger for Corvane game programs.
//
//   crvdbg [--script FILE] [--tx-log FILE] PROGRAM [ARGS...]
//   crvdbg --help | --version
//
// Starts PROGRAM as its debugger, prints every debug text the program
// sends, and whenever the program stops takes commands (from the script
// file first, then from standard input):
//
//   break F L / clear F L / breakpoints     breakpoints by file and line
//   continue | c                            run to the next breakpoint
//   step | s, into | i, out | o             step over, into, out of routines
//   where | w                               where the program stopped
//   vars                                    globals and locals with values
//   print NAME [I [J [K [L]]]]              one variable or array element
//   set NAME VALUE                          change a number variable
//   quit | q                                end the program (exit code 0)
//
// While the program waits in its stop, the record and the variables are
// read and written in its memory. How the program is started, how its
// messages arrive and how its memory is reached differ per system
// (debuggee.hpp); everything here is the same on every system.
#include "core/number_text.hpp"
#include "tools/crvdbg/debuggee.hpp"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Offsets of the debug record's fields.
constexpr std::uint64_t k_breakpoint_count = 0, k_global_count = 4, k_local_count = 8, k_break_request = 12,
                        k_file = 16, k_line = 20, k_quit_request = 24, k_command = 28, k_breakpoint_files = 32,
                        k_breakpoint_lines = 40, k_global_entries = 48, k_local_entries = 56;
constexpr int k_breakpoint_slots = 1024;

struct Variable {
    std::string name;
    std::int32_t kind = 0;
    std::uint64_t address = 0;
    bool global = false;
};

// Typed access to the program's memory.
class Target {
public:
    explicit Target(const crvdbg::Debuggee& program) : program_(program) {}

    bool read(std::uint64_t address, void* out, std::size_t n) const { return program_.read(address, out, n); }
    bool write(std::uint64_t address, const void* data, std::size_t n) const {
        return program_.write(address, data, n);
    }
    template <typename T>
    T get(std::uint64_t address) const {
        T value{};
        read(address, &value, sizeof value);
        return value;
    }
    template <typename T>
    bool put(std::uint64_t address, T value) const {
        return write(address, &value, sizeof value);
    }
    std::string c_string(std::uint64_t address) const {
        std::string out;
        char chunk[64];
        while (address != 0 && out.size() < 4096) {
            if (!read(address, chunk, sizeof chunk)) {
                // The string may end just before an unreadable page.
                char c = 0;
                if (!read(address, &c, 1) || c == 0) break;
                out += c;
                ++address;
                continue;
            }
            std::size_t n = strnlen(chunk, sizeof chunk);
            out.append(chunk, n);
            if (n < sizeof chunk) break;
            address += sizeof chunk;
        }
        return out;
    }

private:
    const crvdbg::Debuggee& program_;
};

std::string number_text(double v) {
    char buffer[64];
    crv::format_number_text(v, buffer, sizeof buffer);
    return buffer;
}

// "[n]", as array sizes and indices are shown.
std::string subscript(long long n) {
    std::string text = "[";
    text += std::to_string(n);
    text += ']';
    return text;
}

class Session {
public:
    Session(crvdbg::Debuggee& program, std::FILE* tx_log) : program_(program), target_(program), tx_log_(tx_log) {}

    // Handles the program's messages until it ends or leaves the channel.
    void run(std::istream* script);

private:
    void on_stop(std::uint64_t record, std::istream* script);
    bool next_command(std::istream* script, std::string* line);
    std::vector<Variable> variables() const;
    std::optional<Variable> find(const std::string& name) const;
    std::string describe(const Variable& v) const;
    void print(const Variable& v, const std::vector<int>& index) const;
    void answer(std::int32_t command);

    crvdbg::Debuggee& program_;
    Target target_;
    std::FILE* tx_log_;
    std::uint64_t record_ = 0;
    bool stdin_done_ = false;
};

void Session::run(std::istream* script) {
    std::string message;
    const auto started = std::chrono::steady_clock::now();
    while (program_.next_message(&message)) {
        if (message.rfind("TX", 0) == 0) {
            std::string text = message.substr(2);
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
            if (tx_log_ != nullptr) {
                double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                                .count();
                std::fprintf(tx_log_, "%.3f %s", ms, text.c_str());
                if (text.empty() || text.back() != '\n') std::fputc('\n', tx_log_);
            }
        } else if (message.rfind("BP", 0) == 0) {
            on_stop(std::strtoull(message.c_str() + 2, nullptr, 16), script);
        }
    }
}

bool Session::next_command(std::istream* script, std::string* line) {
    if (script != nullptr && std::getline(*script, *line)) return true;
    if (stdin_done_ || !std::getline(std::cin, *line)) {
        stdin_done_ = true;
        return false;
    }
    return true;
}

std::vector<Variable> Session::variables() const {
    std::vector<Variable> out;
    auto collect = [&](std::uint64_t count_at, std::uint64_t entries_at, bool global) {
        std::int32_t count = target_.get<std::int32_t>(record_ + count_at);
        std::uint64_t entries = target_.get<std::uint64_t>(record_ + entries_at);
        for (std::int32_t i = 0; i < count && i < 4096 && entries != 0; ++i) {
            std::uint64_t at = entries + 24u * static_cast<std::uint64_t>(i);
            Variable v;
            v.name = target_.c_string(target_.get<std::uint64_t>(at));
            v.kind = target_.get<std::int32_t>(at + 8);
            v.address = target_.get<std::uint64_t>(at + 16);
            v.global = global;
            out.push_back(v);
        }
    };
    collect(k_global_count, k_global_entries, true);
    collect(k_local_count, k_local_entries, false);
    return out;
}

std::optional<Variable> Session::find(const std::string& name) const {
    for (const Variable& v : variables())
        if (v.name == name) return v;
    return std::nullopt;
}

std::string Session::describe(const Variable& v) const {
    switch (v.kind) {
        case 0:
            return number_text(target_.get<double>(v.address));
        case 1: {
            std::uint64_t text = target_.get<std::uint64_t>(v.address);
            std::uint32_t length = target_.get<std::uint32_t>(v.address + 12);
            if (length > 65536) length = 65536;
            std::string s(length, '\0');
            if (length > 0) target_.read(text, s.data(), length);
            return "\"" + s + "\"";
        }
        case 2: {
            std::int32_t sizes[4];
            target_.read(v.address + 20, sizes, sizeof sizes);
            std::string out = "array";
            for (int d = 0; d < 4 && (d == 0 || sizes[d] > 0); ++d) out += subscript(sizes[d]);
            return out;
        }
        default:
            return "?";
    }
}

void Session::print(const Variable& v, const std::vector<int>& index) const {
    if (v.kind != 2 || index.empty()) {
        std::printf("%s = %s\n", v.name.c_str(), describe(v).c_str());
        return;
    }
    std::uint64_t elements = target_.get<std::uint64_t>(v.address);
    std::int32_t strides[3], sizes[4];
    target_.read(v.address + 8, strides, sizeof strides);
    target_.read(v.address + 20, sizes, sizeof sizes);
    int i[4] = {0, 0, 0, 0};
    for (std::size_t d = 0; d < index.size() && d < 4; ++d) i[d] = index[d];
    bool in_range = elements != 0 && i[0] >= 0 && i[0] < sizes[0];
    for (int d = 1; d < 4; ++d) in_range = in_range && i[d] >= 0 && (sizes[d] == 0 ? i[d] == 0 : i[d] < sizes[d]);
    std::string where = v.name;
    for (std::size_t d = 0; d < index.size(); ++d) where += subscript(index[d]);
    if (!in_range) {
        std::printf("%s is out of range\n", where.c_str());
        return;
    }
    std::int64_t offset = i[0] + std::int64_t{i[1]} * strides[0] + std::int64_t{i[2]} * strides[1] +
                          std::int64_t{i[3]} * strides[2];
    double value = target_.get<double>(elements + 8u * static_cast<std::uint64_t>(offset));
    std::printf("%s = %s\n", where.c_str(), number_text(value).c_str());
}

void Session::answer(std::int32_t command) {
    target_.put<std::int32_t>(record_ + k_command, command);
    program_.resume_break();
}

void Session::on_stop(std::uint64_t record, std::istream* script) {
    record_ = record;
    std::printf("stopped at file %d line %d\n", target_.get<std::int32_t>(record_ + k_file),
                target_.get<std::int32_t>(record_ + k_line));
    std::fflush(stdout);
    std::string line;
    for (;;) {
        std::printf("(crvdbg) ");
        std::fflush(stdout);
        if (!next_command(script, &line)) {
            // Nothing more to say: let the program run on freely.
            std::printf("\n");
            answer(100);
            return;
        }
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command.empty() || command[0] == '#') continue;
        if (command == "c" || command == "continue") return answer(100);
        if (command == "s" || command == "step" || command == "n" || command == "next") return answer(0);
        if (command == "i" || command == "into") return answer(1);
        if (command == "o" || command == "out") return answer(-1);
        if (command == "q" || command == "quit") {
            target_.put<std::int32_t>(record_ + k_quit_request, 1);
            return answer(1);  // step into: the very next statement stops and ends
        }
        if (command == "w" || command == "where") {
            std::printf("file %d line %d\n", target_.get<std::int32_t>(record_ + k_file),
                        target_.get<std::int32_t>(record_ + k_line));
        } else if (command == "b" || command == "break" || command == "clear") {
            int file = -1, at = -1;
            if (!(words >> file >> at)) {
                std::printf("usage: %s FILE LINE\n", command.c_str());
                continue;
            }
            std::int32_t count = target_.get<std::int32_t>(record_ + k_breakpoint_count);
            std::uint64_t files = target_.get<std::uint64_t>(record_ + k_breakpoint_files);
            std::uint64_t lines = target_.get<std::uint64_t>(record_ + k_breakpoint_lines);
            if (command != "clear") {
                if (count >= k_breakpoint_slots) {
                    std::printf("no room for more breakpoints\n");
                    continue;
                }
                target_.put<std::int32_t>(files + 4u * static_cast<std::uint64_t>(count), file);
                target_.put<std::int32_t>(lines + 4u * static_cast<std::uint64_t>(count), at);
                target_.put<std::int32_t>(record_ + k_breakpoint_count, count + 1);
                std::printf("breakpoint %d at file %d line %d\n", count + 1, file, at);
                continue;
            }
            // Clearing moves the last breakpoint into the freed slot.
            bool cleared = false;
            for (std::int32_t k = 0; k < count && !cleared; ++k) {
                std::uint64_t fk = files + 4u * static_cast<std::uint64_t>(k);
                std::uint64_t lk = lines + 4u * static_cast<std::uint64_t>(k);
                if (target_.get<std::int32_t>(fk) != file || target_.get<std::int32_t>(lk) != at) continue;
                std::uint64_t last = 4u * static_cast<std::uint64_t>(count - 1);
                target_.put<std::int32_t>(fk, target_.get<std::int32_t>(files + last));
                target_.put<std::int32_t>(lk, target_.get<std::int32_t>(lines + last));
                target_.put<std::int32_t>(record_ + k_breakpoint_count, count - 1);
                cleared = true;
            }
            std::printf(cleared ? "cleared\n" : "no such breakpoint\n");
        } else if (command == "breakpoints") {
            std::int32_t count = target_.get<std::int32_t>(record_ + k_breakpoint_count);
            std::uint64_t files = target_.get<std::uint64_t>(record_ + k_breakpoint_files);
            std::uint64_t lines = target_.get<std::uint64_t>(record_ + k_breakpoint_lines);
            for (std::int32_t k = 0; k < count && k < k_breakpoint_slots; ++k)
                std::printf("%d: file %d line %d\n", k + 1, target_.get<std::int32_t>(files + 4u * k),
                            target_.get<std::int32_t>(lines + 4u * k));
        } else if (command == "vars") {
            for (const Variable& v : variables())
                std::printf("%s %s = %s\n", v.global ? "global" : "local", v.name.c_str(), describe(v).c_str());
        } else if (command == "p" || command == "print") {
            std::string name;
            words >> name;
            std::vector<int> index;
            for (int k; words >> k;) index.push_back(k);
            if (auto v = find(name)) print(*v, index);
            else std::printf("no variable %s\n", name.c_str());
        } else if (command == "set") {
            std::string name, value;
            words >> name >> value;
            auto v = find(name);
            if (!v || v->kind != 0) {
                std::printf("no number variable %s\n", name.c_str());
                continue;
            }
            target_.put<double>(v->address, std::strtod(value.c_str(), nullptr));
            std::printf("%s = %s\n", name.c_str(), describe(*v).c_str());
        } else if (command == "help") {
            std::printf("break F L, clear F L, breakpoints, continue, step, into, out, where, vars, "
                        "print NAME [I..], set NAME VALUE, quit\n");
        } else {
            std::printf("unknown command %s (try help)\n", command.c_str());
        }
    }
}

const char k_usage[] =
    "usage: crvdbg [--script FILE] [--tx-log FILE] PROGRAM [ARGS...]\n"
    "       crvdbg --help | --version\n"
    "Starts PROGRAM under the debugger, prints the debug texts it sends and,\n"
    "whenever it stops, takes commands from FILE, then from standard input:\n"
    "  break F L, clear F L, breakpoints, continue, step, into, out, where,\n"
    "  vars, print NAME [I..], set NAME VALUE, quit\n"
    "--tx-log FILE writes each debug text with the milliseconds since the start.\n";

int usage_error(const std::string& problem) {
    std::fprintf(stderr, "crvdbg: %s\n%s", problem.c_str(), k_usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string script_path, tx_log_path;
    int first = 1;
    while (first < argc && argv[first][0] == '-') {
        const std::string option = argv[first];
        if (option == "--help" || option == "-h") {
            std::fputs(k_usage, stdout);
            return 0;
        }
        if (option == "--version") {
            std::printf("crvdbg (Corvane) %s\n", CRV_VERSION);
            return 0;
        }
        if (option == "--") {
            ++first;
            break;
        }
        if (option != "--script" && option != "--tx-log") return usage_error("unknown option " + option);
        if (first + 1 >= argc) return usage_error(option + " needs a file name");
        (option == "--script" ? script_path : tx_log_path) = argv[first + 1];
        first += 2;
    }
    if (first >= argc) return usage_error("no program to debug");

    // Both files are checked before the program starts.
    std::ifstream script_file;
    if (!script_path.empty()) {
        script_file.open(script_path);
        if (!script_file) {
            std::fprintf(stderr, "crvdbg: %s: %s\n", script_path.c_str(), std::strerror(errno));
            return 1;
        }
    }
    std::FILE* tx_log = nullptr;
    if (!tx_log_path.empty()) {
        tx_log = std::fopen(tx_log_path.c_str(), "w");
        if (tx_log == nullptr) {
            std::fprintf(stderr, "crvdbg: %s: %s\n", tx_log_path.c_str(), std::strerror(errno));
            return 1;
        }
    }

    crvdbg::Debuggee program;
    std::string error;
    if (!program.start(std::vector<std::string>(argv + first, argv + argc), &error)) {
        std::fprintf(stderr, "crvdbg: cannot start %s\n", error.c_str());
        if (tx_log != nullptr) std::fclose(tx_log);
        return 1;
    }
    Session session(program, tx_log);
    session.run(script_path.empty() ? nullptr : &script_file);
    if (tx_log != nullptr) std::fclose(tx_log);
    int code = program.wait_end();
    if (!program.attached()) std::printf("program ended without attaching (exit code %d)\n", code);
    else std::printf("program ended with exit code %d\n", code);
    return code;
}
