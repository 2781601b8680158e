#pragma once
class ZrImageWindow;

// What a ZrImageWindow tells the object its user made its delegate. The
// window-delegate methods are optional (empty defaults); the proxy passes
// them on. zrimageWindowBecomeKeyWindow is sent for every mouse-down in the
// window that no control took.
class ZrImageWindowDelegate {
public:
    virtual ~ZrImageWindowDelegate() = default;

    virtual void zrimageWindowBecomeKeyWindow() {}

    virtual bool windowShouldClose(ZrImageWindow *window)
    {
        (void)window;
        return true;
    }
    virtual void windowWillClose(ZrImageWindow *window) { (void)window; }
    virtual void windowDidBecomeKey(ZrImageWindow *window) { (void)window; }
    virtual void windowDidResignKey(ZrImageWindow *window) { (void)window; }
    virtual void windowDidResize(ZrImageWindow *window) { (void)window; }
    virtual void windowDidMove(ZrImageWindow *window) { (void)window; }
};
