#include "runtime/log.hpp"

#include "platform/paths.hpp"

#include <cstdio>
#include <cstring>

namespace crv {

std::string log_path() {
    std::string path = plat::temp_folder() + "ErrorLog.txt";
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

namespace {

void append(const char* bytes, std::size_t n) {
    std::string path = log_path();
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::FILE* file = std::fopen(path.c_str(), "ab");
        if (file == nullptr) continue;
        if (n > 0) std::fwrite(bytes, 1, n, file);
        std::fclose(file);
        return;
    }
}

}  // namespace

void log_write(const char* text) {
    if (text == nullptr) text = "NULL";
    append(text, std::strlen(text));
}

void log_write(const DynString& text) { append(text.text(), text.length()); }

void log_load_failure(const char* call, const char* name, const char* reason) {
    std::string line = call;
    line += " \"";
    line += name != nullptr ? name : "";
    line += "\": ";
    line += reason;
    line += "\n";
    log_write(line.c_str());
}

void log_start_fresh() {
    std::remove(log_path().c_str());
    log_write("Start new log...\n");
}

}  // namespace crv
