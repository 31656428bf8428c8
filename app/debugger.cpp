#include "app/debugger.hpp"

#include "app/app_state.hpp"

namespace crv {

void debug_line_hook(std::int32_t file, std::int32_t line, const VariableTable* locals) {
    (void)locals;
    app_state.current_file = file;
    app_state.current_line = line;
}

}  // namespace crv
