#include <corvane/core.hpp>

#include <cstring>

namespace crv {

namespace {

constexpr int k_size = 256;

struct Isaac {
    std::uint32_t results[k_size];
    std::uint32_t memory[k_size];
    std::uint32_t a, b, c;

    void pass() {
        std::uint32_t x, y;
        b += ++c;
        for (int i = 0; i < k_size; ++i) {
            x = memory[i];
            switch (i & 3) {
                case 0: a ^= a << 13; break;
                case 1: a ^= a >> 6; break;
                case 2: a ^= a << 2; break;
                case 3: a ^= a >> 16; break;
            }
            a += memory[(i + k_size / 2) & (k_size - 1)];
            memory[i] = y = memory[(x >> 2) & (k_size - 1)] + a + b;
            results[i] = b = memory[(y >> 10) & (k_size - 1)] + x;
        }
    }

    static void mix(std::uint32_t v[8]) {
        std::uint32_t& a = v[0]; std::uint32_t& b = v[1]; std::uint32_t& c = v[2];
        std::uint32_t& d = v[3]; std::uint32_t& e = v[4]; std::uint32_t& f = v[5];
        std::uint32_t& g = v[6]; std::uint32_t& h = v[7];
        a ^= b << 11; d += a; b += c;
        b ^= c >> 2;  e += b; c += d;
        c ^= d << 8;  f += c; d += e;
        d ^= e >> 16; g += d; e += f;
        e ^= f << 10; h += e; f += g;
        f ^= g >> 4;  a += f; g += h;
        g ^= h << 8;  b += g; h += a;
        h ^= a >> 9;  c += h; a += b;
    }

    void init(std::uint32_t seed) {
        std::memset(results, 0, sizeof results);
        std::memset(memory, 0, sizeof memory);
        a = b = c = 0;
        results[0] = seed;
        std::uint32_t v[8];
        for (auto& w : v) w = 0x9e3779b9u;
        for (int i = 0; i < 4; ++i) mix(v);
        for (int i = 0; i < k_size; i += 8) {
            for (int j = 0; j < 8; ++j) v[j] += results[i + j];
            mix(v);
            for (int j = 0; j < 8; ++j) memory[i + j] = v[j];
        }
        for (int i = 0; i < k_size; i += 8) {
            for (int j = 0; j < 8; ++j) v[j] += memory[i + j];
            mix(v);
            for (int j = 0; j < 8; ++j) memory[i + j] = v[j];
        }
        pass();
    }
};

Isaac& generator() {
    static Isaac instance = [] {
        Isaac g{};
        g.init(0);
        return g;
    }();
    return instance;
}

}  // namespace

void random_seed(std::uint32_t seed) { generator().init(seed); }

int random_int(int n) {
    if (n <= 0) return 0;
    Isaac& g = generator();
    g.pass();
    return static_cast<int>(g.results[0] % (static_cast<std::uint32_t>(n) + 1u));
}

}  // namespace crv
