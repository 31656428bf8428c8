// debug_line_hook without an attached debugger: the running case (no stop,
// a scan of the breakpoints) and the stepping case that a program without a
// debugger stays in after its first statement (every statement stops).
#include "app/debugger.hpp"

#include <benchmark/benchmark.h>

namespace {

double a = 0, b = 0;
const crv::VariableEntry entries[] = {{"a", crv::k_variable_number, &a}, {"b", crv::k_variable_number, &b}};
crv::VariableTable locals{2, entries};

void BM_HookStepping(benchmark::State& state) {
    crv::DebugCall call;
    crv::debug_info().command = 0;
    crv::debug_info().break_request = 1;
    for (auto _ : state) crv::debug_line_hook(0, 74, &locals);
    state.SetItemsProcessed(state.iterations());
}

void BM_HookRunning(benchmark::State& state) {
    crv::DebugCall call;
    crv::debug_info().command = 100;  // the next stop switches to running
    crv::debug_info().break_request = 1;
    crv::debug_line_hook(0, 1, &locals);
    crv::debug_info().breakpoint_count = static_cast<int>(state.range(0));
    for (int i = 0; i < state.range(0); ++i) {
        crv::debug_info().breakpoint_files[i] = 9;
        crv::debug_info().breakpoint_lines[i] = i;
    }
    for (auto _ : state) crv::debug_line_hook(0, 74, &locals);
    crv::debug_info().breakpoint_count = 0;
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_HookStepping);
BENCHMARK(BM_HookRunning)->Arg(0)->Arg(8);

}  // namespace

BENCHMARK_MAIN();
