#pragma once
// Whether see-through top-level windows are blended with what lies under
// them. On X11 that takes a compositing manager: without one the server shows
// a window's transparent pixels as black.

namespace Platform::WindowCompositing {

// Asked each time (a compositing manager may start or stop while the program
// runs). Platforms other than X11 (Wayland, the offscreen one) always blend.
bool isActive();

} // namespace Platform::WindowCompositing
