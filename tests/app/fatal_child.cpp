// Runs one fatal path chosen by its argument, the way a game program would
// hit it: bounds, append, data, assert, or a clean end_program.
#include "runtime/app_state.hpp"
#include "runtime/log.hpp"
#include "app/termination.hpp"
#include <corvane/core.hpp>
#include <corvane/dyn_array.hpp>
#include "platform/debug_channel.hpp"

#include <cstring>

int main(int argc, char** argv) {
    using namespace crv;
    if (argc < 2) return 2;
    app_state.debug_mode = 1;
    log_start_fresh();
    plat::debugger_connect_from_environment();
    app_state.current_line = 42;
    app_state.current_file = 3;
    const char* what = argv[1];
    if (std::strcmp(what, "bounds") == 0) {
        DynArray<double> table;
        table.set_dimensions(121);
        table(121) = 1;
    } else if (std::strcmp(what, "bounds2d") == 0) {
        DynArray<std::int32_t> grid;
        grid.set_dimensions(10, 3);
        grid(2, 3) = 1;
    } else if (std::strcmp(what, "append2d") == 0) {
        DynArray<std::int32_t> grid;
        grid.set_dimensions(2, 2);
        grid.append_element(5);
    } else if (std::strcmp(what, "data") == 0) {
        const DataItem items[] = {{1, nullptr}};
        DataList list{items, 1, 0};
        data_select(list);
        int value = 0;
        data_read_int(value);
        data_read_int(value);
    } else if (std::strcmp(what, "assert") == 0) {
        assert_value(1);
        assert_value(0);
    } else if (std::strcmp(what, "end") == 0) {
        end_program();
    }
    log_write("not reached\n");
    return 3;
}
