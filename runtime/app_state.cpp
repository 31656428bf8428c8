#include "runtime/app_state.hpp"

namespace crv {

AppState app_state;

void set_escape_quits(double value) { app_state.escape_quits = value != 0; }
void set_auto_pause(double value) { app_state.auto_pause = value != 0; }

}  // namespace crv
