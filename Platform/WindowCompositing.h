#pragma once
// Whether see-through top-level windows are blended with what lies under
// them. On X11 that takes a compositing manager: without one the server shows
// a window's transparent pixels as black.

struct xcb_connection_t;

namespace Platform::WindowCompositing {

// Asked each time (a compositing manager may start or stop while the program
// runs). Platforms other than X11 (Wayland, the offscreen one) always blend.
bool isActive();

// The X11 check on a connection of its own: a compositing manager owns the
// selection _NET_WM_CM_S<screen> for as long as it runs.
bool x11CompositingManagerRuns(xcb_connection_t *connection, int screen);

} // namespace Platform::WindowCompositing
