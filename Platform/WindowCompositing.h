#pragma once
// Whether see-through top-level windows are blended with what lies under
// them, and the window-system chores of the windows that only draw a shadow
// for another one. On X11 blending takes a compositing manager: without one
// the server shows a window's transparent pixels as black.

class QWindow;
struct xcb_connection_t;

namespace Platform::WindowCompositing {

// Asked each time (a compositing manager may start or stop while the program
// runs). Platforms other than X11 (Wayland, the offscreen one) always blend.
bool isActive();

// The X11 check on a connection of its own: a compositing manager owns the
// selection _NET_WM_CM_S<screen> for as long as it runs.
bool x11CompositingManagerRuns(xcb_connection_t *connection, int screen);

// Whether something on the display can take a window off the screen and give
// it back (minimise): on X11 a window manager; elsewhere the platform itself.
bool windowsCanBeMinimized();

// Keeps `lower` (a window the window manager does not manage, such as a
// shadow) directly below `upper` in the window system's stacking, now and
// whenever anything on the display is mapped, raised or restacked (the
// window manager's own raises included), until release(lower) or until
// either window goes. Only the window system's own order is touched: nothing
// is raised above `upper`. Without a window system that stacks (the
// offscreen platform) it does nothing.
void keepDirectlyBelow(QWindow *lower, QWindow *upper);
void release(QWindow *lower);

} // namespace Platform::WindowCompositing
