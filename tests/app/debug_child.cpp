// A small program with a nested routine, built with debugger hooks, for the
// stepping tests: main reports lines 10..13 at call depth 1, inner reports
// lines 20 and 21 at depth 2.
#include "runtime/app_state.hpp"
#include "app/debugger.hpp"
#include "runtime/log.hpp"
#include "app/termination.hpp"
#include "platform/debug_channel.hpp"

namespace {

void inner(double& y) {
    crv::DebugCall call;
    const crv::VariableEntry entries[] = {{"y", crv::k_variable_number, &y}};
    crv::VariableTable locals{1, entries};
    crv::debug_line_hook(0, 20, &locals);
    y = 1;
    crv::debug_line_hook(0, 21, &locals);
    y = 2;
}

}  // namespace

int main() {
    using namespace crv;
    app_state.debug_mode = 1;
    plat::debugger_connect_from_environment();
    log_start_fresh();
    DebugCall call;
    double x = 0, y = 0;
    const VariableEntry entries[] = {{"x", k_variable_number, &x}};
    VariableTable locals{1, entries};
    debug_line_hook(0, 10, &locals);
    x = 1;
    debug_line_hook(0, 11, &locals);
    inner(y);
    debug_line_hook(0, 12, &locals);
    x = 2;
    debug_line_hook(0, 13, &locals);
    debug_print("done\n");
    end_program();
}
