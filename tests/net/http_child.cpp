// A program that downloads one file, for the tests that need a download in
// a process of its own (one that is killed while it runs). Arguments: host,
// path, port, file name. Exit code 0 when the download succeeded.
#include <corvane/net.hpp>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    return crv::http_get_file(argv[1], argv[2], std::atoi(argv[3]), argv[4], 2000) ? 0 : 1;
}
