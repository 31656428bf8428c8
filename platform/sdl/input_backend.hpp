// Shared by the SDL backend's event, keyboard and mouse files; not part of
// the platform interface. Main thread only.
#pragma once

struct _XDisplay;

namespace crv::plat::backend {

// Moves the events SDL holds into the window-message queue, counting the
// mouse wheel on the way.
void collect_events();
void note_mouse_wheel(int notches);
// The X connection used for the keyboard layout and the live pointer; null
// before input_open succeeded or when the display is not an X server.
_XDisplay* x11_display();

}  // namespace crv::plat::backend
