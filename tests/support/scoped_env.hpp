// Environment variables set for a test's scope.
#pragma once

#include <cstdlib>
#include <string>

namespace crv::test {

// Sets an environment variable, or removes it for nullptr. On Windows the
// C run-time's _putenv_s also changes the system's copy that the platform
// layer and started programs read; an empty value removes the variable
// there.
inline void set_env(const char* name, const char* value) {
#ifdef _WIN32
    ::_putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) ::setenv(name, value, 1); else ::unsetenv(name);
#endif
}

// Sets (or, with nullptr, removes) an environment variable for the scope
// of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(had_ ? old_.c_str() : nullptr); }

private:
    void set(const char* value) { set_env(name_.c_str(), value); }

    std::string name_, old_;
    bool had_ = false;
};

}  // namespace crv::test
