#pragma once

// Told by the panel window about the pointer and about losing key status.
class StatusAttachedWindowDelegate {
public:
    virtual ~StatusAttachedWindowDelegate() = default;
    virtual void mouseInWindow(bool inside) { (void)inside; }
    virtual void isHiddenWindow() {}
};
