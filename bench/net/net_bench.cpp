// Network throughput: an HTTP download of a 100 MB file from a local nginx
// next to curl fetching the same file, and lobby messages relayed from the
// host to a joined lobby.
#include <corvane/net.hpp>
#include "net/lobby.hpp"
#include "net/socket.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace crv {
namespace {

constexpr std::int64_t k_file_size = 100 * 1024 * 1024;

std::string g_dir;
int g_port = 0;
pid_t g_nginx = 0;

pid_t spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return 0;
    return pid;
}

int wait_for(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int free_port() {
    sock_init();
    int s = sock_listen(0);
    int port = sock_port(s);
    sock_close(s);
    sock_shutdown();
    return port;
}

bool start_nginx() {
    char pattern[] = "/tmp/crv_net_bench_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    g_dir = pattern;
    std::system(("mkdir -p " + g_dir + "/site " + g_dir + "/tmp " + g_dir + "/logs").c_str());
    {
        std::ofstream out(g_dir + "/site/big.bin", std::ios::binary);
        std::mt19937_64 random(42);
        std::vector<std::uint64_t> block(1 << 16);
        for (std::int64_t done = 0; done < k_file_size; done += static_cast<std::int64_t>(block.size() * 8)) {
            for (std::uint64_t& v : block) v = random();
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
        }
    }
    g_port = free_port();
    {
        std::ofstream conf(g_dir + "/nginx.conf");
        conf << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
             << "error_log " << g_dir << "/logs/error.log;\npid " << g_dir << "/nginx.pid;\n"
             << "events { worker_connections 64; }\n"
             << "http {\n  access_log off;\n  sendfile on;\n  default_type application/octet-stream;\n";
        for (const char* t : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
            conf << "  " << t << "_temp_path " << g_dir << "/tmp/" << t << ";\n";
        conf << "  server {\n    listen 127.0.0.1:" << g_port << ";\n    root " << g_dir << "/site;\n  }\n}\n";
    }
    g_nginx = spawn({"nginx", "-p", g_dir, "-c", g_dir + "/nginx.conf", "-e", g_dir + "/logs/error.log"});
    if (g_nginx == 0) return false;
    sock_init();
    bool up = false;
    for (int i = 0; i < 200 && !up; ++i) {
        int s = sock_connect("127.0.0.1", g_port, 100);
        if (s >= 0) {
            sock_close(s);
            up = true;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    sock_shutdown();
    return up;
}

void stop_nginx() {
    if (g_nginx > 0) {
        kill(g_nginx, SIGTERM);
        wait_for(g_nginx);
    }
    if (!g_dir.empty()) std::system(("rm -rf " + g_dir).c_str());
}

void BM_HttpGetFile(benchmark::State& state) {
    std::string target = g_dir + "/download.bin";
    for (auto _ : state) {
        if (!http_get_file("127.0.0.1", "/big.bin", g_port, target.c_str(), 5000)) {
            state.SkipWithError("download failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * k_file_size);
}
BENCHMARK(BM_HttpGetFile)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_CurlGetFile(benchmark::State& state) {
    std::string target = g_dir + "/curl.bin";
    std::string url = "http://127.0.0.1:" + std::to_string(g_port) + "/big.bin";
    for (auto _ : state) {
        pid_t curl = spawn({"curl", "-s", "-o", target, url});
        if (curl == 0 || wait_for(curl) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * k_file_size);
}
BENCHMARK(BM_CurlGetFile)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Messages from the host's player to a player of a joined lobby, in
// batches; each batch is counted once it has all arrived.
void BM_LobbyRelayHostToClient(benchmark::State& state) {
    const int batch = 1000;
    const std::string text(static_cast<std::size_t>(state.range(0)), 'm');
    NetLobby host, client;
    int port = free_port();
    if (!host.host(port) || !client.join("127.0.0.1", port)) {
        state.SkipWithError("lobby did not start");
        return;
    }
    int from = host.add_player("host");
    int to = client.add_player("client");
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i) host.send(from, to, text.c_str());
        int received = 0;
        while (received < batch) {
            if (client.receive(to).empty()) {
                std::this_thread::yield();
            } else {
                ++received;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_LobbyRelayHostToClient)->Arg(16)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace crv

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!crv::start_nginx()) {
        std::fprintf(stderr, "nginx did not start; the HTTP benchmarks are skipped\n");
    }
    benchmark::RunSpecifiedBenchmarks();
    crv::stop_nginx();
    benchmark::Shutdown();
    return 0;
}
